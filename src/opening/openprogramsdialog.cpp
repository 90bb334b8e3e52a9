#include "opening/openprogramsdialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "opening/execline.h"

namespace {

// Listed whether or not a program was given: the drawings the office works with.
const QStringList kDrawingTypes = {QStringLiteral("jww"), QStringLiteral("jwc"), QStringLiteral("dxf")};
const QString kDesktopChoice = QStringLiteral("(デスクトップの既定)");

} // namespace

OpenProgramsDialog::OpenProgramsDialog(const Platform& platform, const QString& preferencesFile,
                                       const QString& programFile, DesktopFolders folders, QWidget* parent)
    : QDialog(parent), platform_(platform), preferencesFile_(preferencesFile), programFile_(programFile),
      folders_(std::move(folders))
{
    setObjectName("OpenProgramsDialog");
    setWindowTitle("図面を開くプログラム");
    auto* layout = new QVBoxLayout(this);
    table_ = new QTableWidget(0, 2, this);
    table_->setHorizontalHeaderLabels({"種類", "プログラム"});
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->verticalHeader()->hide();
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(table_);
    auto* row = new QHBoxLayout;
    change_ = new QPushButton("変更(&C)...", this);
    clear_ = new QPushButton("既定に戻す(&R)", this);
    row->addWidget(change_);
    row->addWidget(clear_);
    row->addStretch();
    row->addWidget(new QLabel("種類:", this));
    newType_ = new QLineEdit(this);
    newType_->setMaxLength(kMaxFileTypeLength + 1);
    newType_->setPlaceholderText(".dwg");
    row->addWidget(newType_);
    auto* add = new QPushButton("追加(&A)...", this);
    row->addWidget(add);
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(change_, &QPushButton::clicked, this, [this] { ChangeType(SelectedType()); });
    connect(clear_, &QPushButton::clicked, this, [this] { ClearType(SelectedType()); });
    connect(add, &QPushButton::clicked, this, [this] { AddType(newType_->text()); });
    connect(table_, &QTableWidget::cellDoubleClicked, this, [this] { ChangeType(SelectedType()); });
    connect(table_, &QTableWidget::itemSelectionChanged, this, [this] {
        change_->setEnabled(!SelectedType().isEmpty());
        clear_->setEnabled(programs_.count(SelectedType()) > 0);
    });
    resize(560, 320);
    Reload();
}

QStringList OpenProgramsDialog::Types() const
{
    QStringList types;
    for (int r = 0; r < table_->rowCount(); ++r) types << table_->item(r, 0)->data(Qt::UserRole).toString();
    return types;
}

QString OpenProgramsDialog::ProgramShown(const QString& type) const
{
    const int r = static_cast<int>(Types().indexOf(type));
    return r < 0 ? QString() : table_->item(r, 1)->text();
}

void OpenProgramsDialog::Reload(const QString& select)
{
    programs_ = LoadOpenPrograms(preferencesFile_);
    QStringList types = kDrawingTypes;
    for (const auto& [type, command] : programs_) types << type;
    types << extraTypes_;
    types.removeDuplicates();
    table_->setRowCount(0);
    for (const QString& type : types) {
        const int r = table_->rowCount();
        table_->insertRow(r);
        auto* name = new QTableWidgetItem("." + type);
        name->setData(Qt::UserRole, type);
        table_->setItem(r, 0, name);
        const auto found = programs_.find(type);
        table_->setItem(r, 1, new QTableWidgetItem(found == programs_.end() ? kDesktopChoice : found->second));
    }
    const int selected = static_cast<int>(types.indexOf(select));
    table_->selectRow(selected < 0 ? 0 : selected);
    change_->setEnabled(!SelectedType().isEmpty());
    clear_->setEnabled(programs_.count(SelectedType()) > 0);
}

QString OpenProgramsDialog::SelectedType() const
{
    const QList<QTableWidgetItem*> items = table_->selectedItems();
    return items.isEmpty() ? QString() : table_->item(items.first()->row(), 0)->data(Qt::UserRole).toString();
}

bool OpenProgramsDialog::Store(const QString& type, const QString& command)
{
    if (SaveOpenProgram(preferencesFile_, type, command)) return true;
    platform_.messages->ShowMessage(this, "このプログラムを設定に保存出来ません");
    return false;
}

void OpenProgramsDialog::ChangeType(const QString& type)
{
    if (!IsFileTypeKey(type)) return;
    // The applications the desktop has for a file of the type, Kumolist left out.
    const QString sample = QStringLiteral("file.") + type;
    std::vector<DesktopApp> apps = AppsForType(FileMimeType(sample), folders_);
    std::erase_if(apps, [this](const DesktopApp& app) { return IsKumolist(app, programFile_); });
    // The dialog names what opens as "*.jww": every file of the type.
    const std::optional<OpenChoice> choice = ChooseProgram(this, "*." + type, apps, false);
    if (!choice) return;
    if (RunsKumolist(choice->command, programFile_)) {
        platform_.messages->ShowMessage(this, "Kumolist 自身ではファイルを開けません。別のプログラムを指定して下さい");
        return;
    }
    Store(type, choice->command);
    Reload(type);
}

void OpenProgramsDialog::ClearType(const QString& type)
{
    if (!IsFileTypeKey(type) || !programs_.count(type)) return;
    Store(type, QString());
    Reload(type);
}

void OpenProgramsDialog::AddType(const QString& typed)
{
    QString type = typed.trimmed().toLower();
    if (type.startsWith('.')) type.remove(0, 1);
    if (!IsFileTypeKey(type)) {
        platform_.messages->ShowMessage(this, "種類は拡張子 (英数字 16 文字まで) で入力して下さい");
        return;
    }
    if (!extraTypes_.contains(type)) extraTypes_ << type;
    newType_->clear();
    Reload(type);
    ChangeType(type);
}

void EditOpenPrograms(QWidget* parent, const Platform& platform, const QString& preferencesFile)
{
    OpenProgramsDialog dialog(platform, preferencesFile, QCoreApplication::applicationFilePath(),
                              DesktopFoldersFromEnvironment(), parent);
    dialog.exec();
}
