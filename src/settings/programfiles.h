#pragma once
// Where the program's own files lie. In a build folder or a copy on a USB stick the
// group pictures (img/), the picture helper and the thumbnailer lie beside the program
// file; installed, they follow the file-system layout: bin/kumolist, share/kumolist/img/,
// libexec/kumolist/kumolist-picture and kumolist-thumbnailer. The settings file stays beside the program file
// where it is there already or may be made there; otherwise it is the user's own, in
// $XDG_CONFIG_HOME/kumolist/. The preferences that the 37 lines do not hold lie beside
// it.
#include <functional>

#include <QString>

struct ProgramFiles {
    bool installed = false;    // the file-system layout, not a folder of its own
    QString iconFolder;        // the group pictures installed with the program, ending in "/"
    // Where pictures are added and looked up first (then in iconFolder), ending in "/":
    // the program's own folder where the user may write there, else his own
    // (share/kumolist/img/ in his data folder); the preferences may name a shared one.
    QString pictureFolder;
    QString pictureHelper;     // the picture helper program
    QString thumbnailer;       // the program that draws thumbnails of drawings
    QString settingsFile;      // the 37-line settings file
    QString preferencesFile;   // other preferences (an INI file), beside the settings file
};

// What the rule asks of the system, so that tests can answer for it: as root every
// folder is writable, and the real configuration folder is no place for a test.
struct SystemView {
    // True when a file may be created in the folder. The real one asks access(2), which
    // says yes to root everywhere but on a read-only file system.
    std::function<bool(const QString& folder)> writable;
    // $XDG_CONFIG_HOME when it is an absolute path, else $HOME/.config.
    QString configHome;
    // $XDG_DATA_HOME when it is an absolute path, else $HOME/.local/share; empty: configHome.
    QString dataHome;
};
SystemView RealSystemView();

// programFilePath: the program file, as the system names it (symbolic links resolved).
// The installed layout is taken when neither img/ nor the helper lies beside the
// program. The settings file lies beside the program when it exists there, or when the
// folder is writable and not the installed layout's bin/ (where root would otherwise
// leave one file for every user). Nothing is created here.
ProgramFiles LocateProgramFiles(const QString& programFilePath, const SystemView& system = RealSystemView());

// Creates the folder of a file that is about to be written, with its parents. False
// when it is not there afterwards.
bool MakeFolderFor(const QString& filePath);
