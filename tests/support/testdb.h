#pragma once
// A fresh database for one test case, in a temporary folder that the Firebird server
// (user firebird) may write. The folder and the database go away with the object.
#include <memory>
#include <string>
#include <vector>

#include <QString>
#include <QTemporaryDir>

#include "db/session.h"
#include "settings/settings.h"

class TestDatabase {
public:
    // Settings: server "localhost:", the temporary folder (with a trailing "/"), "TEST.FDB".
    TestDatabase();
    ~TestDatabase();

    DatabaseSettings settings;
    QString folder() const;   // without trailing separator

    // CreateDatabase through the session; true when it is attached afterwards.
    bool Create(DatabaseSession& session);

private:
    std::unique_ptr<QTemporaryDir> dir_;
};

// A session already attached to a fresh database.
class FreshSession {
public:
    FreshSession();
    TestDatabase db;
    DatabaseSession session{db.settings};
    bool ok = false;
};

// Every row of the table (all columns, ordered by N), read as the program reads rows.
std::vector<TextRow> AllRows(DatabaseSession& session, const std::string& table, const std::string& condition = "",
                             const std::string& columns = "*", const std::string& order = "N");
