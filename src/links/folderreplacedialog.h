#pragma once
// Replaces a leading folder of the entries' stored folders (a file server or a project
// folder moved): in the selected entries, a group or all groups. Before anything is
// written it says how many entries change and how many of them then name an existing
// file (the disk is probed in the background), and asks.
#include <cstdint>
#include <memory>
#include <vector>

#include <QDialog>

#include "db/session.h"
#include "links/backgroundtask.h"
#include "links/folderreplace.h"
#include "platform/platform.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

class FolderReplaceDialog : public QDialog {
    Q_OBJECT
public:
    FolderReplaceDialog(DatabaseSession& db, const Platform& platform, const RootMappings& mappings,
                        QWidget* parent = nullptr);

    // Shows the dialog for the group (0: all groups) and, when entries of it are
    // selected, for those; the old folder proposed, else the first selected entry's.
    // True when entries were changed.
    bool Run(int32_t group, const std::vector<int32_t>& selected, const QString& proposedOld = {});

    QLineEdit* oldFolderEdit = nullptr;
    QLineEdit* newFolderEdit = nullptr;
    QPushButton* browseButton = nullptr;
    QRadioButton* selectedScope = nullptr;
    QRadioButton* groupScope = nullptr;
    QRadioButton* allScope = nullptr;
    QLabel* stateLabel = nullptr;
    QProgressBar* progress = nullptr;
    QPushButton* replaceButton = nullptr;
    QPushButton* cancelButton = nullptr;

public slots:
    void Replace();
    void reject() override;

private:
    void Probed(bool cancelled);
    void SetBusy(bool busy);
    QString StartFolder() const;
    QString FolderOf(int32_t group, int32_t entry);

    DatabaseSession& db_;
    const Platform& platform_;
    const RootMappings& mappings_;
    BackgroundTask task_;
    int32_t group_ = 0;
    std::vector<int32_t> selected_;
    std::shared_ptr<ReplacementPlan> plan_;
    bool changed_ = false;
};
