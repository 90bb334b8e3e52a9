// Moved drawings found again: folders shared with Windows PCs, the missing-file check,
// the folder replacement and the search by name, against the real server and disk.
#include <QDir>
#include <QSignalSpy>
#include <QThread>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "catalogue.h"
#include "db/schema.h"
#include "entries.h"
#include "groupwin/entrybatch.h"
#include "groupwin/grouptables.h"
#include "links/backgroundtask.h"
#include "links/filedentries.h"
#include "groupwin/fingerprintworker.h"
#include "links/contentcheck.h"
#include "links/folderreplace.h"
#include "links/linkscan.h"
#include "links/namesearch.h"
#include "settings/preferences.h"
#include "support/tcpforwarder.h"
#include "support/testdb.h"
#include "text/cp932.h"

namespace {

const std::string kSo = "\x83\x5C";   // ソ: second byte is "\"
const std::string kPo = "\x83\x7C";   // ポ: second byte is "|"

std::string Cp(const QString& s) { return FromQ(s).value(); }

void Touch(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x");
}

// The folder of entry n of the group, as stored.
std::string StoredFolder(DatabaseSession& s, int group, int n)
{
    const auto rows = AllRows(s, FileTableName(group), "N=" + std::to_string(n), "PATH_NAME");
    return rows.empty() ? "<none>" : rows[0][0];
}

} // namespace

class TestLinks : public QObject {
    Q_OBJECT
private slots:
    void rootMappingsTranslateBothWays();
    void rootMappingsInListsAndRegistration();
    void leadingFolderIsReplacedWholeOnly();
    void replacementWritesEachGroupWhole();
    void replacementMatchesEveryFormOfTheFolder();
    void missingEntriesAcrossGroups();
    void relinkByName();
    void relinkByContent();
    void backgroundWorkIsCancelled();
    void filesFoundWhereverTheyAreFiled();
    void lostServerFailsTheReadWhole();
};

void TestLinks::rootMappingsTranslateBothWays()
{
    const RootMappings m{{"Z:\\", "/mnt/zumen"},
                         {"\\\\server\\share", "/mnt/share/"},
                         {"\\\\server\\share\\deep\\", "/srv/deep/"},
                         {"not a root", "/x/"}};
    struct Case {
        std::string stored, local;
    };
    const Case both[] = {
        {"Z:\\" + Sj("図面") + "\\a.jww", "/mnt/zumen/" + Sj("図面") + "/a.jww"},
        // ソ's second byte is no separator either way.
        {"Z:\\" + kSo + "\\" + kSo + ".jww", "/mnt/zumen/" + kSo + "/" + kSo + ".jww"},
        {"\\\\server\\share\\p\\b.jww", "/mnt/share/p/b.jww"},
        {"\\\\server\\share\\deep\\c.jww", "/srv/deep/c.jww"},   // the longest root wins
    };
    for (const Case& c : both) {
        QCOMPARE(QString::fromStdString(Cp932ToUtf8(LocalPath(c.stored, m))), QString::fromStdString(Cp932ToUtf8(c.local)));
        QCOMPARE(QString::fromStdString(Cp932ToUtf8(StoredPath(c.local, m))), QString::fromStdString(Cp932ToUtf8(c.stored)));
    }
    // Windows ignores case and takes "/" for "\": so does the reading.
    QCOMPARE(LocalPath("z:/p/a.jww", m), std::string("/mnt/zumen/p/a.jww"));
    // Unchanged: other roots, a root that is only the start of a name, a Linux rest
    // that Windows cannot name, and everything without mappings.
    for (const std::string& p : {std::string("Y:\\a.jww"), std::string("\\\\server\\shared\\a.jww"),
                                 std::string("/mnt/a.jww")}) {
        QCOMPARE(LocalPath(p, m), p);
        QCOMPARE(LocalPath(p, {}), p);
    }
    for (const std::string& p : {std::string("/mnt/zumenX/a.jww"), std::string("/mnt/zumen/a\\b.jww"),
                                 std::string("/mnt/zumen/a:b.jww"), std::string("Z:\\a.jww")}) {
        QCOMPARE(StoredPath(p, m), p);
        QCOMPARE(StoredPath(p, {}), p);
    }

    // Kept in the preferences file; damaged pairs are left out when read.
    QTemporaryDir dir;
    const QString file = dir.filePath("kumo3.ini");
    QVERIFY(SaveRootMappings(file, {{"Z:\\", "/mnt/" + Sj("図面") + "/"}, {"\\\\s\\x", "/mnt/x"}}));
    {
        QSettings raw(file, QSettings::IniFormat);
        raw.setValue("RootMappings/3/windows", "relative");
        raw.setValue("RootMappings/3/linux", "/y");
        raw.setValue("RootMappings/size", 3);
    }
    const RootMappings read = LoadRootMappings(file);
    QCOMPARE(read.size(), size_t(2));
    QCOMPARE(read[0].linuxFolder, "/mnt/" + Sj("図面") + "/");
    QCOMPARE(read[1].windowsRoot, std::string("\\\\s\\x"));
    QVERIFY(LoadRootMappings(dir.filePath("none.ini")).empty());
}

