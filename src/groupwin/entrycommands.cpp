// The group window's commands on file entries: add, copy and paste, remove, open, memo
// (the drawings' own too), the folder and the paths of files, CSV, and the requests for
// the windows of moved files.
#include "groupwin/groupwindow.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

#include <QFileInfo>
#include <QHeaderView>
#include <QStatusBar>
#include <QTreeView>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include "groupwin/filelistmodel.h"
#include "groupwin/folderfiles.h"
#include "memo/jwmemo.h"
#include "settings/preferences.h"
#include "text/cp932.h"
#include "text/entrycsv.h"
#include "text/textutil.h"

namespace {

// Files named in one message at most; the rest are counted.
constexpr int kNamedFailures = 20;
// Batches up to this size are stored without a progress dialog.
constexpr size_t kQuietBatch = 20;
// How long a status text stands before the counts of the list show again.
constexpr int kStatusMs = 10000;

// The filters of the add dialog: description, then the patterns it names.
const QStringList& AddFileFilters()
{
    static const QStringList filters{
        "Jw_cad 図面ファイル (*.jww;*.jwc)",
        "Jw_cad 図形ファイル (*.jws;*.jwk)",
        "Jw_cad BAKファイル (*.BAK;*.BK?)",
        "Jw_cad 自動保存ファイル (*.JW$)",
        "Jw_cad 環境設定ファイル (*.jwf;*.jwl)",
        "テキストファイル (*.txt;*.dat;*.csv)",
        "Word/Excel ファイル (*.doc;*.xl*;*.ppt)",
        "PDF ファイル (*.pdf)",
        "画像ファイル (*.bmp;*.ico;*.png;*.jp*;*.gif;*.tif?;*.fpx;*.pcx;*.raw)",
        "ベクタファイル (*.wmf;*.emf;*.svg;*.dxf;*.dwg;*.sxf;*.sfc;*.p21;*igs;*.iges;*stp;*.step)",
        "全てのファイル (*.*)",
    };
    return filters;
}

QString ProblemText(EntryProblem problem)
{
    switch (problem) {
    case EntryProblem::ControlCharacter: return "名前に制御文字があります";
    case EntryProblem::TooLong: return "フォルダ名かファイル名が255バイトを超えています";
    default: return "データベースに書き込めませんでした";
    }
}

QString FailureLine(const QString& path, const QString& reason) { return path + "（" + reason + "）"; }

const BatchTexts kRegistering{
    "ファイルを登録しています...", "次のファイルは登録出来ませんでした。",
    [](int n) { return QString::number(n) + " 件のファイルを登録しました"; }};
const BatchTexts kPasting{
    "ファイルを貼り付けています...", "次のファイルは貼り付け出来ませんでした。",
    [](int n) { return QString::number(n) + " 件を貼り付けました"; }};

// The file table holds CP932: a name it cannot hold, or holds as another name, is refused.
void TakeFileName(const QString& file, std::vector<std::string>& paths, QStringList& refused)
{
    const std::optional<std::string> path = FromQExact(file);
    if (path)
        paths.push_back(*path);
    else
        refused << FailureLine(file, "名前にシフトJISで表せない文字があります");
}

} // namespace

// --- file entries --------------------------------------------------------------------------

void GroupWindow::Say(const QString& text) { statusLine->showMessage(text, kStatusMs); }

bool GroupWindow::ToldGone(WriteOutcome outcome, int32_t subGroup)
{
    if (outcome == WriteOutcome::GroupChanged) {
        platform_.messages->ShowMessage(this, "他の利用者がグループ「" + ToQ(currentGroupName) + "」を変更または削除しました。");
        close();
        return true;
    }
    if (outcome != WriteOutcome::SubGroupGone) return false;
    const QTreeWidgetItem* gone = FindNode(subGroup);
    const QString name = gone ? ToQ(gone->data(0, kNameRole).toByteArray().toStdString()) : QString();
    platform_.messages->ShowMessage(
        this, "他の利用者がサブグループ「" + name + "」(SN:" + QString::number(subGroup) + ")を削除しました。");
    // The tree as stored now, the root shown: the node the user meant is gone.
    BuildSubGroupTree();
    if (QTreeWidgetItem* root = subGroupTree->topLevelItem(0)) {
        subGroupTree->clearSelection();
        root->setSelected(true);
        subGroupTree->setCurrentItem(root);
    }
    FillFileList();
    return true;
}

