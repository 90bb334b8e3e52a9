#include "entries.h"

#include "text/cp932.h"
#include "text/textutil.h"

std::string Sj(const char* utf8) { return Utf8ToCp932(utf8).value(); }

bool OpenGroupTables(DatabaseSession& session, int group)
{
    return session.CreateFileTable("GRP1_" + IntToStr(group)) && session.CreateSubGroupTable("GRP2_" + IntToStr(group));
}

bool AddSubGroup(DatabaseSession& session, int group, int n, const std::string& name, int parent)
{
    return session.InsertRecord("GRP2_" + IntToStr(group), 4, {"N", "SGRPNAME", "PNAME", "PARENT_N"},
                                {IntToStr(n), TextLiteral(name), "NULL", IntToStr(parent)});
}

bool AddEntry(DatabaseSession& session, int group, int n, const std::string& folder, const std::string& file,
              const std::string& memo, int subGroup)
{
    return session.InsertRecord("GRP1_" + IntToStr(group), 6, {"N", "FILE_NAME", "PATH_NAME", "FILE_MEMO", "PNAME", "SN"},
                                {IntToStr(n), TextLiteral(file), TextLiteral(folder), TextLiteral(memo), "'tester'",
                                 IntToStr(subGroup)});
}

QStringList Readable(const std::vector<std::string>& lines)
{
    QStringList out;
    for (const std::string& line : lines) out << ToQ(line);
    return out;
}
