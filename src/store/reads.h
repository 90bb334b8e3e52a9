#pragma once
// Reads that tell a failure from an empty answer. The session's own helpers answer a
// failed read as they answer an absent table, an empty table or no row (false, empty
// text, no rows), and once the connection is gone they do not even set a failure: a
// caller that went on would take the rest of the database for empty.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "db/session.h"
#include "store/records.h"

// Whether the table exists; nullopt when the server could not be asked.
std::optional<bool> TablePresent(DatabaseSession& session, const std::string& table);

// Every row the select returns; nullopt when it could not be read.
std::optional<std::vector<TextRow>> ReadRows(DatabaseSession& session, const std::string& columns,
                                             const std::string& table, const std::string& condition,
                                             const std::string& order);

// The catalogue row of a group; nullopt when it could not be read, a record numbered 0
// when there is no such row.
std::optional<GroupRecord> ReadGroupRecord(DatabaseSession& session, int32_t group);

// The largest N of a table (0 for an empty one); nullopt when it could not be read.
std::optional<int32_t> MaxNumber(DatabaseSession& session, const std::string& table);

// The first of `count` numbers that follow the largest N of a table.
struct NextNumbers {
    enum class Status { Ok, Full, Failed } status = Status::Failed;   // Full: no numbers left
    int32_t first = 0;
    bool Ok() const { return status == Status::Ok; }
};
NextNumbers NextNumbersOf(DatabaseSession& session, const std::string& table, int32_t count = 1);
