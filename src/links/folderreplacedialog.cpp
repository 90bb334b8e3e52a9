#include "links/folderreplacedialog.h"

#include <algorithm>
#include <climits>
#include <optional>

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "db/schema.h"
#include "links/linktexts.h"
#include "platform/cp932edit.h"
#include "text/cp932.h"

namespace {

// Refused changes named in one message at most; the rest are counted.
constexpr int kNamedRefusals = 20;

} // namespace

FolderReplaceDialog::FolderReplaceDialog(DatabaseSession& db, const Platform& platform, const RootMappings& mappings,
                                         QWidget* parent)
    : QDialog(parent), db_(db), platform_(platform), mappings_(mappings)
{
    setObjectName("FolderReplaceDialog");
    setWindowTitle("フォルダの置換");
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    oldFolderEdit = new QLineEdit(this);
    oldFolderEdit->setObjectName("oldFolderEdit");
    newFolderEdit = new QLineEdit(this);
    newFolderEdit->setObjectName("newFolderEdit");
    for (QLineEdit* e : {oldFolderEdit, newFolderEdit}) {
        SetByteLimit(e, static_cast<int>(kFileTextWidth));
        e->setMinimumWidth(420);
    }
    // The new folder is often long and already on disk: it can be picked.
    browseButton = new QPushButton("参照(&B)...", this);
    browseButton->setObjectName("browseButton");
    auto* newRow = new QHBoxLayout;
    newRow->addWidget(newFolderEdit, 1);
    newRow->addWidget(browseButton);
    form->addRow("置換前のフォルダ(&O)", oldFolderEdit);
    auto* newLabel = new QLabel("置換後のフォルダ(&N)", this);
    newLabel->setBuddy(newFolderEdit);
    form->addRow(newLabel, newRow);
    layout->addLayout(form);

    auto* scope = new QGroupBox("対象", this);
    auto* scopeLayout = new QVBoxLayout(scope);
    selectedScope = new QRadioButton("選択したエントリ(&S)", scope);
    selectedScope->setObjectName("selectedScope");
    groupScope = new QRadioButton("このグループ(&G)", scope);
    groupScope->setObjectName("groupScope");
    allScope = new QRadioButton("全グループ(&A)", scope);
    allScope->setObjectName("allScope");
    for (QRadioButton* b : {selectedScope, groupScope, allScope}) scopeLayout->addWidget(b);
    layout->addWidget(scope);

    auto* note = new QLabel("先頭のフォルダが一致するエントリだけを置換します。メモと登録者はそのままです。", this);
    note->setWordWrap(true);
    layout->addWidget(note);
    stateLabel = new QLabel(this);
    stateLabel->setObjectName("stateLabel");
    layout->addWidget(stateLabel);
    progress = new QProgressBar(this);
    progress->setObjectName("progress");
    progress->setVisible(false);
    layout->addWidget(progress);

    auto* buttons = new QDialogButtonBox(this);
    replaceButton = buttons->addButton("置換(&R)", QDialogButtonBox::AcceptRole);
    replaceButton->setObjectName("replaceButton");
    cancelButton = buttons->addButton("キャンセル", QDialogButtonBox::RejectRole);
    cancelButton->setObjectName("cancelButton");
    layout->addWidget(buttons);
    connect(replaceButton, &QPushButton::clicked, this, &FolderReplaceDialog::Replace);
    connect(cancelButton, &QPushButton::clicked, this, &FolderReplaceDialog::reject);
    connect(browseButton, &QPushButton::clicked, this, [this] {
        const QString folder = platform_.fileDialogs->ChooseFolder(this, "置換後のフォルダ", StartFolder());
        if (!folder.isEmpty()) newFolderEdit->setText(folder);
    });
    connect(&task_, &BackgroundTask::Finished, this, &FolderReplaceDialog::Probed);
    auto* timer = new QTimer(this);
    timer->setInterval(100);
    connect(timer, &QTimer::timeout, this, [this] {
        if (task_.Running()) progress->setValue(static_cast<int>(std::min<size_t>(task_.Done(), INT_MAX)));
    });
    timer->start();
}

QString FolderReplaceDialog::StartFolder() const
{
    // A moved folder often lands beside where it was: the nearest folder that still
    // exists of the one typed as new, else of the old one, as this PC names it.
    QString start = newFolderEdit->text().isEmpty() ? oldFolderEdit->text() : newFolderEdit->text();
    if (const std::optional<std::string> stored = FromQExact(start)) start = ToQ(LocalPath(*stored, mappings_));
    for (int up = 0; up < 64 && !start.isEmpty() && !QFileInfo(start).isDir(); ++up) {
        const QString parent = QFileInfo(start).path();
        if (parent == start) break;
        start = parent;
    }
    return start;
}

