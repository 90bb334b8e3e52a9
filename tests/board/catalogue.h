#pragma once
// Rows of the group catalogue for board tests.
#include <string>

#include "db/session.h"

// Inserts a catalogue row (creating the table when missing); X and Y are bare numbers
// ("" for NULL), the texts literal values.
bool InsertGroup(DatabaseSession& session, int n, const std::string& name, const std::string& iconFile,
                 const std::string& x, const std::string& y, const std::string& author = "",
                 const std::string& title = "", const std::string& subtitle = "");

// The stored X and Y of group n as text, "" when NULL or missing.
std::string StoredX(DatabaseSession& session, int n);
std::string StoredY(DatabaseSession& session, int n);

// Makes the two tables of group n, as opening it does, with `entries` file entries
// ("e1.jww", ...) filed under one sub-group.
bool GiveTables(DatabaseSession& session, int n, int entries);
