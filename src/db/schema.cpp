#include "db/schema.h"

#include "db/session.h"
#include "text/textutil.h"

namespace {

// The widths go into the statements from the constants, so that the limits the windows
// put on typing can never differ from the columns.
std::string Text(size_t width) { return "VARCHAR(" + IntToStr(static_cast<long long>(width)) + ")"; }

} // namespace

const std::vector<std::string>& CatalogueColumns()
{
    static const std::vector<std::string> columns{"N",     "GRPNAME", "MTITLE", "STITLE", "PNAME", "MEMO1",
                                                  "MEMO2", "MEMO3",   "ICONP",  "X",      "Y"};
    return columns;
}

std::string FileTableName(int32_t group) { return "GRP1_" + IntToStr(group); }

const std::vector<std::string>& FileColumns()
{
    static const std::vector<std::string> columns{"N", "FILE_NAME", "PATH_NAME", "FILE_MEMO", "PNAME", "SN"};
    return columns;
}

std::string SubGroupTableName(int32_t group) { return "GRP2_" + IntToStr(group); }

const std::vector<std::string>& SubGroupColumns()
{
    static const std::vector<std::string> columns{"N", "SGRPNAME", "PNAME", "PARENT_N"};
    return columns;
}

// The lines keep the blanks of the tables that existing databases were made with.
bool CreateCatalogueTable(DatabaseSession& session)
{
    return session.ExecuteStatement({"CREATE TABLE " + std::string(kCatalogueTable) + " (",
                                     "  N INTEGER NOT NULL UNIQUE,",
                                     "  GRPNAME " + Text(kGroupNameWidth) + ",",
                                     "  MTITLE  " + Text(kTitleWidth) + ",",
                                     "  STITLE  " + Text(kTitleWidth) + ",",
                                     "  PNAME   " + Text(kUserNameWidth) + ",",
                                     "  MEMO1   " + Text(kGroupMemoWidth) + ",",
                                     "  MEMO2   " + Text(kGroupMemoWidth) + ",",
                                     "  MEMO3   " + Text(kGroupMemoWidth) + ",",
                                     "  ICONP   " + Text(kPictureNameWidth) + ",",
                                     "  X INTEGER,",
                                     "  Y INTEGER",
                                     "  );"});
}

bool CreateFileTable(DatabaseSession& session, const std::string& name)
{
    return session.ExecuteStatement({"CREATE TABLE " + name + " (",
                                     "  N INTEGER NOT NULL UNIQUE,",
                                     "  FILE_NAME " + Text(kFileTextWidth) + ",",
                                     "  PATH_NAME " + Text(kFileTextWidth) + ",",
                                     "  FILE_MEMO " + Text(kFileTextWidth) + ",",
                                     "  PNAME " + Text(kUserNameWidth) + ",",
                                     "  SN INTEGER",
                                     "  );"});
}

bool CreateSubGroupTable(DatabaseSession& session, const std::string& name)
{
    return session.ExecuteStatement({"CREATE TABLE " + name + " (",
                                     "  N INTEGER NOT NULL UNIQUE,",
                                     "  SGRPNAME " + Text(kSubGroupNameWidth) + ",",
                                     "  PNAME    " + Text(kUserNameWidth) + ",",
                                     "  PARENT_N INTEGER",
                                     "  );"});
}
