#pragma once
// The desktop service that opens files in the program chosen for their type: the type's
// command, else the desktop's default; where that would be Kumolist itself, the user is
// asked instead. The rest of the desktop's services are passed through.
#include <functional>
#include <optional>
#include <vector>

#include "opening/desktopapps.h"
#include "opening/openwithdialog.h"
#include "platform/platform.h"

class OpeningDesktop : public DesktopService {
public:
    using Chooser = std::function<std::optional<OpenChoice>(QWidget* parent, const QString& path,
                                                            const std::vector<DesktopApp>& apps)>;
    // desktop: the desktop's own service, for what is not decided here; programFile: this
    // program's file, which is never started for a file.
    OpeningDesktop(DesktopService& desktop, MessageService& messages, const QString& preferencesFile,
                   const QString& programFile, DesktopFolders folders = DesktopFoldersFromEnvironment(),
                   Chooser chooser = {});

    bool OpenWithProgram(const QString& path) override;
    bool OpenWithChooser(QWidget* parent, const QString& path) override;
    QIcon FileIcon(const QString& path) override { return desktop_.FileIcon(path); }
    bool ShowInFolder(const QString& path) override { return desktop_.ShowInFolder(path); }
    void CopyText(const QString& text) override { desktop_.CopyText(text); }

    // The applications offered for the file: the desktop's for its type, Kumolist left out.
    std::vector<DesktopApp> OfferedApps(const QString& path) const;

private:
    bool Open(QWidget* parent, const QString& path, bool ask);
    bool Start(QWidget* parent, const QString& command, const QString& path);

    DesktopService& desktop_;
    MessageService& messages_;
    QString preferencesFile_;
    QString programFile_;
    DesktopFolders folders_;
    Chooser chooser_;
};
