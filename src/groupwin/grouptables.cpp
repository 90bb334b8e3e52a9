#include "groupwin/grouptables.h"

#include <system_error>
#include <thread>
#include <unordered_map>

#include "memo/jwmemo.h"
#include "text/textutil.h"

namespace {

// Below this a second thread costs more than it saves.
constexpr size_t kRowsWorthAThread = 2000;

} // namespace

std::optional<std::vector<FileRow>> ReadFileRows(DatabaseSession& session, int32_t group, int32_t subGroup,
                                                 const RootMappings* mappings)
{
    const std::string condition = subGroup > 0 ? SubGroupIs(subGroup) : "";
    std::optional<std::vector<TextRow>> read = ReadNumberedRows(session, FileTableName(group), condition);
    if (!read) return std::nullopt;
    std::vector<TextRow>& rows = *read;
    std::vector<FileRow> list(rows.size());
    auto make = [&](size_t i) {
        TextRow& r = rows[i];
        r.resize(std::max<size_t>(r.size(), kFileColumnCount));
        const EntryRecord e = EntryFromRow(r).value_or(EntryRecord{});
        list[i] = MakeFileRow(e.number, e.subGroup, e.StoredPath(), e.memo, e.author, mappings);
    };
    // Probing the disk is most of the work once the rows are read: a large list
    // shares it with a second core.
    const size_t half = rows.size() >= kRowsWorthAThread && std::thread::hardware_concurrency() > 1 ? rows.size() / 2 : 0;
    bool helped = false;
    std::thread helper;
    if (half > 0) {
        try {
            helper = std::thread([&] {
                try {
                    for (size_t i = half; i < rows.size(); ++i) make(i);
                    helped = true;
                } catch (...) {   // out of memory: this thread makes them again
                }
            });
        } catch (const std::system_error&) {   // no thread to be had: one does it all
        }
    }
    const size_t mine = helper.joinable() ? half : rows.size();
    for (size_t i = 0; i < mine; ++i) make(i);
    if (helper.joinable()) helper.join();
    if (!helped)
        for (size_t i = mine; i < rows.size(); ++i) make(i);
    return list;
}

// --- sub-groups ------------------------------------------------------------------------

std::string NodeLabel(const std::string& name, const std::string& numberText) { return name + " :" + numberText; }

std::vector<SubGroupNode> BuildSubGroupTree(const std::vector<TextRow>& subGroupRows)
{
    std::vector<SubGroupNode> nodes(1);
    nodes[0].label = NodeLabel("root", "0");
    // The first node of each number; the root comes first, so it keeps number 0.
    std::unordered_map<int32_t, int> byNumber{{0, 0}};
    for (const TextRow& row : subGroupRows) {
        const std::optional<SubGroupRecord> r = SubGroupFromRow(row);
        if (!r) continue;
        SubGroupNode node;
        node.number = r->number;
        node.name = r->name;
        node.label = NodeLabel(r->name, IntToStr(r->number));
        const auto parent = byNumber.find(r->parent);
        node.parent = parent == byNumber.end() ? 0 : parent->second;
        const int index = static_cast<int>(nodes.size());
        nodes[static_cast<size_t>(node.parent)].children.push_back(index);
        byNumber.emplace(node.number, index);
        nodes.push_back(std::move(node));
    }
    return nodes;
}

std::optional<std::vector<SubGroupNode>> ReadSubGroupTree(DatabaseSession& session, int32_t group)
{
    const std::optional<std::vector<TextRow>> rows = ReadNumberedRows(session, SubGroupTableName(group), "");
    if (!rows) return std::nullopt;
    return BuildSubGroupTree(*rows);
}

// --- file entries --------------------------------------------------------------------

EntryOutcome PrepareEntry(int32_t subGroup, const std::string& fullPath, const std::string& memo,
                          const std::string& userName, const RootMappings* mappings)
{
    EntryOutcome out;
    out.row = MakeFileRow(0, subGroup, fullPath, StoredMemo(memo), CleanText(userName));
    out.row.cells[kCellNumber].clear();
    // Where the stored folder is decided: the Windows form below a shared folder, so that
    // colleagues on Windows PCs find the file too, and checked in that form, which is the
    // one the column must hold. The file name stays as it is.
    if (mappings) {
        const std::string stored = StoredPath(out.row.FullPath(), *mappings);
        if (stored != out.row.FullPath()) out.row.cells[kCellFolder] = PathFolder(stored);
    }
    out.problem = CheckEntryNames(out.row.cells[kCellName], out.row.cells[kCellFolder]);
    out.record = EntryRecord{0, out.row.cells[kCellName], out.row.cells[kCellFolder], out.row.cells[kCellMemo],
                             out.row.cells[kCellAddedBy], subGroup};
    return out;
}

void ShowLocally(FileRow& row, const RootMappings* mappings)
{
    if (mappings) row.cells[kCellFolder] = PathFolder(LocalPath(row.FullPath(), *mappings));
}

EntryOutcome StoreEntry(DatabaseSession& session, int32_t group, int32_t subGroup, const std::string& fullPath,
                        const std::string& memo, const std::string& userName, const RootMappings* mappings)
{
    EntryOutcome out = PrepareEntry(subGroup, fullPath, memo, userName, mappings);
    if (out.problem != EntryProblem::None) return out;
    const int32_t number = InsertNumbered(session, FileTableName(group), FileColumns(), EntryValues(out.record));
    ShowLocally(out.row, mappings);
    if (number == 0) {
        out.problem = EntryProblem::NotStored;
        return out;
    }
    out.record.number = number;
    out.row.cells[kCellNumber] = IntToStr(number);
    return out;
}

EntryOutcome RegisterFile(DatabaseSession& session, int32_t group, int32_t subGroup, const std::string& fullPath,
                          const std::string& userName, const RootMappings* mappings)
{
    return StoreEntry(session, group, subGroup, fullPath, ReadJwMemo(fullPath), userName, mappings);
}
