#pragma once
// The memo dialog: edits the memo of one file entry.
#include <QDialog>

#include "platform/platform.h"

class MemoDialog : public QDialog {
    Q_OBJECT
public:
    MemoDialog(const Platform& platform, QWidget* parent = nullptr);

protected:
    const Platform& platform_;
};
