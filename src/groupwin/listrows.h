#pragma once
// The rows of the group window's list as a drawing list shows them.
#include "drawinglist/listentry.h"
#include "groupwin/filerow.h"

DrawingListEntry ListEntryOf(const FileRow& row);
