#pragma once
// Platform services the windows use, behind small interfaces so that tests can answer
// them (their doubles live with the tests). No window calls QMessageBox or QFileDialog
// directly.
#include <functional>
#include <memory>
#include <string>

#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QStringList>

class QMimeData;
class QWidget;

// The title of the program as a whole: plain message boxes carry it.
inline constexpr const char* kApplicationTitle = "q318－Kumolist";

// The program's refusal of text typed with quotation marks, which would end the
// literal it is put in.
inline constexpr const char* kQuoteRefusal = "引用符「'」「\"」を入力しないで下さい";

// Plain message boxes (one OK button, titled with the application title) and
// confirmations (title "確認", question icon, "はい(&Y)" / "いいえ(&N)").
class MessageService {
public:
    virtual ~MessageService() = default;
    virtual void ShowMessage(QWidget* parent, const QString& text) = 0;
    // The same message with a detail the user may unfold (a server's own reason).
    virtual void ShowMessageWithDetail(QWidget* parent, const QString& text, const QString& detail) = 0;
    virtual bool Confirm(QWidget* parent, const QString& text) = 0;   // true on Yes
    // A question with buttons of these texts (title "確認"), the first the default, the
    // last the one Escape presses: the index of the button pressed.
    virtual int Choose(QWidget* parent, const QString& text, const QStringList& buttons) = 0;
};

struct OpenFileRequest {
    QString title;
    QString folder;          // starting folder
    QString proposedName;    // file name proposed in the name field
    QStringList filters;     // "description (patterns)" entries
    int selectedFilter = 0;  // the filter selected at start
    int* chosenFilter = nullptr;   // when set, receives the filter in use when files were chosen
    bool multiSelect = false;
    // When set, the dialog shows beside its list the picture this gives for the
    // file under the cursor (a null pixmap shows nothing).
    std::function<QPixmap(const QString& path)> preview;
};

struct SaveFileRequest {
    QString title;
    QString folder;          // starting folder
    QString proposedName;    // file name proposed in the name field
    QString filter;          // "description (pattern)"; its extension is added to a bare name
};

// File and folder dialogs; an empty list or name means cancelled.
class FileDialogService {
public:
    virtual ~FileDialogService() = default;
    virtual QStringList OpenFiles(QWidget* parent, const OpenFileRequest& request) = 0;
    // An existing folder chosen by the user; empty when cancelled.
    virtual QString ChooseFolder(QWidget* parent, const QString& title, const QString& folder) = 0;
    // The path to write to; an existing file was confirmed to be replaced.
    virtual QString SaveFile(QWidget* parent, const SaveFileRequest& request) = 0;
};

// The desktop: open a file with its program, and the icon of a file.
class DesktopService {
public:
    virtual ~DesktopService() = default;
    virtual bool OpenWithProgram(const QString& path) = 0;
    // Opens the file in a program the user chooses first (and may keep for its type);
    // false when cancelled or nothing started. Without a chooser: as OpenWithProgram.
    virtual bool OpenWithChooser(QWidget* parent, const QString& path)
    {
        (void)parent;
        return OpenWithProgram(path);
    }
    // The icon of the file's type, found by its name alone: the file is not read.
    virtual QIcon FileIcon(const QString& path) = 0;
    // Shows the file in the desktop's file manager, selected where the file manager can
    // do that, else its folder; false when nothing could be opened.
    virtual bool ShowInFolder(const QString& path) = 0;
    // Puts plain text on the desktop's clipboard.
    virtual void CopyText(const QString& text) = 0;
};

// The progress of a long command, with a cancel button. While it is shown the window
// system's events are pumped, so the windows repaint: the caller holds no transaction
// open while it asks.
class ProgressDisplay {
public:
    virtual ~ProgressDisplay() = default;
    // done of the total given at start, or a count when the total is unknown; false
    // once the user has cancelled.
    virtual bool Update(int done) = 0;
};

class ProgressService {
public:
    virtual ~ProgressService() = default;
    // total 0: unknown (a running bar). Shown when the work lasts; gone with the display.
    virtual std::unique_ptr<ProgressDisplay> Start(QWidget* parent, const QString& label, int total) = 0;
};

// All services together, handed to every window.
struct Platform {
    MessageService* messages = nullptr;
    FileDialogService* fileDialogs = nullptr;
    DesktopService* desktop = nullptr;
    ProgressService* progress = nullptr;   // none: long commands show no progress
};

// The wait cursor while the user waits for the server (an attach, a create), restored
// however the wait ends.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// The real services (Qt message boxes and dialogs, the desktop's file associations).
struct RealPlatform {
    RealPlatform();
    ~RealPlatform();
    Platform platform;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// The local files of a drop (a text/uri-list), in the order given; others are left out.
QStringList DroppedLocalFiles(const QMimeData* data);