bool GroupWindow::LeaveOutHeld(std::vector<std::string>& paths, std::vector<std::string>* memos, int32_t subGroup,
                               const BatchTexts& texts, QStringList refused)
{
    if (paths.empty()) return true;
    std::vector<StoredName> names;
    for (const std::string& path : paths) {
        const EntryOutcome e = PrepareEntry(subGroup, path, {}, settings_.userName, rootMappings_);
        names.emplace_back(e.row.cells[kCellFolder], e.row.cells[kCellName]);
    }
    const std::optional<std::vector<bool>> held = HeldInSubGroup(db_, currentGroupNumber, subGroup, names);
    db_.EndRead();
    if (!held) {
        for (const std::string& path : paths) refused << FailureLine(ToQ(path), "登録済みか確認出来ませんでした");
        TellRefused(texts, refused);
        return false;
    }
    const auto count = std::count(held->begin(), held->end(), true);
    if (count == 0) return true;
    const int answer = platform_.messages->Choose(
        this, "既に登録されているファイルが " + QString::number(count) + " 件あります。",
        {"登録済みのファイルを除く(&S)", "もう一度登録する(&R)", "キャンセル"});
    if (answer == 1) return true;
    if (answer != 0) return false;
    size_t kept = 0;
    for (size_t i = 0; i < paths.size(); ++i) {
        if ((*held)[i]) continue;
        paths[kept] = std::move(paths[i]);
        if (memos) (*memos)[kept] = std::move((*memos)[i]);
        ++kept;
    }
    paths.resize(kept);
    if (memos) memos->resize(kept);
    return true;
}

void GroupWindow::StoreEntries(const std::vector<std::string>& paths, const std::vector<std::string>* memos,
                               QStringList refused, int32_t subGroup, const BatchTexts& texts)
{
    // The progress dialog pumps events: no transaction may stay open while it is shown.
    db_.EndRead();
    const int total = static_cast<int>(paths.size()) + static_cast<int>(refused.size());
    std::unique_ptr<ProgressDisplay> progress;
    if (paths.size() > kQuietBatch && platform_.progress)
        progress = platform_.progress->Start(this, texts.working, static_cast<int>(paths.size()));
    EntryBatch batch(db_, currentGroup, subGroup, settings_.userName, entrySlice, rootMappings_);
    if (progress) batch.SetClashPause(WaitInEventLoop);   // the window is drawn while a clash waits
    size_t taken = 0;
    bool cancelled = false;
    for (; taken < paths.size(); ++taken) {
        if (progress && !progress->Update(static_cast<int>(taken))) {
            cancelled = true;
            break;
        }
        if (!batch.Add(paths[taken], memos ? &(*memos)[taken] : nullptr)) break;
    }
    batch.Finish();
    progress.reset();

    // The root lists every entry of the group; another node only its own.
    const int32_t shown = CurrentSubGroup();
    std::vector<FileRow> rows = batch.TakeStored();
    if (shown == 0 || shown == subGroup) {
        for (FileRow& row : rows) fileModel->AppendRow(std::move(row));
        if (!rows.empty()) fileDetailView->header()->setSortIndicatorShown(false);
    }
    if (ToldGone(batch.Outcome(), subGroup)) return;

    for (const auto& [path, problem] : batch.Failures()) refused << FailureLine(ToQ(path), ProblemText(problem));
    if (!cancelled)   // files the batch did not take after it stopped
        for (size_t i = taken; i < paths.size(); ++i)
            refused << FailureLine(ToQ(paths[i]), ProblemText(EntryProblem::NotStored));
    const QString said = texts.done(batch.StoredCount());
    Say(cancelled ? QString::number(total) + " 件中 " + said + "（中断）" : said);
    TellRefused(texts, refused);
}

