#pragma once
// Fingerprints taken and refreshed off the user-interface thread: after a registration's
// commit, when a group is opened, when the link check runs. A file is read only when it
// is new to its row or its size or time differ from the row's; every file is read once,
// front to back, one after another. The rows are written in units of work: a lost server
// or a stop leaves each row whole, as before or as after.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <QThread>

#include "db/session.h"
#include "store/fingerprints.h"
#include "text/rootmap.h"

struct FingerprintRequest {
    DatabaseSettings settings;
    RootMappings mappings;
    // The groups to look at; with one group, numbers limits it to those entries.
    std::vector<std::int32_t> groups;
    std::vector<std::int32_t> numbers;
    // Rows of groups no longer in the catalogue go too (the check of all groups).
    bool dropGoneGroups = false;
};

struct FingerprintResult {
    enum class End { Done, Stopped, Failed, Lost } end = End::Done;
    // The rows of the entries looked at that hold a fingerprint, by group and number.
    std::map<std::pair<std::int32_t, std::int32_t>, Fingerprint> prints;
    int hashed = 0;   // files read
};

// Rows written by one unit of work at most.
inline constexpr size_t kFingerprintSlice = 256;

// The work itself, on the caller's attached session (its own thread's). The table must be
// there (EnsureFingerprintTable on the program's own session): Failed otherwise.
// stopped is asked between files and while one is read.
FingerprintResult RefreshFingerprints(DatabaseSession& session, const FingerprintRequest& request,
                                      const std::function<bool()>& stopped);

class FingerprintWorker : public QThread {
    Q_OBJECT
public:
    explicit FingerprintWorker(FingerprintRequest request, QObject* parent = nullptr);
    ~FingerprintWorker() override;

    // Any thread: the work ends at its next look, a statement under way is cancelled.
    void Stop();
    // Once finished.
    const FingerprintResult& Result() const { return result_; }
    const FingerprintRequest& Request() const { return request_; }

    // A worker no longer wanted: stopped, and deleted once ended (at once when that is
    // within waitMs; a thread a dead server holds ends on its own later).
    static void Retire(FingerprintWorker* worker, int waitMs = 3000);

protected:
    void run() override;

private:
    const FingerprintRequest request_;
    std::atomic<bool> stop_{false};
    FingerprintResult result_;
    std::mutex mutex_;
    DatabaseSession* session_ = nullptr;
};
