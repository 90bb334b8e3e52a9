#include "memo/unit6.h"

TForm6::TForm6(const Platform& platform, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      platform_(platform)
{
    setObjectName("Form6");
    setWindowTitle("メモ入力編集");
    setFixedSize(445, 97);
    move(192, 107);
}
