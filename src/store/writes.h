#pragma once
// How every write stays safe beside other copies of the program, written once: the
// group's catalogue row is read again inside the unit and must still hold what the
// window showed (another copy may have deleted the group and given its number to a new
// one), the sub-group the write files under is locked so that it cannot vanish before
// the commit, then the write, then the commit; or the reason why not.
//
// New rows are numbered here too: the largest number plus one, a number that another
// copy took meanwhile tried again with a fresh maximum.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "db/session.h"
#include "store/records.h"

// How a write ended; nothing is written unless Done.
enum class WriteOutcome {
    Done,
    GroupChanged,   // the group is no longer the one shown: another copy changed or
                    // deleted it, perhaps giving its number to a new group
    SubGroupGone,   // another copy deleted the sub-group it files under
    CountChanged,   // a delete found another number of rows than the user was asked about
    Failed,
    Lost,           // the connection to the server was lost
};

// What a window showed of a group when the user chose it, as stored.
struct ShownGroup {
    int32_t number = 0;   // 0: none
    std::string name, author, title, subtitle;
};
ShownGroup ShownFromRecord(const GroupRecord& record);
// From a "SELECT *" row of the catalogue (empty when the row is short).
ShownGroup ShownFromRow(const TextRow& catalogueRow);
bool StillShown(const GroupRecord& now, const ShownGroup& shown);

// The group as a window shows it; nullopt when it could not be read, number 0 when
// there is no such group.
std::optional<ShownGroup> ReadShownGroup(DatabaseSession& session, int32_t group);

// What a write must find unchanged.
struct WriteTarget {
    ShownGroup group;
    int32_t subGroup = 0;                     // above 0: must exist, locked until the unit ends
    const GroupRecord* wholeRecord = nullptr;  // set: every text up to the picture must be as in it
    bool nameOnly = false;                     // only the number and name were read (the link check)
};

// Inside the caller's unit of work: Done when the target still holds.
WriteOutcome CheckWriteTarget(DatabaseSession& session, const WriteTarget& target);

// The wait between two tries after a clash, in milliseconds. The default sleeps; a
// window passes one that keeps its events running (WaitInEventLoop).
using ClashPause = std::function<void(int milliseconds)>;
void SleepPause(int milliseconds);
// Runs a local event loop for the time: for the user-interface thread while a modal
// progress dialog stands, so that the window is drawn and answers meanwhile.
void WaitInEventLoop(int milliseconds);

// How long a write that clashes with another copy (a number taken meanwhile, a row it
// holds) is tried again before it gives up.
inline constexpr int kClashRetryMs = 20000;

// Runs write as one unit after CheckWriteTarget, committed when write returns true,
// else rolled back. retryClashes: when a number that another copy took meanwhile or a
// row it holds stops the unit, the unit is tried again after a short random pause, for
// at most kClashRetryMs. A failure whose cause was the group or sub-group going away
// is told as such.
WriteOutcome RunGroupWrite(DatabaseSession& session, const WriteTarget& target, bool retryClashes,
                           const std::function<bool()>& write, const ClashPause& pause = SleepPause);
inline WriteOutcome RunGroupWrite(DatabaseSession& session, const ShownGroup& group, int32_t subGroup,
                                  bool retryClashes, const std::function<bool()>& write,
                                  const ClashPause& pause = SleepPause)
{
    return RunGroupWrite(session, WriteTarget{group, subGroup, nullptr}, retryClashes, write, pause);
}

// Failed, or Lost when the connection went: after a failed operation.
WriteOutcome FailureOutcome(DatabaseSession& session);

// --- numbering ---------------------------------------------------------------------

// How often a single insert is tried with a fresh number when another copy of the
// program took the number first (outside a unit of work).
inline constexpr int kNumberAttempts = 5;

// Inserts the values (the first is N, filled in here) under the largest number plus
// one; outside a unit of work a number taken meanwhile is tried again with a fresh
// maximum. Inside one the unit's snapshot would not see it: one try (RunGroupWrite
// tries the unit again). The number stored, 0 when nothing was stored.
int32_t InsertNumbered(DatabaseSession& session, const std::string& table, const std::vector<std::string>& columns,
                       std::vector<std::string> values);
