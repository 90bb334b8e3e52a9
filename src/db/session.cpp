#include "db/session.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>
#include <ibase.h>

#include "db/schema.h"
#include "text/cp932.h"
#include "text/textutil.h"

namespace {

// The administrator account that every copy of the program uses.
constexpr const char* kUser = "SYSDBA";
constexpr const char* kPassword = "copperelk";
constexpr unsigned short kDialect = 3;

// A statement's length as the client takes it; 0 means "up to the terminating zero", and
// texts never hold zero bytes.
unsigned short TextLength(const std::string& text)
{
    return text.size() < 65536 ? static_cast<unsigned short>(text.size()) : 0;
}

constexpr const char* kTableNamesSql =
    "Select RDB$RELATION_NAME from RDB$RELATIONS  where RDB$VIEW_BLR is NULL and "
    "RDB$SYSTEM_FLAG = 0 ORDER BY RDB$RELATION_NAME";

// Writes: the server's defaults (concurrency, read-write, wait) and a bound on the wait,
// so that a lock held by another copy of the program ends in a failure, not a freeze.
const char kTransactionParameters[] = {isc_tpb_version3, isc_tpb_write,        isc_tpb_concurrency,
                                       isc_tpb_wait,     isc_tpb_lock_timeout, 1,
                                       static_cast<char>(kLockTimeoutSeconds)};

// Reads: read-only read-committed, which holds back nobody's garbage collection, with
// the same bound on the wait.
const char kReadParameters[] = {isc_tpb_version3, isc_tpb_read,         isc_tpb_read_committed, isc_tpb_rec_version,
                                isc_tpb_wait,     isc_tpb_lock_timeout, 1,
                                static_cast<char>(kLockTimeoutSeconds)};

bool Failed(const ISC_STATUS* status) { return status[0] == 1 && status[1] != 0; }

// Output descriptor of a prepared statement with buffers for every column.
class OutputArea {
public:
    OutputArea() { resize(1); }
    ~OutputArea() { release(); }
    OutputArea(const OutputArea&) = delete;
    OutputArea& operator=(const OutputArea&) = delete;

    XSQLDA* get() { return da_; }

    void resize(short n)
    {
        release();
        if (n < 1) n = 1;
        da_ = static_cast<XSQLDA*>(std::calloc(1, XSQLDA_LENGTH(n)));
        da_->version = SQLDA_VERSION1;
        da_->sqln = n;
    }

    // Gives each column a buffer of its described size.
    void allocateBuffers()
    {
        freeBuffers();
        for (short i = 0; i < da_->sqld; ++i) {
            XSQLVAR& v = da_->sqlvar[i];
            size_t size = v.sqllen;
            if ((v.sqltype & ~1) == SQL_VARYING) size += sizeof(short);
            v.sqldata = static_cast<char*>(std::calloc(1, size + 1));
            v.sqlind = static_cast<short*>(std::calloc(1, sizeof(short)));
            v.sqltype |= 1;   // always ask for the NULL indicator
        }
    }

