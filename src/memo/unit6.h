#pragma once
// The memo dialog: edits the memo of one file entry.
#include <QDialog>

#include "shell/platform.h"

class TForm6 : public QDialog {
    Q_OBJECT
public:
    TForm6(const Platform& platform, QWidget* parent = nullptr);

protected:
    const Platform& platform_;
};
