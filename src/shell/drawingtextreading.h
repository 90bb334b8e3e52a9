#pragma once
// Reading the texts of the drawings the entries name into the shared table: the files
// whose text is not stored yet or whose size or time changed, each read by the
// thumbnailer in a process of its own (two at once, at low priority), each result
// stored whole. Shared by the background reading of the program and `kumolist --index`.
// No widgets; texts are CP932.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QString>

#include "db/session.h"
#include "text/rootmap.h"

struct DrawingTextJob {
    QString thumbnailer;        // the program that reads the drawings
    RootMappings mappings;      // where this PC finds the stored paths
    int32_t group = 0;          // 0: every group; rows no entry names are then dropped
};

struct DrawingTextCounts {
    std::size_t toRead = 0;      // files this run reads (or stores as missing)
    std::size_t done = 0;        // of those
    std::size_t stored = 0;      // read and stored now
    std::size_t unchanged = 0;   // stored before and unchanged since
    std::size_t dropped = 0;     // rows no entry names any more
    std::vector<std::string> unreadable;   // stored paths of files that are no readable drawing
    std::vector<std::string> missing;      // stored paths of files this PC does not find
};

enum class DrawingTextEnd { Finished, Stopped, Failed, Lost };

// Told after each file; false stops the reading (between two files).
using DrawingTextProgress = std::function<bool(const DrawingTextCounts&)>;

// The drawing types whose texts are read.
bool IsTextDrawingName(const std::string& fileName);

// Reads and stores what is needed. Failed when the table, the entries or the stored
// rows could not be read or a result not stored (failure: why, UTF-8); Lost when the
// connection went. Either way each file stored before stays stored whole.
DrawingTextEnd ReadDrawingTexts(DatabaseSession& session, const DrawingTextJob& job, DrawingTextCounts& counts,
                                const DrawingTextProgress& progress, std::string* failure = nullptr);

// "図面の文字を読み込み中 120 / 4 000"
std::string DrawingTextProgressText(std::size_t done, std::size_t total);
// Numbers grouped by three with a blank: "4 000".
std::string GroupedNumber(std::size_t n);
