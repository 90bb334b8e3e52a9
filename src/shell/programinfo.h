#pragma once
// `kumolist --help` and `kumolist --version`: printed and ended before any window system
// is touched, so that they work in a terminal without a display and in scripts.
#include <ostream>

#include <QString>
#include <QStringList>

// Whether the arguments (the program's name first) ask for the help or the version.
bool IsInfoCommand(const QStringList& arguments);

// Prints what was asked for (the help names the settings file this user's copy reads);
// the exit code (0).
int RunInfoCommand(const QStringList& arguments, const QString& programFilePath, std::ostream& out);
