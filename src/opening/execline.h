#pragma once
// Commands that open a file: the Exec lines of desktop entries and the commands the user
// types, in the same syntax, started without a shell so that a file name stays a name.
#include <optional>

#include <QString>
#include <QStringList>

// The arguments of a command, split as desktop entries' Exec lines are: blanks separate
// arguments, double quotes hold blanks, and within them a backslash escapes " ` $ and \.
// Nothing when a quote is left open or there is no argument.
std::optional<QStringList> SplitExecLine(const QString& command);

// The program and arguments that open the file: every %f, %F, %u and %U gives the path
// (within the argument it stands in, never splitting it), %% a percent sign, the other
// field codes nothing; with no file code the path is added as the last argument.
// Nothing when the command names no program.
std::optional<QStringList> CommandForFile(const QString& command, const QString& path);

// The command with the path, as one argument, in the desktop's quoting (what the user
// reads, and could type again).
QString QuoteExecArgument(const QString& argument);

// True when the command runs Kumolist itself: a program named kumolist (directly or
// through env) or the program file given.
bool RunsKumolist(const QString& command, const QString& programFile);

// Starts the command for the file, detached, in the file's folder. False when it does
// not start (a command that cannot be split, a program that is not there).
bool StartCommandForFile(const QString& command, const QString& path);
