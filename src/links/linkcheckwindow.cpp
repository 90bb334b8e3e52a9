#include "links/linkcheckwindow.h"

#include <algorithm>
#include <climits>
#include <optional>

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "groupwin/filerow.h"
#include "links/folderreplacedialog.h"
#include "links/linktexts.h"
#include "platform/dialogplace.h"
#include "store/fingerprints.h"
#include "text/cp932.h"
#include "text/pathname.h"

namespace {

// Entries named in one message at most; the rest are counted.
constexpr int kNamedLines = 20;
constexpr int kEntryRole = Qt::UserRole;   // index into the missing entries

QString Named(const QStringList& lines)
{
    QString text;
    for (int i = 0; i < lines.size() && i < kNamedLines; ++i) text += "\n" + lines[i];
    if (lines.size() > kNamedLines) text += "\nほか " + QString::number(lines.size() - kNamedLines) + " 件";
    return text;
}

QString GroupLabel(const LinkEntry& e) { return ToQ(e.groupName) + "(N:" + QString::number(e.group) + ")"; }

} // namespace

LinkCheckWindow::LinkCheckWindow(DatabaseSession& db, const Platform& platform, const RootMappings& mappings,
                                 QWidget* parent)
    : QWidget(parent, Qt::Window), db_(db), platform_(platform), mappings_(mappings)
{
    setObjectName("LinkCheckWindow");
    resize(760, 360);
    auto* layout = new QVBoxLayout(this);

    auto* top = new QHBoxLayout;
    statusLabel = new QLabel(this);
    statusLabel->setObjectName("statusLabel");
    progress = new QProgressBar(this);
    progress->setObjectName("progress");
    cancelButton = new QPushButton("中止", this);
    cancelButton->setObjectName("cancelButton");
    top->addWidget(statusLabel, 1);
    top->addWidget(progress);
    top->addWidget(cancelButton);
    layout->addLayout(top);

    list = new QTreeWidget(this);
    list->setObjectName("list");
    list->setColumnCount(6);
    list->setHeaderLabels({"グループ", "サブグループ", "フォルダ", "ファイル名", "メモ", "状態"});
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setUniformRowHeights(true);
    list->header()->resizeSection(0, 120);
    list->header()->resizeSection(2, 260);
    list->header()->resizeSection(3, 190);
    layout->addWidget(list, 1);

    auto* bar = new QHBoxLayout;
    openButton = new QPushButton("開く(&O)", this);
    openButton->setObjectName("openButton");
    findButton = new QPushButton("ファイルを探す(&F)...", this);
    findButton->setObjectName("findButton");
    replaceButton = new QPushButton("フォルダの置換(&R)...", this);
    replaceButton->setObjectName("replaceButton");
    recheckButton = new QPushButton("再確認(&U)", this);
    recheckButton->setObjectName("recheckButton");
    closeButton = new QPushButton("閉じる(&X)", this);
    closeButton->setObjectName("closeButton");
    for (QPushButton* b : {openButton, findButton, replaceButton, recheckButton}) bar->addWidget(b);
    bar->addStretch(1);
    bar->addWidget(closeButton);
    layout->addLayout(bar);

    replaceDialog = new FolderReplaceDialog(db_, platform_, mappings_, this);
    CentreWhenShown(*replaceDialog);

    connect(cancelButton, &QPushButton::clicked, &task_, &BackgroundTask::Cancel);
    connect(openButton, &QPushButton::clicked, this, &LinkCheckWindow::OpenSelected);
    connect(list, &QTreeWidget::itemDoubleClicked, this, &LinkCheckWindow::OpenSelected);
    connect(findButton, &QPushButton::clicked, this, &LinkCheckWindow::FindFiles);
    connect(replaceButton, &QPushButton::clicked, this, &LinkCheckWindow::ReplaceFolder);
    connect(recheckButton, &QPushButton::clicked, this, [this] { Check(group_); });
    connect(list, &QTreeWidget::currentItemChanged, this, &LinkCheckWindow::UpdateButtons);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    progressTimer_ = new QTimer(this);
    progressTimer_->setInterval(100);
    connect(progressTimer_, &QTimer::timeout, this, [this] {
        if (progress->maximum() > 0) progress->setValue(static_cast<int>(std::min<size_t>(task_.Done(), INT_MAX)));
    });
    SetBusy(false, {}, 0);
}

void LinkCheckWindow::SetBusy(bool busy, const QString& what, size_t total)
{
    if (busy) {
        statusLabel->setText(what);
        // An unknown amount (a search) shows a moving bar.
        progress->setRange(0, static_cast<int>(std::min<size_t>(total, INT_MAX)));
        progress->setValue(0);
        progressTimer_->start();
    } else {
        progressTimer_->stop();
    }
    progress->setVisible(busy);
    cancelButton->setVisible(busy);
    busy_ = busy;
    UpdateButtons();
}

