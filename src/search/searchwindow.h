#pragma once
// The search window: finds file entries of all groups by folder, file name or memo.
// Created once at start and shown modelessly; the chosen column and the search text stay
// as they were between showings. It reports through its status bar. The search runs on a
// worker thread with an attachment of its own, so that the window and the program stay
// usable meanwhile; its lines come in as found.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QPointer>
#include <QString>
#include <QWidget>

#include "db/session.h"
#include "platform/platform.h"
#include "text/rootmap.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTreeView;
class SearchResultModel;
class SearchWorker;
struct SearchLine;

class SearchWindow : public QWidget {
    Q_OBJECT
public:
    SearchWindow(DatabaseSession& db, const Platform& platform, QWidget* parent = nullptr);
    // A search still running is stopped; its end is waited for a bounded time.
    ~SearchWindow() override;

    // The status bar's texts.
    static const QString kCaseWarning;
    static const QString kEnterText;
    static const QString kEscapeText;
    static const QString kLostText;
    static const QString kNoneFound;
    static const QString kSearchingText;

    // The status bar's text: one of the texts above, or after a search that ran to its
    // end what it found (CountText).
    QString StatusText() const;
    QString CountText() const;
    bool Searching() const { return searching_; }
    // The lines shown, joined by line breaks.
    QString ResultText() const;

    // Asked before a search: after a lost connection the main window attaches again;
    // false when it could not, and nothing is searched.
    using CommandGate = std::function<bool()>;
    void SetCommandGate(CommandGate gate) { commandGate_ = std::move(gate); }
    // Opens a group's window with an entry selected (0: none).
    using GroupOpener = std::function<void(int32_t group, int32_t entry)>;
    void SetGroupOpener(GroupOpener opener) { opener_ = std::move(opener); }
    // Opens a group's window at an entry with its drawing's preview, zoomed to a text (its
    // paper box in mm; none for a hit in the memo): how a hit in the drawings' texts
    // opens. Unset: as GroupOpener.
    using TextHitOpener =
        std::function<void(int32_t group, int32_t entry, const std::optional<std::array<double, 4>>& box)>;
    void SetTextHitOpener(TextHitOpener opener) { textHitOpener_ = std::move(opener); }
    // The index of the drawings' texts (tests; default: the user's cache folder).
    void SetTextIndexFolder(const QString& folder) { textIndexFolder_ = folder; }
    // Folders shared with Windows PCs (the main window's table; nullptr: none): a hit's
    // file is looked at where this PC finds it, and a folder typed in one form finds
    // entries stored in the other too. The lines and CSV keep the stored text.
    void SetRootMappings(const RootMappings* mappings) { rootMappings_ = mappings; }
    // The way of searching and the options come back as last chosen, kept in the
    // preferences file at each change.
    void SetPreferencesFile(const QString& path);

    // A running search ends at its next look at its stop (a statement the server works on
    // is cancelled), as on Escape; SearchEnded follows. Nothing happens when no search runs.
    void RequestStop();
    // Hears every statement text the searches send, on their own thread (tests).
    void SetStatementLog(std::function<void(const std::string&)> log) { statementLog_ = std::move(log); }

    QFrame* optionPanel = nullptr;
    QRadioButton* folderOption = nullptr;
    QRadioButton* fileNameOption = nullptr;
    QRadioButton* memoOption = nullptr;
    QRadioButton* drawingTextOption = nullptr;
    QRadioButton* everythingOption = nullptr;
    QLabel* searchLabel = nullptr;
    QLineEdit* searchEdit = nullptr;
    QPushButton* searchButton = nullptr;
    QCheckBox* ignoreCaseOption = nullptr;
    QCheckBox* literalOption = nullptr;
    QPushButton* csvButton = nullptr;
    QTreeView* resultView = nullptr;
    SearchResultModel* resultModel = nullptr;
    QStatusBar* statusBar = nullptr;

signals:
    // A search has ended (its status shown), or was let go as the window closed.
    void SearchEnded();

public slots:
    void FormShow();
    void FormClose();
    // The search button: refuses a blank or quoted text, else lists every match.
    void RunSearch();
    // The lines' entries as CSV, to a file the user chooses.
    void ExportCsv();
    // A double-click: an entry's group opened at the entry, a group line's group.
    void OpenLine(int row);
    // The context menu's commands on an entry line.
    void OpenFileOf(int row);
    void ShowFolderOf(int row);
    void CopyPathsOf(const std::vector<int>& rows);
    // The drawing list of the hits, printed or as PDF (searchdrawinglist.cpp).
    void DrawingList(bool toPdf);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    DatabaseSession& db_;
    const Platform& platform_;

private:
    void SaveWay();
    void SetStatus(const QString& text);
    void ClearView();
    void AddLines(std::vector<SearchLine>& lines);
    void TakeLines();
    void WorkerEnded();
    // The running search let go (closing); waitMs bounds the wait for its end.
    void LetSearchGo(int waitMs);
    void ShowContextMenu(const QPoint& at);
    std::vector<int> SelectedRows() const;
    QString FilePath(int row) const;

    CommandGate commandGate_;
    GroupOpener opener_;
    TextHitOpener textHitOpener_;
    QString textIndexFolder_;
    QString preferencesFile_;
    bool applyingWay_ = false;   // the stored way being shown: not stored again
    const RootMappings* rootMappings_ = nullptr;
    int shownWidth_ = 0;
    bool searching_ = false;
    SearchWorker* worker_ = nullptr;                  // the running search
    std::vector<QPointer<SearchWorker>> retired_;     // let go while they still ran
    std::function<void(const std::string&)> statementLog_;
};
