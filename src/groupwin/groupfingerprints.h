#pragma once
// The fingerprints of the group the window shows, kept beside its rows: refreshed in the
// background when the group is opened and for entries that join the list (a registration,
// a paste), one worker at a time; the rows of the change column and the icon view's marks
// are answered from here.
#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include <QObject>
#include <QString>

#include "db/session.h"
#include "groupwin/fingerprintworker.h"

class GroupFingerprints : public QObject {
    Q_OBJECT
public:
    GroupFingerprints(DatabaseSession& db, QObject* parent = nullptr);
    ~GroupFingerprints() override;

    void SetRootMappings(const RootMappings* mappings) { mappings_ = mappings; }
    // Every entry of the group looked at afresh (shown: the entries the list shows now,
    // which this covers); what was kept of another group is let go.
    void ShowGroup(std::int32_t group, const std::vector<std::int32_t>& shown);
    // Entries of the shown group not looked at yet.
    void Take(const std::vector<std::int32_t>& numbers);
    // The window closed: the work under way stops (rows written stay whole).
    void Stop();
    bool Busy() const { return worker_ != nullptr; }
    std::int32_t Group() const { return group_; }

    const Fingerprint* Of(std::int32_t number) const;
    // "" unless the entry's content changed since it was filed: then the time of the
    // content seen.
    QString ChangeText(std::int32_t number) const;
    // The content seen becomes the reference of the entries; false when not stored.
    bool Accept(const std::vector<std::int32_t>& numbers);

signals:
    // Fingerprints arrived or were confirmed.
    void Updated();

private:
    void StartNext();
    void Finished(FingerprintWorker* worker);

    DatabaseSession& db_;
    const RootMappings* mappings_ = nullptr;
    std::int32_t group_ = 0;
    std::map<std::int32_t, Fingerprint> prints_;
    std::set<std::int32_t> asked_;
    bool pendingAll_ = false;
    std::vector<std::int32_t> pending_;
    FingerprintWorker* worker_ = nullptr;
    bool tableReady_ = false;
};
