#include "entries.h"

#include "db/schema.h"
#include "text/cp932.h"
#include "text/textutil.h"

std::string Sj(const char* utf8) { return Utf8ToCp932(utf8).value(); }

bool OpenGroupTables(DatabaseSession& session, int group)
{
    return CreateFileTable(session, FileTableName(group)) && CreateSubGroupTable(session, SubGroupTableName(group));
}

bool AddSubGroup(DatabaseSession& session, int group, int n, const std::string& name, int parent)
{
    return session.InsertRecord(SubGroupTableName(group), kSubGroupColumnCount, SubGroupColumns(),
                                {IntToStr(n), TextLiteral(name), "NULL", IntToStr(parent)});
}

bool AddEntry(DatabaseSession& session, int group, int n, const std::string& folder, const std::string& file,
              const std::string& memo, int subGroup)
{
    return session.InsertRecord(FileTableName(group), kFileColumnCount, FileColumns(),
                                {IntToStr(n), TextLiteral(file), TextLiteral(folder), TextLiteral(memo), "'tester'",
                                 IntToStr(subGroup)});
}

int OtherAttachments(DatabaseSession& session)
{
    session.EndRead();   // the monitoring tables hold what was true when the transaction began
    std::vector<TextRow> rows;
    if (!session.SelectStatement({"SELECT COUNT(*) FROM MON$ATTACHMENTS",
                                  "   WHERE MON$ATTACHMENT_ID <> CURRENT_CONNECTION AND MON$SYSTEM_FLAG = 0", "   ;"},
                                 rows) ||
        rows.empty() || rows[0].empty())
        return -1;
    return StrToIntOrZero(TrimText(rows[0][0]));
}

QStringList Readable(const std::vector<std::string>& lines)
{
    QStringList out;
    for (const std::string& line : lines) out << ToQ(line);
    return out;
}
