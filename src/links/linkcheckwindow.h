#pragma once
// The list of entries whose file is missing, for one group or for all: read from the
// database, then the disk probed off the user-interface thread with progress and a
// cancel. From the list the user opens the group at an entry, looks for the files by
// name below a folder and relinks those found once, or replaces a leading folder.
#include <cstdint>
#include <memory>
#include <vector>

#include <QWidget>

#include "db/session.h"
#include "links/backgroundtask.h"
#include "links/contentcheck.h"
#include "links/linkscan.h"
#include "links/namesearch.h"
#include "platform/platform.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeWidget;
class FolderReplaceDialog;

class LinkCheckWindow : public QWidget {
    Q_OBJECT
public:
    // mappings: the table of folders shared with Windows PCs, kept by the caller.
    LinkCheckWindow(DatabaseSession& db, const Platform& platform, const RootMappings& mappings,
                    QWidget* parent = nullptr);

    // Lists the missing entries of the group, or of all groups when group is 0; the
    // probing goes on in the background.
    void Check(int32_t group);
    // The scope checked: a group number, 0 for all.
    int32_t CheckedGroup() const { return group_; }
    bool Busy() const { return task_.Running(); }
    const std::vector<LinkEntry>& Missing() const { return missing_; }
    // The entries whose file's content changed since it was filed, listed after the
    // missing ones.
    const std::vector<ChangedEntry>& Changed() const { return changed_; }

    // Limits of the search by name (tests make them small).
    NameSearchLimits searchLimits;

    QLabel* statusLabel = nullptr;
    QProgressBar* progress = nullptr;
    QPushButton* cancelButton = nullptr;
    QTreeWidget* list = nullptr;
    QPushButton* openButton = nullptr;
    QPushButton* findButton = nullptr;
    QPushButton* replaceButton = nullptr;
    QPushButton* recheckButton = nullptr;
    QPushButton* closeButton = nullptr;
    FolderReplaceDialog* replaceDialog = nullptr;

signals:
    // The user asks to see the group at the entry.
    void OpenEntryRequested(int32_t group, int32_t entry);
    // Entries of the group (0: of several groups) were pointed at new folders.
    void EntriesChanged(int32_t group);

public slots:
    void OpenSelected();
    void FindFiles();
    void ReplaceFolder();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The missing entries the selection names; all of them when nothing is selected.
    std::vector<LinkEntry> ChosenEntries() const;
    void ShowMissing();
    void SetBusy(bool busy, const QString& what, size_t total);
    void UpdateButtons();
    void SearchFinished(bool cancelled, const std::vector<LinkEntry>& wanted);

    DatabaseSession& db_;
    const Platform& platform_;
    const RootMappings& mappings_;
    BackgroundTask task_;
    QTimer* progressTimer_ = nullptr;
    int32_t group_ = 0;
    bool busy_ = false;
    std::vector<LinkEntry> missing_;
    // What the work in the background hands back; read when it has finished.
    std::shared_ptr<std::vector<LinkEntry>> scanResult_;
    std::shared_ptr<NameSearchResult> searchResult_;
    std::vector<ChangedEntry> changed_;
    std::shared_ptr<std::optional<std::vector<ChangedEntry>>> changedResult_;
    // The last content seen of the entries looked for, by group and entry number.
    std::map<std::pair<int32_t, int32_t>, std::string> searchContents_;
    QString lastSearchFolder_;
};
