#pragma once
// The texts that the windows and the terminal commands both show about moved entries.
#include <QString>
#include <QStringList>

#include "links/folderreplace.h"

// One line of a refused change: the path and why, as registration says it; an entry
// that cannot keep its form is named by its stored path.
QString RefusedLine(const FolderChange& change);
// "N 件 ..." lines that tell what a replacement will do, before anything is written.
QString PlanSummary(const ReplacementPlan& plan);
// What was written, and the groups left as they were.
QString ApplySummary(const ApplyResult& result);
// Why a new folder that is not absolute is refused.
QString NotAbsoluteText();
// Group, entry and stored path of a missing entry, as a line of text.
QString MissingLine(const LinkEntry& entry);
