#include "store/reads.h"

#include <algorithm>
#include <climits>

#include "db/schema.h"
#include "text/textutil.h"

namespace {

// After a helper ran: whether it could ask the server. Detached, the helpers answer
// without a word.
bool Asked(DatabaseSession& session) { return session.Connected() && session.LastFailure() == DbFailure::None; }

} // namespace

std::optional<bool> TablePresent(DatabaseSession& session, const std::string& table)
{
    if (!session.Connected()) return std::nullopt;
    const bool present = session.TableExists(table);
    if (!Asked(session)) return std::nullopt;
    return present;
}

std::optional<std::vector<TextRow>> ReadRows(DatabaseSession& session, const std::string& columns,
                                             const std::string& table, const std::string& condition,
                                             const std::string& order)
{
    if (!session.Connected()) return std::nullopt;
    std::vector<TextRow> rows = session.SelectAllRows(columns, table, condition, order);
    if (!Asked(session)) return std::nullopt;
    return rows;
}

std::optional<GroupRecord> ReadGroupRecord(DatabaseSession& session, int32_t group)
{
    const std::optional<std::vector<TextRow>> rows = ReadRows(session, "*", kCatalogueTable, NumberIs(group), "");
    if (!rows) return std::nullopt;
    if (rows->empty()) return GroupRecord{};
    return GroupFromRow(rows->front()).value_or(GroupRecord{});
}

std::optional<int32_t> MaxNumber(DatabaseSession& session, const std::string& table)
{
    if (!session.Connected()) return std::nullopt;
    std::string max;
    session.SelectMax(table, "N", "", max);
    if (!Asked(session)) return std::nullopt;
    return StrToIntOrZero(max);
}

NextNumbers NextNumbersOf(DatabaseSession& session, const std::string& table, int32_t count)
{
    const std::optional<int32_t> highest = MaxNumber(session, table);
    if (!highest) return {NextNumbers::Status::Failed, 0};
    if (int64_t(*highest) + std::max<int64_t>(count, 1) > INT32_MAX) return {NextNumbers::Status::Full, 0};
    return {NextNumbers::Status::Ok, *highest + 1};
}
