#pragma once
// Drag and drop in the group window, as file managers do it: files and folders dropped
// from a file manager onto the list (its sub-group) or onto a node of the tree are
// registered there; entries dragged from the list onto another node of the tree are
// filed under it; entries dragged out hand other programs their files as local URLs.
#include <cstdint>
#include <vector>

#include <QObject>
#include <QStringList>

class FileListModel;
class GroupWindow;
class QAbstractItemView;
class QDropEvent;
class QMimeData;
class QTreeWidget;

class FileDrag : public QObject {
    Q_OBJECT
public:
    // Enables dragging and dropping on the window's list views and its tree, which the
    // window lends with the model of the list's rows.
    FileDrag(GroupWindow& window, std::vector<QAbstractItemView*> listViews, QTreeWidget& tree, FileListModel& model);

    // What a drag of the rows of the window's list carries: the files that exist, as
    // local URLs, and for this program the group and the entries' numbers.
    QMimeData* EntriesData(const std::vector<int>& rows) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Entries of the window's own group, dragged in this program: their numbers.
    bool OwnEntries(const QMimeData* data, std::vector<int32_t>* numbers = nullptr) const;
    // Handles the drag events of the list or the tree; true when it took the event.
    bool OnList(QEvent* event);
    bool OnTree(QEvent* event);

    GroupWindow& window_;
    std::vector<QAbstractItemView*> listViews_;
    QTreeWidget& tree_;
    FileListModel& model_;
};

