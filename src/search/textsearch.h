#pragma once
// The search of the drawings' texts, and of all four ways at once: the index on this PC is
// brought up to date from the shared table first, its hits (the best by relevance) are
// listed as the entries that name each drawing, one line each, in the order of relevance.
// "All" then adds the entries that the folder, file-name and memo searches find (their
// statements as they are), each once.
#include <QString>

#include "search/search.h"

constexpr size_t kMaxTextHits = 1000;

// indexFolder: where the index lies (empty: TextIndex::FolderFor the session's settings).
// The text is read by the grammar of the texts' query; the options apply to the three
// statement searches of Everything.
SearchEnd SearchTexts(DatabaseSession& session, const QString& indexFolder, SearchColumn column, const std::string& text,
                      const SearchOptions& options, const EscapeKey& escape, const SearchSink& sink);
