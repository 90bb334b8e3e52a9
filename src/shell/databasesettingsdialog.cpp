#include "shell/databasesettingsdialog.h"

#include <optional>

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

#include "db/schema.h"
#include "text/cp932.h"
#include "platform/cp932edit.h"
#include "settings/settingsfile.h"
#include "text/textutil.h"

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

DatabaseSettingsDialog::DatabaseSettingsDialog(DatabaseSession& db, DatabaseSettings& settings, const Platform& platform, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      db_(db), settings_(settings), platform_(platform)
{
    setObjectName("DatabaseSettingsDialog");
    setWindowTitle("データベース設定");
    setFixedSize(251, 241);
    move(192, 107);
    QFont f = font();
    f.setPixelSize(12);
    setFont(f);

    AddLabel(this, "サーバー名（IPアドレス＋':'", 16, 6);
    AddLabel(this, "　又は、'localhost:'）", 16, 22);
    serverEdit = AddEdit(this, "serverEdit", 16, 40, 219);
    serverEdit->setToolTip("1台のパソコンで使うときは「localhost:」、サーバーを使うときは"
                      "サーバーのIPアドレスの後に「:」を付けて入力して下さい。例：「192.168.0.10:」");
    AddLabel(this, "サーバーのデータのフォルダ", 16, 66);
    folderEdit = AddEdit(this, "folderEdit", 16, 82, 219);
    folderEdit->setToolTip("データベースファイルを作成するサーバー上のフォルダ名を入力して下さい。"
                      "最後は必ず「\\」で終わって下さい。例：「C:\\data\\」");
    AddLabel(this, "データベース名", 16, 108);
    databaseNameEdit = AddEdit(this, "databaseNameEdit", 16, 124, 219);
    databaseNameEdit->setToolTip("データベース名（ファイル名）を入力して下さい。拡張子は「.FDB」となります。"
                      "フォルダ名は入力しないで下さい。");

    auto* line = new QFrame(this);
    line->setObjectName("separatorLine");
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(8, 153, 235, 4);

    AddLabel(this, "利用者名", 16, 160);
    userNameEdit = AddEdit(this, "userNameEdit", 16, 176, 219);
    SetByteLimit(userNameEdit, kUserNameWidth);

    okButton = new QPushButton("OK(&Y)", this);
    okButton->setObjectName("okButton");
    okButton->setGeometry(56, 208, 85, 25);
    okButton->setDefault(true);
    cancelButton = new QPushButton("キャンセル(&N)", this);
    cancelButton->setObjectName("cancelButton");
    cancelButton->setGeometry(150, 208, 85, 25);
    connect(okButton, &QPushButton::clicked, this, &DatabaseSettingsDialog::ApplySettings);
    connect(cancelButton, &QPushButton::clicked, this, &DatabaseSettingsDialog::Cancel);
}

void DatabaseSettingsDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void DatabaseSettingsDialog::FormShow()
{
    serverEdit->setText(ToQ(settings_.serverName));
    folderEdit->setText(ToQ(settings_.dataFolder));
    databaseNameEdit->setText(ToQ(settings_.databaseFileName));
    userNameEdit->setText(ToQ(settings_.userName));   // the byte limit binds typing only
    serverEdit->setFocus();
}

void DatabaseSettingsDialog::Refuse(const QString& message, QLineEdit* focus)
{
    platform_.messages->ShowMessage(this, message);
    focus->setFocus();
}

void DatabaseSettingsDialog::ApplySettings()
{
    if (EmptyWhenTrimmed(folderEdit->text())) {
        Refuse("サーバーのデータのフォルダを入力して下さい", folderEdit);
        return;
    }
    if (EmptyWhenTrimmed(databaseNameEdit->text())) {
        Refuse("データベース名を入力して下さい", databaseNameEdit);
        return;
    }
    if (HasQuote(FromQLossy(userNameEdit->text()))) {
        Refuse(QString::fromUtf8(kQuoteRefusal), userNameEdit);
        return;
    }
    // The settings are CP932 through and through: a character without a CP932 form
    // could only be stored as something else, and the server, folder and file name must
    // come back as exactly the names typed.
    std::optional<std::string> texts[4];
    QLineEdit* edits[4] = {serverEdit, folderEdit, databaseNameEdit, userNameEdit};
    for (int i = 0; i < 4; ++i) {
        texts[i] = i < 3 ? FromQExact(edits[i]->text()) : FromQ(edits[i]->text());
        if (!texts[i]) {
            Refuse("Shift-JISで表せない文字を入力しないで下さい", edits[i]);
            return;
        }
    }

    settings_.serverName = *texts[0];
    settings_.dataFolder = *texts[1];
    settings_.databaseFileName = WithDatabaseExtension(UpperText(*texts[2]));
    settings_.userName = *texts[3];

    // Creating fails harmlessly when the file exists; the attach decides.
    {
        BusyCursor busy;
        db_.CreateDatabase();
        db_.ConnectDatabase();
    }
    if (db_.Connected()) {
        db_.CloseDatabase();
        accept();
        return;
    }
    // The server's own words tell a missing folder from a wrong address or password.
    const QString reason = ToQ(db_.LastError());
    db_.CloseDatabase();
    platform_.messages->ShowMessageWithDetail(this, "データベースが作成・接続出来ません。設定を確認して下さい。", reason);
    serverEdit->setFocus();
}

void DatabaseSettingsDialog::Cancel() { reject(); }
