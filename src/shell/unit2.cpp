#include "shell/unit2.h"

#include <optional>

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

#include "shell/cp932.h"
#include "shell/cp932edit.h"
#include "shell/settingsfile.h"
#include "shell/textutil.h"

namespace {

QLabel* AddLabel(QWidget* parent, const QString& text, int x, int y)
{
    auto* label = new QLabel(text, parent);
    label->move(x, y);
    label->adjustSize();
    return label;
}

QLineEdit* AddEdit(QWidget* parent, const char* name, int x, int y, int width)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(x, y, width, 21);
    return edit;
}

bool EmptyWhenTrimmed(const QString& text) { return TrimText(FromQLossy(text)).empty(); }

} // namespace

TForm2::TForm2(DatabaseSession& db, DatabaseSettings& settings, const Platform& platform, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      db_(db), settings_(settings), platform_(platform)
{
    setObjectName("Form2");
    setWindowTitle("データベース設定");
    setFixedSize(251, 241);
    move(192, 107);
    QFont f = font();
    f.setPixelSize(12);
    setFont(f);

    AddLabel(this, "サーバー名（IPアドレス＋':'", 16, 6);
    AddLabel(this, "　又は、'localhost:'）", 16, 22);
    Edit1 = AddEdit(this, "Edit1", 16, 40, 219);
    Edit1->setToolTip("1台のパソコンで使うときは「localhost:」、サーバーを使うときは"
                      "サーバーのIPアドレスの後に「:」を付けて入力して下さい。例：「192.168.0.10:」");
    AddLabel(this, "サーバーのデータのフォルダ", 16, 66);
    Edit2 = AddEdit(this, "Edit2", 16, 82, 219);
    Edit2->setToolTip("データベースファイルを作成するサーバー上のフォルダ名を入力して下さい。"
                      "最後は必ず「\\」で終わって下さい。例：「C:\\data\\」");
    AddLabel(this, "データベース名", 16, 108);
    Edit3 = AddEdit(this, "Edit3", 16, 124, 219);
    Edit3->setToolTip("データベース名（ファイル名）を入力して下さい。拡張子は「.FDB」となります。"
                      "フォルダ名は入力しないで下さい。");

    auto* line = new QFrame(this);
    line->setObjectName("Bevel1");
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(8, 153, 235, 4);

    AddLabel(this, "利用者名", 16, 160);
    Edit4 = AddEdit(this, "Edit4", 16, 176, 219);
    SetByteLimit(Edit4, 16);

    Button1 = new QPushButton("OK(&Y)", this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(56, 208, 85, 25);
    Button1->setDefault(true);
    Button2 = new QPushButton("キャンセル(&N)", this);
    Button2->setObjectName("Button2");
    Button2->setGeometry(150, 208, 85, 25);
    connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm2::Button2Click);
}

void TForm2::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TForm2::FormShow()
{
    Edit1->setText(ToQ(settings_.ServerName));
    Edit2->setText(ToQ(settings_.DataFolder));
    Edit3->setText(ToQ(settings_.DatabaseFileName));
    Edit4->setText(ToQ(settings_.UserName));   // the byte limit binds typing only
    Edit1->setFocus();
}

void TForm2::Refuse(const QString& message, QLineEdit* focus)
{
    platform_.messages->ShowMessage(this, message);
    focus->setFocus();
}

void TForm2::Button1Click()
{
    if (EmptyWhenTrimmed(Edit2->text())) {
        Refuse("サーバーのデータのフォルダを入力して下さい", Edit2);
        return;
    }
    if (EmptyWhenTrimmed(Edit3->text())) {
        Refuse("データベース名を入力して下さい", Edit3);
        return;
    }
    if (HasQuote(FromQLossy(Edit4->text()))) {
        Refuse("引用符「'」「\"」を入力しないで下さい", Edit4);
        return;
    }
    // The settings are CP932 through and through: a character without a CP932 form
    // could only be stored as something else.
    std::optional<std::string> texts[4];
    QLineEdit* edits[4] = {Edit1, Edit2, Edit3, Edit4};
    for (int i = 0; i < 4; ++i) {
        texts[i] = FromQ(edits[i]->text());
        if (!texts[i]) {
            Refuse("Shift-JISで表せない文字を入力しないで下さい", edits[i]);
            return;
        }
    }

    settings_.ServerName = *texts[0];
    settings_.DataFolder = *texts[1];
    settings_.DatabaseFileName = WithDatabaseExtension(UpperText(*texts[2]));
    settings_.UserName = *texts[3];

    // Creating fails harmlessly when the file exists; the attach decides.
    db_.CreateDatabase();
    db_.ConnectDatabase();
    if (db_.Connected()) {
        db_.CloseDatabase();
        accept();
        return;
    }
    db_.CloseDatabase();
    Refuse("データベースが作成・接続出来ません。設定を確認して下さい。", Edit1);
}

void TForm2::Button2Click() { reject(); }
