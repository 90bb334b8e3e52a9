// The group window's commands on file entries: add, copy and paste, remove, open, memo.
#include "groupwin/groupwindow.h"

#include <algorithm>
#include <optional>

#include <QFileInfo>
#include <QHeaderView>
#include <QTreeView>

#include "groupwin/filelistmodel.h"
#include "settings/preferences.h"
#include "text/cp932.h"
#include "text/textutil.h"

namespace {

// Files named in one message at most; the rest are counted.
constexpr int kNamedFailures = 20;

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

} // namespace

// --- file entries --------------------------------------------------------------------------

void GroupWindow::StoreEntries(const std::vector<std::string>& paths, const std::vector<std::string>* memos,
                               const QStringList& refused, const QString& heading)
{
    const int32_t subGroup = SelectedSubGroupNumber();
    QStringList failures = refused;
    for (size_t i = 0; i < paths.size(); ++i) {
        EntryOutcome outcome =
            memos ? StoreEntry(db_, currentGroupNumber, subGroup, paths[i], (*memos)[i], settings_.userName, NetworkPaths(),
                               rootMappings_)
                  : RegisterFile(db_, currentGroupNumber, subGroup, paths[i], settings_.userName, NetworkPaths(),
                                 rootMappings_);
        if (outcome.Stored()) {
            fileModel->AppendRow(std::move(outcome.row));
            fileDetailView->header()->setSortIndicatorShown(false);
        } else {
            failures << FailureLine(ToQ(paths[i]), ProblemText(outcome.problem));
        }
    }
    if (failures.isEmpty()) return;
    QString text = heading;
    for (int i = 0; i < failures.size() && i < kNamedFailures; ++i) text += "\n" + failures[i];
    if (failures.size() > kNamedFailures) text += "\nほか " + QString::number(failures.size() - kNamedFailures) + " 件";
    platform_.messages->ShowMessage(this, text);
}

void GroupWindow::SetPreferencesFile(const QString& path)
{
    preferencesFile_ = path;
    const AddDialogPlace place = LoadAddDialogPlace(path);
    lastAddFolder_ = place.folder;
    lastAddFilter_ = place.filter < AddFileFilters().size() ? place.filter : 0;
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
    for (const QString& file : chosen) {
        // The file table holds CP932: a name it cannot hold would name another file.
        const std::optional<std::string> path = FromQExact(file);
        if (path)
            paths.push_back(*path);
        else
            refused << FailureLine(file, "名前にシフトJISで表せない文字があります");
    }
    StoreEntries(paths, nullptr, refused, "次のファイルは登録出来ませんでした。");
}

void GroupWindow::CopyEntries()
{
    clipboard_.Clear();
    for (int row : SelectedRows())
        clipboard_.Add(fileSortModel->Row(row).FullPath(), fileSortModel->Row(row).cells[kCellMemo]);
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
    StoreEntries(paths, &memos, {}, "次のファイルは貼り付け出来ませんでした。");
}

void GroupWindow::RemoveEntries()
{
    if (!MayRun()) return;
    if (!platform_.messages->Confirm(this, "選択したファイルを除去します。よろしいですか？")) return;
    // From the last row shown; each row is found again as the rows before it go.
    std::vector<QPersistentModelIndex> rows;
    for (int row : SelectedRows()) rows.emplace_back(fileSortModel->index(row, 0));
    for (auto r = rows.rbegin(); r != rows.rend(); ++r) {
        const int row = fileSortModel->SourceRow(r->row());
        const int32_t number = StrToIntOrZero(fileModel->Row(row).cells[kCellNumber]);
        if (RemoveEntry(db_, currentGroupNumber, number)) fileModel->RemoveRowAt(row);
    }
}

void GroupWindow::OpenFirstSelected()
{
    const std::vector<int> rows = SelectedRows();
    if (rows.empty()) return;
    const std::string path = fileSortModel->Row(rows.front()).FullPath();
    if (!FileExists(path)) return;
    platform_.desktop->OpenWithProgram(QString::fromStdString(ToFsName(path)));
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
    const int32_t number = StrToIntOrZero(fileModel->Row(row).cells[kCellNumber]);
    if (UpdateEntryMemo(db_, currentGroupNumber, number, stored)) fileModel->SetMemo(row, stored);
}
