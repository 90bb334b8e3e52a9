#pragma once
// Files handed to the program from outside, each with the groups and sub-groups it is
// filed in. A double-click opens the group at the entry; files not filed anywhere can be
// registered in a group chosen here.
#include <cstdint>
#include <vector>

#include <QWidget>

#include "links/filedentries.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class FiledWindow : public QWidget {
    Q_OBJECT
public:
    explicit FiledWindow(QWidget* parent = nullptr);

    // Shows the files; groups: those a file may be registered in; unnamed: files whose
    // names Shift-JIS cannot hold, which no entry can name.
    void Show(const std::vector<FiledFile>& files, const std::vector<GroupName>& groups,
              const QStringList& unnamed = {});
    // The files that are filed nowhere, as given.
    const QStringList& Unfiled() const { return unfiled_; }

signals:
    void OpenEntryRequested(int32_t group, int32_t entry);
    void RegisterRequested(int32_t group, const QStringList& files);

private:
    void OpenItem(QTreeWidgetItem* item);
    void UpdateButtons();

    QLabel* summary_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QComboBox* groupBox_ = nullptr;
    QPushButton* openButton_ = nullptr;
    QPushButton* registerButton_ = nullptr;
    QStringList unfiled_;
};
