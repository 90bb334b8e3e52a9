#pragma once
// The statements on a group's two tables (db/schema.h): its file table, one row per
// file entry, and its sub-group table, the tree under the group. Texts are CP932.
#include <cstdint>
#include <string>
#include <vector>

#include "db/session.h"
#include "store/records.h"
#include "store/writes.h"

// Creates whichever of the group's two tables is missing. True when both exist after;
// false too when the server could not be asked whether they do.
bool EnsureGroupTables(DatabaseSession& session, int32_t group);

// Every row of the table ("*", ordered by N); nullopt when it could not be read.
std::optional<std::vector<TextRow>> ReadNumberedRows(DatabaseSession& session, const std::string& table,
                                                     const std::string& condition);

// --- sub-groups --------------------------------------------------------------------

// Inserts a row of the sub-group table; the number of the new sub-group, 0 when
// nothing was stored. Inside a unit of work a number taken meanwhile is not tried
// again: the unit's snapshot would not see it (RunGroupWrite tries the unit again).
int32_t CreateSubGroup(DatabaseSession& session, int32_t group, const std::string& name,
                       const std::string& userName, int32_t parent);
bool RenameSubGroup(DatabaseSession& session, int32_t group, int32_t number, const std::string& name);
// Entries filed directly under the sub-group; -1 when the count failed.
int CountSubGroupEntries(DatabaseSession& session, int32_t group, int32_t number);
// Deletes the sub-group's row and the entries filed directly under it, both or neither:
// in the caller's unit of work, or in one of its own. found: whether the row was there;
// entries: how many entries went. False when a statement failed.
bool DeleteSubGroup(DatabaseSession& session, int32_t group, int32_t number, bool* found = nullptr,
                    long* entries = nullptr);
// Deletes sub-group `number` and its entries as one unit, only while it holds exactly
// `counted` entries (the number the user was asked about); CountChanged otherwise.
WriteOutcome DeleteSubGroupAsCounted(DatabaseSession& session, const ShownGroup& group, int32_t number, int counted);

// --- file entries ------------------------------------------------------------------

// Why a file was not registered.
enum class EntryProblem {
    None,
    ControlCharacter,   // its name or folder holds a control character
    TooLong,            // its name or folder is longer than its column
    NotStored,          // the database refused it
};

// Whether a file name and folder can be stored as they are. Quotation marks can: the
// literals double a single one.
EntryProblem CheckEntryNames(const std::string& fileName, const std::string& folder);

// The memo as it is stored: cleaned, cut to the column at a character boundary.
std::string StoredMemo(const std::string& memo);

bool RemoveEntry(DatabaseSession& session, int32_t group, int32_t number);
// Files the entries under another sub-group (SN), a few hundred by each update; entries
// another copy removed meanwhile are passed over. moved: how many were moved. False when
// an update failed otherwise.
bool MoveEntries(DatabaseSession& session, int32_t group, const std::vector<int32_t>& numbers, int32_t subGroup,
                 int* moved);
bool UpdateEntryMemo(DatabaseSession& session, int32_t group, int32_t number, const std::string& storedMemo);

// Stores entries (names checked) under the sub-group as one unit: one SELECT MAX(N), one
// insert each with the following numbers, one commit; a clash with another copy is
// tried again with a fresh maximum, pausing through `pause`. Each record's number and
// sub-group are set when stored (numbers 0 otherwise).
WriteOutcome StoreEntryRecords(DatabaseSession& session, const ShownGroup& group, int32_t subGroup,
                               std::vector<EntryRecord>& entries, const ClashPause& pause = SleepPause);
