#include "shell/admincommands.h"

#include <memory>
#include <optional>

#include "db/session.h"
#include "drawinglist/listpainter.h"
#include "drawinglist/listthumbs.h"
#include "groupwin/grouptables.h"
#include "groupwin/listrows.h"
#include "groupwin/samecontent.h"
#include "links/folderreplace.h"
#include "links/linkscan.h"
#include "links/linktexts.h"
#include "settings/preferences.h"
#include "settings/programfiles.h"
#include "settings/settingsfile.h"
#include "shell/indexcommand.h"
#include "shell/searchcommand.h"
#include "text/cp932.h"

namespace {

constexpr int kFound = 1;
constexpr int kUsage = 2;
const char* const kLostText = "データベースとの接続が切れました。\n";

const char* const kUsageText =
    "使い方:\n"
    "  kumolist --check-links [--group N]\n"
    "  kumolist --replace-folder 旧フォルダ 新フォルダ [--group N] [--dry-run]\n"
    "  kumolist --index [--group N]\n"
    "  kumolist --search 検索文字 [--in folder|name|memo|text|all] [--csv]\n"
    "  kumolist --duplicates\n"
    "  kumolist --drawing-list --group N [--sub-group S] --pdf 出力.pdf [--paper A4|A3] [--landscape]\n";

struct Command {
    bool check = false;
    bool index = false;
    bool duplicates = false;
    QString from, to;
    int32_t group = 0;
    bool dryRun = false;
};

std::optional<Command> Parse(const QStringList& args)
{
    Command c;
    int i = 1;
    if (args.value(i) == "--duplicates") {
        c.duplicates = true;
        return args.size() == 2 ? std::optional<Command>(c) : std::nullopt;
    }
    if (args.value(i) == "--check-links" || args.value(i) == "--index") {
        c.check = args.value(i) == "--check-links";
        c.index = !c.check;
        ++i;
    } else if (args.value(i) == "--replace-folder" && args.size() > i + 2) {
        c.from = args[i + 1];
        c.to = args[i + 2];
        i += 3;
    } else {
        return std::nullopt;
    }
    for (; i < args.size(); ++i) {
        if (args[i] == "--group" && i + 1 < args.size()) {
            bool ok = false;
            c.group = args[++i].toInt(&ok);
            if (!ok || c.group <= 0) return std::nullopt;
        } else if (args[i] == "--dry-run" && !c.check && !c.index) {
            c.dryRun = true;
        } else {
            return std::nullopt;
        }
    }
    return c;
}

std::ostream& operator<<(std::ostream& s, const QString& text) { return s << text.toStdString(); }

// Whether the replacement's folders can be used; if not, the line that says why.
bool FoldersUsable(const Command& c, std::ostream& err)
{
    const std::optional<std::string> from = FromQExact(c.from), to = FromQExact(c.to);
    if (!from || !to || from->empty() || to->empty()) {
        err << "フォルダ名にシフトJISで表せない文字があるか、空です\n";
        return false;
    }
    // A relative folder would be stored as it stands and found by no copy.
    if (!IsAbsoluteFolder(*to)) {
        err << NotAbsoluteText() << "\n";
        return false;
    }
    return true;
}

// The sets of entries whose files hold the same content, one paragraph each. Only what
// was read whole is printed: a failure on the way prints no set.
int PrintDuplicates(DatabaseSession& session, std::ostream& out, std::ostream& err)
{
    const std::optional<std::vector<SameContentSet>> sets = DuplicateSets(session);
    session.EndRead();
    if (!sets) {
        err << (session.Connected() ? QString("データベースから読めませんでした\n") : QString(kLostText));
        return kUsage;
    }
    for (size_t i = 0; i < sets->size(); ++i) {
        if (i > 0) out << "\n";
        for (const SameContentEntry& e : (*sets)[i]) out << ToQ(SameContentLine(e)) << "\n";
    }
    return 0;
}

struct ListCommand {
    int32_t group = 0;
    int32_t subGroup = 0;
    QString pdf;
    ListPageSetup setup;
};

std::optional<ListCommand> ParseList(const QStringList& args)
{
    if (args.value(1) != "--drawing-list") return std::nullopt;
    ListCommand c;
    auto number = [&args](int at, int32_t& to) {
        bool ok = false;
        to = args.value(at).toInt(&ok);
        return ok && to > 0;
    };
    for (int i = 2; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--group" && hasValue) {
            if (!number(++i, c.group)) return std::nullopt;
        } else if (a == "--sub-group" && hasValue) {
            if (!number(++i, c.subGroup)) return std::nullopt;
        } else if (a == "--pdf" && hasValue && !args[i + 1].isEmpty()) {
            c.pdf = args[++i];
        } else if (a == "--paper" && hasValue && (args[i + 1] == "A4" || args[i + 1] == "A3")) {
            c.setup.paper = args[++i] == "A3" ? ListPaper::A3 : ListPaper::A4;
        } else if (a == "--landscape") {
            c.setup.landscape = true;
        } else {
            return std::nullopt;
        }
    }
    if (c.group == 0 || c.pdf.isEmpty()) return std::nullopt;
    return c;
}