    short columns() const { return da_ ? da_->sqld : 0; }

private:
    void freeBuffers()
    {
        if (!da_) return;
        for (short i = 0; i < da_->sqln; ++i) {
            std::free(da_->sqlvar[i].sqldata);
            std::free(da_->sqlvar[i].sqlind);
            da_->sqlvar[i].sqldata = nullptr;
            da_->sqlvar[i].sqlind = nullptr;
        }
    }
    void release()
    {
        freeBuffers();
        std::free(da_);
        da_ = nullptr;
    }
    XSQLDA* da_ = nullptr;
};

std::string ScaledInteger(int64_t value, short scale)
{
    if (scale >= 0) {
        std::string s = std::to_string(value);
        if (value != 0) s.append(static_cast<size_t>(scale), '0');
        return s;
    }
    bool negative = value < 0;
    uint64_t mag = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    std::string digits = std::to_string(mag);
    size_t frac = static_cast<size_t>(-scale);
    if (digits.size() <= frac) digits.insert(0, frac - digits.size() + 1, '0');
    digits.insert(digits.size() - frac, ".");
    return negative ? "-" + digits : digits;
}

// The value of one fetched column as text: integers in decimal, NULL as empty text,
// text columns as their stored bytes.
std::string ColumnText(const XSQLVAR& v)
{
    if (v.sqlind && *v.sqlind < 0) return {};
    const char* p = v.sqldata;
    char buf[64];
    switch (v.sqltype & ~1) {
    case SQL_TEXT:
        return std::string(p, static_cast<size_t>(v.sqllen));
    case SQL_VARYING: {
        unsigned short len;
        std::memcpy(&len, p, sizeof len);
        if (len > v.sqllen) len = static_cast<unsigned short>(v.sqllen);
        return std::string(p + sizeof(short), len);
    }
    case SQL_SHORT: {
        short x;
        std::memcpy(&x, p, sizeof x);
        return ScaledInteger(x, v.sqlscale);
    }
    case SQL_LONG: {
        ISC_LONG x;
        std::memcpy(&x, p, sizeof x);
        return ScaledInteger(x, v.sqlscale);
    }
    case SQL_INT64: {
        ISC_INT64 x;
        std::memcpy(&x, p, sizeof x);
        return ScaledInteger(x, v.sqlscale);
    }
    case SQL_BOOLEAN:
        return *reinterpret_cast<const unsigned char*>(p) ? "True" : "False";
    case SQL_FLOAT: {
        float x;
        std::memcpy(&x, p, sizeof x);
        std::snprintf(buf, sizeof buf, "%g", static_cast<double>(x));
        return buf;
    }
    case SQL_DOUBLE: {
        double x;
        std::memcpy(&x, p, sizeof x);
        std::snprintf(buf, sizeof buf, "%.15g", x);
        return buf;
    }
    case SQL_TYPE_DATE: {
        struct tm t {};
        isc_decode_sql_date(reinterpret_cast<const ISC_DATE*>(p), &t);
        std::strftime(buf, sizeof buf, "%Y/%m/%d", &t);
        return buf;
    }
    case SQL_TYPE_TIME: {
        struct tm t {};
        isc_decode_sql_time(reinterpret_cast<const ISC_TIME*>(p), &t);
        std::strftime(buf, sizeof buf, "%H:%M:%S", &t);
        return buf;
    }
    case SQL_TIMESTAMP: {
        struct tm t {};
        isc_decode_timestamp(reinterpret_cast<const ISC_TIMESTAMP*>(p), &t);
        std::strftime(buf, sizeof buf, "%Y/%m/%d %H:%M:%S", &t);
        return buf;
    }
    default:
        return {};   // blobs and arrays: the program stores none
    }
}

// The kind of a failure, from the error codes of the status vector.
DbFailure FailureKind(const ISC_STATUS* status)
{
    DbFailure kind = DbFailure::Other;
    for (const ISC_STATUS* p = status; *p != isc_arg_end;) {
        const ISC_STATUS arg = *p++;
        if (arg == isc_arg_end) break;
        const ISC_STATUS value = *p++;
        if (arg == isc_arg_cstring) ++p;   // length, then the pointer
        if (arg != isc_arg_gds) continue;
        switch (value) {
        case isc_unique_key_violation:
        case isc_no_dup:
            return DbFailure::UniqueKey;
        case isc_network_error:
        case isc_net_read_err:
        case isc_net_write_err:
        case isc_net_connect_err:
        case isc_conn_lost:
        case isc_lost_db_connection:
        case isc_shutdown:
        case isc_att_shutdown:
            return DbFailure::LostConnection;
        case isc_lock_conflict:
        case isc_deadlock:
        case isc_update_conflict:
        case isc_lock_timeout:
        case isc_obj_in_use:
            kind = DbFailure::Conflict;
            break;
        default:
            break;
        }
    }
    return kind;
}

std::string FirebirdMessage(const ISC_STATUS* status)
{
    std::string text;
    const ISC_STATUS* p = status;
    char buf[512];
    while (fb_interpret(buf, sizeof buf, &p) > 0) {
        if (!text.empty()) text += " / ";
        text += buf;
    }
    return text;
}

} // namespace

std::string JoinLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const auto& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

struct DatabaseSession::Impl {
    const DatabaseSettings& settings;
    isc_db_handle db = 0;
    // The attachment as another thread may see it (CancelOperation): set after an attach,
    // cleared before a detach.
    std::atomic<isc_db_handle> shared{0};
    isc_tr_handle tr = 0;
    isc_stmt_handle stmt = 0;
    TransactionState trState = TransactionState::None;
    bool inWork = false;
    bool lost = false;
    long rowsAffected = 0;
    ISC_STATUS_ARRAY status{};
    std::string lastError;
    DbFailure lastFailure = DbFailure::None;
    std::function<void(const std::string&)> log;
    bool logUnits = false;   // the log also hears where units of work begin and end
    std::function<void()> onLost;