void GroupWindow::TellRefused(const BatchTexts& texts, const QStringList& refused)
{
    if (refused.isEmpty()) return;
    QString text = texts.heading;
    for (int i = 0; i < refused.size() && i < kNamedFailures; ++i) text += "\n" + refused[i];
    if (refused.size() > kNamedFailures) text += "\nほか " + QString::number(refused.size() - kNamedFailures) + " 件";
    platform_.messages->ShowMessage(this, text);
}

void GroupWindow::SetPreferencesFile(const QString& path)
{
    preferencesFile_ = path;
    const AddDialogPlace place = LoadAddDialogPlace(path);
    lastAddFolder_ = place.folder;
    lastAddFilter_ = place.filter < AddFileFilters().size() ? place.filter : 0;
    ShowPreview(LoadPreviewShown(path), false);
}

void GroupWindow::AddFiles()
{
    if (!MayRun()) return;
    OpenFileRequest request;
    request.folder = lastAddFolder_;
    request.filters = AddFileFilters();
    request.selectedFilter = lastAddFilter_;
    request.chosenFilter = &lastAddFilter_;
    request.multiSelect = true;
    const QStringList chosen = platform_.fileDialogs->OpenFiles(this, request);
    if (chosen.isEmpty()) return;
    lastAddFolder_ = QFileInfo(chosen.first()).absolutePath();
    SaveAddDialogPlace(preferencesFile_, {lastAddFolder_, lastAddFilter_});

    std::vector<std::string> paths;
    QStringList refused;
    for (const QString& file : chosen) TakeFileName(file, paths, refused);
    StoreEntries(paths, nullptr, refused, CurrentSubGroup(), kRegistering);
}

void GroupWindow::RegisterDroppedFiles(const QStringList& files, int32_t subGroup)
{
    if (!MayRun()) return;
    db_.EndRead();
    std::vector<std::string> paths;
    QStringList refused;
    for (const QString& file : files) {
        if (!QFileInfo(file).isDir()) {
            TakeFileName(file, paths, refused);
            continue;
        }
        // A tree of any size, perhaps on a slow share: counted with a way out.
        std::unique_ptr<ProgressDisplay> counting;
        if (platform_.progress) counting = platform_.progress->Start(this, "フォルダ内のファイルを数えています...", 0);
        const FolderFiles found = ListFolderFiles(file, [&](int n) { return !counting || counting->Update(n); });
        counting.reset();
        if (found.stopped) return;
        if (found.files.isEmpty()) {
            Say("フォルダ内にファイルがありません");
            continue;
        }
        QString question = "フォルダ内のファイル " + QString::number(found.files.size()) + " 件を登録しますか？";
        if (found.more)
            question += "\n（ファイルが多いため、数えたのは最初の " + QString::number(found.files.size()) + " 件までです）";
        if (!platform_.messages->Confirm(this, question)) continue;
        for (const QString& f : found.files) TakeFileName(f, paths, refused);
    }
    if (paths.empty() && refused.isEmpty()) return;
    if (!LeaveOutHeld(paths, nullptr, subGroup, kRegistering, refused)) return;
    // Every one of them left out: nothing to write.
    if (paths.empty() && refused.isEmpty()) return Say(kRegistering.done(0));
    StoreEntries(paths, nullptr, refused, subGroup, kRegistering);
}

void GroupWindow::MoveEntriesTo(const std::vector<int32_t>& numbers, int32_t subGroup)
{
    if (!MayRun() || numbers.empty()) return;
    db_.EndRead();
    int moved = 0;
    const WriteOutcome out = RunGroupWrite(db_, currentGroup, subGroup, false, [&] {
        return MoveEntries(db_, currentGroupNumber, numbers, subGroup, &moved);
    });
    if (ToldGone(out, subGroup)) return;
    if (out != WriteOutcome::Done) {
        platform_.messages->ShowMessage(this, "ファイルを移動出来ませんでした。");
        return;
    }
    FillFileList();
    Say(QString::number(moved) + " 件を移動しました");
}

void GroupWindow::CopyEntries()
{
    const std::vector<int> rows = SelectedRows();
    clipboard_.Clear();
    for (int row : rows) clipboard_.Add(fileSortModel->Row(row).FullPath(), fileSortModel->Row(row).cells[kCellMemo]);
    if (!rows.empty()) Say(QString::number(rows.size()) + " 件をコピーしました");
    // Something copied may now be pasted, by the keys too, whichever way it was copied.
    UpdateActions();
}