// The database of the user's settings, attached; null (and said why) when the settings
// cannot be read or the database cannot be reached.
std::unique_ptr<DatabaseSession> AttachWithUserSettings(const ProgramFiles& files, std::ostream& err)
{
    DatabaseSettings settings;
    if (!LoadSettings(files.settingsFile, settings, [](int, int32_t) {}) || settings.dataFolder.empty()) {
        err << QString("設定ファイルが読めません: ") << files.settingsFile << "\n";
        return nullptr;
    }
    auto session = std::make_unique<DatabaseSession>(settings);
    session->ConnectDatabase();
    if (!session->Connected()) {
        err << QString("データベース接続が出来ません。設定を確認して下さい。\n") << ToQ(session->LastError()) << "\n";
        return nullptr;
    }
    return session;
}

} // namespace

bool IsDrawingListCommand(const QStringList& arguments) { return arguments.value(1) == "--drawing-list"; }

int RunDrawingListCommand(const QStringList& arguments, const QString& programFilePath, std::ostream& out,
                          std::ostream& err)
{
    if (!ParseList(arguments)) {
        err << kUsageText;
        return kUsage;
    }
    const ProgramFiles files = LocateProgramFiles(programFilePath);
    const std::unique_ptr<DatabaseSession> attached = AttachWithUserSettings(files, err);
    if (!attached) return kUsage;
    DatabaseSession& session = *attached;
    return RunDrawingListOn(arguments, session, LoadRootMappings(files.preferencesFile), files.thumbnailer, out, err);
}

int RunDrawingListOn(const QStringList& arguments, DatabaseSession& session, const RootMappings& mappings,
                     const QString& thumbnailer, std::ostream& out, std::ostream& err)
{
    const std::optional<ListCommand> command = ParseList(arguments);
    if (!command) {
        err << kUsageText;
        return kUsage;
    }
    auto unread = [&session, &err] {
        err << (session.Connected() ? QString("データベースから読めませんでした\n") : QString(kLostText));
        return kUsage;
    };
    const std::optional<ShownGroup> group = ReadShownGroup(session, command->group);
    if (!group) return unread();
    if (group->number == 0) {
        err << QString("グループ %1 がありません\n").arg(command->group);
        return kUsage;
    }
    DrawingList list;
    list.heading.title = group->name;
    list.heading.subtitle = group->title;
    list.heading.date = TodayText();
    if (command->subGroup != 0) {
        const std::optional<std::vector<SubGroupNode>> tree = ReadSubGroupTree(session, command->group);
        if (!tree) return unread();
        for (const SubGroupNode& node : *tree)
            if (node.number == command->subGroup && node.parent >= 0) list.heading.subGroup = node.name;
        if (list.heading.subGroup.empty()) {
            err << QString("サブグループ %1 がありません\n").arg(command->subGroup);
            return kUsage;
        }
    }
    const std::optional<std::vector<FileRow>> rows = ReadFileRows(session, command->group, command->subGroup, &mappings);
    if (!rows) return unread();
    session.EndRead();
    if (rows->empty()) {
        err << QString("登録されたファイルがありません\n");
        return kFound;
    }
    for (const FileRow& row : *rows) list.entries.push_back(ListEntryOf(row));
    const ListGeometry geometry = LayOut(command->setup);
    ListThumbnails thumbnails(thumbnailer, ThumbnailPixels(geometry, command->setup, kListDpi));
    DrawListPictures(list.entries, thumbnails, list.pictures, {});
    if (WriteDrawingListPdf(command->pdf, list, command->setup, kListDpi) != PdfOutcome::Written) {
        err << QString("PDFファイルを書き込めませんでした: ") << command->pdf << "\n";
        return kUsage;
    }
    const size_t pages = PlanPages(static_cast<int>(list.entries.size()), geometry).size();
    out << QString("%1 件、%2 ページ: ").arg(list.entries.size()).arg(pages) << command->pdf << "\n";
    return 0;
}

