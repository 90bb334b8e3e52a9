#include "benchdb.h"

#include <cstdio>

#include <QDir>
#include <QFile>

BenchDatabase::BenchDatabase()
{
    dir_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/kumobench-XXXXXX");
    QFile::setPermissions(dir_->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                            QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                                            QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther);
    settings.ServerName = "localhost:";
    settings.DataFolder = dir_->path().toStdString() + "/";
    settings.DatabaseFileName = "BENCH.FDB";
    settings.UserName = "bench";
    session.CreateDatabase();
    ok = session.Connected();
    if (!ok) std::fprintf(stderr, "kumobench: cannot create %s: %s\n", Name().c_str(), session.LastError().c_str());
}

BenchDatabase::~BenchDatabase() { session.CloseDatabase(); }

QString BenchDatabase::folder() const { return dir_->path(); }

bool Exec(DatabaseSession& session, const std::string& text)
{
    if (session.ExecuteStatement({text})) return true;
    std::fprintf(stderr, "kumobench: set-up statement failed: %s\n%s\n", session.LastError().c_str(), text.c_str());
    return false;
}
