#pragma once
// The floor: the statements the program sent, run by the Firebird server for its own
// isql-fb on the same machine.
#include <string>
#include <vector>

// An isql script of the statement texts as sent, each write followed by a COMMIT so
// that every write is committed on its own, as the program commits it.
std::string IsqlScript(const std::vector<std::string>& statements);

// Wall seconds isql-fb takes to attach to the database, run the script with its
// output thrown away, and end; negative when isql failed or ran over the time limit.
double RunIsql(const std::string& database, const std::string& script, int timeoutSeconds);

// Median of the wall seconds isql-fb needs for an empty script on the database: its
// start, attach and end, which the program pays once at start and not per workload.
double IsqlOverhead(const std::string& database);