void TestLinks::rootMappingsInListsAndRegistration()
{
    FreshSession s;
    QVERIFY(s.ok);
    QVERIFY(OpenGroupTables(s.session, 1));
    QTemporaryDir disk;
    const QString local = disk.path() + "/share/";
    Touch(local + "p/a.jww");
    const RootMappings m{{"Z:\\", Cp(local)}};

    // Registered below the shared folder: stored the Windows way, listed and probed here.
    const EntryOutcome stored = StoreEntry(s.session, 1, 0, Cp(local + "p/a.jww"), "", "u", &m);
    QVERIFY(stored.Stored());
    QCOMPARE(StoredFolder(s.session, 1, 1), std::string("Z:\\p\\"));
    std::vector<FileRow> rows = ReadFileRows(s.session, 1, 0, &m).value();
    QCOMPARE(rows.size(), size_t(1));
    QVERIFY(rows[0].exists);
    QCOMPARE(rows[0].FullPath(), Cp(local + "p/a.jww"));
    // Without mappings the bytes are kept and the Windows path is no file here.
    QVERIFY(StoreEntry(s.session, 1, 0, Cp(local + "p/a.jww"), "", "u").Stored());
    QCOMPARE(StoredFolder(s.session, 1, 2), Cp(local + "p/"));
    rows = ReadFileRows(s.session, 1, 0).value();
    QVERIFY(!rows[0].exists);
    QCOMPARE(rows[0].FullPath(), std::string("Z:\\p\\a.jww"));
    // The width is that of the stored form.
    const RootMappings longRoot{{"\\\\" + std::string(260, 'w'), Cp(local)}};
    QCOMPARE(StoreEntry(s.session, 1, 0, Cp(local + "p/a.jww"), "", "u", &longRoot).problem, EntryProblem::TooLong);

    // Add, paste and drop register as a batch: the same stored form and check, and the
    // rows handed to the list keep this system's folder.
    QVERIFY(InsertGroup(s.session, 1, "G", "", "", ""));
    EntryBatch batch(s.session, *ReadShownGroup(s.session, 1), 0, "u", kEntrySlice, &m);
    QVERIFY(batch.Add(Cp(local + "p/a.jww"), nullptr));
    QVERIFY(batch.Add(Cp(disk.path() + "/elsewhere/b.jww"), nullptr));
    QVERIFY(batch.Finish());
    const std::vector<FileRow> shown = batch.TakeStored();
    QCOMPARE(shown.size(), size_t(2));
    QCOMPARE(StoredFolder(s.session, 1, 3), std::string("Z:\\p\\"));
    QCOMPARE(StoredFolder(s.session, 1, 4), Cp(disk.path() + "/elsewhere/"));
    QCOMPARE(shown[0].FullPath(), Cp(local + "p/a.jww"));
    QVERIFY(shown[0].exists);
    EntryBatch tooLong(s.session, *ReadShownGroup(s.session, 1), 0, "u", kEntrySlice, &longRoot);
    QVERIFY(tooLong.Add(Cp(local + "p/a.jww"), nullptr) && tooLong.Finish());
    QCOMPARE(tooLong.StoredCount(), 0);
    QCOMPARE(tooLong.Failures().size(), size_t(1));
    QCOMPARE(tooLong.Failures()[0].second, EntryProblem::TooLong);
}

