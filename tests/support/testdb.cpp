#include "support/testdb.h"

#include <QDir>
#include <QFile>

TestDatabase::TestDatabase()
{
    // Under /tmp, so the server's user can reach it; open to it since the server
    // creates the database file itself.
    dir_ = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/kumotest-XXXXXX");
    QFile::setPermissions(dir_->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                            QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                                            QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther);
    settings.serverName = "localhost:";
    settings.dataFolder = dir_->path().toStdString() + "/";
    settings.databaseFileName = "TEST.FDB";
}

TestDatabase::~TestDatabase() = default;

QString TestDatabase::folder() const { return dir_->path(); }

bool TestDatabase::Create(DatabaseSession& session)
{
    session.CreateDatabase();
    return session.Connected();
}

FreshSession::FreshSession() { ok = db.Create(session); }

std::vector<TextRow> AllRows(DatabaseSession& session, const std::string& table, const std::string& condition,
                             const std::string& columns, const std::string& order)
{
    return session.SelectAllRows(columns, table, condition, order);
}
