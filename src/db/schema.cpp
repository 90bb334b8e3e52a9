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

const std::vector<std::string>& FingerprintColumns()
{
    static const std::vector<std::string> columns{"GRP", "N", "FSIZE", "FTIME", "HASH", "REF_HASH", "PATH_HASH"};
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

bool CreateDrawingTextTable(DatabaseSession& session)
{
    if (!session.BeginWork()) return false;
    const bool ok = session.ExecuteStatement({"CREATE SEQUENCE " + std::string(kDrawingTextStampSequence) + ";"}) &&
                    session.ExecuteStatement({"CREATE TABLE " + std::string(kDrawingTextTable) + " (",
                                              "  FOLDER " + Text(kFileTextWidth) + " NOT NULL,",
                                              "  FNAME  " + Text(kFileTextWidth) + " NOT NULL,",
                                              "  FSIZE  BIGINT,",
                                              "  FTIME  BIGINT,",
                                              "  STATE  SMALLINT,",
                                              "  TEXTS  BLOB SUB_TYPE 0,",
                                              "  STAMP  BIGINT,",
                                              "  PRIMARY KEY (FOLDER, FNAME)",
                                              "  );"}) &&
                    // Each copy's index asks for the rows stamped after the last it saw.
                    session.ExecuteStatement({"CREATE INDEX " + std::string(kDrawingTextTable) + "_STAMPS ON " +
                                              kDrawingTextTable + " (STAMP);"});
    if (!ok) {
        session.RollbackWork();
        return false;
    }
    return session.CommitWork();
}

bool CreateFingerprintTable(DatabaseSession& session)
{
    const std::string hash = "CHAR(" + IntToStr(static_cast<long long>(kHashWidth)) + ")";
    return session.ExecuteStatement({"CREATE TABLE " + std::string(kFingerprintTable) + " (",
                                     "  GRP INTEGER NOT NULL,",
                                     "  N INTEGER NOT NULL,",
                                     "  FSIZE BIGINT,",
                                     "  FTIME BIGINT,",
                                     "  HASH " + hash + ",",
                                     "  REF_HASH " + hash + ",",
                                     "  PATH_HASH " + hash + ",",
                                     "  PRIMARY KEY (GRP, N)",
                                     "  );"});
}

std::string NumberIndexName(const std::string& table) { return table + "_NDESC"; }

bool AddNumberIndex(DatabaseSession& session, const std::string& table)
{
    const std::string index = NumberIndexName(table);
    const int found = session.CountRecords("RDB$INDICES", "RDB$INDEX_NAME = " + TextLiteral(index));
    if (found != 0) return found > 0;
    // A fresh read transaction, or the monitoring tables would show the snapshot of the
    // one the last reads shared.
    session.EndRead();
    std::vector<TextRow> writers;
    const bool looked = session.SelectStatement(
        {"SELECT COUNT(*) FROM MON$TABLE_STATS S JOIN MON$RECORD_STATS R ON R.MON$STAT_ID = S.MON$RECORD_STAT_ID",
         "   JOIN MON$TRANSACTIONS T ON T.MON$STAT_ID = S.MON$STAT_ID",
         "   WHERE S.MON$STAT_GROUP = 2 AND T.MON$ATTACHMENT_ID <> CURRENT_CONNECTION AND S.MON$TABLE_NAME = " +
             TextLiteral(UpperText(table)),
         "   AND R.MON$RECORD_INSERTS + R.MON$RECORD_UPDATES + R.MON$RECORD_DELETES + R.MON$RECORD_LOCKS > 0;"},
        writers);
    session.EndRead();
    if (!looked || writers.size() != 1 || writers[0].empty() || writers[0][0] != "0") return false;
    return session.ExecuteStatement({"CREATE DESCENDING INDEX " + index + " ON " + table + " (N);"});
}
