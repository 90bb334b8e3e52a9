#pragma once
// The rows of the three kinds of table as typed records: numbers as integers, texts as
// the CP932 bytes the columns hold. Each kind is read from a result row and turned into
// the values of an insert in one place, by the column positions of db/schema.h.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "db/session.h"

// One row of the group catalogue. A NULL position reads as none.
struct GroupRecord {
    int32_t number = 0;   // 0: no such row
    std::string name, title, subtitle, author, memo1, memo2, memo3, picture;
    std::optional<int32_t> x, y;
};

// One file entry of a group's file table.
struct EntryRecord {
    int32_t number = 0;
    std::string fileName, folder, memo, author;
    int32_t subGroup = 0;   // 0: filed directly under the group
    std::string StoredPath() const { return folder + fileName; }
};

// One sub-group of a group's sub-group table.
struct SubGroupRecord {
    int32_t number = 0;
    std::string name, author;
    int32_t parent = 0;
};

// From a "SELECT *" row; nullopt when the row is shorter than the table (never a
// record made up of missing columns).
std::optional<GroupRecord> GroupFromRow(const TextRow& row);
std::optional<EntryRecord> EntryFromRow(const TextRow& row);
std::optional<SubGroupRecord> SubGroupFromRow(const TextRow& row);

// The values of an insert or a full update, in column order: numbers bare, texts as
// literals (empty text as NULL), a missing position as NULL.
std::vector<std::string> GroupValues(const GroupRecord& record);
std::vector<std::string> EntryValues(const EntryRecord& record);
std::vector<std::string> SubGroupValues(const SubGroupRecord& record);

// Conditions on a number column: "N=7", "SN=7".
std::string NumberIs(int32_t number);
std::string SubGroupIs(int32_t subGroup);
