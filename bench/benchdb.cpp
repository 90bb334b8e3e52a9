#include "benchdb.h"

#include <cstdio>
#include <cstdlib>

#include <sys/wait.h>

#include <QDir>
#include <QFile>

BenchDatabase::BenchDatabase()
{
    dir_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/kumobench-XXXXXX");
    QFile::setPermissions(dir_->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                            QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                                            QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther);
    settings.serverName = "localhost:";
    settings.dataFolder = dir_->path().toStdString() + "/";
    settings.databaseFileName = "BENCH.FDB";
    settings.userName = "bench";
    session.CreateDatabase();
    ok = session.Connected() && SetForcedWrites(false);
    if (!ok) std::fprintf(stderr, "kumobench: cannot create %s: %s\n", Name().c_str(), session.LastError().c_str());
}

BenchDatabase::~BenchDatabase() { session.CloseDatabase(); }

bool BenchDatabase::SetForcedWrites(bool on)
{
    const std::string command = "fbsvcmgr localhost:service_mgr user SYSDBA password copperelk action_properties dbname '" +
                                settings.dataFolder + settings.databaseFileName + "' prp_write_mode " +
                                (on ? "prp_wm_sync" : "prp_wm_async") + " >/dev/null";
    const int rc = std::system(command.c_str());
    if (rc == 0) return true;
    std::fprintf(stderr, "kumobench: cannot set the write mode of %s\n", Name().c_str());
    return false;
}

QString BenchDatabase::folder() const { return dir_->path(); }

bool Exec(DatabaseSession& session, const std::string& text)
{
    if (session.ExecuteStatement({text})) return true;
    std::fprintf(stderr, "kumobench: set-up statement failed: %s\n%s\n", session.LastError().c_str(), text.c_str());
    return false;
}

bool InOneUnit(DatabaseSession& session, const std::function<bool()>& steps)
{
    if (!session.BeginWork()) return false;
    if (steps()) return session.CommitWork();
    session.RollbackWork();
    return false;
}