    // The open result: rows read at open (the whole result is buffered, as the row
    // count needs it anyway), the cursor over them, and the column names.
    bool resultOpen = false;
    std::vector<TextRow> rows;
    std::vector<std::string> columnNames;
    size_t cursor = 0;
    OutputArea out;
    // The blob parameter of ExecuteWithBlob: its descriptor points at the two below.
    XSQLDA blobIn{};
    ISC_QUAD blobId{};
    short blobNull = 0;

    explicit Impl(const DatabaseSettings& s) : settings(s) {}

    bool check()
    {
        if (!Failed(status)) return true;
        // Calls after a loss fail on dead handles; the loss is what the caller needs to know.
        if (lost && !db) return false;
        lastError = FirebirdMessage(status);
        lastFailure = FailureKind(status);
        // A failed attach is no loss: there was no connection to lose.
        if (lastFailure == DbFailure::LostConnection && db) dropConnection();
        return false;
    }

    // The server is gone: let go of every handle (the calls fail; their errors tell
    // nothing more) and tell the program once.
    void dropConnection()
    {
        ISC_STATUS_ARRAY ignore{};
        if (stmt) isc_dsql_free_statement(ignore, &stmt, DSQL_drop);
        stmt = 0;
        if (tr) isc_rollback_transaction(ignore, &tr);
        tr = 0;
        shared = 0;
        if (db) isc_detach_database(ignore, &db);
        db = 0;
        trState = TransactionState::None;
        inWork = false;
        if (!lost) {
            lost = true;
            if (onLost) onLost();
        }
    }

    // Dropped, not only closed: a prepared statement keeps its tables in use for every
    // other attachment until it is freed.
    void freeStatement()
    {
        if (stmt) {
            ISC_STATUS_ARRAY ignore{};
            isc_dsql_free_statement(ignore, &stmt, DSQL_drop);
            stmt = 0;
        }
    }

    void closeQuery()
    {
        freeStatement();
        resultOpen = false;
        rows.clear();
        columnNames.clear();
        cursor = 0;
    }

    // Rolls back an open transaction (the transaction's "deactivate"); ends a unit of work.
    void endTransaction()
    {
        if (tr) {
            ISC_STATUS_ARRAY ignore{};
            isc_rollback_transaction(ignore, &tr);
            tr = 0;   // after a failed rollback the server ends it with the attachment
        }
        trState = TransactionState::None;
        inWork = false;
    }

    // Writes take the server's defaults. Reads take a read-only read-committed
    // transaction: each statement in it sees what others committed up to that statement,
    // as a transaction of its own would, and one left open holds back nobody's garbage
    // collection. So consecutive reads share it: a search reads thousands of times in a
    // row and would otherwise spend half its exchanges with the server, and most of its
    // time, on starting and ending transactions.
    bool startTransaction(TransactionState kind)
    {
        const bool read = kind == TransactionState::Read;
        isc_start_transaction(status, &tr, 1, &db,
                              static_cast<unsigned short>(read ? sizeof kReadParameters : sizeof kTransactionParameters),
                              read ? kReadParameters : kTransactionParameters);
        if (!check()) {
            tr = 0;
            return false;
        }
        trState = kind;
        return true;
    }

    bool prepare(const std::string& text)
    {
        if (log) log(text);
        freeStatement();
        isc_dsql_allocate_statement(status, &db, &stmt);
        if (!check()) {
            stmt = 0;
            return false;
        }
        out.resize(1);
        isc_dsql_prepare(status, &tr, &stmt, TextLength(text), text.c_str(), kDialect, out.get());
        if (!check()) return false;
        if (out.get()->sqld > out.get()->sqln) {
            out.resize(out.get()->sqld);
            isc_dsql_describe(status, &stmt, 1, out.get());
            if (!check()) return false;
        }
        out.allocateBuffers();
        return true;
    }

