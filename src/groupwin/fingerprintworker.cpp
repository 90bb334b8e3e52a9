#include "groupwin/fingerprintworker.h"

#include <algorithm>
#include <optional>
#include <set>

#include <QDeadlineTimer>

#include <sys/stat.h>

#include "db/schema.h"
#include "store/reads.h"
#include "text/cp932.h"
#include "text/textutil.h"

namespace {

struct StoredEntry {
    std::int32_t number = 0;
    std::string storedPath;
};

// The entries of a group (the given numbers only, when any); an absent file table has
// none. Nullopt when they could not be read.
std::optional<std::vector<StoredEntry>> ReadStoredEntries(DatabaseSession& session, std::int32_t group,
                                                          const std::vector<std::int32_t>& numbers)
{
    const std::string table = FileTableName(group);
    const std::optional<bool> present = TablePresent(session, table);
    if (!present) return std::nullopt;
    std::vector<StoredEntry> entries;
    if (!*present) return entries;
    const std::vector<std::string>& column = FileColumns();
    const std::string columns = column[kFileN] + "," + column[kFilePath] + "," + column[kFileName];
    std::set<std::int32_t> wanted(numbers.begin(), numbers.end());
    const std::optional<std::vector<TextRow>> rows = ReadRows(session, columns, table, "", "N");
    if (!rows) return std::nullopt;
    for (const TextRow& row : *rows) {
        if (row.size() < 3) return std::nullopt;
        const std::int32_t n = StrToIntOrZero(row[0]);
        if (n <= 0 || (!wanted.empty() && !wanted.count(n))) continue;
        entries.push_back({n, row[1] + row[2]});
    }
    return entries;
}

bool Lost(DatabaseSession& session) { return !session.Connected() || session.ConnectionLost(); }

} // namespace

FingerprintResult RefreshFingerprints(DatabaseSession& session, const FingerprintRequest& request,
                                      const std::function<bool()>& stopped)
{
    bool halted = false;
    auto stop = [&] { return halted || (halted = stopped && stopped()); };
    FingerprintResult result;
    auto failed = [&] {
        result.end = Lost(session) ? FingerprintResult::End::Lost : FingerprintResult::End::Failed;
        return result;
    };
    // Made beforehand on the caller's main session: a table created from here would race
    // the tables that same program creates meanwhile, and one of the two would fail.
    if (!TablePresent(session, kFingerprintTable).value_or(false)) return failed();
    const bool some = request.groups.size() == 1 && !request.numbers.empty();
    for (const std::int32_t group : request.groups) {
        if (stop()) break;
        const std::optional<std::vector<StoredEntry>> entries =
            ReadStoredEntries(session, group, some ? request.numbers : std::vector<std::int32_t>{});
        if (!entries) return failed();
        const std::optional<std::vector<Fingerprint>> old =
            ReadFingerprints(session, group, some ? request.numbers : std::vector<std::int32_t>{});
        if (!old) return failed();
        // No transaction stays open while the disk is read.
        session.EndRead();

        std::map<std::int32_t, const Fingerprint*> byNumber;
        for (const Fingerprint& f : *old) byNumber[f.number] = &f;
        std::set<std::int32_t> present;
        std::vector<Fingerprint> fresh;
        auto store = [&](const std::vector<std::int32_t>& gone) {
            if (!StoreFingerprints(session, fresh, group, gone)) return false;
            for (Fingerprint& f : fresh) result.prints[{group, f.number}] = std::move(f);
            fresh.clear();
            return true;
        };
        for (const StoredEntry& e : *entries) {
            if (stop()) break;
            present.insert(e.number);
            const std::string key = PathKey(e.storedPath);
            const auto known = byNumber.find(e.number);
            const Fingerprint* was = known != byNumber.end() && known->second->pathKey == key ? known->second : nullptr;
            const std::string local = LocalPath(e.storedPath, request.mappings);
            struct stat st {};
            const bool found = !local.empty() && local[0] == '/' && ::stat(ToFsName(local).c_str(), &st) == 0 &&
                               S_ISREG(st.st_mode);
            // A file not found (the link check's matter) or unchanged keeps its row.
            if (!found || (was && !was->hash.empty() && was->size == st.st_size && was->time == st.st_mtime)) {
                if (was) result.prints[{group, e.number}] = *was;
                continue;
            }
            const std::optional<FileContent> content = HashFile(ToFsName(local), stop);
            if (!content) {
                if (was) result.prints[{group, e.number}] = *was;
                continue;
            }
            ++result.hashed;
            fresh.push_back(NextFingerprint(was ? std::optional<Fingerprint>(*was) : std::nullopt, group, e.number, key,
                                            *content));
            if (fresh.size() >= kFingerprintSlice && !store({})) return failed();
        }
        if (stop()) break;
        // Rows of entries no longer there (looked at whole groups only).
        std::vector<std::int32_t> gone;
        if (!some)
            for (const Fingerprint& f : *old)
                if (!present.count(f.number)) gone.push_back(f.number);
        if (!store(gone)) return failed();
    }
    if (stop()) {
        result.end = FingerprintResult::End::Stopped;
        return result;
    }
    if (request.dropGoneGroups &&
        !session.DeleteRecords(kFingerprintTable,
                               "GRP NOT IN (SELECT N FROM " + std::string(kCatalogueTable) + " WHERE N IS NOT NULL)"))
        return failed();
    session.EndRead();
    return result;
}

FingerprintWorker::FingerprintWorker(FingerprintRequest request, QObject* parent)
    : QThread(parent), request_(std::move(request))
{
}

FingerprintWorker::~FingerprintWorker()
{
    Stop();
    wait();
}

void FingerprintWorker::Stop()
{
    stop_ = true;
    const std::lock_guard<std::mutex> lock(mutex_);
    if (session_) session_->CancelOperation();
}

void FingerprintWorker::Retire(FingerprintWorker* worker, int waitMs)
{
    if (!worker) return;
    worker->disconnect();
    worker->setParent(nullptr);
    worker->Stop();
    if (worker->wait(QDeadlineTimer(waitMs))) {
        delete worker;
        return;
    }
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    if (worker->isFinished()) worker->deleteLater();
}

void FingerprintWorker::run()
{
    DatabaseSession session(request_.settings);
    session.ConnectDatabase();
    if (!session.Connected()) {
        result_.end = stop_ ? FingerprintResult::End::Stopped : FingerprintResult::End::Lost;
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        session_ = &session;
    }
    result_ = RefreshFingerprints(session, request_, [this] { return stop_.load(); });
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        session_ = nullptr;
    }
    session.CloseDatabase();
}