void TestLinks::leadingFolderIsReplacedWholeOnly()
{
    struct Case {
        const char* what;
        std::string folder, from, to;
        std::optional<std::string> result;
    };
    const Case cases[] = {
        {"whole folder", "/mnt/a/x/", "/mnt/a/", "/srv/b/", "/srv/b/x/"},
        {"without its last slash", "/mnt/a/x/", "/mnt/a", "/srv/b", "/srv/b/x/"},
        {"the folder itself", "/mnt/a/", "/mnt/a", "/srv/b/", "/srv/b/"},
        {"only the start of a name", "/mnt/ab/", "/mnt/a/", "/srv/", std::nullopt},
        {"only the start of a name, no slash", "/mnt/ab/", "/mnt/a", "/srv/", std::nullopt},
        {"not leading", "/x/mnt/a/", "/mnt/a/", "/srv/", std::nullopt},
        {"ソ ends the old folder", "Z:\\" + kSo + "X\\", "Z:\\" + kSo, "Y:\\", std::nullopt},
        {"ソ folder whole", "Z:\\" + kSo + "\\d\\", "Z:\\" + kSo, "Y:\\n", "Y:\\n\\d\\"},
        {"ポ", "/mnt/" + kPo + "/d/", "/mnt/" + kPo, "/srv/" + kPo + kPo, "/srv/" + kPo + kPo + "/d/"},
        {"empty old folder", "/mnt/", "", "/srv/", std::nullopt},
    };
    for (const Case& c : cases) QVERIFY2(ReplaceLeadingFolder(c.folder, c.from, c.to) == c.result, c.what);
}

void TestLinks::replacementWritesEachGroupWhole()
{
    FreshSession s;
    QVERIFY(s.ok);
    for (int g : {1, 2, 3}) {
        QVERIFY(InsertGroup(s.session, g, "G" + std::to_string(g), "", "", ""));
        QVERIFY(OpenGroupTables(s.session, g));
    }
    QTemporaryDir disk;
    Touch(disk.path() + "/new/p/a.jww");
    const std::string oldRoot = "/mnt/old/", newRoot = Cp(disk.path() + "/new/");
    QVERIFY(AddEntry(s.session, 1, 1, oldRoot + "p/", "a.jww", Sj("メモ"), 0));
    QVERIFY(AddEntry(s.session, 1, 2, oldRoot + "p/", "gone.jww", "", 0));
    QVERIFY(AddEntry(s.session, 1, 3, "/mnt/older/p/", "a.jww", "", 0));
    QVERIFY(AddEntry(s.session, 2, 1, oldRoot, "b.jww", "", 0));
    QVERIFY(AddEntry(s.session, 3, 1, oldRoot + std::string(200, 'd') + "/", "c.jww", "", 0));
    QVERIFY(AddEntry(s.session, 3, 2, oldRoot, "d.jww", "", 0));

    std::vector<GroupName> groups;
    QVERIFY(ReadGroups(s.session, 0, groups));
    QCOMPARE(groups.size(), size_t(3));
    std::vector<LinkEntry> entries;
    QVERIFY(ReadLinkEntries(s.session, groups, entries));
    ReplacementPlan plan = PlanReplacement(entries, oldRoot, newRoot + std::string(60, 'n'), {});
    // Before writing: what changes and what is refused, then what exists afterwards.
    QCOMPARE(plan.Changing(), 4);
    QCOMPARE(plan.Refused(), 1);   // over 255 bytes
    // Below a folder shared with Windows PCs the new folders take the Windows form.
    plan = PlanReplacement(entries, oldRoot, newRoot, {{"Z:\\", newRoot}});
    QCOMPARE(plan.changes.front().newFolder, std::string("Z:\\p\\"));
    plan = PlanReplacement(entries, oldRoot, newRoot, {});
    QCOMPARE(plan.Changing(), 5);
    QVERIFY(ProbeNewPaths(plan, {}, {}));
    QCOMPARE(plan.Existing(), 1);
    QVERIFY(!ProbeNewPaths(plan, {}, [](size_t) { return false; }));

    // Another copy holds a row of group 2: that group stays as it was and is named.
    DatabaseSession other(s.db.settings);
    other.ConnectDatabase();
    QVERIFY(other.BeginWork());
    QVERIFY(other.UpdateRecordText(FileTableName(2), "FILE_MEMO='x'", "N=1"));
    const ApplyResult result = ApplyFolderChanges(s.session, plan.changes);
    other.RollbackWork();
    QCOMPARE(result.changed, 4);
    QCOMPARE(result.failedGroups.size(), size_t(1));
    QCOMPARE(result.failedGroups[0].number, 2);
    QCOMPARE(result.failedGroups[0].name, std::string("G2"));
    QCOMPARE(StoredFolder(s.session, 1, 1), newRoot + "p/");
    QCOMPARE(StoredFolder(s.session, 1, 3), std::string("/mnt/older/p/"));
    QCOMPARE(StoredFolder(s.session, 2, 1), oldRoot);
    QCOMPARE(StoredFolder(s.session, 3, 2), newRoot);
    // The memo and who added the entry are kept.
    const auto row = AllRows(s.session, FileTableName(1), "N=1");
    QCOMPARE(row[0][kFileMemo], Sj("メモ"));
    QCOMPARE(row[0][kFilePName], std::string("tester"));

    // An entry another copy changed since it was read is not overwritten: its group fails.
    QVERIFY(s.session.UpdateRecordText(FileTableName(2), "PATH_NAME='/else/'", "N=1"));
    const ApplyResult stale = ApplyFolderChanges(s.session, plan.changes);
    QCOMPARE(stale.failedGroups.size(), size_t(3));
    QCOMPARE(StoredFolder(s.session, 2, 1), std::string("/else/"));
}

