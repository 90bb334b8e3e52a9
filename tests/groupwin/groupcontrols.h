#pragma once
// The group window's list and tree, found by name as a user-level test finds them.
#include <QListView>
#include <QTreeView>
#include <QTreeWidget>

#include "groupwin/filelistmodel.h"
#include "support/controls.h"

inline QListView* IconView(const QObject* w) { return Control<QListView>(w, "fileIconView"); }
inline QTreeView* DetailView(const QObject* w) { return Control<QTreeView>(w, "fileDetailView"); }
inline QTreeWidget* Tree(const QObject* w) { return Control<QTreeWidget>(w, "subGroupTree"); }
// The rows as the views show them, and as read.
inline FileSortModel* ShownRows(const QObject* w) { return Control<FileSortModel>(w, "fileSortModel"); }
inline FileListModel* ReadRows(const QObject* w) { return Control<FileListModel>(w, "fileModel"); }
