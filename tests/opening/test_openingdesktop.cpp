// The desktop service that opens files: the type's program, the desktop's default, and the
// chooser asked instead of ever starting Kumolist; the dialogs driven as a user would.
#include <QtTest>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>

#include "opening/execline.h"
#include "opening/openingdesktop.h"
#include "opening/openprogramsdialog.h"
#include "support/fakeplatform.h"
#include "support/writefile.h"

namespace {

} // namespace

class TestOpeningDesktop : public QObject {
    Q_OBJECT
private slots:
    // What opens a file in each case, and what is stored when the user keeps a choice.
    void opens_data()
    {
        QTest::addColumn<QString>("defaultApp");   // the desktop's default for the type
        QTest::addColumn<QString>("stored");       // the type's command, "" for none
        QTest::addColumn<bool>("chooser");         // opened through the chooser
        QTest::addColumn<int>("answer");           // the chooser: -1 cancels, 0 the CAD entry, 1 the script, 2 Kumolist
        QTest::addColumn<bool>("always");
        QTest::addColumn<QString>("ran");          // "script", "cad" (the desktop's CAD entry), "desktop" or ""
        QTest::addColumn<int>("asked");
        QTest::addColumn<int>("messages");
        QTest::addColumn<QString>("storedAfter");  // "script" or ""
        QTest::newRow("default Kumolist: asked, kept") << "kumolist.desktop" << "" << false << 1 << true << "script" << 1 << 0 << "script";
        QTest::newRow("default Kumolist: asked, cancelled") << "kumolist.desktop" << "" << false << -1 << true << "" << 1 << 0 << "";
        QTest::newRow("asked, Kumolist typed: refused") << "kumolist.desktop" << "" << false << 2 << true << "" << 1 << 1 << "";
        QTest::newRow("default another program: it runs") << "cad.desktop" << "" << false << -1 << false << "cad" << 0 << 0 << "";
        QTest::newRow("no default: the desktop") << "" << "" << false << -1 << false << "desktop" << 0 << 0 << "";
        QTest::newRow("the type's command") << "kumolist.desktop" << "script" << false << -1 << false << "script" << 0 << 0 << "script";
        QTest::newRow("chooser: once, not kept") << "cad.desktop" << "" << true << 1 << false << "script" << 1 << 0 << "";
        QTest::newRow("a command that cannot start") << "" << "missing" << false << -1 << false << "" << 0 << 1 << "missing";
    }
    void opens()
    {
        QFETCH(QString, defaultApp);
        QFETCH(QString, stored);
        QFETCH(bool, chooser);
        QFETCH(int, answer);
        QFETCH(bool, always);
        QFETCH(QString, ran);
        QFETCH(int, asked);
        QFETCH(int, messages);
        QFETCH(QString, storedAfter);

        QTemporaryDir dir;
        const QString out = dir.filePath("ran.txt");
        const QString script = dir.filePath("cad.sh");
        // "The CAD program": writes who ran and its arguments.
        WriteFile(script, "#!/bin/sh\n{ echo \"$1\"; shift; for a in \"$@\"; do echo \"$a\"; done; } > " +
                              out.toUtf8() + ".tmp && mv " + out.toUtf8() + ".tmp " + out.toUtf8() + "\n");
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString scriptCommand = QuoteExecArgument(script) + " script %f";
        const QString type = FileMimeType("a.dxf");
        // No default: no entry takes the type either.
        const QString data = dir.filePath(defaultApp.isEmpty() ? "none" : "data");
        WriteFile(dir.filePath("data/applications/kumolist.desktop"),
                  "[Desktop Entry]\nType=Application\nName=Kumolist\nExec=kumolist %F\nMimeType=" + type.toUtf8() + "\n");
        WriteFile(dir.filePath("data/applications/cad.desktop"), "[Desktop Entry]\nType=Application\nName=CAD\nExec=" +
                                                                     scriptCommand.toUtf8().replace("script", "cad")
                                                                         .replace("\\", "\\\\") +
                                                                     "\nMimeType=" + type.toUtf8() + "\n");
        if (!defaultApp.isEmpty())
            WriteFile(dir.filePath("config/mimeapps.list"),
                      "[Default Applications]\n" + type.toUtf8() + "=" + defaultApp.toUtf8() + "\n");
        const DesktopFolders folders{{data}, {dir.filePath("config")}, {}};
        const QString prefs = dir.filePath("prefs.ini");
        const QString commands[] = {scriptCommand, dir.filePath("missing") + " %f"};
        if (!stored.isEmpty()) QVERIFY(SaveOpenProgram(prefs, "dxf", commands[stored == "missing"]));

        FakePlatform fake;
        int chooserAsked = 0;
        std::vector<DesktopApp> offered;
        OpeningDesktop desktop(fake.desktop, fake.messages, prefs, QCoreApplication::applicationFilePath(), folders,
                               [&](QWidget*, const QString&, const std::vector<DesktopApp>& apps) -> std::optional<OpenChoice> {
                                   ++chooserAsked;
                                   offered = apps;
                                   if (answer < 0) return std::nullopt;
                                   const QString picked[] = {apps.at(0).exec, scriptCommand, "/usr/bin/kumolist %f"};
                                   return OpenChoice{picked[answer], always};
                               });
        const QString drawing = dir.filePath("図面 $(x);.DXF");
        const bool opened = chooser ? desktop.OpenWithChooser(nullptr, drawing) : desktop.OpenWithProgram(drawing);

        QCOMPARE(chooserAsked, asked);
        if (asked) {
            // Kumolist is never offered.
            QCOMPARE(offered.size(), size_t(1));
            QCOMPARE(offered[0].name, QString("CAD"));
        }
        QCOMPARE(int(fake.messages.shown.size()), messages);
        QCOMPARE(opened, !ran.isEmpty());
        QCOMPARE(fake.desktop.opened, ran == "desktop" ? QStringList{drawing} : QStringList{});
        if (ran == "script" || ran == "cad") {
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out), 10000);
            QFile f(out);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(QString::fromUtf8(f.readAll()), ran + "\n" + drawing + "\n");
        }
        const OpenPrograms after = LoadOpenPrograms(prefs);
        if (storedAfter.isEmpty())
            QVERIFY(after.empty());
        else
            QCOMPARE(after.at("dxf"), commands[storedAfter == "missing"]);
    }

    // The chooser dialog: an application or a command of one's own, and the check box.
    void chooserDialog()
    {
        const std::vector<DesktopApp> apps{{"cad.desktop", "CAD", "", "cad %f"}};
        OpenWithDialog dialog("a.jww", apps, true);
        auto* list = dialog.findChild<QListWidget*>("Programs");
        auto* command = dialog.findChild<QLineEdit*>("Command");
        QCOMPARE(list->count(), 2);
        QCOMPARE(dialog.Choice().command, QString("cad %f"));
        list->setCurrentRow(1);
        command->setText("wine \"C:\\\\jww\\\\Jw_win.exe\" %f");
        dialog.findChild<QCheckBox*>("Always")->setChecked(true);
        QCOMPARE(dialog.Choice().command, command->text());
        QVERIFY(dialog.Choice().always);
    }

    // The preferences dialog lists the drawings' types and the stored ones, and gives one back.
    void programsDialog()
    {
        QTemporaryDir dir;
        const QString prefs = dir.filePath("prefs.ini");
        QVERIFY(SaveOpenProgram(prefs, "jww", "wine jw.exe %f"));
        QVERIFY(SaveOpenProgram(prefs, "dwg", "viewer"));
        FakePlatform fake;
        OpenProgramsDialog dialog(fake.platform, prefs, QCoreApplication::applicationFilePath(),
                                  DesktopFolders{{dir.path()}, {dir.path()}, {}});
        QCOMPARE(dialog.Types(), (QStringList{"jww", "jwc", "dxf", "dwg"}));
        QCOMPARE(dialog.ProgramShown("jww"), QString("wine jw.exe %f"));
        QCOMPARE(dialog.ProgramShown("jwc"), QString("(デスクトップの既定)"));
        dialog.ClearType("jww");
        QCOMPARE(dialog.ProgramShown("jww"), QString("(デスクトップの既定)"));
        QCOMPARE(LoadOpenPrograms(prefs).count("jww"), size_t(0));
        dialog.AddType("bad type");
        QCOMPARE(int(fake.messages.shown.size()), 1);
    }
};

QTEST_MAIN(TestOpeningDesktop)
#include "test_openingdesktop.moc"