    // The input descriptor of a statement's one blob parameter, the blob written first
    // in the open transaction; null (status set) when it could not be written.
    XSQLDA* blobParameter(std::string_view bytes)
    {
        XSQLDA* in = &blobIn;
        *in = XSQLDA{};
        in->version = SQLDA_VERSION1;
        in->sqln = in->sqld = 1;
        XSQLVAR& v = in->sqlvar[0];
        v.sqltype = SQL_BLOB + 1;
        v.sqllen = sizeof(ISC_QUAD);
        blobId = ISC_QUAD{};
        blobNull = 0;
        v.sqldata = reinterpret_cast<char*>(&blobId);
        v.sqlind = &blobNull;
        isc_blob_handle handle = 0;
        isc_create_blob2(status, &db, &tr, &handle, &blobId, 0, nullptr);
        if (!check()) return nullptr;
        // Segments of at most 32 KiB, the most one call takes.
        for (std::size_t at = 0; at < bytes.size();) {
            const auto n = static_cast<unsigned short>(std::min<std::size_t>(bytes.size() - at, 32768));
            isc_put_segment(status, &handle, n, bytes.data() + at);
            if (!check()) {
                ISC_STATUS_ARRAY ignore{};
                if (db) isc_cancel_blob(ignore, &handle);
                return nullptr;
            }
            at += n;
        }
        isc_close_blob(status, &handle);
        if (!check()) return nullptr;
        return in;
    }

    // Rows inserted, updated and deleted by the statement just executed; -1 when the
    // server did not say.
    long countRows()
    {
        const char items[] = {isc_info_sql_records};
        char buf[64] = {};
        ISC_STATUS_ARRAY st{};
        isc_dsql_sql_info(st, &stmt, sizeof items, items, sizeof buf, buf);
        if (Failed(st)) {
            // Only a loss matters here; a statement without counts (DDL) simply has none.
            if (FailureKind(st) == DbFailure::LostConnection) {
                std::copy(std::begin(st), std::end(st), status);
                check();
            }
            return -1;
        }
        if (buf[0] != isc_info_sql_records) return -1;
        long total = 0;
        const char* p = buf + 3;
        const char* const end = buf + sizeof buf;
        while (p + 3 <= end && *p != isc_info_end) {
            const char item = *p++;
            const auto len = static_cast<short>(isc_vax_integer(p, 2));
            p += 2;
            if (len < 0 || len > 4 || p + len > end) return -1;
            const long value = isc_vax_integer(p, len);
            p += len;
            if (item == isc_info_req_insert_count || item == isc_info_req_update_count ||
                item == isc_info_req_delete_count)
                total += value;
        }
        return total;
    }

    // Steps shared by every write: own transaction, prepare, execute, commit; on any
    // failure roll back. Afterwards neither a result nor a transaction is open. Inside a
    // unit of work the statement runs in the unit's transaction, which stays open.
    // needRow: a statement that changes no row is a failure.
    // oneRow: an INSERT ... VALUES, which stores its one row or fails; it goes to the
    // server in one round trip instead of three (prepare, execute, the row count), which
    // is most of a batch's time on a real network.
    // blob: the bytes of the statement's one blob parameter.
    bool runWrite(const std::string& text, bool needRow = false, bool oneRow = false,
                  const std::string_view* blob = nullptr)
    {
        lastFailure = DbFailure::None;
        rowsAffected = 0;
        closeQuery();
        bool ok = true;
        if (!inWork) {
            endTransaction();
            ok = startTransaction(TransactionState::Write);
        }
        if (ok && oneRow) {
            if (log) log(text);
            freeStatement();
            isc_dsql_execute_immediate(status, &db, &tr, TextLength(text), text.c_str(), kDialect, nullptr);
            ok = check();
            if (ok) rowsAffected = 1;
        } else if (ok) {
            ok = prepare(text);
            if (ok) {
                XSQLDA* in = blob ? blobParameter(*blob) : nullptr;
                if (blob && !in) {
                    ok = false;
                } else {
                    isc_dsql_execute(status, &tr, &stmt, 1, in);
                    ok = check();
                }
            }
            if (ok) {
                rowsAffected = countRows();
                ok = lastFailure == DbFailure::None;
            }
        }
        if (ok && needRow && rowsAffected == 0) {
            lastError = "no row was changed";
            lastFailure = DbFailure::NoRow;
            ok = false;
        }
        freeStatement();
        if (!inWork) {
            if (ok) {
                isc_commit_transaction(status, &tr);
                ok = check();
            }
            endTransaction();
        }
        return ok;
    }

