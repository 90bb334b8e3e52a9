// The administrators' terminal commands, run as the built program in a program folder
// whose settings name a fresh database, with no display at all.
#include <sstream>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "boardfixture.h"
#include "catalogue.h"
#include "db/schema.h"
#include "entries.h"
#include "groupwin/fingerprintworker.h"
#include "settings/preferences.h"
#include "shell/admincommands.h"
#include "support/tcpforwarder.h"
#include "support/testdb.h"
#include "text/cp932.h"

namespace {

struct Output {
    int code = -1;
    QString out, err;
};

Output RunProgram(const QString& program, const QStringList& args)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    process.setProcessEnvironment(env);
    process.start(program, args);
    Output o;
    if (!process.waitForFinished(60000)) return o;
    o.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    o.out = QString::fromUtf8(process.readAllStandardOutput());
    o.err = QString::fromUtf8(process.readAllStandardError());
    return o;
}

std::string StoredFolder(DatabaseSession& s, int group, int n)
{
    const auto rows = AllRows(s, FileTableName(group), "N=" + std::to_string(n), "PATH_NAME");
    return rows.empty() ? "<none>" : rows[0][0];
}

} // namespace

class TestAdminCommands : public QObject {
    Q_OBJECT
private slots:
    void checkAndReplaceFromATerminal();
    void lostServerExitsTwo();
    void replacementSeesEveryFormAndRefusesRelative();
    void duplicatesPrintedBySets();
};

void TestAdminCommands::checkAndReplaceFromATerminal()
{
    QTemporaryDir disk;
    const QString d = disk.path() + "/";
    QDir().mkpath(d + "new/p");
    QFile(d + "new/p/a.jww").open(QIODevice::WriteOnly);
    QDir().mkpath(d + "shared");
    QFile(d + "shared/shared.jww").open(QIODevice::WriteOnly);
    Setup set;
    QVERIFY(set.ok);
    QVERIFY(InsertGroup(set.session, 1, "A", "", "", ""));
    QVERIFY(InsertGroup(set.session, 2, "B", "", "", ""));
    QVERIFY(OpenGroupTables(set.session, 1));
    QVERIFY(OpenGroupTables(set.session, 2));
    QVERIFY(AddEntry(set.session, 1, 1, "/mnt/old/p/", "a.jww", "", 0));
    QVERIFY(AddEntry(set.session, 1, 2, "Z:\\", "shared.jww", "", 0));
    QVERIFY(AddEntry(set.session, 2, 5, "/mnt/old/" + Sj("現場") + "/", "b.jww", "", 0));
    QVERIFY(AddEntry(set.session, 2, 6, "/mnt/old/" + std::string(240, 'x') + "/", "c.jww", "", 0));
    QVERIFY(QFile::copy(QStringLiteral(KUMO_PROGRAM), set.folder.programFile()));
    QVERIFY(SaveRootMappings(set.folder.path() + "kumolist.ini", {{"Z:\\", FromQ(d + "shared").value()}}));
    const QString program = set.folder.programFile();

    // Missing entries, one line each; the mapped Windows entry is found.
    Output o = RunProgram(program, {"--check-links"});
    QCOMPARE(o.code, 1);
    QCOMPARE(o.out, "1 1 /mnt/old/p/a.jww\n2 5 /mnt/old/現場/b.jww\n2 6 /mnt/old/" + QString(240, 'x') + "/c.jww\n");
    o = RunProgram(program, {"--check-links", "--group", "1"});
    QCOMPARE(o.code, 1);
    QCOMPARE(o.out, QString("1 1 /mnt/old/p/a.jww\n"));

    // A dry run counts and writes nothing; the over-long result is refused and named.
    o = RunProgram(program, {"--replace-folder", "/mnt/old", d + "new", "--dry-run"});
    QCOMPARE(o.code, 1);
    QVERIFY2(o.out.startsWith("置換するエントリ: 2 件（置換後にファイルがあるもの 1 件）\n置換出来ないエントリ: 1 件\n"), qPrintable(o.out));
    QVERIFY(o.out.contains("c.jww（フォルダ名かファイル名が255バイトを超えています）"));
    QCOMPARE(StoredFolder(set.session, 1, 1), std::string("/mnt/old/p/"));

    o = RunProgram(program, {"--replace-folder", "/mnt/old/p", d + "new/p", "--group", "1"});
    QCOMPARE(o.code, 0);
    QVERIFY2(o.out.endsWith("置換したエントリ: 1 件\n"), qPrintable(o.out));
    QCOMPARE(StoredFolder(set.session, 1, 1), FromQ(d + "new/p/").value());
    QCOMPARE(StoredFolder(set.session, 2, 5), "/mnt/old/" + Sj("現場") + "/");
    o = RunProgram(program, {"--check-links", "--group", "1"});
    QCOMPARE(o.code, 0);
    QCOMPARE(o.out, QString());

    // Wrong commands and an unknown group are told apart from missing files.
    for (const QStringList& args : {QStringList{"--check-links", "--group", "x"}, QStringList{"--replace-folder", "/a"},
                                    QStringList{"--check-links", "--dry-run"}, QStringList{"--check-links", "--group", "9"}}) {
        o = RunProgram(program, args);
        QCOMPARE(o.code, 2);
        QVERIFY(!o.err.isEmpty());
    }
    QFile::remove(set.folder.settingsPath());
    QCOMPARE(RunProgram(program, {"--check-links"}).code, 2);
}

