#include "groupwin/subgroupnamedialog.h"

SubGroupNameDialog::SubGroupNameDialog(const Platform& platform, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      platform_(platform)
{
    setObjectName("SubGroupNameDialog");
    setWindowTitle("サブグループ");
    setFixedSize(277, 85);
    move(202, 186);
}