void GroupWindow::PasteEntries()
{
    if (!MayRun()) return;
    if (clipboard_.Count() <= 0) return;
    std::vector<std::string> paths, memos;
    for (const CopiedEntry& e : clipboard_.Entries()) {
        paths.push_back(e.path);
        memos.push_back(e.memo);
    }
    const int32_t subGroup = CurrentSubGroup();
    if (!LeaveOutHeld(paths, &memos, subGroup, kPasting, {})) return;
    if (paths.empty()) return Say(kPasting.done(0));
    StoreEntries(paths, &memos, {}, subGroup, kPasting);
}

void GroupWindow::RemoveEntries()
{
    // Nothing selected: nothing to ask about.
    const std::vector<int> selected = SelectedRows();
    if (selected.empty() || !MayRun()) return;
    if (!platform_.messages->Confirm(this, "選択したファイルを除去します。よろしいですか？")) return;
    std::vector<QPersistentModelIndex> rows;
    std::vector<int32_t> numbers;
    for (int row : selected) {
        rows.emplace_back(fileSortModel->index(row, 0));
        numbers.push_back(StrToIntOrZero(fileSortModel->Row(row).cells[kCellNumber]));
    }
    const WriteOutcome out = RunGroupWrite(db_, currentGroup, 0, false, [&] {
        for (int32_t number : numbers)
            if (!RemoveEntry(db_, currentGroupNumber, number)) return false;
        return true;
    });
    if (ToldGone(out, 0)) return;
    if (out != WriteOutcome::Done) {
        platform_.messages->ShowMessage(this, "選択したファイルを除去出来ませんでした。");
        return;
    }
    // From the last row shown; each row is found again as the rows before it go.
    for (auto r = rows.rbegin(); r != rows.rend(); ++r)
        if (r->isValid()) fileModel->RemoveRowAt(fileSortModel->SourceRow(r->row()));
    Say(QString::number(numbers.size()) + " 件を除去しました");
}

QString GroupWindow::FirstSelectedFile()
{
    const std::vector<int> rows = SelectedRows();
    if (rows.empty()) return {};
    const std::string path = fileSortModel->Row(rows.front()).FullPath();
    if (!FileExists(path)) {
        platform_.messages->ShowMessage(this, "ファイルが見つかりません: " + ToQ(path));
        return {};
    }
    return QString::fromStdString(ToFsName(path));
}

void GroupWindow::OpenFirstSelected()
{
    if (const QString file = FirstSelectedFile(); !file.isEmpty()) platform_.desktop->OpenWithProgram(file);
}

void GroupWindow::OpenFirstSelectedWith()
{
    if (const QString file = FirstSelectedFile(); !file.isEmpty()) platform_.desktop->OpenWithChooser(this, file);
}

void GroupWindow::EditMemo()
{
    if (!MayRun()) return;
    const std::vector<int> rows = SelectedRows();
    if (rows.empty() || !memoEditor_) return;
    const int row = fileSortModel->SourceRow(rows.front());
    std::string memo = fileModel->Row(row).cells[kCellMemo];
    if (!memoEditor_(fileModel->Row(row).FullPath(), memo)) return;
    // A memo taken from a drawing may be longer than the column.
    const std::string stored = StoredMemo(memo);
    if (stored == fileModel->Row(row).cells[kCellMemo]) return;
    const int32_t number = StrToIntOrZero(fileModel->Row(row).cells[kCellNumber]);
    const WriteOutcome out = RunGroupWrite(db_, currentGroup, 0, false,
                                           [&] { return UpdateEntryMemo(db_, currentGroupNumber, number, stored); });
    if (ToldGone(out, 0)) return;
    if (out == WriteOutcome::Done) fileModel->SetMemo(row, stored);
}

void GroupWindow::RequestLinkCheck()
{
    if (MayRun()) emit LinkCheckRequested(currentGroupNumber);
}