void TestLinks::replacementMatchesEveryFormOfTheFolder()
{
    std::vector<LinkEntry> entries;
    for (const std::string& folder : std::vector<std::string>{"Z:\\sub\\", "z:/sub/" + kSo + "/", "/mnt/zumen/sub/", "Z:\\subway\\",
                                                              "c:/sub/x/", "Z:\\sub\\a:b\\", ""})
        entries.push_back({1, "G", static_cast<int32_t>(entries.size() + 1), 0, "", folder, "a.jww", ""});
    struct Case {
        std::string from, to, result;   // per change its number, then ">" and the stored folder or "!" and why not
    };
    const Case cases[] = {
        {"/mnt/zumen/sub", "/mnt/zumen/sub2", "1>Z:\\sub2\\ 2>Z:\\sub2\\" + kSo + "\\ 3>Z:\\sub2\\ 6!name"},
        {"z:/sub/", "/srv/n", "1!shared 2!shared 3>/srv/n/ 6!shared"},
        {"C:\\sub", "d:\\n", "5>D:\\n\\x\\"},
        {"/mnt/zumen/sub", "D:\\n", "1>D:\\n\\ 2>D:\\n\\" + kSo + "\\ 3>D:\\n\\ 6!name"},
        {"Z:\\sub", "/mnt/zumen/sub", "2>Z:\\sub\\" + kSo + "\\ 3>Z:\\sub\\"},   // only forms change
    };
    for (const Case& c : cases) {
        std::string result;
        for (const FolderChange& change : PlanReplacement(entries, c.from, c.to, {{"Z:\\", "/mnt/zumen"}}).changes)
            result += (result.empty() ? "" : " ") + std::to_string(change.entry.number) +
                      (change.Storable() ? ">" + change.newFolder : change.form == FormProblem::NoSharedFolder ? "!shared" : "!name");
        QVERIFY2(result == c.result, (c.from + " -> " + c.to + ": " + result).c_str());
    }
    for (const char* yes : {"/srv/n", "Z:\\", "z:/a", "\\\\server\\share", "\\\\server\\share\\d\\"}) QVERIFY2(IsAbsoluteFolder(yes), yes);
    for (const char* no : {"", "rel/dir", "Z:", "Z:rel", "\\rel", "\\\\server\\", "\\\\\\share"}) QVERIFY2(!IsAbsoluteFolder(no), no);
}

