#include "groupwin/subgroupnamedialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

#include "db/schema.h"
#include "platform/cp932edit.h"
#include "text/cp932.h"
#include "text/textutil.h"

SubGroupNameDialog::SubGroupNameDialog(const Platform& platform, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      platform_(platform)
{
    setObjectName("SubGroupNameDialog");
    setWindowTitle("サブグループ");
    setFixedSize(277, 85);
    move(202, 186);
    QFont f = font();
    f.setPixelSize(12);
    setFont(f);

    promptLabel = new QLabel("サブグループ名（最大半角32文字まで）", this);
    promptLabel->setObjectName("promptLabel");
    promptLabel->setGeometry(8, 6, 261, 16);
    nameEdit = new QLineEdit(this);
    nameEdit->setObjectName("nameEdit");
    nameEdit->setGeometry(8, 24, 261, 21);
    SetByteLimit(nameEdit, kSubGroupNameWidth);
    promptLabel->setBuddy(nameEdit);

    okButton = new QPushButton("ＯＫ(&Y)", this);
    okButton->setObjectName("okButton");
    okButton->setGeometry(94, 53, 85, 25);
    okButton->setDefault(true);
    cancelButton = new QPushButton("キャンセル(&N)", this);
    cancelButton->setObjectName("cancelButton");
    cancelButton->setGeometry(184, 53, 85, 25);
    connect(okButton, &QPushButton::clicked, this, &SubGroupNameDialog::Accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

bool SubGroupNameDialog::Ask(const QString& title, std::string& name)
{
    dialogTitle = title;
    subGroupName = name;
    if (exec() != QDialog::Accepted) return false;
    name = subGroupName;
    return true;
}

void SubGroupNameDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void SubGroupNameDialog::FormShow()
{
    setWindowTitle(dialogTitle);
    nameEdit->setText(ToQ(subGroupName));
    nameEdit->selectAll();
    nameEdit->setFocus();
}

void SubGroupNameDialog::Accept()
{
    const QString text = nameEdit->text();
    // The colon separates name and number in the tree's labels.
    if (text.contains('\'') || text.contains('"') || text.contains(':')) {
        platform_.messages->ShowMessage(this, "引用符「'」「\"」「:」を入力しないで下さい");
        nameEdit->setFocus();
        return;
    }
    // A nameless node could not be told apart in the tree or in the search's lines.
    const std::string name = CleanText(FromQLossy(text));
    if (text.trimmed().isEmpty() || ToQ(name).trimmed().isEmpty()) {
        platform_.messages->ShowMessage(this, "サブグループ名を入力して下さい");
        nameEdit->setFocus();
        return;
    }
    subGroupName = name;
    accept();
}