void GroupWindow::RequestFolderReplace()
{
    if (!MayRun()) return;
    emit FolderReplaceRequested(currentGroupNumber, SelectedEntries());
}

void GroupWindow::ExportCsv()
{
    std::unordered_map<int, std::string> subGroupNames;
    for (QTreeWidgetItemIterator it(subGroupTree); *it; ++it)
        if (*it != subGroupTree->topLevelItem(0))
            subGroupNames.emplace((*it)->data(0, kNumberRole).toInt(),
                                  (*it)->data(0, kNameRole).toByteArray().toStdString());
    std::vector<CsvEntry> entries;
    for (int r = 0; r < fileSortModel->rowCount(); ++r) {
        const FileRow& row = fileSortModel->Row(r);
        const auto sub = subGroupNames.find(StrToIntOrZero(row.cells[kCellSubGroup]));
        entries.push_back({currentGroupName, sub == subGroupNames.end() ? std::string() : sub->second,
                           row.cells[kCellFolder], row.cells[kCellName], row.cells[kCellMemo],
                           row.cells[kCellAddedBy], row.cells[kCellNumber]});
    }
    if (entries.empty()) return;
    SaveFileRequest request;
    request.title = "CSV出力";
    request.proposedName = ToQ(currentGroupName) + ".csv";
    request.filter = "CSVファイル (*.csv)";
    const QString path = platform_.fileDialogs->SaveFile(this, request);
    if (path.isEmpty()) return;
    if (!WriteEntriesCsv(path, entries))
        platform_.messages->ShowMessage(this, "CSVファイルを書き込めませんでした: " + path);
}

void GroupWindow::ReadDrawingMemos()
{
    if (!MayRun()) return;
    // The drawings read first, then their memos stored as one unit in a group that is
    // still the one shown.
    std::vector<std::pair<int, std::string>> changed;   // source row, memo
    for (int shown : SelectedRows()) {
        const int row = fileSortModel->SourceRow(shown);
        const FileRow& entry = fileModel->Row(row);
        // As the memo dialog's button: a file without a memo keeps the one it has.
        std::string memo = StoredMemo(ReadJwMemo(entry.FullPath()));
        if (!memo.empty() && memo != entry.cells[kCellMemo]) changed.emplace_back(row, std::move(memo));
    }
    int updated = 0, failed = 0;
    std::vector<bool> stored(changed.size());
    const WriteOutcome out = RunGroupWrite(db_, currentGroup, 0, false, [&] {
        for (size_t i = 0; i < changed.size(); ++i) {
            const int32_t number = StrToIntOrZero(fileModel->Row(changed[i].first).cells[kCellNumber]);
            stored[i] = UpdateEntryMemo(db_, currentGroupNumber, number, changed[i].second);
            // An entry another copy removed meanwhile is passed over; any other failure ends the unit.
            if (!stored[i] && db_.LastFailure() != DbFailure::NoRow) return false;
        }
        return true;
    });
    if (ToldGone(out, 0)) return;
    for (size_t i = 0; i < changed.size(); ++i) {
        if (out == WriteOutcome::Done && stored[i]) {
            fileModel->SetMemo(changed[i].first, changed[i].second);
            ++updated;
        } else {
            ++failed;
        }
    }
    QString said = QString::number(updated) + " 件のメモを図面から取得しました";
    if (failed > 0) said += "（" + QString::number(failed) + " 件は書き込めませんでした）";
    Say(said);
}

void GroupWindow::OpenFolderOfFirstSelected()
{
    const std::vector<int> rows = SelectedRows();
    if (rows.empty()) return;
    const FileRow& entry = fileSortModel->Row(rows.front());
    if (!platform_.desktop->ShowInFolder(QString::fromStdString(ToFsName(entry.FullPath()))))
        platform_.messages->ShowMessage(this, "フォルダ「" + ToQ(entry.cells[kCellFolder]) + "」を開けませんでした。");
}

void GroupWindow::CopyPaths()
{
    QStringList paths;
    for (int row : SelectedRows()) paths << QString::fromStdString(ToFsName(fileSortModel->Row(row).FullPath()));
    if (!paths.isEmpty()) platform_.desktop->CopyText(paths.join('\n'));
}
