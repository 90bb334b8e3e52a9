#pragma once
// The drawing list and the group window's filter, timed.
#include <memory>

#include "workloads.h"

// W7: a group's drawing list as PDF, every picture drawn for the page.
std::unique_ptr<Workload> MakeDrawingListWorkload();
// W8: the filter typed one character at a time over a group's list.
std::unique_ptr<Workload> MakeFilterWorkload();
