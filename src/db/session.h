#pragma once
// The one database session of the program: one attachment, one transaction, one
// statement, used by every window one statement after another. Owned by the main
// window and handed to the windows that need it.
//
// Every operation absorbs database errors and reports only through its result
// (false, -1, 0 or an empty text). Text is CP932 bytes, sent and read unchanged.
//
// Other copies of the program share the database: no transaction waits longer than a
// few seconds for them. A prepared statement and an open transaction keep every table
// they used in use, which stops another copy's DROP TABLE: statements are freed after
// each operation (reads buffer every row), and the read transaction that consecutive
// reads share ends at the next write or at EndRead.
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings.h"

using TextRow = std::vector<std::string>;

// What kind of failure the last failed operation met, for the callers that answer
// them differently (take a fresh number, try again later, attach again).
enum class DbFailure {
    None,
    UniqueKey,        // a unique key (a number) is taken already
    Conflict,         // another transaction holds the row or table: lock conflict, deadlock, timeout
    LostConnection,   // the server went away or shut the attachment down
    NoRow,            // an update found no row to change: another copy deleted it
    Other,
};

// How long a transaction waits for a lock that another copy holds before it gives up.
constexpr int kLockTimeoutSeconds = 3;

class DatabaseSession {
public:
    // The settings are read afresh at every attach and create.
    explicit DatabaseSession(const DatabaseSettings& settings);
    ~DatabaseSession();
    DatabaseSession(const DatabaseSession&) = delete;
    DatabaseSession& operator=(const DatabaseSession&) = delete;

    // --- connection and creation -------------------------------------------------
    void ConnectDatabase();           // attaches unless attached; errors leave it detached
    void CreateDatabase();            // CREATE DATABASE; on success left attached
    void CloseDatabase();             // closes the result, rolls back, detaches
    bool Connected() const;
    bool TableExists(const std::string& name);   // in its own short transaction (or the work's)

    // A lost connection (the server went away, or restarted) leaves the session detached
    // and remembers it, so that the program can say so and attach again. The handler runs
    // once per loss, from inside the operation that met it: it must not use the session.
    bool ConnectionLost() const;
    void SetConnectionLostHandler(std::function<void()> handler);
    // Attaches again after a loss; true when attached.
    bool Reattach();
    // The settings it attaches with (another attachment to the same database is made from them).
    const DatabaseSettings& Settings() const;
    // From another thread, while the session's own thread may be inside an operation: that
    // operation (or the next) fails as cancelled, the session stays attached. The caller
    // keeps the session alive meanwhile. Nothing happens when detached.
    void CancelOperation();

    // --- units of work -------------------------------------------------------------
    // The statements between BeginWork and CommitWork run in one transaction and commit
    // together (DDL included) or not at all; the helpers then neither commit nor end the
    // transaction. False when detached or when a unit is open already.
    bool BeginWork();
    bool CommitWork();      // false (and rolled back) when the commit failed
    void RollbackWork();
    bool InWork() const;

    // --- tables (their shapes: db/schema.h) --------------------------------------
    bool DropTable(const std::string& name);
    bool ExecuteStatement(const std::vector<std::string>& lines);
    // A write whose one parameter ("?") is a blob of these bytes, written in the
    // statement's transaction: both are stored or neither. As ExecuteStatement otherwise.
    bool ExecuteWithBlob(const std::vector<std::string>& lines, std::string_view blob);
    // A table copied in two halves, inside a unit of work of the caller's.
    // ReadTable: column names and every row; false when the table could not be read.
    bool ReadTable(const std::string& table, TextRow& names, std::vector<TextRow>& rows);
    // InsertRows: one insert per row, first and last column bare, the others literals;
    // false at the first insert that fails.
    bool InsertRows(const std::string& table, const TextRow& names, const std::vector<TextRow>& rows);

    // --- statement helpers -------------------------------------------------------
    bool InsertRecord(const std::string& table, int count, const std::vector<std::string>& columns,
                      const std::vector<std::string>& values);
    // An update that changes no row fails (DbFailure::NoRow): the row it meant is gone.
    bool UpdateRecord(const std::string& table, int count, const std::vector<std::string>& columns,
                      const std::vector<std::string>& values, const std::string& condition);
    bool UpdateRecordText(const std::string& table, const std::string& setText, const std::string& condition);
    bool DeleteRecords(const std::string& table, const std::string& condition);
    int CountRecords(const std::string& table, const std::string& condition);     // -1 on failure
    int CountFields(const std::string& table);                                     // -1 on failure
    void SelectMax(const std::string& table, const std::string& column, const std::string& condition,
                   std::string& result);                                           // empty on failure
    int SelectRecords(const std::string& columns, const std::string& table, const std::string& condition,
                      const std::string& order);                                   // 0 on failure
    void GetFieldNames(TextRow& row);
    void ReadFirstRecord(TextRow& row);
    void ReadNextRecord(TextRow& row);
    void CloseSelect();
    // Inside a unit of work: the rows that meet the condition ("SELECT * ... WITH LOCK"),
    // each locked against other copies' updates and deletes until the unit ends. Empty
    // on failure: DbFailure::Conflict when another copy changed or deleted one of them
    // since the unit began, or holds it still after the lock time-out.
    std::vector<TextRow> LockRecords(const std::string& table, const std::string& condition);
    // Every row the select returns (SelectRecords, then ReadFirstRecord and ReadNextRecord
    // for each), closed afterwards. As many rows as the select holds, never a count taken
    // by a statement before it, which another copy may have made stale.
    std::vector<TextRow> SelectAllRows(const std::string& columns, const std::string& table,
                                       const std::string& condition, const std::string& order);
    // Any select, given whole (a UNION of several tables, a join): every row, the result
    // closed afterwards; false when the statement failed (rows then empty).
    bool SelectStatement(const std::vector<std::string>& lines, std::vector<TextRow>& rows);
    // Ends the read transaction that consecutive reads share (the buffered result stays).
    // The program calls it whenever it waits for its user: an open transaction keeps
    // every table it read in use, and no other copy could drop them meanwhile.
    void EndRead();

    // --- observation (tests and diagnostics) ---------------------------------------
    // Between operations: None, Read after reads (until a write or EndRead), or Write
    // while a unit of work is open.
    enum class TransactionState { None, Read, Write };
    static constexpr const char* kLogBeginWork = "/* BeginWork */";
    TransactionState Transaction() const;
    bool ResultOpen() const;
    // When set, every statement text is passed to it just before it is prepared
    // (CREATE DATABASE included, the table-name lookup excluded); withUnits: also the
    // bounds of each unit of work, as kLogBeginWork, "COMMIT;" and "ROLLBACK;".
    void SetStatementLog(std::function<void(const std::string&)> log, bool withUnits = false);
    // Text of the last database error (for diagnostics; never shown to the user).
    std::string LastError() const;
    // Kind of the failure of the last operation that failed; None after one that worked.
    DbFailure LastFailure() const;
    // Rows inserted, updated or deleted by the last writing statement.
    long RowsAffected() const;

private:
    // Reads count rows of the open result into a table and closes it.
    std::vector<TextRow> ReadSelectedRows(int count);
    struct Impl;
    std::unique_ptr<Impl> d;
};

// The database name as the server takes it: the settings hold CP932, servers name files
// in UTF-8 (a folder named in Japanese would not transliterate otherwise). ASCII names,
// the server prefix among them, are unchanged.
std::string ServerFileName(const std::string& cp932DatabaseName);

// Joins statement lines, each ended by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);
