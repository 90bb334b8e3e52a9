#include "groupwin/filelistmodel.h"

#include <algorithm>

#include <QMimeData>

#include "platform/platform.h"
#include "text/cp932.h"
#include "text/fold.h"

namespace {

const char* const kHeaders[kFileCellCount] = {"ファイル名", "フォルダ名", "サイズ", "種類", "更新日時",
                                              "メモ",       "追加者名",   "No.",    "サブグループNo."};

Qt::Alignment ColumnAlignment(int column)
{
    const bool right = column == kCellSize || column == kCellAddedBy;
    return (right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
}

} // namespace

FileListModel::FileListModel(DesktopService& desktop, QObject* parent) : QAbstractTableModel(parent), desktop_(desktop) {}

int FileListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Count(); }

int FileListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kModelColumnCount; }

QString FileListModel::ChangeText(int row) const
{
    return rowChange_ && row >= 0 && row < Count() ? rowChange_(rows_[static_cast<size_t>(row)]) : QString();
}

void FileListModel::ChangesUpdated()
{
    // Not DisplayRole: no entry changed, and the window would count its entries again.
    if (Count() > 0) emit dataChanged(index(0, 0), index(Count() - 1, kChangeColumn), {kChangedRole});
}

const QString& FileListModel::Text(int row, int column) const
{
    Shown& s = shown_[static_cast<size_t>(row)];
    const auto c = static_cast<size_t>(column);
    if (!(s.ready & (1u << c))) {
        s.text[c] = ToQ(rows_[static_cast<size_t>(row)].cells[c]);
        s.ready |= 1u << c;
    }
    return s.text[c];
}

QVariant FileListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= Count() || index.column() >= kModelColumnCount) return {};
    if (index.column() == kChangeColumn) return role == Qt::DisplayRole ? QVariant(ChangeText(index.row())) : QVariant();
    if (role == kChangedRole) return !ChangeText(index.row()).isEmpty();
    switch (role) {
    case Qt::DisplayRole:
        return Text(index.row(), index.column());
    case Qt::ToolTipRole:
        // The whole path of the entry, whatever the view shows of it.
        return index.column() == kCellName ? Text(index.row(), kCellFolder) + Text(index.row(), kCellName) : QVariant();
    case Qt::DecorationRole: {
        if (index.column() != kCellName) return {};
        if (rowPicture_) {
            QIcon picture = rowPicture_(rows_[static_cast<size_t>(index.row())]);
            if (!picture.isNull()) return picture;
        }
        const int icon = icon_[static_cast<size_t>(index.row())];
        return icon >= 0 ? QVariant(icons_[static_cast<size_t>(icon)]) : QVariant();
    }
    case Qt::TextAlignmentRole:
        // The caption keeps the view's own alignment: centred under a large icon.
        if (index.column() == kCellName) return {};
        return QVariant::fromValue(ColumnAlignment(index.column()));
    default:
        return {};
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kModelColumnCount) return {};
    if (role == Qt::DisplayRole)
        return section == kChangeColumn ? QStringLiteral("変更") : QString::fromUtf8(kHeaders[section]);
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(ColumnAlignment(section));
    return {};
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const
{
    const Qt::ItemFlags f = QAbstractTableModel::flags(index);
    return dragData_ && index.isValid() ? f | Qt::ItemIsDragEnabled : f;
}

QStringList FileListModel::mimeTypes() const { return {QStringLiteral("text/uri-list")}; }

QMimeData* FileListModel::mimeData(const QModelIndexList& indexes) const
{
    if (!dragData_) return nullptr;
    std::vector<int> rows;
    for (const QModelIndex& i : indexes)
        if (i.isValid() && i.row() < Count()) rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows.empty() ? nullptr : dragData_(rows);
}

int FileListModel::IconIndex(const FileRow& row)
{
    if (!row.exists) return -1;
    const std::string& type = row.cells[kCellType];
    auto known = iconOfType_.find(type);
    if (known != iconOfType_.end()) return known->second;
    // Asked once per type, with the path of the first file of that type.
    const QIcon icon = desktop_.FileIcon(QString::fromStdString(ToFsName(row.FullPath())));
    int index = -1;
    if (!icon.isNull()) {
        index = static_cast<int>(icons_.size());
        icons_.push_back(icon);
    }
    iconOfType_.emplace(type, index);
    return index;
}

void FileListModel::SetRows(std::vector<FileRow> rows)
{
    beginResetModel();
    rows_ = std::move(rows);
    icon_.resize(rows_.size());
    for (size_t i = 0; i < rows_.size(); ++i) icon_[i] = IconIndex(rows_[i]);
    shown_.assign(rows_.size(), Shown{});
    folded_.assign(rows_.size(), {});
    foldedReady_.assign(rows_.size(), false);
    endResetModel();
}

void FileListModel::Clear() { SetRows({}); }