void TestLinks::missingEntriesAcrossGroups()
{
    FreshSession s;
    QVERIFY(s.ok);
    QTemporaryDir disk;
    Touch(disk.path() + "/here.jww");
    QDir().mkpath(disk.path() + "/folder.jww");
    const std::string d = Cp(disk.path() + "/");
    QVERIFY(InsertGroup(s.session, 1, "A", "", "", ""));
    QVERIFY(InsertGroup(s.session, 2, "B", "", "", ""));
    QVERIFY(InsertGroup(s.session, 5, "never opened", "", "", ""));
    QVERIFY(OpenGroupTables(s.session, 1));
    QVERIFY(OpenGroupTables(s.session, 2));
    QVERIFY(AddSubGroup(s.session, 1, 4, Sj("現場")));
    QVERIFY(AddEntry(s.session, 1, 1, d, "here.jww", "", 0));
    QVERIFY(AddEntry(s.session, 1, 2, d, "gone.jww", Sj("メモ"), 4));
    QVERIFY(AddEntry(s.session, 2, 7, d, "folder.jww", "", 0));   // a folder is no file
    QVERIFY(AddEntry(s.session, 2, 8, "Z:\\", "here.jww", "", 0));

    std::vector<GroupName> groups;
    std::vector<LinkEntry> entries;
    QVERIFY(ReadGroups(s.session, 0, groups));
    QVERIFY(ReadLinkEntries(s.session, groups, entries));
    QCOMPARE(entries.size(), size_t(4));
    auto missing = MissingEntries(entries, {}, {});
    QVERIFY(missing);
    QCOMPARE(missing->size(), size_t(3));
    QCOMPARE((*missing)[0].subGroupName, Sj("現場"));
    QCOMPARE((*missing)[0].memo, Sj("メモ"));
    QCOMPARE((*missing)[1].groupName, std::string("B"));
    // A mapped Windows root is looked up where this system sees it.
    missing = MissingEntries(entries, {{"Z:\\", d}}, {});
    QCOMPARE(missing->size(), size_t(2));
    QVERIFY(!MissingEntries(entries, {}, [](size_t done) { return done < 2; }));

    QVERIFY(ReadGroups(s.session, 2, groups));
    QCOMPARE(groups.size(), size_t(1));
    QVERIFY(ReadLinkEntries(s.session, groups, entries));
    QCOMPARE(entries.size(), size_t(2));
}

void TestLinks::relinkByName()
{
    QTemporaryDir disk;
    const QString root = disk.path() + "/srv/";
    Touch(root + QString::fromUtf8("現場A/once.jww"));
    Touch(root + "x/twice.jww");
    Touch(root + "y/deep/twice.jww");
    QDir().mkpath(root + "loop");
    QVERIFY(QFile::link(root, root + "loop/back"));               // a loop
    QVERIFY(QFile::link(disk.path() + "/elsewhere", root + "z")); // a link to a folder outside
    Touch(disk.path() + "/elsewhere/never.jww");

    auto entry = [](int n, const char* name) {
        LinkEntry e;
        e.group = 1;
        e.number = n;
        e.folder = "/old/";
        e.fileName = name;
        return e;
    };
    const std::vector<LinkEntry> missing{entry(1, "once.jww"), entry(2, "twice.jww"), entry(3, "never.jww")};
    const NameSearchResult search = FindFilesByName(Cp(root), NamesOf(missing), {}, {});
    QCOMPARE(search.end, NameSearchEnd::Complete);
    const RelinkPlan plan = PlanRelink(missing, search, {});
    QCOMPARE(plan.relinks.changes.size(), size_t(1));
    QCOMPARE(plan.relinks.changes[0].newFolder, Cp(root + QString::fromUtf8("現場A/")));
    QCOMPARE(plan.ambiguous.size(), size_t(1));
    QCOMPARE(plan.notFound.size(), size_t(1));
    // Stored the Windows way below a shared folder.
    const RelinkPlan shared = PlanRelink(missing, search, {{"Z:\\", Cp(root)}});
    QCOMPARE(shared.relinks.changes[0].newFolder, "Z:\\" + Sj("現場A") + "\\");

    // Stopped, out of time, out of entries, no folder.
    NameSearchLimits small;
    small.entries = 3;
    QCOMPARE(FindFilesByName(Cp(root), {"once.jww"}, small, {}).end, NameSearchEnd::TooMany);
    small = {};
    small.time = std::chrono::milliseconds(-1);
    QCOMPARE(FindFilesByName(Cp(root), {"once.jww"}, small, {}).end, NameSearchEnd::TimeUp);
    QDir().mkpath(root + "many");
    for (int i = 0; i < 300; ++i) Touch(root + "many/" + QString::number(i));
    QCOMPARE(FindFilesByName(Cp(root), {"once.jww"}, {}, [](size_t) { return false; }).end, NameSearchEnd::Stopped);
    QCOMPARE(FindFilesByName(Cp(root + "missing"), {"once.jww"}, {}, {}).end, NameSearchEnd::NoFolder);
    QCOMPARE(FindFilesByName(Cp(root + "z"), {"never.jww"}, {}, {}).end, NameSearchEnd::NoFolder);
}

