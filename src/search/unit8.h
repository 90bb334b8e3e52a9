#pragma once
// The search window: finds file entries of all groups by folder, file name or memo.
#include <QWidget>

#include "db/session.h"
#include "shell/platform.h"

class TForm8 : public QWidget {
    Q_OBJECT
public:
    TForm8(DatabaseSession& db, const Platform& platform, QWidget* parent = nullptr);

protected:
    DatabaseSession& db_;
    const Platform& platform_;
};