    // Steps shared by every read: close what the last call left, a read transaction
    // (the open one after a read; inside a unit of work the unit's), prepare, execute,
    // buffer all rows, free the statement. The result then counts as open.
    bool openRead(const std::string& text)
    {
        const bool ok = fetchAll(text);
        freeStatement();
        return ok;
    }

    bool fetchAll(const std::string& text)
    {
        lastFailure = DbFailure::None;
        closeQuery();
        if (!inWork && (!tr || trState != TransactionState::Read)) {
            endTransaction();
            if (!startTransaction(TransactionState::Read)) return false;
        }
        if (!prepare(text)) return false;
        isc_dsql_execute(status, &tr, &stmt, 1, nullptr);
        if (!check()) return false;
        XSQLDA* da = out.get();
        for (short i = 0; i < da->sqld; ++i)
            columnNames.emplace_back(da->sqlvar[i].aliasname, static_cast<size_t>(da->sqlvar[i].aliasname_length));
        resultOpen = true;
        for (;;) {
            ISC_STATUS rc = isc_dsql_fetch(status, &stmt, 1, da);
            if (rc == 100) break;
            if (!check()) return false;
            TextRow row;
            row.reserve(static_cast<size_t>(da->sqld));
            for (short i = 0; i < da->sqld; ++i) row.push_back(ColumnText(da->sqlvar[i]));
            rows.push_back(std::move(row));
        }
        return true;
    }

    void fillRow(TextRow& row, const TextRow* from)
    {
        size_t n = columnNames.size();
        if (row.size() < n) row.resize(n);
        for (size_t i = 0; i < n; ++i) row[i] = from ? (*from)[i] : std::string();
    }

    void detach()
    {
        freeStatement();
        shared = 0;
        if (db) {
            ISC_STATUS_ARRAY ignore{};
            isc_detach_database(ignore, &db);
            db = 0;
        }
    }
};

std::string ServerFileName(const std::string& cp932DatabaseName) { return ToFsName(cp932DatabaseName); }

DatabaseSession::DatabaseSession(const DatabaseSettings& settings) : d(std::make_unique<Impl>(settings)) {}

DatabaseSession::~DatabaseSession() { CloseDatabase(); }

void DatabaseSession::ConnectDatabase()
{
    if (Connected()) return;
    CloseDatabase();
    const std::string name = ServerFileName(d->settings.DatabaseName());

    // User name and password, and the file name declared UTF-8: the server turns it into
    // the names of its own file system, whatever that is. No character set, no role.
    std::string dpb;
    dpb += static_cast<char>(isc_dpb_version1);
    auto add = [&dpb](char tag, const std::string& value) {
        dpb += tag;
        dpb += static_cast<char>(value.size());
        dpb += value;
    };
    add(isc_dpb_user_name, kUser);
    add(isc_dpb_password, kPassword);
    add(isc_dpb_utf8_filename, "");

    isc_attach_database(d->status, static_cast<short>(name.size()), name.c_str(), &d->db,
                        static_cast<short>(dpb.size()), dpb.data());
    if (!d->check()) {
        d->db = 0;
        CloseDatabase();
        return;
    }
    d->shared = d->db;
    d->lost = false;
}

void DatabaseSession::CreateDatabase()
{
    // An attached session cannot create; the server would refuse it the same way.
    if (Connected()) return;
    std::string text = "CREATE DATABASE '" + ServerFileName(d->settings.DatabaseName()) + "' " +
                       JoinLines({"USER \"SYSDBA\"", "PASSWORD \"copperelk\"", "PAGE_SIZE 4096"});
    if (d->log) d->log(text);
    isc_db_handle db = 0;
    isc_tr_handle tr = 0;
    isc_dsql_execute_immediate(d->status, &db, &tr, 0, text.c_str(), kDialect, nullptr);
    if (!d->check()) {
        if (db) isc_detach_database(d->status, &db);
        return;
    }
    d->db = db;
    d->shared = db;
    d->lost = false;
}

void DatabaseSession::CloseDatabase()
{
    d->closeQuery();
    d->endTransaction();
    d->detach();
    d->lost = false;   // closed on purpose: nothing left to attach again
}

bool DatabaseSession::Connected() const { return d->db != 0; }

