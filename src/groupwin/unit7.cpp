#include "groupwin/unit7.h"

TForm7::TForm7(const Platform& platform, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      platform_(platform)
{
    setObjectName("Form7");
    setWindowTitle("サブグループ");
    setFixedSize(277, 85);
    move(202, 186);
}
