#pragma once
// The sub-group name dialog: takes the name of a new or renamed sub-group.
#include <QDialog>

#include "shell/platform.h"

class TForm7 : public QDialog {
    Q_OBJECT
public:
    TForm7(const Platform& platform, QWidget* parent = nullptr);

protected:
    const Platform& platform_;
};