void FileListModel::AppendRow(FileRow row)
{
    const int at = Count();
    beginInsertRows({}, at, at);
    icon_.push_back(IconIndex(row));
    rows_.push_back(std::move(row));
    shown_.emplace_back();
    folded_.emplace_back();
    foldedReady_.push_back(false);
    endInsertRows();
}

void FileListModel::RemoveRowAt(int row)
{
    if (row < 0 || row >= Count()) return;
    beginRemoveRows({}, row, row);
    const auto at = static_cast<std::ptrdiff_t>(row);
    rows_.erase(rows_.begin() + at);
    icon_.erase(icon_.begin() + at);
    shown_.erase(shown_.begin() + at);
    folded_.erase(folded_.begin() + at);
    foldedReady_.erase(foldedReady_.begin() + at);
    endRemoveRows();
}

void FileListModel::SetMemo(int row, const std::string& memo)
{
    if (row < 0 || row >= Count()) return;
    rows_[static_cast<size_t>(row)].cells[kCellMemo] = memo;
    shown_[static_cast<size_t>(row)].ready &= ~(1u << kCellMemo);
    foldedReady_[static_cast<size_t>(row)] = false;
    emit dataChanged(index(row, kCellMemo), index(row, kCellMemo));
}

void FileListModel::PictureChanged(int row)
{
    if (row < 0 || row >= Count()) return;
    emit dataChanged(index(row, kCellName), index(row, kCellName), {Qt::DecorationRole});
}

const std::string& FileListModel::FoldedText(int row) const
{
    const auto r = static_cast<size_t>(row);
    if (!foldedReady_[r]) {
        // A line break between them: no text typed matches across the two.
        std::string& f = folded_[r];
        const std::string &name = rows_[r].cells[kCellName], &memo = rows_[r].cells[kCellMemo];
        f.clear();
        f.reserve(name.size() + memo.size() + 1);
        AppendFolded(f, name);
        f += '\n';
        AppendFolded(f, memo);
        foldedReady_[r] = true;
    }
    return folded_[r];
}

void FileListModel::FoldAll() const
{
    for (int r = 0; r < Count(); ++r) FoldedText(r);
}

FileSortModel::FileSortModel(FileListModel& files, QObject* parent) : QSortFilterProxyModel(parent), files_(files)
{
    // Sorted only by a header click: Qt would otherwise move a row the moment it is
    // added or its memo changes.
    setDynamicSortFilter(false);
    setSourceModel(&files_);
    connect(&files_, &QAbstractItemModel::modelReset, this, [this] { position_.clear(); });
    connect(&files_, &QAbstractItemModel::rowsRemoved, this, [this](const QModelIndex&, int first, int last) {
        if (static_cast<size_t>(last) < position_.size())
            position_.erase(position_.begin() + first, position_.begin() + last + 1);
    });
}

int FileSortModel::Position(int sourceRow) const
{
    const auto r = static_cast<size_t>(sourceRow);
    // Rows added after the sort stand after every sorted one, in the order added.
    constexpr int kAfterSorted = 1 << 30;
    return r < position_.size() ? position_[r] : kAfterSorted + sourceRow;
}

void FileSortModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= kFileCellCount) {
        position_.clear();
        QSortFilterProxyModel::sort(-1, order);
        return;
    }
    // Every row ordered from where it stood, equal rows keeping their order: one sort
    // builds on the one before.
    std::vector<int> rows(static_cast<size_t>(files_.Count()));
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<int>(i);
    std::sort(rows.begin(), rows.end(), [this](int a, int b) { return Position(a) < Position(b); });
    std::stable_sort(rows.begin(), rows.end(), [this, column, order](int a, int b) {
        const int c = CompareFileRows(files_.Row(a), files_.Row(b), column);
        return order == Qt::AscendingOrder ? c < 0 : c > 0;
    });
    std::vector<int> position(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) position[static_cast<size_t>(rows[i])] = static_cast<int>(i);
    position_ = std::move(position);
    QSortFilterProxyModel::sort(column, order);
}

int FileSortModel::SourceRow(int row) const { return mapToSource(index(row, 0)).row(); }

const FileRow& FileSortModel::Row(int row) const { return files_.Row(SourceRow(row)); }

bool FileSortModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    // The order sort() chose; Qt turns the comparison round for a descending order.
    const int l = Position(left.row()), r = Position(right.row());
    return sortOrder() == Qt::AscendingOrder ? l < r : l > r;
}

void FileSortModel::SetFilterText(const std::optional<std::string>& text)
{
    std::string needle = text ? FoldText(*text) : std::string();
    if (needle == needle_ && none_ == !text) return;
    beginResetModel();
    needle_ = std::move(needle);
    none_ = !text;
    endResetModel();
}

bool FileSortModel::filterAcceptsRow(int sourceRow, const QModelIndex&) const
{
    if (none_) return false;
    return needle_.empty() || FoldedContains(files_.FoldedText(sourceRow), needle_);
}
