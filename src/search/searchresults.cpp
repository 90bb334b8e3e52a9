#include "search/searchresults.h"

#include "text/cp932.h"

SearchResultModel::SearchResultModel(QObject* parent) : QAbstractListModel(parent) {}

int SearchResultModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

QVariant SearchResultModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount()) return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return ToQ(Line(index.row()).text);
    return {};
}

void SearchResultModel::Append(std::vector<SearchLine>& lines)
{
    if (lines.empty()) return;
    // A model row is an int.
    const size_t room = static_cast<size_t>(INT_MAX) - lines_.size();
    const size_t taken = std::min(room, lines.size());
    if (taken == 0) return;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(taken) - 1);
    for (size_t i = 0; i < taken; ++i) {
        SearchLine& line = lines[i];
        if (line.isGroup) {
            ++groups_;
        } else {
            ++hits_;
            namedGroups_.insert(line.group);
        }
        if (lines_.empty() || line.text.size() > lines_[longest_].text.size()) longest_ = lines_.size();
        lines_.push_back(std::move(line));
    }
    endInsertRows();
}

void SearchResultModel::Clear()
{
    beginResetModel();
    lines_.clear();
    lines_.shrink_to_fit();
    hits_ = groups_ = 0;
    namedGroups_.clear();
    longest_ = 0;
    endResetModel();
}

QString SearchResultModel::Text(const std::vector<int>& rows) const
{
    QString text;
    for (int row : rows) {
        if (row < 0 || row >= rowCount()) continue;
        if (!text.isEmpty()) text += '\n';
        text += ToQ(Line(row).text);
    }
    return text;
}

QString SearchResultModel::AllText() const
{
    std::vector<int> rows(lines_.size());
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<int>(i);
    return Text(rows);
}

int SearchResultModel::WidthNeeded(const QFontMetrics& metrics) const
{
    if (lines_.empty()) return 0;
    // A CP932 byte is about half a full-width character wide; the longest line by bytes
    // is measured too, so that narrow fonts do not cut it.
    const int half = (metrics.horizontalAdvance(QChar(0x56F3)) + 1) / 2;
    const size_t bytes = lines_[longest_].text.size();
    const int estimate = static_cast<int>(std::min<size_t>(bytes, 100000)) * half;
    return std::max(estimate, metrics.horizontalAdvance(ToQ(lines_[longest_].text))) + 2 * half;
}
