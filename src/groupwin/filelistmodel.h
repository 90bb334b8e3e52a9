#pragma once
// The rows of the group window's file list, shared by its icon, list and details
// views: nine texts and an icon per row, in the order they were read. Rows are filled
// in one go and changed one at a time by the commands; the views show them through
// FileSortModel, in the order the user chose.
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include <QAbstractTableModel>
#include <QIcon>
#include <QSortFilterProxyModel>

#include "groupwin/filerow.h"

class DesktopService;

// After the nine cells: whether the file's content changed since it was filed, from the
// fingerprints the window keeps beside the rows.
inline constexpr int kChangeColumn = kFileCellCount;
inline constexpr int kModelColumnCount = kFileCellCount + 1;
// True on a row whose content changed: the icon view marks it.
inline constexpr int kChangedRole = Qt::UserRole + 40;

class FileListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    FileListModel(DesktopService& desktop, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // Rows can be dragged when the window says what a drag of them carries.
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    using DragData = std::function<QMimeData*(const std::vector<int>& rows)>;   // rows in order, each once
    void SetDragData(DragData make) { dragData_ = std::move(make); }

    // Replaces every row with one reset, so the views lay out once.
    void SetRows(std::vector<FileRow> rows);
    void Clear();
    void AppendRow(FileRow row);
    void RemoveRowAt(int row);
    void SetMemo(int row, const std::string& memo);

    int Count() const { return static_cast<int>(rows_.size()); }
    const FileRow& Row(int row) const { return rows_[static_cast<size_t>(row)]; }

    // The icon of a file type, asked of the desktop once per type (-1: none).
    int IconIndex(const FileRow& row);

    // A picture that stands for a row's type icon (a drawing's thumbnail), or a null
    // icon where the type icon stays. Asked whenever a row is painted: it must be cheap.
    using RowPicture = std::function<QIcon(const FileRow& row)>;
    void SetRowPicture(RowPicture picture) { rowPicture_ = std::move(picture); }
    // The row's picture changed: the views paint it anew.
    void PictureChanged(int row);

    // The text of the change column ("" when unchanged or not known); also asked at each
    // paint, so it must be cheap.
    using RowChange = std::function<QString(const FileRow& row)>;
    void SetRowChange(RowChange change) { rowChange_ = std::move(change); }
    QString ChangeText(int row) const;
    // The change texts may differ: the views show them anew.
    void ChangesUpdated();
    // The row's file name and memo folded for the filter (text/fold.h), folded when
    // first asked for and again after the memo changes.
    const std::string& FoldedText(int row) const;
    // Every row folded now: done when the filter box takes the focus, so that the first
    // character typed into a large list is answered as quickly as the next.
    void FoldAll() const;

private:
    // The display texts of a row, each converted when first shown: most cells of a
    // large group never are.
    struct Shown {
        std::array<QString, kFileCellCount> text;
        unsigned ready = 0;   // bit c: text[c] is converted
    };
    const QString& Text(int row, int column) const;

    DesktopService& desktop_;
    DragData dragData_;
    std::vector<FileRow> rows_;
    std::vector<int> icon_;   // per row, index into icons_
    mutable std::vector<Shown> shown_;
    mutable std::vector<std::string> folded_;
    mutable std::vector<bool> foldedReady_;
    std::vector<QIcon> icons_;
    std::unordered_map<std::string, int> iconOfType_;
    RowPicture rowPicture_;
    RowChange rowChange_;
};

// The file list as the views show it: the rows as read until a header is clicked, then
// ascending by that column. Rows that compare equal keep the order they had, so that
// one sort builds on the one before. The order is taken only when asked: a row added
// later stands at the end and a changed memo stays where it is, as the list showed them
// before sorting was left to Qt. Selections and the current row follow their rows.
// A filter text shows only the rows whose file name or memo holds it, width, case and
// kana folded; the rows hidden leave the selection.
class FileSortModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit FileSortModel(FileListModel& files, QObject* parent = nullptr);

    // The entry in a row as shown, and its row in the file list.
    const FileRow& Row(int row) const;
    int SourceRow(int row) const;

    // CP932; empty shows every row, nullopt (a text no entry can hold) none. The rows
    // are shown anew in one reset: a large list filtered row range by row range would
    // keep the views busy for seconds.
    void SetFilterText(const std::optional<std::string>& text);
    bool Filtered() const { return none_ || !needle_.empty(); }

    // Column -1: the order read.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    FileListModel& files_;
    std::string needle_;   // folded
    bool none_ = false;
    // Where each row of the file list stands in the order last chosen, hidden rows too,
    // so that the rows a filter brings back stand where that order puts them; empty:
    // the order read. Rows added later stand after all others.
    std::vector<int> position_;
    int Position(int sourceRow) const;
};
