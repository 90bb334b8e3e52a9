// The program as the desktop ends it: SIGTERM at logout or shutdown, SIGINT from a
// terminal, SIGHUP when the terminal goes. Each must end it as its exit command does, with
// the settings file written, whether it is idle on a database or waiting in a message box.
#include <csignal>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

#include "boardfixture.h"
#include "shell/singleinstance.h"

class TestProgram : public QObject {
    Q_OBJECT
private slots:
    void endsOnTerminationSignals();
    void helpAndVersionWithoutADisplay();
    void aSecondStartHandsItsFilesToTheFirst();
};

void TestProgram::endsOnTerminationSignals()
{
    TestDatabase db;
    {
        DatabaseSession session(db.settings);
        QVERIFY(db.Create(session));
    }
    DatabaseSettings unreachable = db.settings;
    unreachable.dataFolder = "/nowhere/at/all/";

    struct Case {
        const char* what;
        int signalNumber;
        DatabaseSettings settings;
    };
    const Case cases[] = {
        {"attached, SIGTERM", SIGTERM, db.settings},
        {"attached, SIGINT", SIGINT, db.settings},
        {"attached, SIGHUP", SIGHUP, db.settings},
        {"in the box that says the database cannot be reached, SIGTERM", SIGTERM, unreachable},
    };
    for (const Case& c : cases) {
        ProgramFolder folder;
        QVERIFY(QFile::copy(QStringLiteral(KUMO_PROGRAM), folder.programFile()));
        folder.WriteSettings(c.settings);
        QProcess program;
        program.setProgram(folder.programFile());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        program.setProcessEnvironment(env);
        program.start();
        QVERIFY2(program.waitForStarted(10000), c.what);
        // Up, attached (or showing its message), and waiting for its user; the settings
        // file it read goes, so that only the end of the program can bring it back.
        QTest::qWait(2500);
        QCOMPARE(program.state(), QProcess::Running);
        QVERIFY(QFile::remove(folder.settingsPath()));
        kill(static_cast<pid_t>(program.processId()), c.signalNumber);
        QVERIFY2(program.waitForFinished(15000), c.what);
        QVERIFY2(program.exitStatus() == QProcess::NormalExit, c.what);
        QVERIFY2(QFileInfo::exists(folder.settingsPath()), c.what);
        QCOMPARE(folder.SettingsBytes().count('\n'), kSettingsLineCount);
        QVERIFY2(folder.SettingsBytes().startsWith("localhost:\r\n" + QByteArray::fromStdString(c.settings.dataFolder)), c.what);
    }
}

// In a terminal without a display, and in scripts: printed, ended, no window system
// touched (the xcb platform without a display would abort the program).
void TestProgram::helpAndVersionWithoutADisplay()
{
    const struct {
        const char* argument;
        const char* begins;
    } cases[] = {{"--help", "使い方:"}, {"-h", "使い方:"}, {"--version", "q318－Kumolist "}};
    for (const auto& c : cases) {
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.insert("QT_QPA_PLATFORM", "xcb");
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(KUMO_PROGRAM), {QString::fromLatin1(c.argument)});
        QVERIFY2(program.waitForFinished(10000), c.argument);
        QCOMPARE(program.exitCode(), 0);
        const QString out = QString::fromUtf8(program.readAllStandardOutput());
        QVERIFY2(out.startsWith(QString::fromUtf8(c.begins)), qPrintable(out));
        QVERIFY2(program.readAllStandardError().isEmpty(), c.argument);
    }
}

// A later start for the same settings file hands its files to the running copy and
// ends; one for other settings runs on its own.
void TestProgram::aSecondStartHandsItsFilesToTheFirst()
{
    TestDatabase db;
    {
        DatabaseSession session(db.settings);
        QVERIFY(db.Create(session));
    }
    ProgramFolder folder;
    QVERIFY(QFile::copy(QStringLiteral(KUMO_PROGRAM), folder.programFile()));
    folder.WriteSettings(db.settings);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    auto start = [&](QProcess& p, const QStringList& arguments) {
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(folder.path());
        p.start(folder.programFile(), arguments);
        return p.waitForStarted(10000);
    };

    // The first copy stood in for by the test: the second sends what it was given, its
    // files made absolute, and ends at once.
    {
        SingleInstance first(folder.settingsPath());
        QVERIFY(first.Listen());
        QStringList received;
        connect(&first, &SingleInstance::ArgumentsReceived, this, [&](const QStringList& a) { received = a; });
        QProcess second;
        QVERIFY(start(second, {"--where", "a.jww"}));
        QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 10000);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(received, (QStringList{"--where", folder.path() + "a.jww"}));
    }

    // The real program as the first copy: a second start ends, the first goes on; a copy
    // for another settings file (another database) starts for itself.
    QProcess first;
    QVERIFY(start(first, {}));
    QTRY_VERIFY_WITH_TIMEOUT(SingleInstance(folder.settingsPath()).HandOver({}, 500), 15000);
    QProcess second;
    QVERIFY(start(second, {}));
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(first.state(), QProcess::Running);

    ProgramFolder other;
    QVERIFY(QFile::copy(QStringLiteral(KUMO_PROGRAM), other.programFile()));
    other.WriteSettings(db.settings);
    QProcess third;
    third.setProcessEnvironment(env);
    third.start(other.programFile(), QStringList{});
    QVERIFY(third.waitForStarted(10000));
    QVERIFY(!third.waitForFinished(3000));
    for (QProcess* p : {&first, &third}) {
        p->terminate();
        QVERIFY(p->waitForFinished(15000));
    }
}

QTEST_MAIN(TestProgram)
#include "test_program.moc"
