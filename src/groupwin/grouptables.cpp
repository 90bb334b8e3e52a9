#include "groupwin/grouptables.h"

#include <climits>
#include <unordered_map>

#include "memo/jwmemo.h"
#include "text/textutil.h"

namespace {

std::string NumberCondition(const char* column, int32_t number) { return std::string(column) + "=" + IntToStr(number); }

// Inserts the values (the first one is the number, filled in here) under the largest
// number plus one. When another copy of the program took that number between the
// maximum and the insert, the unique key refuses the row: take a fresh maximum and try
// again, a few times. The number stored, or 0.
int32_t InsertNumbered(DatabaseSession& session, const std::string& table, const std::vector<std::string>& columns,
                       std::vector<std::string> values)
{
    for (int attempt = 0; attempt < kNumberAttempts; ++attempt) {
        std::string max;
        session.SelectMax(table, "N", "", max);
        const int32_t highest = StrToIntOrZero(max);
        if (highest == INT32_MAX) return 0;   // no number left to give
        const int32_t number = highest + 1;
        values[0] = IntToStr(number);
        if (session.InsertRecord(table, static_cast<int>(columns.size()), columns, values)) return number;
        if (session.LastFailure() != DbFailure::UniqueKey) return 0;
    }
    return 0;
}

} // namespace

bool EnsureGroupTables(DatabaseSession& session, int32_t group)
{
    const std::string files = FileTableName(group), subGroups = SubGroupTableName(group);
    bool ok = true;
    if (!session.TableExists(files)) ok = CreateFileTable(session, files);
    if (!session.TableExists(subGroups)) ok = CreateSubGroupTable(session, subGroups) && ok;
    return ok;
}

std::vector<TextRow> ReadTableRows(DatabaseSession& session, const std::string& table, const std::string& condition)
{
    return session.SelectAllRows("*", table, condition, "N");
}

std::vector<FileRow> ReadFileRows(DatabaseSession& session, int32_t group, int32_t subGroup,
                                  const NetworkPathLookup& getNetworkPath, const RootMappings* mappings)
{
    const std::string condition = subGroup > 0 ? NumberCondition("SN", subGroup) : "";
    std::vector<TextRow> rows = ReadTableRows(session, FileTableName(group), condition);
    std::vector<FileRow> list;
    list.reserve(rows.size());
    for (TextRow& r : rows) {
        r.resize(std::max<size_t>(r.size(), kFileColumnCount));
        list.push_back(MakeFileRow(StrToIntOrZero(r[kFileN]), StrToIntOrZero(r[kFileSN]), r[kFilePath] + r[kFileName],
                                   r[kFileMemo], r[kFilePName], getNetworkPath, mappings));
    }
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
        if (row.size() < kSubGroupColumnCount) continue;
        SubGroupNode node;
        node.number = StrToIntOrZero(row[kSubN]);
        node.name = row[kSubName];
        node.label = NodeLabel(row[kSubName], row[kSubN]);
        const auto parent = byNumber.find(StrToIntOrZero(row[kSubParent]));
        node.parent = parent == byNumber.end() ? 0 : parent->second;
        const int index = static_cast<int>(nodes.size());
        nodes[static_cast<size_t>(node.parent)].children.push_back(index);
        byNumber.emplace(node.number, index);
        nodes.push_back(std::move(node));
    }
    return nodes;
}

std::vector<SubGroupNode> ReadSubGroupTree(DatabaseSession& session, int32_t group)
{
    return BuildSubGroupTree(ReadTableRows(session, SubGroupTableName(group), ""));
}

int32_t CreateSubGroup(DatabaseSession& session, int32_t group, const std::string& name, const std::string& userName,
                       int32_t parent)
{
    return InsertNumbered(session, SubGroupTableName(group), SubGroupColumns(),
                          {"", TextLiteral(CleanText(name)), TextLiteral(CleanText(userName)), IntToStr(parent)});
}

bool RenameSubGroup(DatabaseSession& session, int32_t group, int32_t number, const std::string& name)
{
    return session.UpdateRecordText(SubGroupTableName(group), "SGRPNAME=" + TextLiteral(name),
                                    NumberCondition("N", number));
}

int CountSubGroupEntries(DatabaseSession& session, int32_t group, int32_t number)
{
    return session.CountRecords(FileTableName(group), NumberCondition("SN", number));
}

bool DeleteSubGroup(DatabaseSession& session, int32_t group, int32_t number)
{
    if (!session.DeleteRecords(SubGroupTableName(group), NumberCondition("N", number))) return false;
    // Entries whose delete fails keep their number and still show under the root.
    session.DeleteRecords(FileTableName(group), NumberCondition("SN", number));
    return true;
}

// --- file entries --------------------------------------------------------------------

EntryProblem CheckEntryNames(const std::string& fileName, const std::string& folder)
{
    for (const std::string* text : {&fileName, &folder}) {
        // Second bytes of double-byte characters start at 0x40: every low byte is a control.
        for (char c : *text)
            if (static_cast<unsigned char>(c) < 0x20) return EntryProblem::ControlCharacter;
        if (text->size() > kFileTextWidth) return EntryProblem::TooLong;
    }
    return EntryProblem::None;
}

std::string StoredMemo(const std::string& memo) { return CutBytes(CleanText(memo), kFileTextWidth); }

EntryOutcome StoreEntry(DatabaseSession& session, int32_t group, int32_t subGroup, const std::string& fullPath,
                        const std::string& memo, const std::string& userName, const NetworkPathLookup& getNetworkPath,
                        const RootMappings* mappings)
{
    const std::string user = CleanText(userName);
    EntryOutcome out;
    out.row = MakeFileRow(0, subGroup, fullPath, StoredMemo(memo), user, getNetworkPath);
    auto& cells = out.row.cells;
    // Where the stored folder is decided: the Windows form below a shared folder, so
    // that colleagues on Windows PCs find the file too. The file name stays as it is.
    std::string storedFolder = cells[kCellFolder];
    if (mappings) {
        const std::string stored = StoredPath(out.row.FullPath(), *mappings);
        if (stored != out.row.FullPath()) storedFolder = PathFolder(stored);
    }
    out.problem = CheckEntryNames(cells[kCellName], storedFolder);
    if (out.problem != EntryProblem::None) return out;

    const int32_t number = InsertNumbered(session, FileTableName(group), FileColumns(),
                                          {"", TextLiteral(cells[kCellName]), TextLiteral(storedFolder),
                                           TextLiteral(cells[kCellMemo]), TextLiteral(user), IntToStr(subGroup)});
    if (number == 0) {
        out.problem = EntryProblem::NotStored;
        return out;
    }
    cells[kCellNumber] = IntToStr(number);
    out.problem = EntryProblem::None;
    return out;
}

EntryOutcome RegisterFile(DatabaseSession& session, int32_t group, int32_t subGroup, const std::string& fullPath,
                          const std::string& userName, const NetworkPathLookup& getNetworkPath,
                          const RootMappings* mappings)
{
    return StoreEntry(session, group, subGroup, fullPath, ReadJwMemo(fullPath), userName, getNetworkPath, mappings);
}

bool RemoveEntry(DatabaseSession& session, int32_t group, int32_t number)
{
    return session.DeleteRecords(FileTableName(group), NumberCondition("N", number));
}

bool UpdateEntryMemo(DatabaseSession& session, int32_t group, int32_t number, const std::string& storedMemo)
{
    return session.UpdateRecordText(FileTableName(group), "FILE_MEMO=" + TextLiteral(storedMemo),
                                    NumberCondition("N", number));
}
