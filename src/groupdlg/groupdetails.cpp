#include "groupdlg/groupdetails.h"

#include <optional>

#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "db/session.h"
#include "shell/cp932.h"
#include "shell/cp932edit.h"
#include "shell/textutil.h"

const std::string GroupDetailsDialog::kCatalogue = "GRPJWW";

const std::vector<std::string>& GroupDetailsDialog::CatalogueColumns()
{
    static const std::vector<std::string> columns{"N",     "GRPNAME", "MTITLE", "STITLE", "PNAME", "MEMO1",
                                                  "MEMO2", "MEMO3",   "ICONP",  "X",      "Y"};
    return columns;
}

namespace {

QLineEdit* MakeEdit(QWidget* parent, const char* name, int bytes)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    SetByteLimit(e, bytes);
    return e;
}

QLabel* MakeCaption(QWidget* parent, const QString& text, QLineEdit* buddy)
{
    auto* l = new QLabel(text, parent);
    l->setBuddy(buddy);
    return l;
}

} // namespace

GroupDetailsDialog::GroupDetailsDialog(DatabaseSession& db, const DatabaseSettings& settings,
                                       const Platform& platform, const QString& caption,
                                       const QString& storeCaption, QWidget* parent)
    : QDialog(parent), db_(db), settings_(settings), platform_(platform)
{
    setWindowTitle(caption);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(451, 249);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::StyledPanel);
    Panel1->setFrameShadow(QFrame::Raised);
    Panel1->setAutoFillBackground(true);
    QPalette pp = Panel1->palette();
    pp.setColor(QPalette::Window, QColor(224, 224, 224));
    Panel1->setPalette(pp);

    Edit1 = MakeEdit(Panel1, "Edit1", 8);
    Edit2 = MakeEdit(Panel1, "Edit2", 32);
    Edit3 = MakeEdit(Panel1, "Edit3", 80);
    Edit4 = MakeEdit(Panel1, "Edit4", 80);
    Edit5 = MakeEdit(Panel1, "Edit5", 16);
    Edit6 = MakeEdit(Panel1, "Edit6", 80);
    Edit7 = MakeEdit(Panel1, "Edit7", 80);
    Edit8 = MakeEdit(Panel1, "Edit8", 80);
    Edit9 = MakeEdit(Panel1, "Edit9", 40);

    // The number is shown, never typed: out of the Tab order, no input method.
    Edit1->setReadOnly(true);
    Edit1->setFocusPolicy(Qt::ClickFocus);
    Edit1->setAttribute(Qt::WA_InputMethodEnabled, false);
    QPalette np = Edit1->palette();
    np.setColor(QPalette::Base, QColor(192, 192, 192));
    Edit1->setPalette(np);
    Edit1->setFixedWidth(70);
    Edit5->setFixedWidth(150);

    Button4 = new QPushButton(QStringLiteral("参照"), Panel1);
    Button4->setObjectName(QStringLiteral("Button4"));
    Button4->setAutoDefault(false);

    // Number and group name share the first line, so that every field gets its full
    // height within the fixed window.
    auto* first = new QHBoxLayout;
    first->setSpacing(6);
    first->addWidget(Edit1);
    first->addSpacing(10);
    first->addWidget(MakeCaption(Panel1, QStringLiteral("グループ名"), Edit2));
    first->addWidget(Edit2, 1);

    auto* grid = new QGridLayout(Panel1);
    grid->setContentsMargins(8, 5, 8, 5);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(3);
    grid->addWidget(MakeCaption(Panel1, QStringLiteral("番号"), Edit1), 0, 0);
    grid->addLayout(first, 0, 1, 1, 2);
    grid->addWidget(MakeCaption(Panel1, QStringLiteral("表題"), Edit3), 1, 0);
    grid->addWidget(Edit3, 1, 1, 1, 2);
    grid->addWidget(MakeCaption(Panel1, QStringLiteral("副題"), Edit4), 2, 0);
    grid->addWidget(Edit4, 2, 1, 1, 2);
    grid->addWidget(MakeCaption(Panel1, QStringLiteral("作成者名"), Edit5), 3, 0);
    grid->addWidget(Edit5, 3, 1, Qt::AlignLeft);
    grid->addWidget(MakeCaption(Panel1, QStringLiteral("メモ"), Edit6), 4, 0);
    grid->addWidget(Edit6, 4, 1, 1, 2);
    grid->addWidget(Edit7, 5, 1, 1, 2);
    grid->addWidget(Edit8, 6, 1, 1, 2);
    // The long picture caption gets a line of its own making, so that it does not
    // widen the caption column of every other field.
    auto* last = new QHBoxLayout;
    last->setSpacing(6);
    last->addWidget(MakeCaption(Panel1, QStringLiteral("グループアイコン画像"), Edit9));
    last->addWidget(Edit9, 1);
    last->addWidget(Button4);
    grid->addLayout(last, 7, 0, 1, 3);
    grid->setColumnStretch(1, 1);

    Button1 = new QPushButton(storeCaption, this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("クリア(&C)"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button3 = new QPushButton(QStringLiteral("閉じる(&X)"), this);
    Button3->setObjectName(QStringLiteral("Button3"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    buttons->addWidget(Button3);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 6, 5);
    outer->setSpacing(4);
    outer->addWidget(Panel1, 1);
    outer->addLayout(buttons);

    setTabOrder(Edit2, Edit3);
    setTabOrder(Edit3, Edit4);
    setTabOrder(Edit4, Edit5);
    setTabOrder(Edit5, Edit6);
    setTabOrder(Edit6, Edit7);
    setTabOrder(Edit7, Edit8);
    setTabOrder(Edit8, Edit9);
    setTabOrder(Edit9, Button4);
    setTabOrder(Button4, Button1);
    setTabOrder(Button1, Button2);
    setTabOrder(Button2, Button3);

    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, &GroupDetailsDialog::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &GroupDetailsDialog::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &GroupDetailsDialog::Button4Click);
}

void GroupDetailsDialog::SetProgramFolder(const QString& folderWithTrailingSlash)
{
    programFolder_ = folderWithTrailingSlash;
}

void GroupDetailsDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Only when the program shows the dialog, not when the window system restores it.
    if (!event->spontaneous()) FormShow();
}

