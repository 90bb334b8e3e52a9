#include "catalogue.h"

#include <vector>

#include "db/schema.h"
#include "text/textutil.h"

bool InsertGroup(DatabaseSession& session, int n, const std::string& name, const std::string& iconFile,
                 const std::string& x, const std::string& y, const std::string& author, const std::string& title,
                 const std::string& subtitle)
{
    if (!session.TableExists(kCatalogueTable) && !CreateCatalogueTable(session)) return false;
    std::vector<std::string> values(kCatalogueColumnCount, "NULL");
    values[kColN] = IntToStr(n);
    values[kColGrpName] = TextLiteral(name);
    values[kColMTitle] = TextLiteral(title);
    values[kColSTitle] = TextLiteral(subtitle);
    values[kColPName] = TextLiteral(author);
    values[kColIconP] = TextLiteral(iconFile);
    if (!x.empty()) values[kColX] = x;
    if (!y.empty()) values[kColY] = y;
    return session.InsertRecord(kCatalogueTable, kCatalogueColumnCount, CatalogueColumns(), values);
}

namespace {
std::string Stored(DatabaseSession& session, int n, const char* column)
{
    TextRow row(1);
    session.SelectRecords(column, kCatalogueTable, "N=" + IntToStr(n), "");
    session.ReadFirstRecord(row);
    session.CloseSelect();
    return row.empty() ? std::string() : row[0];
}
} // namespace

std::string StoredX(DatabaseSession& session, int n) { return Stored(session, n, "X"); }
std::string StoredY(DatabaseSession& session, int n) { return Stored(session, n, "Y"); }

bool GiveTables(DatabaseSession& session, int n, int entries)
{
    const std::string files = FileTableName(n), subGroups = SubGroupTableName(n);
    if (!CreateFileTable(session, files) || !CreateSubGroupTable(session, subGroups)) return false;
    if (!session.InsertRecord(subGroups, kSubGroupColumnCount, SubGroupColumns(), {"1", "'sub'", "'u'", "0"}))
        return false;
    for (int e = 1; e <= entries; ++e)
        if (!session.InsertRecord(files, kFileColumnCount, FileColumns(),
                                  {IntToStr(e), "'e" + IntToStr(e) + ".jww'", "'/d/'", "NULL", "'u'", "1"}))
            return false;
    return true;
}
