#pragma once
// The index on this PC brought up to date from the shared table of drawing texts: a
// drawing whose stored row carries another stamp than the index holds is read again,
// one the table no longer holds (or holds as unreadable or missing) is removed. Stamps
// are compared one by one rather than from the highest seen on, since a row may be
// committed after one with a higher stamp.
#include "db/schema.h"   // kDrawingTextTable
#include "db/session.h"
#include "fulltext/textindex.h"
#include "platform/escape.h"

enum class TextSyncEnd {
    Finished,
    Stopped,          // the stop was seen; what was stored so far stays
    ConnectionLost,
    ReadFailed,       // the table could not be read
    IndexFailed,      // the index could not be written
};

struct TextSyncCounts {
    int read = 0, removed = 0;
};

TextSyncEnd UpdateTextIndex(DatabaseSession& session, TextIndex& index, const EscapeKey& escape,
                            TextSyncCounts* counts = nullptr);
