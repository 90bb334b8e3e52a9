#include "store/writes.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QTimer>

#include "db/schema.h"
#include "store/reads.h"
#include "text/textutil.h"

ShownGroup ShownFromRecord(const GroupRecord& r) { return {r.number, r.name, r.author, r.title, r.subtitle}; }

ShownGroup ShownFromRow(const TextRow& row)
{
    const std::optional<GroupRecord> record = GroupFromRow(row);
    return record ? ShownFromRecord(*record) : ShownGroup{};
}

bool StillShown(const GroupRecord& now, const ShownGroup& shown)
{
    return now.number != 0 && now.number == shown.number && now.name == shown.name && now.author == shown.author &&
           now.title == shown.title && now.subtitle == shown.subtitle;
}

std::optional<ShownGroup> ReadShownGroup(DatabaseSession& session, int32_t group)
{
    const std::optional<GroupRecord> record = ReadGroupRecord(session, group);
    if (!record) return std::nullopt;
    return ShownFromRecord(*record);
}

WriteOutcome FailureOutcome(DatabaseSession& session)
{
    return session.LastFailure() == DbFailure::LostConnection || !session.Connected() ? WriteOutcome::Lost
                                                                                       : WriteOutcome::Failed;
}

namespace {

bool SameTexts(const GroupRecord& a, const GroupRecord& b)
{
    return a.number == b.number && a.name == b.name && a.title == b.title && a.subtitle == b.subtitle &&
           a.author == b.author && a.memo1 == b.memo1 && a.memo2 == b.memo2 && a.memo3 == b.memo3 &&
           a.picture == b.picture;
}

} // namespace

WriteOutcome CheckWriteTarget(DatabaseSession& session, const WriteTarget& target)
{
    const int32_t number = target.group.number;
    if (number == 0) return WriteOutcome::GroupChanged;
    const std::optional<GroupRecord> now = ReadGroupRecord(session, number);
    if (!now) return FailureOutcome(session);
    const bool holds = target.wholeRecord ? now->number != 0 && SameTexts(*now, *target.wholeRecord)
                       : target.nameOnly  ? now->number == number && now->name == target.group.name
                                          : StillShown(*now, target.group);
    if (!holds) return WriteOutcome::GroupChanged;
    if (target.subGroup <= 0) return WriteOutcome::Done;
    // Locked until the unit ends: no other copy deletes it under what is filed there.
    const std::vector<TextRow> rows = session.LockRecords(SubGroupTableName(number), NumberIs(target.subGroup));
    if (session.LastFailure() != DbFailure::None) return FailureOutcome(session);
    return rows.empty() ? WriteOutcome::SubGroupGone : WriteOutcome::Done;
}

void SleepPause(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

void WaitInEventLoop(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

namespace {

bool IsClash(DbFailure failure) { return failure == DbFailure::UniqueKey || failure == DbFailure::Conflict; }

// One try of a unit: the checks, then the write. The failure that ended it, if any.
WriteOutcome TryGroupWrite(DatabaseSession& session, const WriteTarget& target, const std::function<bool()>& write,
                           DbFailure& failure)
{
    failure = DbFailure::None;
    if (!session.BeginWork()) {
        failure = session.LastFailure();
        return FailureOutcome(session);
    }
    WriteOutcome out = CheckWriteTarget(session, target);
    if (out == WriteOutcome::Done && (!write() || !session.CommitWork())) out = FailureOutcome(session);
    if (out == WriteOutcome::Failed || out == WriteOutcome::Lost) failure = session.LastFailure();
    session.RollbackWork();   // nothing to roll back after a commit
    return out;
}

// A short pause of random length, so that two copies that clashed do not meet again.
int PauseAfterClash(int attempt)
{
    const int upTo = 20 + 20 * std::min(attempt, 10);
    return static_cast<int>(QRandomGenerator::global()->bounded(10, upTo));
}

} // namespace

WriteOutcome RunGroupWrite(DatabaseSession& session, const WriteTarget& target, bool retryClashes,
                           const std::function<bool()>& write, const ClashPause& pause)
{
    QElapsedTimer clock;
    clock.start();
    for (int attempt = 0;; ++attempt) {
        DbFailure failure = DbFailure::None;
        const WriteOutcome out = TryGroupWrite(session, target, write, failure);
        if (out != WriteOutcome::Failed) return out;
        if (failure == DbFailure::LostConnection || !session.Connected()) return WriteOutcome::Lost;
        if (retryClashes && IsClash(failure) && !clock.hasExpired(kClashRetryMs)) {
            (pause ? pause : SleepPause)(PauseAfterClash(attempt));
            continue;
        }
        // A group deleted after the check, its tables with it, fails the write: say that.
        DbFailure ignored;
        const WriteOutcome again = TryGroupWrite(session, target, [] { return false; }, ignored);
        if (again == WriteOutcome::GroupChanged || again == WriteOutcome::SubGroupGone || again == WriteOutcome::Lost)
            return again;
        return out;
    }
}

int32_t InsertNumbered(DatabaseSession& session, const std::string& table, const std::vector<std::string>& columns,
                       std::vector<std::string> values)
{
    const int attempts = session.InWork() ? 1 : kNumberAttempts;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        const NextNumbers next = NextNumbersOf(session, table);
        if (!next.Ok()) return 0;
        values[0] = IntToStr(next.first);
        if (session.InsertRecord(table, static_cast<int>(columns.size()), columns, values)) return next.first;
        if (session.LastFailure() != DbFailure::UniqueKey) return 0;
    }
    return 0;
}
