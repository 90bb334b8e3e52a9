// The group window and the contents of its entries' files: the fingerprints kept beside
// the rows (the change column, the icon view's marks), "変更を確認済みにする" and
// "同じ内容のファイル".
#include "groupwin/groupwindow.h"

#include <QAction>
#include <QListView>
#include <QMenu>
#include <QPointer>
#include <QStackedWidget>
#include <QTimer>

#include "groupwin/filelistmodel.h"
#include "groupwin/groupfingerprints.h"
#include "groupwin/samecontentwindow.h"
#include "text/cp932.h"
#include "text/textutil.h"

void GroupWindow::SetUpFingerprints()
{
    fingerprints_ = new GroupFingerprints(db_, this);
    // The model may ask while the window is being destroyed: it holds the fingerprints
    // only, and only while they live.
    fileModel->SetRowChange([prints = QPointer<GroupFingerprints>(fingerprints_)](const FileRow& row) {
        return prints ? prints->ChangeText(StrToIntOrZero(row.cells[kCellNumber])) : QString();
    });
    connect(fingerprints_, &GroupFingerprints::Updated, fileModel, &FileListModel::ChangesUpdated);
    // Entries that join the list (a registration, a paste, a drop) are hashed after their
    // commit, off this thread. Looked at once the event loop is back: an opening's rows
    // are then covered by the refresh of the whole group it starts.
    auto* takeLater = new QTimer(this);
    takeLater->setSingleShot(true);
    takeLater->setInterval(0);
    connect(takeLater, &QTimer::timeout, this, [this] {
        if (fingerprints_->Group() == currentGroupNumber) fingerprints_->Take(ShownEntryNumbers());
    });
    connect(this, &GroupWindow::entriesChanged, takeLater, qOverload<>(&QTimer::start));

    acceptChangeAction = new QAction("変更を確認済みにする", this);
    acceptChangeAction->setObjectName("acceptChangeAction");
    connect(acceptChangeAction, &QAction::triggered, this, &GroupWindow::AcceptChangedContent);
    sameContentAction = new QAction("同じ内容のファイル", this);
    sameContentAction->setObjectName("sameContentAction");
    connect(sameContentAction, &QAction::triggered, this, &GroupWindow::ShowSameContent);
    fileMenu->addSeparator();
    fileMenu->addActions({acceptChangeAction, sameContentAction});
    auto enable = [this] {
        const std::vector<int32_t> selected = SelectedEntries();
        bool changed = false;
        for (const int32_t n : selected) changed = changed || !fingerprints_->ChangeText(n).isEmpty();
        acceptChangeAction->setEnabled(changed);
        sameContentAction->setEnabled(!selected.empty());
    };
    connect(this, &GroupWindow::selectionChanged, this, enable);
    connect(fingerprints_, &GroupFingerprints::Updated, this, enable);
    enable();
}

std::vector<int32_t> GroupWindow::ShownEntryNumbers() const
{
    std::vector<int32_t> numbers;
    numbers.reserve(static_cast<size_t>(fileModel->Count()));
    for (int i = 0; i < fileModel->Count(); ++i) numbers.push_back(StrToIntOrZero(fileModel->Row(i).cells[kCellNumber]));
    return numbers;
}

void GroupWindow::RefreshFingerprints(bool opened)
{
    fingerprints_->SetRootMappings(rootMappings_);
    if (opened)
        fingerprints_->ShowGroup(currentGroupNumber, ShownEntryNumbers());
    else
        fingerprints_->Stop();
}

void GroupWindow::AcceptChangedContent()
{
    if (!MayRun()) return;
    std::vector<int32_t> changed;
    for (const int32_t n : SelectedEntries())
        if (!fingerprints_->ChangeText(n).isEmpty()) changed.push_back(n);
    if (changed.empty()) return;
    if (!fingerprints_->Accept(changed)) {
        Say("変更を確認済みにできませんでした");
        return;
    }
    Say(QString("%1 件の変更を確認済みにしました").arg(changed.size()));
}

void GroupWindow::ShowSameContent()
{
    if (!MayRun()) return;
    const std::vector<int> rows = SelectedRows();
    if (rows.empty()) return;
    const FileRow& row = fileSortModel->Row(rows.front());
    const Fingerprint* print = fingerprints_->Of(StrToIntOrZero(row.cells[kCellNumber]));
    if (!print || print->hash.empty()) {
        Say(fingerprints_->Busy() ? "ファイルの内容を読んでいます。しばらくしてからもう一度お試しください"
                                  : "このファイルの内容は読まれていません");
        return;
    }
    const std::optional<SameContentSet> entries = EntriesWithContent(db_, print->hash);
    db_.EndRead();
    if (!entries) {
        SayUnread();
        return;
    }
    if (!sameContentWindow_) {
        sameContentWindow_ = new SameContentWindow(this);
        connect(sameContentWindow_, &SameContentWindow::OpenEntryRequested, this, [this](int32_t group, int32_t entry) {
            if (entryOpener_) entryOpener_(group, entry);
        });
    }
    sameContentWindow_->Show(ToQ(row.cells[kCellName]), *entries);
}
