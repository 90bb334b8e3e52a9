#include "opening/openwithdialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "opening/execline.h"

QIcon DesktopAppIcon(const DesktopApp& app)
{
    if (app.icon.startsWith('/')) {
        // Only a picture file of a sane size: the entry may come from anywhere.
        const QFileInfo info(app.icon);
        return info.isFile() && info.size() <= kMaxDesktopFileBytes * 4 ? QIcon(app.icon) : QIcon();
    }
    return QIcon::fromTheme(app.icon, QIcon::fromTheme(QStringLiteral("application-x-executable")));
}

OpenWithDialog::OpenWithDialog(const QString& fileName, const std::vector<DesktopApp>& apps, bool askAlways,
                               QWidget* parent)
    : QDialog(parent), apps_(apps)
{
    setObjectName("OpenWithDialog");
    setWindowTitle("プログラムを指定して開く");
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel("「" + fileName + "」を開くプログラム:", this);
    label->setTextFormat(Qt::PlainText);
    layout->addWidget(label);
    list_ = new QListWidget(this);
    list_->setObjectName("Programs");
    for (const DesktopApp& app : apps_) {
        auto* item = new QListWidgetItem(DesktopAppIcon(app), app.name, list_);
        item->setToolTip(app.exec);
    }
    new QListWidgetItem("その他のコマンド...", list_);
    layout->addWidget(list_);
    command_ = new QLineEdit(this);
    command_->setObjectName("Command");
    command_->setPlaceholderText("例: wine \"C:\\\\jww\\\\Jw_win.exe\" %f");
    command_->setMaxLength(kMaxPreferenceText);
    layout->addWidget(command_);
    auto* hint = new QLabel("%f がファイルの場所に置き換わります (無い時は最後に付きます)", this);
    layout->addWidget(hint);
    always_ = new QCheckBox("この種類のファイルはいつもこのプログラムで開く", this);
    always_->setObjectName("Always");
    always_->setVisible(askAlways);
    layout->addWidget(always_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setText("開く(&O)");
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::currentRowChanged, this, &OpenWithDialog::UpdateState);
    connect(command_, &QLineEdit::textChanged, this, &OpenWithDialog::UpdateState);
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] {
        if (ok_->isEnabled()) accept();
    });
    list_->setCurrentRow(0);
    UpdateState();
}

void OpenWithDialog::UpdateState()
{
    const bool other = list_->currentRow() == static_cast<int>(apps_.size());
    command_->setEnabled(other);
    ok_->setEnabled(other ? SplitExecLine(command_->text()).has_value() : list_->currentRow() >= 0);
}

OpenChoice OpenWithDialog::Choice() const
{
    const int row = list_->currentRow();
    OpenChoice choice;
    choice.always = !always_->isHidden() && always_->isChecked();
    if (row >= 0 && row < static_cast<int>(apps_.size()))
        choice.command = apps_[static_cast<size_t>(row)].exec;
    else
        choice.command = command_->text().trimmed();
    return choice;
}

std::optional<OpenChoice> ChooseProgram(QWidget* parent, const QString& path, const std::vector<DesktopApp>& apps,
                                        bool askAlways)
{
    OpenWithDialog dialog(QFileInfo(path).fileName(), apps, askAlways, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    OpenChoice choice = dialog.Choice();
    if (choice.command.isEmpty()) return std::nullopt;
    return choice;
}
