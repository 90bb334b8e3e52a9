#include "groupwin/entrybatch.h"

#include <algorithm>
#include <set>

#include "db/schema.h"
#include "memo/jwmemo.h"
#include "text/textutil.h"

std::optional<std::vector<bool>> HeldInSubGroup(DatabaseSession& session, int32_t group, int32_t subGroup,
                                                const std::vector<StoredName>& files)
{
    const std::vector<std::string>& column = FileColumns();
    std::vector<TextRow> rows;
    if (!session.SelectStatement({"SELECT " + column[kFilePath] + ", " + column[kFileName],
                                  "   FROM " + FileTableName(group),
                                  "   WHERE " + column[kFileSN] + " = " + IntToStr(subGroup), "   ;"},
                                 rows))
        return std::nullopt;
    std::set<StoredName> held;
    for (const TextRow& row : rows)
        if (row.size() >= 2) held.emplace(row[0], row[1]);
    std::vector<bool> found;
    found.reserve(files.size());
    for (const StoredName& file : files) found.push_back(held.count(file) > 0);
    return found;
}

EntryBatch::EntryBatch(DatabaseSession& session, ShownGroup group, int32_t subGroup, std::string userName,
                       size_t sliceSize, const RootMappings* mappings)
    : session_(session), group_(std::move(group)), subGroup_(subGroup), userName_(std::move(userName)),
      sliceSize_(std::max<size_t>(sliceSize, 1)), mappings_(mappings)
{
}

bool EntryBatch::Add(const std::string& fullPath, const std::string* memo)
{
    if (outcome_ != WriteOutcome::Done) return false;
    EntryOutcome entry = PrepareEntry(subGroup_, fullPath, memo ? *memo : ReadJwMemo(fullPath), userName_, mappings_);
    if (entry.problem != EntryProblem::None) {
        failures_.emplace_back(fullPath, entry.problem);
        return true;
    }
    slice_.push_back(std::move(entry.row));
    sliceRecords_.push_back(std::move(entry.record));
    slicePaths_.push_back(fullPath);
    return slice_.size() < sliceSize_ || StoreSlice();
}

bool EntryBatch::Finish() { return outcome_ == WriteOutcome::Done && StoreSlice(); }

bool EntryBatch::StoreSlice()
{
    outcome_ = StoreEntryRecords(session_, group_, subGroup_, sliceRecords_, pause_);
    if (outcome_ == WriteOutcome::Done) {
        stored_ += static_cast<int>(slice_.size());
        for (size_t i = 0; i < slice_.size(); ++i) {
            FileRow& row = slice_[i];
            row.cells[kCellNumber] = IntToStr(sliceRecords_[i].number);
            row.cells[kCellSubGroup] = IntToStr(sliceRecords_[i].subGroup);
            ShowLocally(row, mappings_);
            storedRows_.push_back(std::move(row));
        }
    } else {
        for (const std::string& path : slicePaths_) failures_.emplace_back(path, EntryProblem::NotStored);
    }
    slice_.clear();
    sliceRecords_.clear();
    slicePaths_.clear();
    return outcome_ == WriteOutcome::Done;
}

std::vector<FileRow> EntryBatch::TakeStored()
{
    std::vector<FileRow> rows;
    rows.swap(storedRows_);
    return rows;
}
