#pragma once
// The files of one add, paste or drop, registered as a batch: each file is prepared
// first (its names checked, its memo read from the drawing unless one is given), outside
// any transaction, and the prepared entries are stored in slices of one unit of work
// each. A long batch can thus stop between two files and keep what was stored, and no
// transaction stays open while the program shows its progress.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "groupwin/grouptables.h"

// Entries stored in one unit of work at most: a cancelled batch keeps every slice
// stored before it, and one transaction never grows without bound.
inline constexpr size_t kEntrySlice = 2000;

// Which of the files, each by the folder and file name that PrepareEntry stores, the
// sub-group holds already: an entry filed directly under it with that folder and name,
// byte for byte. Nothing when its entries could not be read: never taken for "none held".
using StoredName = std::pair<std::string, std::string>;   // folder, file name
std::optional<std::vector<bool>> HeldInSubGroup(DatabaseSession& session, int32_t group, int32_t subGroup,
                                                const std::vector<StoredName>& files);

class EntryBatch {
public:
    EntryBatch(DatabaseSession& session, ShownGroup group, int32_t subGroup, std::string userName,
               size_t sliceSize = kEntrySlice, const RootMappings* mappings = nullptr);

    // The wait between two tries after a clash with another copy; the window passes
    // WaitInEventLoop while its progress dialog stands.
    void SetClashPause(ClashPause pause) { pause_ = std::move(pause); }

    // Prepares one file, with the memo given or, without one, the drawing's; a full slice
    // is stored at once. A name that cannot be stored is refused here, before any
    // transaction. False once the batch has stopped: the file is then not taken.
    bool Add(const std::string& fullPath, const std::string* memo = nullptr);
    // Stores what is prepared. False when the batch stopped.
    bool Finish();

    // Done while nothing stopped the batch; else why it stopped (the slice under way and
    // the files after it were not stored).
    WriteOutcome Outcome() const { return outcome_; }
    int StoredCount() const { return stored_; }
    // The rows stored since the last call, numbered, in the order they were added, with
    // the folders as this system finds them.
    std::vector<FileRow> TakeStored();
    // The files not stored, with the reason, in the order they were added.
    const std::vector<std::pair<std::string, EntryProblem>>& Failures() const { return failures_; }

private:
    bool StoreSlice();

    DatabaseSession& session_;
    ShownGroup group_;
    int32_t subGroup_;
    std::string userName_;
    size_t sliceSize_;
    const RootMappings* mappings_;   // folders shared with Windows PCs; nullptr: none
    ClashPause pause_ = SleepPause;
    std::vector<FileRow> slice_;
    std::vector<EntryRecord> sliceRecords_;   // slice_ as stored
    std::vector<std::string> slicePaths_;   // as given, for the failures
    std::vector<FileRow> storedRows_;
    std::vector<std::pair<std::string, EntryProblem>> failures_;
    WriteOutcome outcome_ = WriteOutcome::Done;
    int stored_ = 0;
};
