#pragma once
// The sub-group name dialog: takes the name of a new or renamed sub-group.
#include <QDialog>

#include "platform/platform.h"

class SubGroupNameDialog : public QDialog {
    Q_OBJECT
public:
    SubGroupNameDialog(const Platform& platform, QWidget* parent = nullptr);

protected:
    const Platform& platform_;
};
