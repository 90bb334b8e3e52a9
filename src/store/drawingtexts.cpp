#include "store/drawingtexts.h"

#include <algorithm>
#include <random>
#include <vector>

#include "db/schema.h"
#include "store/reads.h"
#include "text/textutil.h"

namespace {

// Rows deleted by one statement.
constexpr std::size_t kDeleteBatch = 50;

// A literal that stays a text when empty: the key columns take no NULL.
std::string KeyLiteral(std::string_view text) { return text.empty() ? std::string("''") : TextLiteral(text); }

std::string KeyCondition(const DrawingTextKey& key)
{
    return "FOLDER = " + KeyLiteral(key.folder) + " AND FNAME = " + KeyLiteral(key.name);
}

std::int64_t Int64OrMinusOne(const std::string& text)
{
    if (text.empty()) return -1;
    try {
        std::size_t used = 0;
        const long long v = std::stoll(text, &used);
        return used == text.size() ? v : -1;
    } catch (...) {
        return -1;
    }
}

bool Clash(DbFailure f) { return f == DbFailure::UniqueKey || f == DbFailure::Conflict; }

} // namespace

bool StorableDrawingTextKey(const DrawingTextKey& key)
{
    return key.folder.size() <= kFileTextWidth && key.name.size() <= kFileTextWidth && !key.name.empty() &&
           key.folder.find('\0') == std::string::npos && key.name.find('\0') == std::string::npos;
}

bool EnsureDrawingTextTable(DatabaseSession& session)
{
    const std::optional<bool> present = TablePresent(session, kDrawingTextTable);
    if (!present) return false;
    if (*present) return true;
    if (CreateDrawingTextTable(session)) return true;
    // Another copy may be making it at the same moment: its commit is looked for a while.
    for (int look = 0; look < 10; ++look) {
        const std::optional<bool> made = TablePresent(session, kDrawingTextTable);
        if (!made) return false;
        if (*made) return true;
        SleepPause(100);
    }
    return false;
}

std::optional<StoredDrawingTexts> ReadStoredDrawingTexts(DatabaseSession& session)
{
    const std::optional<std::vector<TextRow>> rows =
        ReadRows(session, "FOLDER, FNAME, FSIZE, FTIME, STATE, STAMP", kDrawingTextTable, "", "");
    if (!rows) return std::nullopt;
    StoredDrawingTexts out;
    for (const TextRow& r : *rows) {
        if (r.size() < 6) return std::nullopt;
        StoredDrawingText row;
        row.size = Int64OrMinusOne(r[2]);
        row.time = Int64OrMinusOne(r[3]);
        row.state = StrToIntOrZero(r[4]);
        row.stamp = r[5];
        out.emplace(DrawingTextKey{r[0], r[1]}, std::move(row));
    }
    return out;
}

DrawingTextPlan PlanDrawingText(const StoredDrawingText* row, const DrawingFileSeen& file)
{
    if (!file.present) return row ? DrawingTextPlan::Keep : DrawingTextPlan::StoreMissing;
    if (row && row->size == file.size && row->time == file.time) return DrawingTextPlan::Keep;
    return DrawingTextPlan::Read;
}

namespace {

std::vector<std::string> StoreStatement(const DrawingTextResult& r)
{
    return {"UPDATE OR INSERT INTO " + std::string(kDrawingTextTable) + " (FOLDER, FNAME, FSIZE, FTIME, STATE, TEXTS, STAMP)",
            "  VALUES (" + KeyLiteral(r.key.folder) + ", " + KeyLiteral(r.key.name) + ", " +
                IntToStr(r.file.present ? r.file.size : -1) + ", " + IntToStr(r.file.present ? r.file.time : -1) + ", " +
                IntToStr(static_cast<int>(r.state)) + ", " + (r.state == DrawingTextState::Read ? "?" : "NULL") +
                ", NEXT VALUE FOR " + kDrawingTextStampSequence + ")",
            "  MATCHING (FOLDER, FNAME);"};
}

bool Write(DatabaseSession& session, const DrawingTextResult& r)
{
    return r.state == DrawingTextState::Read ? session.ExecuteWithBlob(StoreStatement(r), r.texts)
                                             : session.ExecuteStatement(StoreStatement(r));
}

bool Lost(DatabaseSession& session)
{
    return session.LastFailure() == DbFailure::LostConnection || !session.Connected();
}

} // namespace

DrawingTextStored StoreDrawingText(DatabaseSession& session, const DrawingTextResult& result, const ClashPause& pause)
{
    if (!StorableDrawingTextKey(result.key)) return DrawingTextStored::Failed;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!session.Connected()) return session.ConnectionLost() ? DrawingTextStored::Lost : DrawingTextStored::Failed;
        if (Write(session, result)) return DrawingTextStored::Stored;
        if (Lost(session)) return DrawingTextStored::Lost;
        if (!Clash(session.LastFailure())) return DrawingTextStored::Failed;
        // The other copy has committed or given up by now (the lock time-out): the row
        // is written again over its row, with a stamp after its stamp.
        if (attempt == 0) {
            thread_local std::minstd_rand random{std::random_device{}()};
            (pause ? pause : SleepPause)(50 + static_cast<int>(random() % 200));
        }
    }
    return DrawingTextStored::Yielded;
}

DrawingTextStored StoreDrawingTexts(DatabaseSession& session, const std::vector<DrawingTextResult>& results,
                                    const ClashPause& pause)
{
    if (results.empty()) return DrawingTextStored::Stored;
    bool together = results.size() > 1 && session.BeginWork();
    for (std::size_t i = 0; together && i < results.size(); ++i)
        together = StorableDrawingTextKey(results[i].key) && Write(session, results[i]);
    if (together && session.CommitWork()) return DrawingTextStored::Stored;
    session.RollbackWork();
    if (results.size() > 1 && Lost(session)) return DrawingTextStored::Lost;
    // A clash with another copy, or one result the server refused: each alone.
    DrawingTextStored all = DrawingTextStored::Stored;
    for (const DrawingTextResult& r : results) {
        const DrawingTextStored one = StoreDrawingText(session, r, pause);
        if (one == DrawingTextStored::Lost || one == DrawingTextStored::Failed) return one;
        if (one == DrawingTextStored::Yielded) all = one;
    }
    return all;
}

std::optional<long> DropUnnamedDrawingTexts(DatabaseSession& session, const StoredDrawingTexts& seen,
                                            const std::set<DrawingTextKey>& named)
{
    std::vector<std::string> conditions;
    for (const auto& [key, row] : seen) {
        if (named.count(key)) continue;
        conditions.push_back("(" + KeyCondition(key) + " AND STAMP " +
                             (row.stamp.empty() ? std::string("IS NULL") : "= " + IntToStr(Int64OrMinusOne(row.stamp))) +
                             ")");
    }
    long dropped = 0;
    for (std::size_t at = 0; at < conditions.size(); at += kDeleteBatch) {
        std::vector<std::string> lines{"DELETE FROM " + std::string(kDrawingTextTable) + " WHERE"};
        for (std::size_t i = at; i < std::min(conditions.size(), at + kDeleteBatch); ++i)
            lines.push_back((i == at ? "  " : "  OR ") + conditions[i]);
        lines.back() += ";";
        if (!session.ExecuteStatement(lines)) return std::nullopt;
        dropped += std::max(0L, session.RowsAffected());
    }
    return dropped;
}