bool DatabaseSession::TableExists(const std::string& name)
{
    if (!Connected()) return false;
    d->lastFailure = DbFailure::None;
    // Its own statement, and its own transaction outside a unit of work, so the session's
    // result and transaction stay as they are.
    isc_tr_handle own = 0;
    isc_tr_handle* tr = d->inWork ? &d->tr : &own;
    isc_stmt_handle stmt = 0;
    OutputArea out;
    bool found = false;
    const std::string wanted = UpperText(name);

    bool ok = true;
    if (!d->inWork) {
        isc_start_transaction(d->status, &own, 1, &d->db, static_cast<unsigned short>(sizeof kTransactionParameters),
                              kTransactionParameters);
        ok = d->check();
    }
    if (ok) {
        isc_dsql_allocate_statement(d->status, &d->db, &stmt);
        ok = d->check();
    }
    if (ok) {
        isc_dsql_prepare(d->status, tr, &stmt, 0, kTableNamesSql, kDialect, out.get());
        ok = d->check();
    }
    if (ok) {
        out.allocateBuffers();
        isc_dsql_execute(d->status, tr, &stmt, 1, nullptr);
        ok = d->check();
    }
    while (ok && !found) {
        if (isc_dsql_fetch(d->status, &stmt, 1, out.get()) == 100) break;
        ok = d->check();
        if (!ok) break;
        std::string table = ColumnText(out.get()->sqlvar[0]);
        while (!table.empty() && table.back() == ' ') table.pop_back();
        found = UpperText(table) == wanted;
    }
    ISC_STATUS_ARRAY ignore{};
    if (stmt && d->db) isc_dsql_free_statement(ignore, &stmt, DSQL_drop);
    if (own && d->db) {
        isc_commit_transaction(ignore, &own);
        if (own) isc_rollback_transaction(ignore, &own);
    }
    return ok && found;
}

bool DatabaseSession::ConnectionLost() const { return d->lost; }

const DatabaseSettings& DatabaseSession::Settings() const { return d->settings; }

void DatabaseSession::CancelOperation()
{
    // A handle detached meanwhile is refused by the client library as unknown: harmless.
    isc_db_handle handle = d->shared;
    if (!handle) return;
    ISC_STATUS_ARRAY ignore{};
    fb_cancel_operation(ignore, &handle, fb_cancel_raise);
}

void DatabaseSession::SetConnectionLostHandler(std::function<void()> handler) { d->onLost = std::move(handler); }

bool DatabaseSession::Reattach()
{
    const bool wasLost = d->lost;
    CloseDatabase();
    ConnectDatabase();
    if (!Connected()) d->lost = wasLost;   // still lost: the next command tries again
    return Connected();
}

bool DatabaseSession::BeginWork()
{
    if (!Connected() || d->inWork) return false;
    d->lastFailure = DbFailure::None;
    d->closeQuery();
    d->endTransaction();
    if (!d->startTransaction(TransactionState::Write)) return false;
    d->inWork = true;
    if (d->logUnits) d->log(kLogBeginWork);
    return true;
}

bool DatabaseSession::CommitWork()
{
    if (!d->inWork) return false;
    d->lastFailure = DbFailure::None;
    d->closeQuery();
    isc_commit_transaction(d->status, &d->tr);
    const bool ok = d->check();
    d->endTransaction();   // after a failed commit: the rollback
    if (d->logUnits) d->log(ok ? "COMMIT;" : "ROLLBACK;");
    return ok;
}

void DatabaseSession::RollbackWork()
{
    if (!d->inWork) return;
    d->closeQuery();
    d->endTransaction();
    if (d->logUnits) d->log("ROLLBACK;");
}

bool DatabaseSession::InWork() const { return d->inWork; }

bool DatabaseSession::ExecuteStatement(const std::vector<std::string>& lines)
{
    if (lines.empty() || !Connected()) return false;
    return d->runWrite(JoinLines(lines));
}

bool DatabaseSession::ExecuteWithBlob(const std::vector<std::string>& lines, std::string_view blob)
{
    if (lines.empty() || !Connected()) return false;
    return d->runWrite(JoinLines(lines), false, false, &blob);
}

bool DatabaseSession::DropTable(const std::string& name)
{
    if (!Connected()) return false;
    return d->runWrite(JoinLines({"DROP TABLE " + name + ";"}));
}

