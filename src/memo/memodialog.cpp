#include "memo/memodialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

#include "memo/jwmemo.h"
#include "platform/cp932edit.h"
#include "text/cp932.h"
#include "text/pathname.h"
#include "text/textutil.h"

MemoDialog::MemoDialog(const Platform& platform, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      platform_(platform)
{
    setObjectName("MemoDialog");
    setWindowTitle("メモ入力編集");
    setFixedSize(445, 97);
    move(192, 107);
    QFont f = font();
    f.setPixelSize(12);
    setFont(f);

    fileNameLabel = new QLabel(this);
    fileNameLabel->setObjectName("fileNameLabel");
    fileNameLabel->setGeometry(8, 4, 429, 16);
    fileNameLabel->setTextFormat(Qt::PlainText);
    promptLabel = new QLabel("メモ内容を入力・編集して下さい（最大半角255文字まで）", this);
    promptLabel->setObjectName("promptLabel");
    promptLabel->setGeometry(8, 22, 429, 16);
    memoEdit = new QLineEdit(this);
    memoEdit->setObjectName("memoEdit");
    memoEdit->setGeometry(8, 40, 429, 21);
    SetByteLimit(memoEdit, 255);
    promptLabel->setBuddy(memoEdit);

    auto button = [this](const char* name, const QString& text, int x) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setGeometry(x, 67, 103, 25);
        return b;
    };
    getMemoButton = button("getMemoButton", "JWメモ取得(&J)", 8);
    clearButton = button("clearButton", "クリア(&C)", 116);
    okButton = button("okButton", "ＯＫ(&Y)", 226);
    cancelButton = button("cancelButton", "キャンセル(&N)", 334);
    okButton->setDefault(true);
    // Enter in the field means OK, not the button that happens to be next to it.
    for (QPushButton* b : {getMemoButton, clearButton, cancelButton}) b->setAutoDefault(false);

    setTabOrder(memoEdit, getMemoButton);
    setTabOrder(getMemoButton, clearButton);
    setTabOrder(clearButton, okButton);
    setTabOrder(okButton, cancelButton);

    connect(getMemoButton, &QPushButton::clicked, this, &MemoDialog::GetDrawingMemo);
    connect(clearButton, &QPushButton::clicked, this, &MemoDialog::ClearMemo);
    connect(okButton, &QPushButton::clicked, this, &MemoDialog::Accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

bool MemoDialog::Edit(const std::string& fileName, std::string& memo)
{
    memoFileName = fileName;
    memoText = memo;
    if (exec() != QDialog::Accepted) return false;
    memo = memoText;
    return true;
}

void MemoDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void MemoDialog::FormShow()
{
    fileNameLabel->setText("ファイル名：" + ToQ(PathFileName(memoFileName)));
    memoEdit->setText(ToQ(memoText));
    shownMemo_ = memoEdit->text();
    memoEdit->setFocus();
}

void MemoDialog::GetDrawingMemo()
{
    const std::string memo = CleanText(ReadJwMemo(memoFileName));
    // A file without a memo leaves the field as it is.
    if (!memo.empty()) memoEdit->setText(ToQ(memo));
}

void MemoDialog::ClearMemo() { memoEdit->clear(); }

void MemoDialog::Accept()
{
    const QString text = memoEdit->text();
    if (text.contains('\'') || text.contains('"')) {
        platform_.messages->ShowMessage(this, QString::fromUtf8(kQuoteRefusal));
        memoEdit->setFocus();
        return;
    }
    // Untouched, the memo keeps its bytes: some read from drawings have no characters here.
    if (text != shownMemo_) memoText = CleanText(FromQLossy(text));
    accept();
}