void LinkCheckWindow::UpdateButtons()
{
    // Greyed where there is nothing to act on: no entry to open, no missing file to look for.
    openButton->setEnabled(!busy_ && list->currentItem());
    findButton->setEnabled(!busy_ && !missing_.empty());
    replaceButton->setEnabled(!busy_);
    recheckButton->setEnabled(!busy_);
}

void LinkCheckWindow::Check(int32_t group)
{
    if (task_.Running()) return;
    group_ = group;
    setWindowTitle(group > 0 ? QString("リンク切れ確認 (N:%1)").arg(group) : QString("リンク切れ確認 (全グループ)"));
    missing_.clear();
    changed_.clear();
    list->clear();
    std::vector<GroupName> groups;
    auto entries = std::make_shared<std::vector<LinkEntry>>();
    if (!ReadGroups(db_, group, groups) || !ReadLinkEntries(db_, groups, *entries)) {
        statusLabel->setText("データベースから読めませんでした");
        return;
    }
    // The task's attachment never makes the table: here, before it starts.
    EnsureFingerprintTable(db_);
    db_.EndRead();
    scanResult_ = std::make_shared<std::vector<LinkEntry>>();
    changedResult_ = std::make_shared<std::optional<std::vector<ChangedEntry>>>();
    std::vector<int32_t> numbers;
    for (const GroupName& g : groups) numbers.push_back(g.number);
    SetBusy(true, QString("%1 件のエントリを確認しています…").arg(entries->size()), entries->size());
    disconnect(&task_, &BackgroundTask::Finished, this, nullptr);
    connect(&task_, &BackgroundTask::Finished, this, [this, total = entries->size()](bool cancelled) {
        SetBusy(false, {}, 0);
        if (cancelled) {
            statusLabel->setText("確認を中止しました");
            return;
        }
        missing_ = std::move(*scanResult_);
        if (*changedResult_) changed_ = std::move(**changedResult_);
        ShowMissing();
        QString text = QString("リンク切れ: %1 件（確認したエントリ %2 件）").arg(missing_.size()).arg(total);
        if (!changed_.empty()) text += QString("　内容の変更: %1 件").arg(changed_.size());
        else if (!*changedResult_) text += "　内容の変更は確かめられませんでした";
        statusLabel->setText(text);
    });
    task_.Start([entries, result = scanResult_, changed = changedResult_, mappings = mappings_, numbers,
                 settings = db_.Settings(), all = group == 0](const GoOn& goOn) {
        auto missing = MissingEntries(*entries, mappings, goOn);
        if (!missing) return;
        *result = std::move(*missing);
        // The drawings' contents after their presence: fingerprints refreshed on an
        // attachment of the task's own.
        *changed = ChangedEntries(settings, mappings, *entries, numbers, all, goOn);
    });
}

void LinkCheckWindow::ShowMissing()
{
    list->clear();
    QList<QTreeWidgetItem*> items;
    for (size_t i = 0; i < missing_.size(); ++i) {
        const LinkEntry& e = missing_[i];
        auto* item = new QTreeWidgetItem({GroupLabel(e), ToQ(e.subGroupName), ToQ(e.folder), ToQ(e.fileName), ToQ(e.memo)});
        item->setText(5, "リンク切れ");
        item->setData(0, kEntryRole, static_cast<qulonglong>(i));
        items << item;
    }
    for (size_t i = 0; i < changed_.size(); ++i) {
        const LinkEntry& e = changed_[i].entry;
        auto* item = new QTreeWidgetItem({GroupLabel(e), ToQ(e.subGroupName), ToQ(e.folder), ToQ(e.fileName), ToQ(e.memo),
                                          "内容の変更 " + ToQ(FormatFileTime(changed_[i].time))});
        item->setData(0, kEntryRole, static_cast<qulonglong>(missing_.size() + i));
        items << item;
    }
    list->addTopLevelItems(items);
    if (!items.isEmpty()) list->setCurrentItem(items.first(), 0, QItemSelectionModel::NoUpdate);
    UpdateButtons();
}

std::vector<LinkEntry> LinkCheckWindow::ChosenEntries() const
{
    std::vector<LinkEntry> chosen;
    for (const QTreeWidgetItem* item : list->selectedItems()) {
        const auto i = item->data(0, kEntryRole).toULongLong();
        if (i < missing_.size()) chosen.push_back(missing_[i]);
    }
    return chosen.empty() ? missing_ : chosen;
}

