#pragma once
// The search window: finds file entries of all groups by folder, file name or memo.
#include <QWidget>

#include "db/session.h"
#include "platform/platform.h"

class SearchWindow : public QWidget {
    Q_OBJECT
public:
    SearchWindow(DatabaseSession& db, const Platform& platform, QWidget* parent = nullptr);

protected:
    DatabaseSession& db_;
    const Platform& platform_;
};
