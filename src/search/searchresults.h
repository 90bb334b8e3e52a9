#pragma once
// The lines of a search as a list model: converted for display only when shown, so a
// result of hundreds of thousands of lines costs no text layout.
#include <algorithm>
#include <unordered_set>
#include <vector>

#include <QAbstractListModel>
#include <QFontMetrics>

#include "search/search.h"

class SearchResultModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit SearchResultModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    void Append(std::vector<SearchLine>& lines);
    void Clear();

    const SearchLine& Line(int row) const { return lines_[static_cast<size_t>(row)]; }
    int Hits() const { return hits_; }
    // The groups with hits: their header lines, or where lines come without headers (by
    // relevance) the groups the lines name.
    int Groups() const { return std::max(groups_, static_cast<int>(namedGroups_.size())); }
    // The lines, each ended by a line break but the last, as the user would copy them.
    QString Text(const std::vector<int>& rows) const;
    QString AllText() const;

    // Width in pixels that the widest line needs in the given font.
    int WidthNeeded(const QFontMetrics& metrics) const;

private:
    std::vector<SearchLine> lines_;
    int hits_ = 0;
    int groups_ = 0;
    std::unordered_set<int32_t> namedGroups_;
    size_t longest_ = 0;   // index of the line with the most bytes
};
