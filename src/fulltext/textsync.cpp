#include "fulltext/textsync.h"

#include <algorithm>
#include <charconv>
#include <unordered_map>

namespace {

int64_t StrToInt64OrZero(const std::string& text)
{
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? value : 0;
}

// Texts come in slices of this many stamps per statement, each row's first chunk with it.
constexpr size_t kRowsPerStatement = 500;
constexpr int kChunkBytes = 32000;
// A stored line longer than this is no line the reader writes: it is indexed empty.
constexpr int64_t kMaxStoredBytes = 8 * 1024 * 1024;

std::string Chunk(int64_t from)
{
    return "CAST(SUBSTRING(TEXTS FROM " + std::to_string(from) + " FOR " + std::to_string(kChunkBytes) +
           ") AS VARCHAR(" + std::to_string(kChunkBytes) + ") CHARACTER SET OCTETS)";
}

class Sync {
public:
    Sync(DatabaseSession& session, TextIndex& index, const EscapeKey& escape, TextSyncCounts& counts)
        : session_(session), index_(index), escape_(escape), counts_(counts)
    {
    }

    TextSyncEnd Run()
    {
        const bool exists = session_.TableExists(kDrawingTextTable);
        if (!exists && session_.LastFailure() != DbFailure::None) return Failed();
        std::unordered_map<std::string, int64_t> stored;
        if (exists) {
            std::vector<TextRow> rows;
            if (!session_.SelectStatement({"SELECT FOLDER, FNAME, STAMP FROM " + std::string(kDrawingTextTable) +
                                               " WHERE STATE = 0",
                                           "   ;"},
                                          rows))
                return Failed();
            for (const TextRow& r : rows)
                if (r.size() == 3) stored.emplace(TextKey(r[0], r[1]), StrToInt64OrZero(r[2]));
        }
        const auto indexed = index_.Stamps();
        if (!indexed) return TextSyncEnd::IndexFailed;
        std::vector<int64_t> wanted;
        for (const auto& [key, stamp] : stored) {
            const auto at = indexed->find(key);
            if (at == indexed->end() || at->second != stamp) wanted.push_back(stamp);
        }
        for (const auto& [key, stamp] : *indexed) {
            if (stored.count(key)) continue;
            if (!index_.Remove(key)) return TextSyncEnd::IndexFailed;
            ++counts_.removed;
        }
        std::sort(wanted.begin(), wanted.end());
        for (size_t from = 0; from < wanted.size();) {
            if (EscPressed(escape_)) return TextSyncEnd::Stopped;
            // A slice of stamps close together: stamps between them that are not wanted
            // come along, so a slice stops where they would outnumber the wanted ones.
            size_t to = from + 1;
            while (to < wanted.size() && to - from < kRowsPerStatement &&
                   wanted[to] - wanted[from] <= static_cast<int64_t>(4 * (to - from) + 1000))
                ++to;
            const TextSyncEnd end = ReadSlice(wanted, from, to);
            if (end != TextSyncEnd::Finished) return end;
            from = to;
        }
        session_.EndRead();
        return TextSyncEnd::Finished;
    }

private:
    TextSyncEnd Failed() const
    {
        return session_.ConnectionLost() ? TextSyncEnd::ConnectionLost
               : EscPressed(escape_)     ? TextSyncEnd::Stopped
                                         : TextSyncEnd::ReadFailed;
    }

    TextSyncEnd ReadSlice(const std::vector<int64_t>& wanted, size_t from, size_t to)
    {
        std::vector<TextRow> rows;
        if (!session_.SelectStatement({"SELECT FOLDER, FNAME, STAMP, OCTET_LENGTH(TEXTS), " + Chunk(1) + " FROM " +
                                           kDrawingTextTable,
                                       "   WHERE STATE = 0 AND STAMP BETWEEN " + std::to_string(wanted[from]) +
                                           " AND " + std::to_string(wanted[to - 1]),
                                       "   ;"},
                                      rows))
            return Failed();
        for (const TextRow& r : rows) {
            if (r.size() != 5) continue;
            DrawingTextRecord record{r[0], r[1], StrToInt64OrZero(r[2]), r[4]};
            if (!std::binary_search(wanted.begin() + static_cast<std::ptrdiff_t>(from),
                                    wanted.begin() + static_cast<std::ptrdiff_t>(to), record.stamp))
                continue;
            const int64_t length = StrToInt64OrZero(r[3]);
            if (length > kMaxStoredBytes) {
                record.json.clear();
            } else {
                // The rest of a long line, chunk by chunk; a row changed meanwhile is left
                // for the next update, which sees its new stamp.
                bool whole = true;
                for (int64_t at = static_cast<int64_t>(record.json.size()) + 1; at <= length && whole; at += kChunkBytes) {
                    if (EscPressed(escape_)) return TextSyncEnd::Stopped;
                    std::vector<TextRow> more;
                    if (!session_.SelectStatement({"SELECT " + Chunk(at) + " FROM " + std::string(kDrawingTextTable),
                                                   "   WHERE STATE = 0 AND STAMP = " + std::to_string(record.stamp),
                                                   "   ;"},
                                                  more))
                        return Failed();
                    whole = more.size() == 1 && !more[0].empty() && !more[0][0].empty();
                    if (whole) record.json += more[0][0];
                }
                if (!whole) continue;
            }
            if (!index_.Put(record)) return TextSyncEnd::IndexFailed;
            ++counts_.read;
        }
        return TextSyncEnd::Finished;
    }

    DatabaseSession& session_;
    TextIndex& index_;
    const EscapeKey& escape_;
    TextSyncCounts& counts_;
};

} // namespace

TextSyncEnd UpdateTextIndex(DatabaseSession& session, TextIndex& index, const EscapeKey& escape, TextSyncCounts* counts)
{
    TextSyncCounts own;
    const TextSyncEnd end = Sync(session, index, escape, counts ? *counts : own).Run();
    if (end != TextSyncEnd::Finished) session.EndRead();
    return end;
}
