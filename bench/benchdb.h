#pragma once
// A database of the benchmark's own on the local server, in a temporary folder that the
// server (user firebird) may write; gone with the object.
#include <functional>
#include <memory>
#include <string>

#include <QString>
#include <QTemporaryDir>

#include "db/session.h"
#include "settings/settings.h"

class BenchDatabase {
public:
    BenchDatabase();
    ~BenchDatabase();
    BenchDatabase(const BenchDatabase&) = delete;
    BenchDatabase& operator=(const BenchDatabase&) = delete;

    DatabaseSettings settings;
    DatabaseSession session{settings};
    bool ok = false;            // created and attached
    QString folder() const;     // temporary folder, without a trailing "/"
    std::string Name() const { return settings.DatabaseName(); }

    // The server writes every page through to the disk at once (forced writes, the
    // default) or leaves it to the system. Set-up runs without, so that making two
    // thousand tables takes seconds rather than minutes; everything timed runs with.
    bool SetForcedWrites(bool on);

private:
    std::unique_ptr<QTemporaryDir> dir_;
};

// Runs one statement in a transaction of its own, or inside the open unit; false (and
// the reason on stderr) when it fails. For the set-up only, never timed.
bool Exec(DatabaseSession& session, const std::string& text);

// Runs the steps as one unit of work, committed when they all succeed; false (and
// nothing kept) when one fails.
bool InOneUnit(DatabaseSession& session, const std::function<bool()>& steps);
