#include "search/search.h"

#include <chrono>
#include <optional>
#include <cstdint>
#include <set>
#include <unordered_map>

#include <QString>

#include "db/schema.h"
#include "text/cp932.h"
#include "text/textutil.h"

namespace {

// CP932 pieces of the result lines.
constexpr const char* kGroupMark = "\x83\x4f\x83\x8b\x81\x5b\x83\x76";   // グループ
constexpr const char* kOpenLenticular = "\x81\x79";                      // 【
constexpr const char* kCloseLenticular = "\x81\x7a";                     // 】
constexpr const char* kOpenWhiteCorner = "\x81\x77";                     // 『
constexpr const char* kCloseWhiteCorner = "\x81\x78";                    // 』

// Never a trail byte of CP932, so it cannot escape half of a character in the byte-wise LIKE.
constexpr char kLikeEscape = '!';

// A window repaints at about this pace anyway; handing lines over more often only costs.
constexpr auto kBatchInterval = std::chrono::milliseconds(40);
// Rows listed between two looks at the Escape key while a statement's rows are listed.
constexpr size_t kRowsPerPoll = 512;

using Clock = std::chrono::steady_clock;

// Columns of the rows the statements return.
enum HitColumn : size_t { kHitGroup, kHitN, kHitName, kHitPath, kHitMemo, kHitPName, kHitSN, kHitSubN, kHitSubName, kHitColumns };

// The search text as a pattern of whole characters; -1 stands for any one character,
// -2 for any run. "Contains" is a match with a run on either side.
class Pattern {
public:
    static constexpr int kAnyOne = -1;
    static constexpr int kAnyRun = -2;

    Pattern(const std::string& text, const SearchOptions& options) : fold_(options.ignoreCaseAndWidth)
    {
        const QString chars = Prepare(ToQ(text));
        tokens_.push_back(kAnyRun);
        for (QChar c : chars) {
            if (!options.literalWildcards && c == u'%')
                tokens_.push_back(kAnyRun);
            else if (!options.literalWildcards && c == u'_')
                tokens_.push_back(kAnyOne);
            else
                tokens_.push_back(c.unicode());
        }
        tokens_.push_back(kAnyRun);
    }

    bool FoundIn(std::string_view cp932) const
    {
        const QString value = Prepare(ToQ(cp932));
        // Wildcard matching with one point to come back to: linear for the usual pattern.
        const size_t n = static_cast<size_t>(value.size()), m = tokens_.size();
        size_t v = 0, p = 0, runAt = SIZE_MAX, runFrom = 0;
        while (v < n) {
            if (p < m && (tokens_[p] == kAnyOne || tokens_[p] == value[static_cast<qsizetype>(v)].unicode())) {
                ++v;
                ++p;
            } else if (p < m && tokens_[p] == kAnyRun) {
                runAt = p++;
                runFrom = v;
            } else if (runAt != SIZE_MAX) {
                p = runAt + 1;
                v = ++runFrom;
            } else {
                return false;
            }
        }
        while (p < m && tokens_[p] == kAnyRun) ++p;
        return p == m;
    }

private:
    QString Prepare(const QString& s) const
    {
        return fold_ ? s.normalized(QString::NormalizationForm_KC).toCaseFolded() : s;
    }

    bool fold_;
    std::vector<int> tokens_;
};

// The condition the server narrows the rows with: byte-wise, so it finds every match of
// whole characters and some more, which the pattern then drops. Empty when the server
// cannot narrow them (folded case and width).
std::string ServerCondition(const std::string& column, const std::string& text, const SearchOptions& options)
{
    if (options.ignoreCaseAndWidth) return {};
    std::string like;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (IsLeadByte(static_cast<unsigned char>(c)) && i + 1 < text.size()) {
            like += c;
            like += text[++i];
        } else if (options.literalWildcards && (c == '%' || c == '_' || c == kLikeEscape)) {
            like += kLikeEscape;
            like += c;
        } else if (c == '_') {
            // One character may be two bytes; the pattern checks that it is one.
            like += '%';
        } else {
            like += c;
        }
    }
    std::string condition = "F." + column + " LIKE '%" + like + "%'";
    if (options.literalWildcards) condition += std::string(" ESCAPE '") + kLikeEscape + "'";
    return condition;
}

struct Group {
    int32_t n;
    std::string name;
    bool subGroups;   // its sub-group table exists
};

class Search {
public:
    Search(DatabaseSession& session, const EscapeKey& escape, const SearchSink& sink, Pattern pattern,
           std::optional<Pattern> alsoPattern, std::string column, std::string condition)
        : session_(session), escape_(escape), sink_(sink), pattern_(std::move(pattern)),
          alsoPattern_(std::move(alsoPattern)), column_(std::move(column)), condition_(std::move(condition)),
          lastBatch_(Clock::now())
    {
    }

