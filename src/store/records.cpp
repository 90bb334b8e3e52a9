#include "store/records.h"

#include "db/schema.h"
#include "text/textutil.h"

namespace {

std::optional<int32_t> OptionalNumber(const std::string& text)
{
    if (text.empty()) return std::nullopt;
    return StrToIntOrZero(text);
}

std::string NumberOrNull(const std::optional<int32_t>& value) { return value ? IntToStr(*value) : "NULL"; }

} // namespace

std::optional<GroupRecord> GroupFromRow(const TextRow& row)
{
    if (row.size() < kCatalogueColumnCount) return std::nullopt;
    GroupRecord r;
    r.number = StrToIntOrZero(row[kColN]);
    r.name = row[kColGrpName];
    r.title = row[kColMTitle];
    r.subtitle = row[kColSTitle];
    r.author = row[kColPName];
    r.memo1 = row[kColMemo1];
    r.memo2 = row[kColMemo2];
    r.memo3 = row[kColMemo3];
    r.picture = row[kColIconP];
    r.x = OptionalNumber(row[kColX]);
    r.y = OptionalNumber(row[kColY]);
    return r;
}

std::optional<EntryRecord> EntryFromRow(const TextRow& row)
{
    if (row.size() < kFileColumnCount) return std::nullopt;
    return EntryRecord{StrToIntOrZero(row[kFileN]), row[kFileName], row[kFilePath], row[kFileMemo], row[kFilePName],
                       StrToIntOrZero(row[kFileSN])};
}

std::optional<SubGroupRecord> SubGroupFromRow(const TextRow& row)
{
    if (row.size() < kSubGroupColumnCount) return std::nullopt;
    return SubGroupRecord{StrToIntOrZero(row[kSubN]), row[kSubName], row[kSubPName], StrToIntOrZero(row[kSubParent])};
}

std::vector<std::string> GroupValues(const GroupRecord& r)
{
    std::vector<std::string> v(kCatalogueColumnCount);
    v[kColN] = IntToStr(r.number);
    v[kColGrpName] = TextLiteral(r.name);
    v[kColMTitle] = TextLiteral(r.title);
    v[kColSTitle] = TextLiteral(r.subtitle);
    v[kColPName] = TextLiteral(r.author);
    v[kColMemo1] = TextLiteral(r.memo1);
    v[kColMemo2] = TextLiteral(r.memo2);
    v[kColMemo3] = TextLiteral(r.memo3);
    v[kColIconP] = TextLiteral(r.picture);
    v[kColX] = NumberOrNull(r.x);
    v[kColY] = NumberOrNull(r.y);
    return v;
}

std::vector<std::string> EntryValues(const EntryRecord& r)
{
    std::vector<std::string> v(kFileColumnCount);
    v[kFileN] = IntToStr(r.number);
    v[kFileName] = TextLiteral(r.fileName);
    v[kFilePath] = TextLiteral(r.folder);
    v[kFileMemo] = TextLiteral(r.memo);
    v[kFilePName] = TextLiteral(r.author);
    v[kFileSN] = IntToStr(r.subGroup);
    return v;
}

std::vector<std::string> SubGroupValues(const SubGroupRecord& r)
{
    std::vector<std::string> v(kSubGroupColumnCount);
    v[kSubN] = IntToStr(r.number);
    v[kSubName] = TextLiteral(r.name);
    v[kSubPName] = TextLiteral(r.author);
    v[kSubParent] = IntToStr(r.parent);
    return v;
}

std::string NumberIs(int32_t number) { return "N=" + IntToStr(number); }
std::string SubGroupIs(int32_t subGroup) { return "SN=" + IntToStr(subGroup); }