QTEST_GUILESS_MAIN(TestAdminCommands)
#include "test_admincommands.moc"

// The server lost under a command: exit 2 with the lost connection named, and no entry
// called missing that was not read.
void TestAdminCommands::lostServerExitsTwo()
{
    FreshSession s;
    QVERIFY(s.ok);
    for (int g = 1; g <= 3; ++g) {
        QVERIFY(InsertGroup(s.session, g, "G" + std::to_string(g), "", "0", "0"));
        QVERIFY(OpenGroupTables(s.session, g));
        QVERIFY(AddEntry(s.session, g, 1, "/mnt/old/", "a.jww", "", 0));
    }
    TcpForwarder relay;
    DatabaseSettings viaRelay = s.db.settings;
    viaRelay.serverName = relay.ServerName();
    struct Case {
        QStringList args;
        const char* cutAt;
        const char* out;   // what is printed before the loss
    };
    const std::vector<Case> cases{
        {{"kumolist", "--check-links"}, "FROM GRP1_2 ", ""},
        {{"kumolist", "--check-links", "--group", "3"}, "FROM GRP1_3 ", ""},
        {{"kumolist", "--replace-folder", "/mnt/old", "/mnt/new"}, "UPDATE GRP1_2 ",
         "置換するエントリ: 3 件（置換後にファイルがあるもの 0 件）\n置換したエントリ: 1 件\n"
         "次のグループは置換出来ませんでした（元のままです）。\nG2(N:2)\nG3(N:3)\n"},
    };
    for (const Case& c : cases) {
        DatabaseSession db(viaRelay);
        db.ConnectDatabase();
        QVERIFY(db.Connected());
        db.SetStatementLog([&](const std::string& sent) {
            if (sent.find(c.cutAt) != std::string::npos) relay.Cut();
        });
        std::ostringstream out, err;
        QCOMPARE(RunAdminCommandOn(c.args, db, {}, out, err), 2);
        QCOMPARE(QString::fromStdString(out.str()), QString(c.out));
        QCOMPARE(QString::fromStdString(err.str()), QString("データベースとの接続が切れました。\n"));
    }
    QCOMPARE(StoredFolder(s.session, 1, 1), std::string("/mnt/new/"));
    QCOMPARE(StoredFolder(s.session, 2, 1), std::string("/mnt/old/"));
}

