// The program as the desktop ends it: SIGTERM at logout or shutdown, SIGINT from a
// terminal, SIGHUP when the terminal goes. Each must end it as its exit command does, with
// the settings file written, whether it is idle on a database or waiting in a message box.
#include <csignal>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

#include "boardfixture.h"

class TestProgram : public QObject {
    Q_OBJECT
private slots:
    void endsOnTerminationSignals();
    void helpAndVersionWithoutADisplay();
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

QTEST_MAIN(TestProgram)
#include "test_program.moc"
