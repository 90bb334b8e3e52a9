#include "groupwin/groupfingerprints.h"

#include <utility>

#include "groupwin/filerow.h"
#include "text/cp932.h"

GroupFingerprints::GroupFingerprints(DatabaseSession& db, QObject* parent) : QObject(parent), db_(db) {}

GroupFingerprints::~GroupFingerprints() { Stop(); }

void GroupFingerprints::ShowGroup(std::int32_t group, const std::vector<std::int32_t>& shown)
{
    Stop();
    group_ = group;
    prints_.clear();
    asked_ = std::set<std::int32_t>(shown.begin(), shown.end());
    pendingAll_ = group > 0;
    StartNext();
}

void GroupFingerprints::Take(const std::vector<std::int32_t>& numbers)
{
    if (group_ <= 0) return;
    for (const std::int32_t n : numbers)
        if (n > 0 && !prints_.count(n) && asked_.insert(n).second) pending_.push_back(n);
    StartNext();
}

void GroupFingerprints::Stop()
{
    // Not waited for long: a worker that a dead server holds ends on its own later.
    if (worker_) FingerprintWorker::Retire(std::exchange(worker_, nullptr), 200);
    pendingAll_ = false;
    pending_.clear();
}

void GroupFingerprints::StartNext()
{
    if (worker_ || group_ <= 0 || !db_.Connected() || (!pendingAll_ && pending_.empty())) return;
    // Once per run, here: the workers never create it themselves (see RefreshFingerprints).
    if (!tableReady_) tableReady_ = EnsureFingerprintTable(db_);
    if (!tableReady_) return;
    FingerprintRequest request;
    request.settings = db_.Settings();
    if (mappings_) request.mappings = *mappings_;
    request.groups = {group_};
    if (!pendingAll_) request.numbers = std::exchange(pending_, {});
    else pending_.clear();
    pendingAll_ = false;
    worker_ = new FingerprintWorker(std::move(request), this);
    FingerprintWorker* started = worker_;
    connect(worker_, &QThread::finished, this, [this, started] { Finished(started); });
    worker_->start(QThread::LowPriority);
}

void GroupFingerprints::Finished(FingerprintWorker* worker)
{
    if (worker != worker_) return;
    worker_ = nullptr;
    const FingerprintResult& result = worker->Result();
    const std::int32_t group = worker->Request().groups.front();
    if (group == group_) {
        for (const auto& [key, print] : result.prints) prints_[key.second] = print;
        emit Updated();
    }
    worker->deleteLater();
    // Entries asked for while a lost server ended the work are asked again with the
    // next entries that join, or at the next opening.
    if (result.end == FingerprintResult::End::Done) StartNext();
}

const Fingerprint* GroupFingerprints::Of(std::int32_t number) const
{
    const auto f = prints_.find(number);
    return f == prints_.end() ? nullptr : &f->second;
}

QString GroupFingerprints::ChangeText(std::int32_t number) const
{
    const Fingerprint* f = Of(number);
    return f && f->Changed() ? ToQ(FormatFileTime(f->time)) : QString();
}

bool GroupFingerprints::Accept(const std::vector<std::int32_t>& numbers)
{
    if (!AcceptContent(db_, group_, numbers)) return false;
    for (const std::int32_t n : numbers) {
        const auto f = prints_.find(n);
        if (f != prints_.end()) f->second.reference = f->second.hash;
    }
    emit Updated();
    return true;
}