std::vector<QLineEdit*> GroupDetailsDialog::TextFields() const
{
    return {Edit2, Edit3, Edit4, Edit5, Edit6, Edit7, Edit8, Edit9};
}

void GroupDetailsDialog::FocusGroupName() { Edit2->setFocus(Qt::OtherFocusReason); }

void GroupDetailsDialog::Button2Click()
{
    for (QLineEdit* e : TextFields()) e->clear();
}

void GroupDetailsDialog::Button3Click() { reject(); }

bool GroupDetailsDialog::RefuseQuotes()
{
    for (QLineEdit* e : TextFields()) {
        const QString t = e->text();
        if (t.contains(QLatin1Char('\'')) || t.contains(QLatin1Char('"'))) {
            platform_.messages->ShowMessage(this, QStringLiteral("引用符「'」「\"」を入力しないで下さい"));
            FocusGroupName();
            return true;
        }
    }
    return false;
}

bool GroupDetailsDialog::AppendTextLiterals(std::vector<std::string>& values) const
{
    for (QLineEdit* e : TextFields()) {
        std::optional<std::string> text = FromQ(e->text());
        if (!text) return false;
        values.push_back(TextLiteral(*text));
    }
    return true;
}

void GroupDetailsDialog::Button4Click()
{
    OpenFileRequest request;
    request.folder = IconFolder();
    request.proposedName = Edit9->text();
    request.picturePreview = true;
    request.filters = QStringList{
        QStringLiteral("すべてのファイル (*.bmp;*.ico;*.emf;*.wmf)"),
        QStringLiteral("ビットマップ (*.bmp)"),
        QStringLiteral("アイコン (*.ico)"),
        QStringLiteral("エンハンス メタファイル (*.emf)"),
        QStringLiteral("メタファイル (*.wmf)"),
    };
    const QStringList chosen = platform_.fileDialogs->OpenFiles(this, request);
    if (chosen.isEmpty()) return;

    // Only a picture that lies in the icon folder can be named: the board looks the
    // name up there. A same-named file elsewhere stands for the one in the folder.
    const QString name = QFileInfo(chosen.first()).fileName();
    if (!name.isEmpty() && QFileInfo(IconFolder() + name).isFile())
        Edit9->setText(name);
    else
        Edit9->clear();
}