bool IsAdminCommand(const QStringList& arguments)
{
    const QString first = arguments.value(1);
    return first == "--check-links" || first == "--replace-folder" || first == "--index" || first == "--duplicates" ||
           IsSearchCommand(arguments);
}

int RunAdminCommand(const QStringList& arguments, const QString& programFilePath, std::ostream& out,
                    std::ostream& err)
{
    const std::optional<SearchCommand> search = ParseSearchCommand(arguments, err);
    const std::optional<Command> command = Parse(arguments);
    if (!command && !search) {
        err << kUsageText;
        return kUsage;
    }
    if (command && !command->check && !command->index && !command->duplicates && !FoldersUsable(*command, err)) return kUsage;

    const ProgramFiles files = LocateProgramFiles(programFilePath);
    const std::unique_ptr<DatabaseSession> attached = AttachWithUserSettings(files, err);
    if (!attached) return kUsage;
    DatabaseSession& session = *attached;
    if (search) return RunSearchCommand(*search, session, {}, out, err);
    return RunAdminCommandOn(arguments, session, LoadRootMappings(files.preferencesFile), out, err, files.thumbnailer);
}

int RunAdminCommandOn(const QStringList& arguments, DatabaseSession& session, const RootMappings& mappings,
                      std::ostream& out, std::ostream& err, const QString& thumbnailer)
{
    const std::optional<Command> command = Parse(arguments);
    if (!command) {
        err << kUsageText;
        return kUsage;
    }
    if (command->index) return RunIndexCommandOn(session, DrawingTextJob{thumbnailer, mappings, command->group}, out, err);
    if (command->duplicates) return PrintDuplicates(session, out, err);
    if (!command->check && !FoldersUsable(*command, err)) return kUsage;
    const std::optional<std::string> from = FromQExact(command->from), to = FromQExact(command->to);
    std::vector<GroupName> groups;
    std::vector<LinkEntry> entries;
    if (!ReadGroups(session, command->group, groups) || !ReadLinkEntries(session, groups, entries)) {
        err << (session.Connected() ? QString("データベースから読めませんでした\n") : QString(kLostText));
        return kUsage;
    }
    if (command->group > 0 && groups.empty()) {
        err << QString("グループ %1 がありません\n").arg(command->group);
        return kUsage;
    }
    session.EndRead();

    if (command->check) {
        const std::vector<LinkEntry> missing = MissingEntries(entries, mappings, {}).value_or(std::vector<LinkEntry>{});
        for (const LinkEntry& e : missing) out << MissingLine(e) << "\n";
        return missing.empty() ? 0 : kFound;
    }

    ReplacementPlan plan = PlanReplacement(entries, *from, *to, mappings);
    ProbeNewPaths(plan, mappings, {});
    out << PlanSummary(plan) << "\n";
    for (const FolderChange& c : plan.changes)
        if (!c.Storable()) out << RefusedLine(c) << "\n";
    if (command->dryRun) {
        out << QString("（確認のみ: 書き込んでいません）\n");
        return plan.Refused() > 0 ? kFound : 0;
    }
    const ApplyResult result = ApplyFolderChanges(session, plan.changes);
    out << ApplySummary(result) << "\n";
    if (result.lost) {
        err << QString(kLostText);
        return kUsage;
    }
    return plan.Refused() > 0 || !result.failedGroups.empty() ? kFound : 0;
}
