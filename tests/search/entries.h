#pragma once
// Per-group tables and their rows for the search tests.
#include <string>
#include <vector>

#include <QStringList>

#include "db/session.h"

// CP932 of a UTF-8 text.
std::string Sj(const char* utf8);

// The group's file and sub-group tables, as opening the group makes them.
bool OpenGroupTables(DatabaseSession& session, int group);
bool AddSubGroup(DatabaseSession& session, int group, int n, const std::string& name, int parent = 0);
// An empty memo is stored as NULL.
bool AddEntry(DatabaseSession& session, int group, int n, const std::string& folder, const std::string& file,
              const std::string& memo, int subGroup);

// Attachments to the session's database other than its own; -1 when it cannot tell.
int OtherAttachments(DatabaseSession& session);

// CP932 lines as text, for comparisons that print readably.
QStringList Readable(const std::vector<std::string>& lines);