    SearchEnd Run()
    {
        std::vector<Group> groups;
        // A read cancelled by the stop is no empty catalogue.
        if (!ReadGroups(groups)) {
            if (!session_.ConnectionLost() && EscPressed(escape_)) return SearchEnd::Stopped;
            return unread_ && !session_.ConnectionLost() ? SearchEnd::ReadFailed : Ended();
        }
        if (EscPressed(escape_)) return SearchEnd::Stopped;
        for (size_t from = 0; from < groups.size(); from += kGroupsPerStatement) {
            const size_t to = std::min(groups.size(), from + kGroupsPerStatement);
            // The server may work on the next statement a while: what is found so far is shown meanwhile.
            HandOver();
            std::vector<TextRow> rows;
            const bool read = session_.SelectStatement(Statement(groups, from, to), rows);
            if (!read && session_.ConnectionLost()) return SearchEnd::ConnectionLost;
            // Pressed while the server worked: what it found is not listed.
            if (EscPressed(escape_)) return SearchEnd::Stopped;
            if (!read) {
                // Another copy may have dropped a table since: the groups one by one, so
                // that only the unreadable ones add nothing.
                for (size_t g = from; g < to; ++g) {
                    if (EscPressed(escape_)) return SearchEnd::Stopped;
                    std::vector<TextRow> own;
                    if (session_.SelectStatement(Statement(groups, g, g + 1), own)) {
                        if (!List(own)) return SearchEnd::Stopped;
                    } else if (session_.ConnectionLost()) {
                        return SearchEnd::ConnectionLost;
                    }
                }
            } else if (!List(rows)) {
                return SearchEnd::Stopped;
            }
            if (EscPressed(escape_)) return SearchEnd::Stopped;
        }
        return SearchEnd::Finished;
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
    SearchEnd Ended() const { return session_.ConnectionLost() ? SearchEnd::ConnectionLost : SearchEnd::Finished; }

    // The catalogue by number, each group with both its tables (a group never opened has
    // none); false when nothing can be searched.
    bool ReadGroups(std::vector<Group>& groups)
    {
        const std::vector<TextRow> catalogue = session_.SelectAllRows("*", kCatalogueTable, "", "N");
        if (catalogue.empty()) {
            // No catalogue yet (no group was ever made) leaves nothing to search; one that
            // could not be read is no empty database.
            unread_ = session_.LastFailure() != DbFailure::None &&
                      (session_.TableExists(kCatalogueTable) || session_.LastFailure() != DbFailure::None);
            return false;
        }
        std::vector<TextRow> tables;
        const bool known = session_.SelectStatement(
            {"SELECT RDB$RELATION_NAME FROM RDB$RELATIONS", "   WHERE RDB$RELATION_NAME STARTING WITH 'GRP'", "   ;"}, tables);
        if (!known && session_.ConnectionLost()) return false;
        std::set<std::string> names;
        for (const TextRow& t : tables)
            if (!t.empty()) names.insert(TrimText(t[0]));
        for (const TextRow& row : catalogue) {
            if (row.size() <= kColGrpName) continue;
            const int32_t n = StrToIntOrZero(row[kColN]);
            // Unknown tables are tried; the statement of one group alone then tells.
            const bool files = !known || names.count(FileTableName(n));
            if (!files) continue;
            const bool subGroups = !known || names.count(SubGroupTableName(n));
            groups.push_back({n, row[kColGrpName], subGroups});
            groupAt_.emplace(n, groups.size() - 1);
        }
        groups_ = &groups;
        return true;
    }

    // The matching entries of groups [from, to), with their sub-group names, by group and
    // number: one select per group, joined by UNION ALL.
    std::vector<std::string> Statement(const std::vector<Group>& groups, size_t from, size_t to) const
    {
        std::vector<std::string> lines;
        for (size_t i = from; i < to; ++i) {
            const Group& g = groups[i];
            std::string select = std::string(i == from ? "" : "UNION ALL ") + "SELECT " + IntToStr(g.n) +
                                 " AS G, F.N, F.FILE_NAME, F.PATH_NAME, F.FILE_MEMO, F.PNAME, F.SN, ";
            if (g.subGroups)
                select += "S.N, S.SGRPNAME FROM " + FileTableName(g.n) + " F LEFT JOIN " + SubGroupTableName(g.n) +
                          " S ON S.N = COALESCE(F.SN, 0)";
            else
                select += "CAST(NULL AS INTEGER), CAST(NULL AS VARCHAR(" + IntToStr(kSubGroupNameWidth) + ")) FROM " + FileTableName(g.n) +
                          " F";
            if (!condition_.empty()) select += " WHERE " + condition_;
            lines.push_back(std::move(select));
        }
        lines.push_back("   ORDER BY 1, 2");
        lines.push_back("   ;");
        return lines;
    }

    // false when stopped.
    bool List(const std::vector<TextRow>& rows)
    {
        size_t sincePoll = 0;
        for (const TextRow& row : rows) {
            if (++sincePoll == kRowsPerPoll) {
                sincePoll = 0;
                if (EscPressed(escape_)) return false;
            }
            if (row.size() < kHitColumns) continue;
            const auto at = groupAt_.find(StrToIntOrZero(row[kHitGroup]));
            if (at == groupAt_.end()) continue;
            const std::string& value = column_ == "PATH_NAME" ? row[kHitPath]
                                       : column_ == "FILE_NAME" ? row[kHitName]
                                                                : row[kHitMemo];
            if (!pattern_.FoundIn(value) && !(alsoPattern_ && alsoPattern_->FoundIn(value))) continue;
            const Group& g = (*groups_)[at->second];
            if (g.n != headerShown_ || !anyHeader_) {
                SearchLine header;
                header.isGroup = true;
                header.group = g.n;
                header.groupName = g.name;
                header.text = kGroupMark + std::string(kOpenLenticular) + g.name + kCloseLenticular + "(N:" +
                              IntToStr(g.n) + ")";
                pending_.push_back(std::move(header));
                headerShown_ = g.n;
                anyHeader_ = true;
            }
            SearchLine line;
            line.group = g.n;
            line.groupName = g.name;
            line.entryNumber = row[kHitN];
            line.entry = StrToIntOrZero(row[kHitN]);
            line.subGroup = StrToIntOrZero(row[kHitSN]);
            line.folder = row[kHitPath];
            line.file = row[kHitName];
            line.memo = row[kHitMemo];
            line.addedBy = row[kHitPName];
            line.subGroupName = row[kHitSubName];
            // The joined number tells a sub-group from none; its name may be empty.
            const bool named = !row[kHitSubN].empty();
            const std::string subGroupPart =
                named ? kOpenLenticular + line.subGroupName + kCloseLenticular : std::string();
            line.text = line.folder + line.file + "(N:" + line.entryNumber + ") " + subGroupPart + kOpenWhiteCorner +
                        line.memo + kCloseWhiteCorner;
            pending_.push_back(std::move(line));
            HandOverIfDue();
        }
        return true;
    }

    void HandOverIfDue()
    {
        if (!pending_.empty() && Clock::now() - lastBatch_ >= kBatchInterval) HandOver();
    }

    DatabaseSession& session_;
    const EscapeKey& escape_;
    const SearchSink& sink_;
    const Pattern pattern_;
    const std::optional<Pattern> alsoPattern_;
    const std::string column_;
    const std::string condition_;
    const std::vector<Group>* groups_ = nullptr;
    std::unordered_map<int32_t, size_t> groupAt_;
    bool unread_ = false;   // the catalogue could not be read
    int32_t headerShown_ = 0;
    bool anyHeader_ = false;
    std::vector<SearchLine> pending_;
    Clock::time_point lastBatch_;
};

} // namespace

