#pragma once
// kumolist --index [--group N]: the texts of every drawing not stored yet or changed
// since, read from a terminal; progress on standard error, then a summary line and the
// files that could not be read. Exit 0 when every readable drawing is stored, 1 when
// some could not be read, 2 on a failure (the caller tells a missing server apart).
#include <cstdint>
#include <ostream>

#include "db/session.h"
#include "shell/drawingtextreading.h"

int RunIndexCommandOn(DatabaseSession& session, const DrawingTextJob& job, std::ostream& out, std::ostream& err);