bool DatabaseSession::ReadTable(const std::string& table, TextRow& names, std::vector<TextRow>& rows)
{
    names.clear();
    rows.clear();
    const int count = CountRecords(table, "");
    const int cols = CountFields(table);
    if (count < 0 || cols < 1) return false;
    // Every row the select returns, not the count taken before it: outside a unit of
    // work another copy may have added one in between.
    const int n = SelectRecords("*", table, "", "");
    if (d->lastFailure != DbFailure::None) return false;
    names.resize(static_cast<size_t>(cols));
    GetFieldNames(names);
    rows = ReadSelectedRows(n);
    return true;
}

std::vector<TextRow> DatabaseSession::SelectAllRows(const std::string& columns, const std::string& table,
                                                    const std::string& condition, const std::string& order)
{
    return ReadSelectedRows(SelectRecords(columns, table, condition, order));
}

bool DatabaseSession::SelectStatement(const std::vector<std::string>& lines, std::vector<TextRow>& rows)
{
    rows.clear();
    if (!Connected()) return false;
    const bool ok = d->openRead(JoinLines(lines));
    if (ok) rows = std::move(d->rows);
    d->closeQuery();
    return ok;
}

std::vector<TextRow> DatabaseSession::ReadSelectedRows(int count)
{
    std::vector<TextRow> rows(static_cast<size_t>(count > 0 ? count : 0));
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i == 0)
            ReadFirstRecord(rows[i]);
        else
            ReadNextRecord(rows[i]);
    }
    CloseSelect();
    return rows;
}

bool DatabaseSession::InsertRows(const std::string& table, const TextRow& names, const std::vector<TextRow>& rows)
{
    const size_t cols = names.size();
    if (cols == 0) return rows.empty();
    for (const TextRow& row : rows) {
        if (row.size() < cols) return false;
        TextRow values(cols);
        for (size_t c = 0; c < cols; ++c) {
            // A NULL number is written as NULL: left empty it would make the statement invalid.
            const bool number = c == 0 || c == cols - 1;
            values[c] = number ? (row[c].empty() ? "NULL" : row[c]) : TextLiteral(row[c]);
        }
        if (!InsertRecord(table, static_cast<int>(cols), names, values)) return false;
    }
    return true;
}

bool DatabaseSession::InsertRecord(const std::string& table, int count, const std::vector<std::string>& columns,
                                   const std::vector<std::string>& values)
{
    if (!Connected()) return false;
    if (count < 0 || static_cast<size_t>(count) > columns.size() || static_cast<size_t>(count) > values.size())
        return false;
    std::vector<std::string> lines{"INSERT INTO " + table + " ("};
    for (int i = 0; i < count; ++i) lines.push_back("   " + columns[i] + (i + 1 < count ? "," : ""));
    lines.push_back("   ) ");
    lines.push_back("   VALUES (");
    for (int i = 0; i < count; ++i) lines.push_back("   " + values[i] + (i + 1 < count ? "," : ""));
    lines.push_back("   );");
    return d->runWrite(JoinLines(lines), false, true);
}

bool DatabaseSession::UpdateRecord(const std::string& table, int count, const std::vector<std::string>& columns,
                                   const std::vector<std::string>& values, const std::string& condition)
{
    if (!Connected()) return false;
    if (count < 0 || static_cast<size_t>(count) > columns.size() || static_cast<size_t>(count) > values.size())
        return false;
    std::vector<std::string> lines{"UPDATE " + table + " SET "};
    for (int i = 0; i < count; ++i)
        lines.push_back("   " + columns[i] + "=" + values[i] + (i + 1 < count ? "," : ""));
    if (!condition.empty()) lines.push_back("   WHERE " + condition);
    lines.push_back("   ;");
    return d->runWrite(JoinLines(lines), true);
}

bool DatabaseSession::UpdateRecordText(const std::string& table, const std::string& setText,
                                       const std::string& condition)
{
    if (!Connected()) return false;
    std::vector<std::string> lines{"UPDATE " + table + " SET ", "   " + setText};
    if (!condition.empty()) lines.push_back("   WHERE " + condition);
    lines.push_back("   ;");
    return d->runWrite(JoinLines(lines), true);
}

bool DatabaseSession::DeleteRecords(const std::string& table, const std::string& condition)
{
    if (!Connected()) return false;
    std::string where = condition.empty() ? "" : "WHERE " + condition + " ";
    return d->runWrite(JoinLines({"DELETE FROM " + table + " " + where + ";"}));
}

