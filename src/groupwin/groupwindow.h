#pragma once
// The group window: one group's sub-group tree beside the list of its file entries.
// Created once at start and shown modelessly. Its column widths, view style and tree
// width are kept in the settings file.
#include <QWidget>

#include "db/session.h"
#include "platform/platform.h"
#include "settings/settings.h"

class QComboBox;
class QSplitter;
class QTreeWidget;

class GroupWindow : public QWidget {
    Q_OBJECT
public:
    GroupWindow(DatabaseSession& db, const DatabaseSettings& settings, const Platform& platform,
           QWidget* parent = nullptr);

    static constexpr int kColumnCount = 9;

    // What the settings file keeps.
    int ColumnWidth(int column) const;
    void SetColumnWidth(int column, int width);
    int ViewStyleIndex() const;          // 0 icons, 1 list, 2 details
    void SetViewStyleIndex(int index);
    int TreeWidth() const;
    void SetTreeWidth(int width);

    QTreeWidget* subGroupTree = nullptr;
    QSplitter* splitter = nullptr;
    QTreeWidget* fileList = nullptr;
    QComboBox* viewStyleBox = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

    DatabaseSession& db_;
    const DatabaseSettings& settings_;
    const Platform& platform_;

private:
    int treeWidth_ = 161;
    bool laidOut_ = false;
};
