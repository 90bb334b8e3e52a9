#include "search/textsearch.h"

#include <map>
#include <set>
#include <unordered_map>

#include "fulltext/textindex.h"
#include "fulltext/textsync.h"
#include "text/cp932.h"

namespace {

constexpr const char* kGreaterThan = "\x81\x84";   // ＞

// A line of the ways through the index: no group headers, since the lines come by
// relevance; the file without its folder, so that the text around the match is seen.
std::string LineText(const SearchLine& l, const std::string& tail)
{
    std::string text = "\x81\x79" + l.groupName + "\x81\x7a ";   // 【group】
    if (!l.subGroupName.empty()) text += l.subGroupName + " " + kGreaterThan + " ";
    return text + l.file + "(N:" + l.entryNumber + ")  " + tail;
}

SearchEnd FromSync(TextSyncEnd end)
{
    switch (end) {
    case TextSyncEnd::Finished: return SearchEnd::Finished;
    case TextSyncEnd::Stopped: return SearchEnd::Stopped;
    case TextSyncEnd::ConnectionLost: return SearchEnd::ConnectionLost;
    case TextSyncEnd::ReadFailed: return SearchEnd::ReadFailed;
    case TextSyncEnd::IndexFailed: break;
    }
    return SearchEnd::IndexFailed;
}

} // namespace

SearchEnd SearchTexts(DatabaseSession& session, const QString& indexFolder, SearchColumn column, const std::string& text,
                      const SearchOptions& options, const EscapeKey& escape, const SearchSink& sink)
{
    if (CheckSearchText(text) == SearchRefusal::Blank || !session.Connected()) return SearchEnd::Finished;
    TextSearchResult found;
    {
        TextIndex index(indexFolder.isEmpty() ? TextIndex::FolderFor(session.Settings()) : indexFolder);
        if (!index.Open()) return SearchEnd::IndexFailed;
        std::optional<TextSearchResult> result;
        // An index that fails is made again once, from the shared table.
        for (int attempt = 0; attempt < 2 && !result; ++attempt) {
            if (attempt > 0 && !index.Rebuild()) return SearchEnd::IndexFailed;
            const SearchEnd synced = FromSync(UpdateTextIndex(session, index, escape));
            if (synced == SearchEnd::IndexFailed) continue;
            if (synced != SearchEnd::Finished) return synced;
            result = index.Search(ToQ(text), kMaxTextHits);
        }
        if (!result) return SearchEnd::IndexFailed;
        found = std::move(*result);
    }
    // The entries that name the drawings found: every entry is read, as a folded search does.
    std::map<std::string, std::vector<SearchLine>> entries;
    std::set<std::string> wanted;
    for (const TextHit& h : found.hits) wanted.insert(TextKey(h.folder, h.file));
    if (!wanted.empty()) {
        SearchOptions all;
        all.literalWildcards = false;
        const SearchEnd end = SearchAllGroups(session, SearchColumn::Folder, "%", all, escape, [&](std::vector<SearchLine>& lines) {
            for (SearchLine& l : lines)
                if (!l.isGroup && wanted.count(TextKey(l.folder, l.file))) entries[TextKey(l.folder, l.file)].push_back(std::move(l));
        });
        if (end != SearchEnd::Finished) return end;
    }
    std::vector<SearchLine> lines;
    std::set<std::pair<int32_t, int32_t>> listed;
    for (const TextHit& h : found.hits) {
        const auto at = entries.find(TextKey(h.folder, h.file));
        if (at == entries.end()) continue;
        const std::string around = FromQLossy(h.around);
        for (const SearchLine& e : at->second) {
            SearchLine l = e;
            l.around = around;
            l.box = h.box;
            l.text = LineText(l, around);
            listed.insert({l.group, l.entry});
            lines.push_back(std::move(l));
        }
    }
    if (!lines.empty()) sink(lines);
    if (column != SearchColumn::Everything || CheckSearchText(text) != SearchRefusal::None) return SearchEnd::Finished;
    for (SearchColumn c : {SearchColumn::Folder, SearchColumn::FileName, SearchColumn::Memo}) {
        std::vector<SearchLine> more;
        const SearchEnd end = SearchAllGroups(session, c, text, options, escape, [&](std::vector<SearchLine>& batch) {
            for (SearchLine& l : batch) {
                if (l.isGroup || !listed.insert({l.group, l.entry}).second) continue;
                l.text = LineText(l, "\x81\x77" + l.memo + "\x81\x78");   // 『memo』
                more.push_back(std::move(l));
            }
        });
        if (!more.empty()) sink(more);
        if (end != SearchEnd::Finished) return end;
    }
    return SearchEnd::Finished;
}