// The old folder found in every form the check sees; what cannot be replaced named with
// why; a relative new folder refused.
void TestAdminCommands::replacementSeesEveryFormAndRefusesRelative()
{
    FreshSession s;
    QVERIFY(s.ok);
    QVERIFY(InsertGroup(s.session, 1, "G1", "", "0", "0"));
    QVERIFY(OpenGroupTables(s.session, 1) && AddEntry(s.session, 1, 1, "z:/sub/", "a.jww", "", 0));
    const std::pair<QStringList, const char*> cases[] = {
        {{"kumolist", "--replace-folder", "/srv/c", "rel/dir"}, "置換後のフォルダは絶対パス（/、X:\\ または \\\\サーバー\\共有 で始まるもの）で入力して下さい\n"},
        {{"kumolist", "--replace-folder", "Z:\\sub", "/srv/else"}, "z:/sub/a.jww（Windows の形で登録されていますが、置換後のフォルダが Windows と共有するフォルダの下にありません）"},
        {{"kumolist", "--replace-folder", "Z:\\sub", "Z:\\sub2"}, "置換したエントリ: 1 件\n"},
    };
    for (const auto& [args, seen] : cases) {
        std::ostringstream out, err;
        const int code = RunAdminCommandOn(args, s.session, {{"Z:\\", "/mnt/zumen/"}}, out, err);
        QVERIFY2(QString::fromStdString((code == 2 ? err : out).str()).contains(seen), seen);
        QCOMPARE(StoredFolder(s.session, 1, 1), std::string(code == 0 ? "Z:\\sub2\\" : "z:/sub/"));
    }
}

// The entries of equal content, one set a paragraph, tab-separated; nothing printed but
// exit 2 when the server goes on the way or the command is wrong.
void TestAdminCommands::duplicatesPrintedBySets()
{
    FreshSession s;
    QVERIFY(s.ok);
    QTemporaryDir disk;
    const std::string d = FromQ(disk.path() + "/").value();
    for (const auto& [name, bytes] : {std::pair{"a.jww", "1"}, {"a2.jww", "1"}, {"b.jww", "22"}, {"b2.jww", "22"}, {"c.jww", "3"}}) {
        QFile f(disk.path() + "/" + name);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QVERIFY(InsertGroup(s.session, 1, "A", "", "0", "0") && InsertGroup(s.session, 2, "B", "", "0", "0"));
    QVERIFY(OpenGroupTables(s.session, 1) && OpenGroupTables(s.session, 2));
    QVERIFY(AddSubGroup(s.session, 2, 1, Sj("現場")));
    QVERIFY(AddEntry(s.session, 1, 1, d, "a.jww", "", 0));
    QVERIFY(AddEntry(s.session, 1, 2, d, "b.jww", "", 0));
    QVERIFY(AddEntry(s.session, 1, 3, d, "c.jww", "", 0));
    QVERIFY(AddEntry(s.session, 2, 1, d, "a2.jww", "", 1));
    QVERIFY(AddEntry(s.session, 2, 2, d, "b2.jww", "", 0));
    const QStringList args{"kumolist", "--duplicates"};
    QVERIFY(IsAdminCommand(args));
    std::ostringstream none, noErr;
    // Nothing fingerprinted yet: no set, and no failure.
    QCOMPARE(RunAdminCommandOn(args, s.session, {}, none, noErr), 0);
    QCOMPARE(none.str(), std::string());

    FingerprintRequest request;
    request.groups = {1, 2};
    QVERIFY(EnsureFingerprintTable(s.session));
    QCOMPARE(RefreshFingerprints(s.session, request, {}).end, FingerprintResult::End::Done);
    const QString q = QString::fromStdString(d);
    struct Case {
        const char* name;
        QStringList args;
        const char* cutAt;   // the statement before which the server goes
        int code;
        QString out;
    };
    const std::vector<Case> cases{
        {"sets", args, nullptr, 0,
         "1\tA\t\t1\t" + q + "a.jww\n2\tB\t現場\t1\t" + q + "a2.jww\n\n1\tA\t\t2\t" + q + "b.jww\n2\tB\t\t2\t" + q +
             "b2.jww\n"},
        {"extra argument", {"kumolist", "--duplicates", "--group", "1"}, nullptr, 2, ""},
        {"server lost", args, "FROM GRP1_2 ", 2, ""},
    };
    TcpForwarder relay;
    DatabaseSettings viaRelay = s.db.settings;
    viaRelay.serverName = relay.ServerName();
    for (const Case& c : cases) {
        DatabaseSession db(viaRelay);
        db.ConnectDatabase();
        QVERIFY(db.Connected());
        db.SetStatementLog([&](const std::string& sent) {
            if (c.cutAt && sent.find(c.cutAt) != std::string::npos) relay.Cut();
        });
        std::ostringstream out, err;
        QVERIFY2(RunAdminCommandOn(c.args, db, {}, out, err) == c.code, c.name);
        QCOMPARE(QString::fromStdString(out.str()), c.out);
        QVERIFY2(err.str().empty() == (c.code == 0), c.name);
    }
}