namespace {
// FROM, WHERE and the closing line shared by the reading statements.
void AddFromWhere(std::vector<std::string>& lines, const std::string& table, const std::string& condition)
{
    lines.push_back("   FROM " + table + " ");
    if (!condition.empty()) lines.push_back("   WHERE " + condition + " ");
}
} // namespace

int DatabaseSession::CountRecords(const std::string& table, const std::string& condition)
{
    if (!Connected()) return -1;
    std::vector<std::string> lines{"SELECT * "};
    AddFromWhere(lines, table, condition);
    lines.push_back("   ;");
    if (!d->openRead(JoinLines(lines))) {
        d->closeQuery();
        return -1;
    }
    int n = static_cast<int>(d->rows.size());
    d->closeQuery();
    return n;
}

int DatabaseSession::CountFields(const std::string& table)
{
    if (!Connected()) return -1;
    if (!d->openRead(JoinLines({"SELECT * ", "   FROM " + table + " ;"}))) {
        d->closeQuery();
        return -1;
    }
    int n = static_cast<int>(d->columnNames.size());
    d->closeQuery();
    return n;
}

void DatabaseSession::SelectMax(const std::string& table, const std::string& column, const std::string& condition,
                                std::string& result)
{
    result.clear();
    if (!Connected()) return;
    std::vector<std::string> lines{"SELECT MAX(" + column + ") "};
    AddFromWhere(lines, table, condition);
    lines.push_back("   ;");
    if (d->openRead(JoinLines(lines)) && !d->rows.empty() && !d->rows[0].empty()) result = d->rows[0][0];
    d->closeQuery();
}

int DatabaseSession::SelectRecords(const std::string& columns, const std::string& table,
                                   const std::string& condition, const std::string& order)
{
    if (!Connected()) return 0;
    std::vector<std::string> lines{"SELECT " + columns + " "};
    AddFromWhere(lines, table, condition);
    if (!order.empty()) lines.push_back("   ORDER BY " + order + " ");
    lines.push_back("   ;");
    if (!d->openRead(JoinLines(lines))) {
        d->closeQuery();
        return 0;
    }
    d->cursor = 0;
    return static_cast<int>(d->rows.size());
}

std::vector<TextRow> DatabaseSession::LockRecords(const std::string& table, const std::string& condition)
{
    // Outside a unit the lock would end with the statement: it would guard nothing.
    if (!Connected() || !d->inWork) {
        d->lastFailure = DbFailure::Other;
        return {};
    }
    std::vector<std::string> lines{"SELECT * "};
    AddFromWhere(lines, table, condition);
    lines.push_back("   WITH LOCK ");
    lines.push_back("   ;");
    std::vector<TextRow> rows;
    if (d->openRead(JoinLines(lines))) rows = std::move(d->rows);
    d->closeQuery();
    return rows;
}

void DatabaseSession::GetFieldNames(TextRow& row)
{
    if (!d->resultOpen) return;
    if (row.size() < d->columnNames.size()) row.resize(d->columnNames.size());
    for (size_t i = 0; i < d->columnNames.size(); ++i) row[i] = d->columnNames[i];
}

void DatabaseSession::ReadFirstRecord(TextRow& row)
{
    if (!d->resultOpen) return;
    d->fillRow(row, nullptr);
    d->cursor = 0;
    if (!d->rows.empty()) d->fillRow(row, &d->rows[0]);
}

void DatabaseSession::ReadNextRecord(TextRow& row)
{
    if (!d->resultOpen) return;
    if (d->cursor < d->rows.size()) ++d->cursor;
    d->fillRow(row, d->cursor < d->rows.size() ? &d->rows[d->cursor] : nullptr);
}

void DatabaseSession::CloseSelect() { d->closeQuery(); }

void DatabaseSession::EndRead()
{
    if (!d->inWork && d->trState == TransactionState::Read) d->endTransaction();
}

DatabaseSession::TransactionState DatabaseSession::Transaction() const { return d->trState; }

bool DatabaseSession::ResultOpen() const { return d->resultOpen; }

void DatabaseSession::SetStatementLog(std::function<void(const std::string&)> log, bool withUnits)
{
    d->logUnits = withUnits && log;
    d->log = std::move(log);
}

std::string DatabaseSession::LastError() const { return d->lastError; }

DbFailure DatabaseSession::LastFailure() const { return d->lastFailure; }

long DatabaseSession::RowsAffected() const { return d->rowsAffected; }
