#include "shell/drawingtextreading.h"

#include <set>

#include <QFileInfo>
#include <sys/stat.h>

#include "board/limitedprocess.h"
#include "db/schema.h"
#include "drawing/drawingfile.h"
#include "links/linkscan.h"
#include "store/drawingtexts.h"
#include "store/reads.h"
#include "text/cp932.h"
#include "text/pathname.h"

namespace {

// Files handed to the processes between two looks at the stop.
constexpr std::size_t kBatch = 8;
constexpr std::size_t kProbesBetweenLooks = 256;

ProcessLimits TextLimits()
{
    ProcessLimits limits;
    limits.timeoutMs = 20000;                       // a large drawing on a slow file server
    limits.outputBytes = 48LL * 1024 * 1024;        // 1 MiB of text and the boxes of 100 000 texts
    limits.parallel = 2;
    limits.niceness = 10;
    return limits;
}

DrawingFileSeen Probe(const std::string& storedPath, const RootMappings& mappings)
{
    DrawingFileSeen seen;
    struct stat st {};
    const std::string local = ToFsName(LocalPath(storedPath, mappings));
    if (::stat(local.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return seen;
    seen.present = true;
    seen.size = static_cast<std::int64_t>(st.st_size);
    seen.time = static_cast<std::int64_t>(st.st_mtime);
    return seen;
}

// The thumbnailer's one line, when it is one.
bool TextsLine(QByteArray& output)
{
    if (output.endsWith('\n')) output.chop(1);
    return output.startsWith('{') && output.endsWith('}') && !output.contains('\n');
}

struct Pending {
    DrawingTextKey key;
    DrawingFileSeen seen;
    bool missing = false;
};

DrawingTextEnd Ending(DatabaseSession& session, std::string* failure, const std::string& why)
{
    if (session.ConnectionLost() || !session.Connected()) return DrawingTextEnd::Lost;
    if (failure) *failure = why + (session.LastError().empty() ? "" : ": " + session.LastError());
    return DrawingTextEnd::Failed;
}

} // namespace

bool IsTextDrawingName(const std::string& fileName)
{
    const DrawingFormat f = DrawingFormatOfType(FileTypeOf(fileName));
    return f == DrawingFormat::Jww || f == DrawingFormat::Jwc || f == DrawingFormat::Dxf;
}

DrawingTextEnd ReadDrawingTexts(DatabaseSession& session, const DrawingTextJob& job, DrawingTextCounts& counts,
                                const DrawingTextProgress& progress, std::string* failure)
{
    counts = DrawingTextCounts{};
    if (!QFileInfo(job.thumbnailer).isExecutable()) {
        if (failure) *failure = "kumolist-thumbnailer が見つかりません: " + job.thumbnailer.toStdString();
        return DrawingTextEnd::Failed;
    }
    std::vector<GroupName> groups;
    std::vector<LinkEntry> entries;
    if (!ReadGroups(session, job.group, groups) || !ReadLinkEntries(session, groups, entries))
        return Ending(session, failure, "登録された図面を読めませんでした");
    if (job.group > 0 && groups.empty()) {
        if (failure) *failure = "グループ " + std::to_string(job.group) + " がありません";
        return DrawingTextEnd::Failed;
    }
    // The table is made only when there is something to store in it.
    const std::optional<bool> tablePresent = TablePresent(session, kDrawingTextTable);
    const std::optional<StoredDrawingTexts> stored =
        tablePresent && *tablePresent ? ReadStoredDrawingTexts(session)
                                      : tablePresent ? std::optional(StoredDrawingTexts{}) : std::nullopt;
    if (!stored) return Ending(session, failure, "図面の文字の表を読めませんでした");
    session.EndRead();

    std::set<DrawingTextKey> named;
    std::vector<Pending> pending;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        // A file server may answer slowly: the stop is looked at while files are probed.
        if (i % kProbesBetweenLooks == kProbesBetweenLooks - 1 && progress && !progress(counts))
            return DrawingTextEnd::Stopped;
        const LinkEntry& e = entries[i];
        DrawingTextKey key{e.folder, e.fileName};
        if (!IsTextDrawingName(e.fileName) || !StorableDrawingTextKey(key) || !named.insert(key).second) continue;
        const DrawingFileSeen seen = Probe(e.StoredPath(), job.mappings);
        const auto row = stored->find(key);
        const StoredDrawingText* had = row == stored->end() ? nullptr : &row->second;
        switch (PlanDrawingText(had, seen)) {
        case DrawingTextPlan::Read: pending.push_back({std::move(key), seen, false}); break;
        case DrawingTextPlan::StoreMissing: pending.push_back({std::move(key), seen, true}); break;
        case DrawingTextPlan::Keep:
            ++counts.unchanged;
            if (!seen.present)
                counts.missing.push_back(e.StoredPath());
            else if (had->state == int(DrawingTextState::Unreadable))
                counts.unreadable.push_back(e.StoredPath());
            break;
        }
    }
    counts.toRead = pending.size();
    if (!pending.empty() && !*tablePresent && !EnsureDrawingTextTable(session))
        return Ending(session, failure, "図面の文字の表を作れませんでした");
    if (progress && !progress(counts)) return DrawingTextEnd::Stopped;

    const ProcessLimits limits = TextLimits();
    for (std::size_t at = 0; at < pending.size(); at += kBatch) {
        const std::size_t end = std::min(pending.size(), at + kBatch);
        std::vector<LimitedRun> runs;
        std::vector<Pending*> read;
        for (std::size_t i = at; i < end; ++i) {
            if (pending[i].missing) continue;
            LimitedRun run;
            run.program = job.thumbnailer;
            run.arguments = {"--text", QString::fromStdString(ToFsName(LocalPath(
                                           pending[i].key.folder + pending[i].key.name, job.mappings)))};
            runs.push_back(std::move(run));
            read.push_back(&pending[i]);
        }
        RunLimited(runs, limits);
        std::vector<DrawingTextResult> results;
        std::vector<QByteArray> lines(end - at);
        std::size_t next = 0;
        for (std::size_t i = at; i < end; ++i) {
            Pending& p = pending[i];
            DrawingTextState state = DrawingTextState::Missing;
            QByteArray& line = lines[i - at];
            if (!p.missing) {
                LimitedRun& run = runs[next++];
                line = std::move(run.output);
                state = run.ok && TextsLine(line) ? DrawingTextState::Read : DrawingTextState::Unreadable;
            }
            results.push_back({p.key, p.seen, state, std::string_view(line.constData(), std::size_t(line.size()))});
        }
        const DrawingTextStored stored = StoreDrawingTexts(session, results);
        if (stored == DrawingTextStored::Lost) return DrawingTextEnd::Lost;
        if (stored == DrawingTextStored::Failed) return Ending(session, failure, "図面の文字を書き込めませんでした");
        for (const DrawingTextResult& r : results) {
            if (r.state == DrawingTextState::Read)
                ++counts.stored;
            else
                (r.state == DrawingTextState::Unreadable ? counts.unreadable : counts.missing)
                    .push_back(r.key.folder + r.key.name);
            ++counts.done;
            if (progress && !progress(counts)) return DrawingTextEnd::Stopped;
        }
    }

    // Only a look at every group tells which rows no entry names.
    if (job.group == 0) {
        const std::optional<long> dropped = DropUnnamedDrawingTexts(session, *stored, named);
        if (!dropped) return Ending(session, failure, "不要になった図面の文字を消せませんでした");
        counts.dropped = std::size_t(*dropped);
    }
    return DrawingTextEnd::Finished;
}

std::string GroupedNumber(std::size_t n)
{
    std::string digits = std::to_string(n);
    for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, " ");
    return digits;
}

std::string DrawingTextProgressText(std::size_t done, std::size_t total)
{
    return "図面の文字を読み込み中 " + GroupedNumber(done) + " / " + GroupedNumber(total);
}
