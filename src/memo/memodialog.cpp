#include "memo/memodialog.h"

MemoDialog::MemoDialog(const Platform& platform, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      platform_(platform)
{
    setObjectName("MemoDialog");
    setWindowTitle("メモ入力編集");
    setFixedSize(445, 97);
    move(192, 107);
}