QString FolderReplaceDialog::FolderOf(int32_t group, int32_t entry)
{
    // Proposed as the check of missing files proposes it: the folder as stored. A group
    // not read proposes nothing; the replacement reads it again and says so.
    std::vector<GroupName> groups;
    std::vector<LinkEntry> entries;
    const bool read = ReadGroups(db_, group, groups) && ReadLinkEntries(db_, groups, entries);
    db_.EndRead();
    if (!read) return {};
    for (const LinkEntry& e : entries)
        if (e.number == entry) return ToQ(e.folder);
    return {};
}

bool FolderReplaceDialog::Run(int32_t group, const std::vector<int32_t>& selected, const QString& proposedOld)
{
    group_ = group;
    selected_ = selected;
    changed_ = false;
    selectedScope->setEnabled(group > 0 && !selected.empty());
    groupScope->setEnabled(group > 0);
    (selectedScope->isEnabled() ? selectedScope : groupScope->isEnabled() ? groupScope : allScope)->setChecked(true);
    if (!proposedOld.isEmpty())
        oldFolderEdit->setText(proposedOld);
    else if (group > 0 && !selected.empty())
        oldFolderEdit->setText(FolderOf(group, selected.front()));
    stateLabel->clear();
    SetBusy(false);
    // With the old folder proposed, what is left to type is the new one.
    (oldFolderEdit->text().isEmpty() ? oldFolderEdit : newFolderEdit)->setFocus();
    exec();
    return changed_;
}

void FolderReplaceDialog::SetBusy(bool busy)
{
    progress->setVisible(busy);
    replaceButton->setEnabled(!busy);
    oldFolderEdit->setEnabled(!busy);
    newFolderEdit->setEnabled(!busy);
    browseButton->setEnabled(!busy);
}

void FolderReplaceDialog::reject()
{
    // The first press stops the probing; the dialog closes at the next.
    if (task_.Running()) {
        task_.Cancel();
        return;
    }
    QDialog::reject();
}

void FolderReplaceDialog::Replace()
{
    if (task_.Running()) return;
    const std::optional<std::string> from = FromQExact(oldFolderEdit->text());
    const std::optional<std::string> to = FromQExact(newFolderEdit->text());
    if (!from || !to || from->empty() || to->empty()) {
        platform_.messages->ShowMessage(this, "置換前と置換後のフォルダを入力して下さい");
        return;
    }
    if (!IsAbsoluteFolder(*to)) {
        platform_.messages->ShowMessage(this, NotAbsoluteText());
        return;
    }
    std::vector<GroupName> groups;
    std::vector<LinkEntry> entries;
    const int32_t scope = allScope->isChecked() ? 0 : group_;
    if (!ReadGroups(db_, scope, groups) || !ReadLinkEntries(db_, groups, entries)) {
        platform_.messages->ShowMessage(this, "データベースから読めませんでした");
        return;
    }
    db_.EndRead();
    if (selectedScope->isChecked())
        std::erase_if(entries, [this](const LinkEntry& e) {
            return std::find(selected_.begin(), selected_.end(), e.number) == selected_.end();
        });
    plan_ = std::make_shared<ReplacementPlan>(PlanReplacement(entries, *from, *to, mappings_));
    if (plan_->changes.empty()) {
        platform_.messages->ShowMessage(this, "置換するエントリがありません");
        return;
    }
    progress->setRange(0, static_cast<int>(plan_->changes.size()));
    progress->setValue(0);
    stateLabel->setText("置換後のファイルを確認しています…");
    SetBusy(true);
    task_.Start([plan = plan_, mappings = mappings_](const GoOn& goOn) { ProbeNewPaths(*plan, mappings, goOn); });
}

void FolderReplaceDialog::Probed(bool cancelled)
{
    SetBusy(false);
    if (cancelled) {
        stateLabel->setText("中止しました");
        return;
    }
    stateLabel->setText(PlanSummary(*plan_));
    QString text = PlanSummary(*plan_);
    int named = 0;
    for (const FolderChange& c : plan_->changes)
        if (!c.Storable() && named++ < kNamedRefusals) text += "\n" + RefusedLine(c);
    if (named > kNamedRefusals) text += "\nほか " + QString::number(named - kNamedRefusals) + " 件";
    if (plan_->Changing() == 0) {
        platform_.messages->ShowMessage(this, text);
        return;
    }
    if (!platform_.messages->Confirm(this, text + "\n\n置換します。よろしいですか？")) return;
    const ApplyResult result = ApplyFolderChanges(db_, plan_->changes);
    changed_ = result.changed > 0;
    platform_.messages->ShowMessage(this, ApplySummary(result));
    accept();
}
