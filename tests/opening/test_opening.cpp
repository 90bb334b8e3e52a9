// Commands split as Exec lines, the desktop's entries and defaults read from folders made
// here, and the types' programs in the preferences file.
#include <QtTest>

#include <QFile>
#include <QTemporaryDir>

#include "opening/desktopapps.h"
#include "opening/execline.h"
#include "settings/preferences.h"
#include "support/writefile.h"

namespace {

QByteArray Entry(const QByteArray& name, const QByteArray& exec, const QString& type)
{
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec + "\nMimeType=" + type.toUtf8() + ";\n";
}

} // namespace

class TestOpening : public QObject {
    Q_OBJECT
private slots:
    void commandForFile_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("expected");   // empty: refused
        const QString odd = "/d/a b;rm -rf $(id) `x`.jww";
        QTest::newRow("plain") << "cad %f" << "/d/a.jww" << QStringList{"cad", "/d/a.jww"};
        QTest::newRow("no code: file last") << "cad -v" << "/d/a.jww" << QStringList{"cad", "-v", "/d/a.jww"};
        QTest::newRow("wine, escapes in quotes")
            << "wine \"C:\\\\jww\\\\Jw_win.exe\" %f" << "/d/a.jww" << QStringList{"wine", "C:\\jww\\Jw_win.exe", "/d/a.jww"};
        QTest::newRow("backslash outside quotes stays") << "wine C:\\jww\\Jw.exe" << "/a" << QStringList{"wine", "C:\\jww\\Jw.exe", "/a"};
        QTest::newRow("quoted blanks and escaped quote")
            << "\"/opt/my cad/run\" \"say \\\"hi\\\" \\$HOME \\`x\\`\" %f" << "/a"
            << QStringList{"/opt/my cad/run", "say \"hi\" $HOME `x`", "/a"};
        QTest::newRow("name with ; $() and blanks stays one argument") << "cad %f" << odd << QStringList{"cad", odd};
        QTest::newRow("Japanese name") << "表示 %U" << "/図面/平面図.jww" << QStringList{"表示", "/図面/平面図.jww"};
        QTest::newRow("code within an argument") << "cad --file=%f" << "/a" << QStringList{"cad", "--file=/a"};
        QTest::newRow("other codes go, %% stays") << "cad %i %c 50%% %k %f" << "/a" << QStringList{"cad", "50%", "/a"};
        QTest::newRow("path holding %f not expanded") << "cad %f" << "/%f%%" << QStringList{"cad", "/%f%%"};
        QTest::newRow("blanks and tabs collapse") << "  cad \t %F  " << "/a" << QStringList{"cad", "/a"};
        QTest::newRow("empty quoted argument kept") << "cad \"\" %f" << "/a" << QStringList{"cad", "", "/a"};
        QTest::newRow("open quote") << "cad \"a %f" << "/a" << QStringList{};
        QTest::newRow("empty") << "   " << "/a" << QStringList{};
        QTest::newRow("no program") << "%f" << "/a" << QStringList{};
    }
    void commandForFile()
    {
        QFETCH(QString, command);
        QFETCH(QString, path);
        QFETCH(QStringList, expected);
        const std::optional<QStringList> arguments = CommandForFile(command, path);
        if (expected.isEmpty()) {
            QVERIFY(!arguments);
            return;
        }
        QVERIFY(arguments);
        QCOMPARE(*arguments, expected);
        // A command the user reads back opens the same file.
        QCOMPARE(CommandForFile(command, QString()).has_value(), true);
        QCOMPARE(SplitExecLine(QuoteExecArgument(path))->value(0), path);
    }

    void runsKumolist_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("runs");
        QTest::newRow("bare") << "kumolist %F" << true;
        QTest::newRow("path") << "/usr/bin/kumolist %F" << true;
        QTest::newRow("env") << "env -u X LANG=ja_JP.UTF-8 kumolist %f" << true;
        QTest::newRow("this program file") << QCoreApplication::applicationFilePath() + " %f" << true;
        QTest::newRow("other program") << "wine kumolist.exe %f" << false;
        QTest::newRow("similar name") << "kumolist-thumbnailer %f" << false;
        QTest::newRow("env alone") << "env A=1" << false;
        QTest::newRow("env option without its value") << "env -u" << false;
        QTest::newRow("damaged") << "\"kumolist" << false;
    }
    void runsKumolist()
    {
        QFETCH(QString, command);
        QFETCH(bool, runs);
        QCOMPARE(RunsKumolist(command, QCoreApplication::applicationFilePath()), runs);
    }

    // The desktop's entries and default for a type, from $XDG_DATA_HOME and $XDG_DATA_DIRS;
    // a default that is Kumolist makes the open ask, a type's command wins over both.
    void desktopEntriesAndPlans_data()
    {
        QTest::addColumn<QByteArray>("defaults");   // mimeapps.list in the configuration folder
        QTest::addColumn<QString>("command");       // the type's own, "" for none
        QTest::addColumn<int>("way");
        QTest::addColumn<QString>("run");
        QTest::newRow("default Kumolist: ask") << QByteArray("kumolist.desktop;cad.desktop") << "" << int(OpenPlan::Ask) << "";
        QTest::newRow("default the CAD program") << QByteArray("cad.desktop") << "" << int(OpenPlan::Command) << "cad %f";
        QTest::newRow("default not installed: next one") << QByteArray("gone.desktop;cad.desktop") << ""
                                                         << int(OpenPlan::Command) << "cad %f";
        QTest::newRow("no default installed: one the user added") << QByteArray("gone.desktop") << ""
                                                                  << int(OpenPlan::Command) << "edit";
        QTest::newRow("the type's command first") << QByteArray("kumolist.desktop") << "viewer %f"
                                                  << int(OpenPlan::Command) << "viewer %f";
        QTest::newRow("a command running Kumolist: ask") << QByteArray("cad.desktop") << "kumolist %f"
                                                         << int(OpenPlan::Ask) << "";
    }
    void desktopEntriesAndPlans()
    {
        QFETCH(QByteArray, defaults);
        QFETCH(QString, command);
        QFETCH(int, way);
        QFETCH(QString, run);
        QTemporaryDir dir;
        const QString type = FileMimeType("/d/a.dxf");
        WriteFile(dir.filePath("home/applications/kumolist.desktop"), Entry("Kumolist", "kumolist %F", type));
        WriteFile(dir.filePath("sys/applications/cad.desktop"),
                  Entry("CAD", "cad %f", type) + "Name[ja]=図面 CAD\nIcon=cad\n");
        // Hidden in the first folder: hidden everywhere.
        WriteFile(dir.filePath("home/applications/old.desktop"), Entry("Old", "old", type) + "Hidden=true\n");
        WriteFile(dir.filePath("sys/applications/old.desktop"), Entry("Old", "old", type));
        WriteFile(dir.filePath("sys/applications/text.desktop"), Entry("Text", "edit", "text/plain"));
        WriteFile(dir.filePath("sys/applications/fifo.desktop"), QByteArray());   // an empty file is no entry
        WriteFile(dir.filePath("config/mimeapps.list"), "[Added Associations]\n" + type.toUtf8() +
                                                            "=text.desktop\n[Default Applications]\n" +
                                                            type.toUtf8() + "=" + defaults + "\n");
        qputenv("XDG_DATA_HOME", dir.filePath("home").toUtf8());
        qputenv("XDG_DATA_DIRS", dir.filePath("sys").toUtf8());
        qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8());
        qputenv("XDG_CONFIG_DIRS", dir.filePath("none").toUtf8());
        const DesktopFolders folders = DesktopFoldersFromEnvironment();

        const std::vector<DesktopApp> apps = AppsForType(type, folders);
        QCOMPARE(apps.size(), size_t(2));
        QCOMPARE(apps[0].id, QString("kumolist.desktop"));
        QCOMPARE(apps[1].name, QString("図面 CAD"));
        QCOMPARE(apps[1].icon, QString("cad"));
        QVERIFY(IsKumolist(apps[0], {}));
        QVERIFY(!IsKumolist(apps[1], {}));

        OpenPrograms programs;
        if (!command.isEmpty()) programs["dxf"] = command;
        const OpenPlan plan = PlanOpen("/d/a.DXF", programs, folders, QCoreApplication::applicationFilePath());
        QCOMPARE(int(plan.way), way);
        QCOMPARE(plan.command, run);
    }

    // A type nothing takes is left to the desktop.
    void typeNothingTakes()
    {
        QTemporaryDir dir;
        const DesktopFolders folders{{dir.path()}, {dir.path()}, {}};
        QVERIFY(AppsForType("application/x-nothing", folders).empty());
        QCOMPARE(int(PlanOpen("/d/a.jww", {}, folders, {}).way), int(OpenPlan::Desktop));
    }

    // The types' programs stored and read back, damaged lines left out.
    void openProgramsPreferences()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("kumolist.ini");
        QVERIFY(SaveOpenProgram(file, "jww", "wine \"C:\\\\jww\\\\Jw_win.exe\" %f"));
        QVERIFY(SaveOpenProgram(file, "dxf", "viewer, fast %f"));
        QVERIFY(SaveOpenProgram(file, "jwc", "cad"));
        QVERIFY(SaveOpenProgram(file, "jwc", ""));   // given back to the desktop
        QVERIFY(!SaveOpenProgram(file, "J W", "cad"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::Append));
        f.write("Bad%20Type=cad\nbmp=a, b\npng=\n" + QByteArray("tif=") + QByteArray(kMaxPreferenceText + 1, 'x') + "\n");
        f.close();
        const OpenPrograms programs = LoadOpenPrograms(file);
        QCOMPARE(programs.size(), size_t(2));
        QCOMPARE(programs.at("jww"), QString("wine \"C:\\\\jww\\\\Jw_win.exe\" %f"));
        QCOMPARE(programs.at("dxf"), QString("viewer, fast %f"));
        QVERIFY(LoadOpenPrograms(dir.filePath("missing.ini")).empty());
    }

    // A real start: the program gets the file as one argument, whatever its name holds.
    void startsDetached()
    {
        QTemporaryDir dir;
        const QString script = dir.filePath("cad.sh");
        const QString out = dir.filePath("args.txt");
        WriteFile(script, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.tmp\" && mv \"$0.tmp\" " +
                              out.toUtf8() + "\n");
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString drawing = dir.filePath("平面図 ;$(touch x).jww");
        QVERIFY(StartCommandForFile(QuoteExecArgument(script) + " -o %f", drawing));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out), 10000);
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()), "-o\n" + drawing + "\n");
        QVERIFY(!QFile::exists(dir.filePath("x")));
        QVERIFY(!StartCommandForFile(dir.filePath("missing") + " %f", drawing));
        QVERIFY(!StartCommandForFile("\"open", drawing));
    }
};

QTEST_GUILESS_MAIN(TestOpening)
#include "test_opening.moc"