const char* SearchColumnName(SearchColumn column)
{
    switch (column) {
    case SearchColumn::FileName: return "FILE_NAME";
    case SearchColumn::Memo: return "FILE_MEMO";
    case SearchColumn::Folder:
    case SearchColumn::DrawingText:
    case SearchColumn::Everything: break;
    }
    return "PATH_NAME";
}

SearchRefusal CheckSearchText(std::string_view text)
{
    if (TrimText(text).empty()) return SearchRefusal::Blank;
    if (HasQuote(text)) return SearchRefusal::Quote;
    return SearchRefusal::None;
}

SearchEnd SearchAllGroups(DatabaseSession& session, SearchColumn column, const std::string& text,
                          const SearchOptions& options, const EscapeKey& escape, const SearchSink& sink)
{
    if (CheckSearchText(text) != SearchRefusal::None || !session.Connected()) return SearchEnd::Finished;
    const std::string name = SearchColumnName(column);
    std::string condition = ServerCondition(name, text, options);
    std::optional<Pattern> alsoPattern;
    // The second text comes from the preferences file, not from the edit box: it too must
    // hold no quotation mark before it goes into the statement.
    if (!options.alsoText.empty() && options.alsoText != text && CheckSearchText(options.alsoText) == SearchRefusal::None) {
        alsoPattern.emplace(options.alsoText, options);
        if (!condition.empty()) condition = "(" + condition + " OR " + ServerCondition(name, options.alsoText, options) + ")";
    }
    Search search(session, escape, sink, Pattern(text, options), std::move(alsoPattern), name, std::move(condition));
    const SearchEnd end = search.Run();
    search.HandOver();
    return end;
}