void LinkCheckWindow::OpenSelected()
{
    const QTreeWidgetItem* item = list->currentItem();
    if (!item || task_.Running()) return;
    const auto i = item->data(0, kEntryRole).toULongLong();
    if (i >= missing_.size() + changed_.size()) return;
    const LinkEntry& e = i < missing_.size() ? missing_[i] : changed_[i - missing_.size()].entry;
    emit OpenEntryRequested(e.group, e.number);
}

void LinkCheckWindow::FindFiles()
{
    if (task_.Running()) return;
    const std::vector<LinkEntry> wanted = ChosenEntries();
    if (wanted.empty()) return;
    const QString folder = platform_.fileDialogs->ChooseFolder(this, "ファイルを探すフォルダ", lastSearchFolder_);
    if (folder.isEmpty()) return;
    const std::optional<std::string> start = FromQExact(folder);
    if (!start) {
        platform_.messages->ShowMessage(this, "フォルダ名にシフトJISで表せない文字があります");
        return;
    }
    lastSearchFolder_ = folder;
    // Their content as last seen: a renamed drawing is found by it. Without it (nothing
    // read yet, or a failed read) they are looked for by name alone, as ever.
    searchContents_.clear();
    WantedContents contents;
    if (const auto known = LastContents(db_, wanted)) {
        for (const auto& [key, content] : *known) {
            searchContents_[key] = content.hash;
            contents[content.size].insert(content.hash);
        }
    }
    db_.EndRead();
    searchResult_ = std::make_shared<NameSearchResult>();
    SetBusy(true, folder + " の下を探しています…", 0);
    disconnect(&task_, &BackgroundTask::Finished, this, nullptr);
    connect(&task_, &BackgroundTask::Finished, this,
            [this, wanted](bool cancelled) { SearchFinished(cancelled, wanted); });
    task_.Start([result = searchResult_, start = *start, names = NamesOf(wanted), limits = searchLimits, contents](
                    const GoOn& goOn) { *result = FindFilesByName(start, names, limits, goOn, contents); });
}

void LinkCheckWindow::SearchFinished(bool cancelled, const std::vector<LinkEntry>& wanted)
{
    SetBusy(false, {}, 0);
    if (cancelled || searchResult_->end == NameSearchEnd::Stopped) {
        statusLabel->setText("探すのを中止しました");
        return;
    }
    if (searchResult_->end == NameSearchEnd::NoFolder) {
        platform_.messages->ShowMessage(this, "フォルダが見つかりません");
        return;
    }
    const RelinkPlan plan = PlanRelink(wanted, *searchResult_, mappings_, searchContents_);
    QString text;
    if (searchResult_->end != NameSearchEnd::Complete) text += "時間か件数の上限に達したため、途中まで探しました。\n";
    QStringList others;
    for (const LinkEntry& e : plan.ambiguous) others << ToQ(e.StoredPath()) + "（複数見つかりました）";
    for (const LinkEntry& e : plan.notFound) others << ToQ(e.StoredPath()) + "（見つかりませんでした）";
    for (const FolderChange& c : plan.relinks.changes)
        if (!c.Storable()) others << RefusedLine(c);
    if (plan.relinks.Changing() == 0) {
        platform_.messages->ShowMessage(this, text + "付け替えられるファイルはありませんでした。" + Named(others));
        return;
    }
    QStringList relinks;
    for (const FolderChange& c : plan.relinks.changes)
        if (c.Storable()) relinks << ToQ(c.entry.StoredPath()) + " → " + ToQ(c.newFolder + c.newFileName);
    text += QString("%1 件のエントリを見つかったファイルに付け替えます。").arg(plan.relinks.Changing()) + Named(relinks);
    if (!others.isEmpty()) text += "\n\n次のエントリはそのままです。" + Named(others);
    if (!platform_.messages->Confirm(this, text + "\n\nよろしいですか？")) return;
    const ApplyResult result = ApplyFolderChanges(db_, plan.relinks.changes);
    platform_.messages->ShowMessage(this, ApplySummary(result));
    if (result.changed > 0) emit EntriesChanged(group_);
    Check(group_);
}

void LinkCheckWindow::ReplaceFolder()
{
    if (task_.Running()) return;
    const QTreeWidgetItem* item = list->currentItem();
    QString proposed;
    if (item) proposed = item->text(2);
    if (replaceDialog->Run(group_, {}, proposed)) {
        emit EntriesChanged(group_);
        Check(group_);
    }
}

void LinkCheckWindow::keyPressEvent(QKeyEvent* event)
{
    // Esc closes, as in the group window.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void LinkCheckWindow::closeEvent(QCloseEvent* event)
{
    task_.Cancel();
    event->accept();
}
