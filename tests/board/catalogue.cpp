#include "catalogue.h"

#include <vector>

#include "text/textutil.h"

bool InsertGroup(DatabaseSession& session, int n, const std::string& name, const std::string& iconFile,
                 const std::string& x, const std::string& y, const std::string& author, const std::string& title,
                 const std::string& subtitle)
{
    if (!session.TableExists("GRPJWW") && !session.CreateCatalogueTable()) return false;
    const std::vector<std::string> columns{"N",     "GRPNAME", "MTITLE", "STITLE", "PNAME", "MEMO1",
                                           "MEMO2", "MEMO3",   "ICONP",  "X",      "Y"};
    const std::vector<std::string> values{IntToStr(n),       TextLiteral(name),   TextLiteral(title),
                                          TextLiteral(subtitle), TextLiteral(author), "NULL",
                                          "NULL",            "NULL",              TextLiteral(iconFile),
                                          x.empty() ? "NULL" : x, y.empty() ? "NULL" : y};
    return session.InsertRecord("GRPJWW", 11, columns, values);
}

namespace {
std::string Stored(DatabaseSession& session, int n, const char* column)
{
    TextRow row(1);
    session.SelectRecords(column, "GRPJWW", "N=" + IntToStr(n), "");
    session.ReadFirstRecord(row);
    session.CloseSelect();
    return row.empty() ? std::string() : row[0];
}
} // namespace

std::string StoredX(DatabaseSession& session, int n) { return Stored(session, n, "X"); }
std::string StoredY(DatabaseSession& session, int n) { return Stored(session, n, "Y"); }

bool GiveTables(DatabaseSession& session, int n, int entries)
{
    const std::string files = "GRP1_" + IntToStr(n), subGroups = "GRP2_" + IntToStr(n);
    if (!session.CreateFileTable(files) || !session.CreateSubGroupTable(subGroups)) return false;
    if (!session.InsertRecord(subGroups, 4, {"N", "SGRPNAME", "PNAME", "PARENT_N"}, {"1", "'sub'", "'u'", "0"}))
        return false;
    for (int e = 1; e <= entries; ++e)
        if (!session.InsertRecord(files, 6, {"N", "FILE_NAME", "PATH_NAME", "FILE_MEMO", "PNAME", "SN"},
                                  {IntToStr(e), "'e" + IntToStr(e) + ".jww'", "'/d/'", "NULL", "'u'", "1"}))
            return false;
    return true;
}