// Drawings renamed after they were fingerprinted, found by their last content seen: one
// place relinks the entry, name and folder; two places or a file of the same size but
// another content relink nothing.
void TestLinks::relinkByContent()
{
    FreshSession s;
    QVERIFY(s.ok);
    QTemporaryDir disk;
    const QString old = disk.path() + "/old/", moved = disk.path() + "/moved/";
    QDir().mkpath(old);
    QDir().mkpath(moved + "sub");
    auto write = [](const QString& path, const QByteArray& bytes) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    write(old + "A-101.jww", "plan of A");
    write(old + "B.jww", "plan of B");
    write(old + "C.jww", "plan of C");
    QVERIFY(InsertGroup(s.session, 1, "A", "", "", ""));
    QVERIFY(OpenGroupTables(s.session, 1));
    for (const auto& [n, name] : {std::pair{1, "A-101.jww"}, {2, "B.jww"}, {3, "C.jww"}})
        QVERIFY(AddEntry(s.session, 1, n, Cp(old), name, "", 0));
    FingerprintRequest request;
    request.groups = {1};
    QVERIFY(EnsureFingerprintTable(s.session));
    QCOMPARE(RefreshFingerprints(s.session, request, {}).end, FingerprintResult::End::Done);

    // A renamed once, B copied to two places, C gone and a file of its size holds another.
    QVERIFY(QFile::rename(old + "A-101.jww", moved + QString::fromUtf8("sub/A-101_改2.jww")));
    QVERIFY(QFile::copy(old + "B.jww", moved + "B (2).jww"));
    QVERIFY(QFile::rename(old + "B.jww", moved + "sub/B_old.jww"));
    QVERIFY(QFile::remove(old + "C.jww"));
    write(moved + "C-x.jww", "plan of X");

    std::vector<GroupName> groups;
    std::vector<LinkEntry> entries;
    QVERIFY(ReadGroups(s.session, 0, groups) && ReadLinkEntries(s.session, groups, entries));
    const std::vector<LinkEntry> missing = MissingEntries(entries, {}, {}).value();
    QCOMPARE(missing.size(), size_t(3));
    const auto known = LastContents(s.session, missing);
    QVERIFY(known && known->size() == 3);
    WantedContents wanted;
    std::map<std::pair<int32_t, int32_t>, std::string> hashes;
    for (const auto& [key, content] : *known) {
        wanted[content.size].insert(content.hash);
        hashes[key] = content.hash;
    }
    const NameSearchResult search = FindFilesByName(Cp(moved), NamesOf(missing), {}, {}, wanted);
    QCOMPARE(search.end, NameSearchEnd::Complete);
    const RelinkPlan plan = PlanRelink(missing, search, {}, hashes);
    QCOMPARE(plan.relinks.changes.size(), size_t(1));
    QCOMPARE(plan.ambiguous.size(), size_t(1));
    QCOMPARE(plan.ambiguous[0].fileName, std::string("B.jww"));
    QCOMPARE(plan.notFound.size(), size_t(1));
    QCOMPARE(plan.notFound[0].fileName, std::string("C.jww"));
    // Without the contents, as before: by name alone.
    QCOMPARE(PlanRelink(missing, search, {}).relinks.changes.size(), size_t(0));

    QCOMPARE(ApplyFolderChanges(s.session, plan.relinks.changes).changed, 1);
    const auto row = AllRows(s.session, FileTableName(1), "N=1", "PATH_NAME, FILE_NAME");
    QCOMPARE(row.at(0).at(0), Cp(moved + "sub/"));
    QCOMPARE(row.at(0).at(1), Sj("A-101_改2.jww"));
}

