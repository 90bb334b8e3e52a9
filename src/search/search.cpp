#include "search/search.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <unordered_map>

#include "db/schema.h"
#include "text/textutil.h"

namespace {

// CP932 pieces of the result lines.
constexpr const char* kGroupMark = "\x83\x4f\x83\x8b\x81\x5b\x83\x76";   // グループ
constexpr const char* kOpenLenticular = "\x81\x79";                      // 【
constexpr const char* kCloseLenticular = "\x81\x7a";                     // 】
constexpr const char* kOpenWhiteCorner = "\x81\x77";                     // 『
constexpr const char* kCloseWhiteCorner = "\x81\x78";                    // 』

// A window repaints at about this pace anyway; handing lines over more often only costs.
constexpr auto kBatchInterval = std::chrono::milliseconds(40);

using Clock = std::chrono::steady_clock;

struct Numbered {
    int32_t n;
    std::string name;
};

class Search {
public:
    Search(DatabaseSession& session, const EscapeKey& escape, const SearchSink& sink)
        : session_(session), escape_(escape), sink_(sink), lastBatch_(Clock::now())
    {
    }

    // false when stopped by the Escape key.
    bool Run(const std::string& column, const std::string& text)
    {
        std::vector<Numbered> groups;
        if (!ReadNumbered(kCatalogueTable, kCatalogueColumnCount, kColN, kColGrpName, groups)) return false;

        const std::string condition = column + " LIKE '%" + text + "%'";
        std::vector<Numbered> subGroups;
        std::unordered_map<int32_t, size_t> subGroupAt;
        for (const Numbered& group : groups) {
            if (EscPressed(escape_)) return false;
            const std::string number = IntToStr(group.n);

            subGroups.clear();
            if (!ReadNumbered(SubGroupTableName(group.n), kSubGroupColumnCount, kSubN, kSubName, subGroups))
                return false;
            if (EscPressed(escape_)) return false;
            // The first sub-group of a number names the entries filed under it.
            subGroupAt.clear();
            for (size_t i = 0; i < subGroups.size(); ++i) subGroupAt.emplace(subGroups[i].n, i);

            const std::string table = FileTableName(group.n);
            const int counted = session_.CountRecords(table, condition);
            const int rows = Readable(counted, session_.SelectRecords("*", table, condition, "N"));
            if (rows > 0)
                Add(kGroupMark + std::string(kOpenLenticular) + group.name + kCloseLenticular + "(N:" + number + ")");
            TextRow row(kFileColumnCount);
            for (int i = 0; i < rows; ++i) {
                if (EscPressed(escape_)) {
                    session_.CloseSelect();
                    return false;
                }
                Read(i, row);
                std::string subGroupPart;
                const auto found = subGroupAt.find(StrToIntOrZero(row[kFileSN]));
                if (found != subGroupAt.end())
                    subGroupPart = kOpenLenticular + subGroups[found->second].name + kCloseLenticular;
                Add(row[kFilePath] + row[kFileName] + "(N:" + row[kFileN] + ") " + subGroupPart +
                    kOpenWhiteCorner + row[kFileMemo] + kCloseWhiteCorner);
            }
            session_.CloseSelect();
            if (EscPressed(escape_)) return false;
            HandOverIfDue();
        }
        return true;
    }

    // Whatever is still held goes to the sink.
    void HandOver()
    {
        if (pending_.empty()) return;
        sink_(pending_);
        pending_.clear();
        lastBatch_ = Clock::now();
    }

private:
    // Rows to read: the count taken before the select, but never more than the select
    // holds. Each sees what others committed up to it, so an entry deleted by another
    // user in between would otherwise be made up out of an empty row.
    static int Readable(int counted, int selected) { return std::max(0, std::min(counted, selected)); }

    void Read(int i, TextRow& row)
    {
        if (i == 0)
            session_.ReadFirstRecord(row);
        else
            session_.ReadNextRecord(row);
    }

    // Number and name of every row of the table, by number; false when stopped.
    bool ReadNumbered(const std::string& table, size_t columns, size_t numberAt, size_t nameAt,
                      std::vector<Numbered>& into)
    {
        const int counted = session_.CountRecords(table, "");
        const int rows = Readable(counted, session_.SelectRecords("*", table, "", "N"));
        TextRow row(columns);
        for (int i = 0; i < rows; ++i) {
            if (EscPressed(escape_)) {
                session_.CloseSelect();
                return false;
            }
            Read(i, row);
            into.push_back({StrToIntOrZero(row[numberAt]), row[nameAt]});
        }
        session_.CloseSelect();
        return true;
    }

    void Add(std::string line)
    {
        pending_.push_back(std::move(line));
        HandOverIfDue();
    }

    void HandOverIfDue()
    {
        if (!pending_.empty() && Clock::now() - lastBatch_ >= kBatchInterval) HandOver();
    }

    DatabaseSession& session_;
    const EscapeKey& escape_;
    const SearchSink& sink_;
    std::vector<std::string> pending_;
    Clock::time_point lastBatch_;
};

} // namespace

const char* SearchColumnName(SearchColumn column)
{
    switch (column) {
    case SearchColumn::FileName: return "FILE_NAME";
    case SearchColumn::Memo: return "FILE_MEMO";
    case SearchColumn::Folder: break;
    }
    return "PATH_NAME";
}

SearchRefusal CheckSearchText(std::string_view text)
{
    if (TrimText(text).empty()) return SearchRefusal::Blank;
    if (HasQuote(text)) return SearchRefusal::Quote;
    return SearchRefusal::None;
}

bool SearchAllGroups(DatabaseSession& session, SearchColumn column, const std::string& text,
                     const EscapeKey& escape, const SearchSink& sink)
{
    if (CheckSearchText(text) != SearchRefusal::None) return false;
    Search search(session, escape, sink);
    const bool finished = search.Run(SearchColumnName(column), text);
    search.HandOver();
    return !finished;
}