void TestLinks::backgroundWorkIsCancelled()
{
    BackgroundTask task;
    QSignalSpy finished(&task, &BackgroundTask::Finished);
    auto result = std::make_shared<std::optional<std::vector<LinkEntry>>>();
    QVERIFY(task.Start([](const GoOn& goOn) {
        for (size_t i = 1; goOn(i); ++i) QThread::msleep(1);
    }));
    QVERIFY(!task.Start([](const GoOn&) {}));   // one work at a time
    QTRY_VERIFY(task.Done() > 2);
    task.Cancel();
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.front().front().toBool(), true);
    QVERIFY(!task.Running());
    // Once more to the end.
    QVERIFY(task.Start([result](const GoOn& goOn) { *result = MissingEntries({LinkEntry{}}, {}, goOn); }));
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.back().front().toBool(), false);
    QCOMPARE((*result)->size(), size_t(1));
}

// A file given from outside is found in every group that files it, in whichever form
// the entry was stored; a file given twice is listed once.
void TestLinks::filesFoundWhereverTheyAreFiled()
{
    const RootMappings mappings{{"Z:\\", "/mnt/zumen/"}};
    auto entry = [](int32_t group, int32_t n, const char* folder, const char* name) {
        LinkEntry e;
        e.group = group;
        e.number = n;
        e.folder = folder;
        e.fileName = name;
        return e;
    };
    const std::vector<LinkEntry> entries{entry(1, 1, "/mnt/zumen/a/", "p.jww"), entry(1, 2, "Z:\\a\\", "p.jww"),
                                         entry(2, 7, "z:/a/", "p.jww"), entry(2, 8, "/mnt/zumen/a/", "P.jww"),
                                         entry(3, 1, "/home/u/", "q.jww")};
    const std::vector<FiledFile> found =
        WhereFiled(entries, {"/mnt/zumen/a/p.jww", "/home/u/none.jww", "/mnt/zumen/a/p.jww"}, mappings);
    QCOMPARE(found.size(), size_t(2));
    std::vector<std::pair<int32_t, int32_t>> numbers;
    for (const LinkEntry& e : found[0].entries) numbers.emplace_back(e.group, e.number);
    QCOMPARE(numbers, (std::vector<std::pair<int32_t, int32_t>>{{1, 1}, {1, 2}, {2, 7}}));
    QVERIFY(found[1].entries.empty());
}


// A server lost while the entries are read is no group without entries: the read fails
// whole, wherever the loss is met, and keeps nothing of what it read before.
void TestLinks::lostServerFailsTheReadWhole()
{
    FreshSession s;
    QVERIFY(s.ok);
    for (int g = 1; g <= 3; ++g) {
        QVERIFY(InsertGroup(s.session, g, "G" + std::to_string(g), "", "0", "0"));
        QVERIFY(OpenGroupTables(s.session, g) && AddSubGroup(s.session, g, 1, "s"));
        QVERIFY(AddEntry(s.session, g, 1, "/gone/", "a.jww", "", 1));
    }
    TcpForwarder relay;
    DatabaseSettings viaRelay = s.db.settings;
    viaRelay.serverName = relay.ServerName();
    struct Case {
        const char* name;
        const char* cutAt;   // the statement before which the server goes; none: before the entries
    };
    for (const Case& c : {Case{"before the entries", nullptr}, Case{"group 2's sub-groups", "FROM GRP2_2 "},
                          Case{"group 3's entries", "FROM GRP1_3 "}}) {
        DatabaseSession db(viaRelay);
        db.ConnectDatabase();
        std::vector<GroupName> groups;
        QVERIFY2(ReadGroups(db, 0, groups) && groups.size() == 3, c.name);
        if (!c.cutAt) relay.Cut();
        db.SetStatementLog([&](const std::string& sent) {
            if (c.cutAt && sent.find(c.cutAt) != std::string::npos) relay.Cut();
        });
        std::vector<LinkEntry> entries;
        QVERIFY2(!ReadLinkEntries(db, groups, entries), c.name);
        QVERIFY2(entries.empty(), c.name);
        QVERIFY2(db.ConnectionLost(), c.name);
    }
}

QTEST_GUILESS_MAIN(TestLinks)
#include "test_links.moc"
