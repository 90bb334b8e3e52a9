// Where the program finds its pictures, its helper and its settings: beside itself in a
// build folder, in the file-system layout when installed, the settings in the user's
// configuration folder when the program's folder is not the user's; and the preferences
// file beside the settings, which a damaged or foreign file must not hang or bloat.
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "settings/preferences.h"
#include "settings/programfiles.h"
#include "settings/settingsfile.h"

namespace {

void Touch(const QString& path, const QByteArray& bytes = {})
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

SystemView View(bool writable, const QString& configHome)
{
    return {[writable](const QString&) { return writable; }, configHome, {}};
}

} // namespace

class TestProgramFiles : public QObject {
    Q_OBJECT
private slots:
    void besideTheProgramInABuildFolder()
    {
        QTemporaryDir dir;
        const QString folder = dir.path() + "/";
        QVERIFY(QDir(folder).mkdir("img"));
        Touch(folder + "kumolist-picture");
        const QString config = dir.path() + "/config";

        ProgramFiles f = LocateProgramFiles(folder + "kumolist", View(true, config));
        QVERIFY(!f.installed);
        QCOMPARE(f.iconFolder, folder + "img/");
        QCOMPARE(f.pictureHelper, folder + "kumolist-picture");
        QCOMPARE(f.thumbnailer, folder + "kumolist-thumbnailer");
        QCOMPARE(f.settingsFile, folder + "kumolist.dat");
        QCOMPARE(f.preferencesFile, folder + "kumolist.ini");

        // A folder the user cannot write: the settings go to his own folder, named
        // after the program file, unless a settings file lies beside the program.
        f = LocateProgramFiles(folder + "kumo2", View(false, config));
        QCOMPARE(f.iconFolder, folder + "img/");
        QCOMPARE(f.settingsFile, config + "/kumolist/kumo2.dat");
        QCOMPARE(f.preferencesFile, config + "/kumolist/kumo2.ini");
        Touch(folder + "kumo2.dat");
        QCOMPARE(LocateProgramFiles(folder + "kumo2", View(false, config)).settingsFile, folder + "kumo2.dat");
        QVERIFY(QFile::link(folder + "gone", folder + "kumo3.dat"));
        QCOMPARE(LocateProgramFiles(folder + "kumo3", View(false, config)).settingsFile, folder + "kumo3.dat");

        // The helper alone marks a folder of its own as well.
        QVERIFY(QDir(folder + "img").removeRecursively());
        QVERIFY(!LocateProgramFiles(folder + "kumolist", View(true, config)).installed);
    }

    void pictureFolder_data()
    {
        QTest::addColumn<bool>("writable");
        QTest::addColumn<QString>("dataHome");
        QTest::addColumn<QString>("preference");   // Pictures/Folder in the preferences file
        QTest::addColumn<QString>("folder");       // "@" stands for the program's img/
        QTest::newRow("program's own, writable") << true << "/d" << QString() << "@";
        QTest::newRow("installed, not writable") << false << "/d" << QString() << "/d/kumolist/img/";
        QTest::newRow("no data folder known") << false << QString() << QString() << "/c/kumolist/img/";
        QTest::newRow("shared folder") << false << "/d" << "/srv/office/pictures" << "/srv/office/pictures/";
        QTest::newRow("shared folder with slash") << true << "/d" << "/srv/office/" << "/srv/office/";
        QTest::newRow("relative: ignored") << false << "/d" << "pictures" << "/d/kumolist/img/";
    }

    void pictureFolder()
    {
        QFETCH(bool, writable);
        QFETCH(QString, dataHome);
        QFETCH(QString, preference);
        QFETCH(QString, folder);
        QTemporaryDir dir;
        const QString program = dir.path() + "/";
        QVERIFY(QDir(program).mkdir("img"));
        SystemView view = View(writable, "/c");
        view.dataHome = dataHome;
        const ProgramFiles files = LocateProgramFiles(program + "kumolist", view);
        const QString prefs = dir.filePath("kumolist.ini");
        if (!preference.isEmpty()) QVERIFY(SavePictureFolder(prefs, preference));
        const QString shared = LoadPictureFolder(prefs);
        QCOMPARE(shared.isEmpty() ? files.pictureFolder : shared, folder == "@" ? program + "img/" : folder);
        // The installed pictures stay where they were, looked up after the picture folder.
        QCOMPARE(files.iconFolder, program + "img/");
    }

    void installedLayout()
    {
        QTemporaryDir dir;
        const QString prefix = dir.path();
        QVERIFY(QDir().mkpath(prefix + "/bin"));
        const QString config = prefix + "/home/.config";

        // A writable bin/ (root may write anywhere) still gives every user his own file.
        ProgramFiles f = LocateProgramFiles(prefix + "/bin/kumolist", View(true, config));
        QVERIFY(f.installed);
        QCOMPARE(f.iconFolder, prefix + "/share/kumolist/img/");
        QCOMPARE(f.pictureHelper, prefix + "/libexec/kumolist/kumolist-picture");
        QCOMPARE(f.thumbnailer, prefix + "/libexec/kumolist/kumolist-thumbnailer");
        QCOMPARE(f.settingsFile, config + "/kumolist/kumolist.dat");
        QCOMPARE(f.preferencesFile, config + "/kumolist/kumolist.ini");

        // One an administrator put beside the program is the one used.
        Touch(prefix + "/bin/kumolist.dat");
        f = LocateProgramFiles(prefix + "/bin/kumolist", View(false, config));
        QCOMPARE(f.settingsFile, prefix + "/bin/kumolist.dat");
        QCOMPARE(f.preferencesFile, prefix + "/bin/kumolist.ini");
    }

    void configurationFolderAndWritability()
    {
        const QByteArray oldXdg = qgetenv("XDG_CONFIG_HOME"), oldHome = qgetenv("HOME");
        qputenv("HOME", "/home/taro");
        // Set and absolute; empty, relative (invalid by the XDG rules) or unset.
        for (const char* xdg : std::initializer_list<const char*>{"/srv/conf/", "", "relative/conf", nullptr}) {
            if (xdg) qputenv("XDG_CONFIG_HOME", xdg);
            else qunsetenv("XDG_CONFIG_HOME");
            QCOMPARE(RealSystemView().configHome, QString(xdg && *xdg == '/' ? "/srv/conf" : "/home/taro/.config"));
        }
        qputenv("HOME", oldHome);
        if (oldXdg.isNull()) qunsetenv("XDG_CONFIG_HOME");
        else qputenv("XDG_CONFIG_HOME", oldXdg);

        QTemporaryDir dir;
        const SystemView real = RealSystemView();
        QVERIFY(real.writable(dir.path()));
        QVERIFY(!real.writable(dir.path() + "/missing"));
        QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0555) == 0);
        // Root passes every permission check; the installed layout does not rely on it.
        if (::geteuid() != 0) QVERIFY(!real.writable(dir.path()));
        ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    }

    void settingsAndPreferencesMakeTheirFolder()
    {
        QTemporaryDir dir;
        const QString settings = dir.path() + "/config/kumolist/kumolist.dat";
        SettingsNumbers numbers{};
        QVERIFY(SaveSettings(settings, DatabaseSettings{}, numbers));
        QVERIFY(QFileInfo(settings).isFile());
        Touch(dir.path() + "/file");
        QVERIFY(!SaveSettings(dir.path() + "/file/kumolist.dat", DatabaseSettings{}, numbers));

        // The add dialog's place round trip, with a folder name in Japanese.
        const QString prefs = dir.path() + "/other/kumolist/kumolist.ini";
        QCOMPARE(LoadAddDialogPlace(prefs).folder, QString());
        QVERIFY(SaveAddDialogPlace(prefs, {"/home/太郎/図面", 3}));
        AddDialogPlace place = LoadAddDialogPlace(prefs);
        QCOMPARE(place.folder, QString("/home/太郎/図面"));
        QCOMPARE(place.filter, 3);
        QVERIFY(!SaveAddDialogPlace(dir.path() + "/file/kumolist.ini", {"/x", 1}));
        QVERIFY(!SaveAddDialogPlace(QString(), {"/x", 1}));

        // The preview pane's state beside it; saving one keeps the other.
        QVERIFY(!LoadPreviewShown(prefs));
        QVERIFY(SavePreviewShown(prefs, true));
        QVERIFY(LoadPreviewShown(prefs));
        QCOMPARE(LoadAddDialogPlace(prefs).filter, 3);
        QVERIFY(SaveAddDialogPlace(prefs, {"/y", 2}));
        QVERIFY(LoadPreviewShown(prefs));
        QVERIFY(SavePreviewShown(prefs, false));
        QVERIFY(!LoadPreviewShown(prefs));
        QVERIFY(!SavePreviewShown(dir.path() + "/file/kumolist.ini", true));
    }

    void damagedPreferencesAreIgnored()
    {
        QTemporaryDir dir;
        const QString prefs = dir.path() + "/kumolist.ini";
        Touch(prefs, "[AddDialog]\nLastFolder=" + QByteArray(kMaxPreferenceText + 1, 'a') + "\nFilter=-4\n");
        AddDialogPlace place = LoadAddDialogPlace(prefs);
        QCOMPARE(place.folder, QString());
        QCOMPARE(place.filter, 0);
        Touch(prefs, "\xff\xfe garbage \0\n[[[=\n");
        QCOMPARE(LoadAddDialogPlace(prefs).filter, 0);
        Touch(prefs, "[GroupWindow]\nPreview=1x\n");
        QVERIFY(!LoadPreviewShown(prefs));

        // Too large, a folder, a FIFO: not read (nothing hangs) and not overwritten.
        const QByteArray huge(kMaxPreferencesBytes + 1, '#');
        Touch(prefs, huge);
        QVERIFY(!SaveAddDialogPlace(prefs, {"/x", 1}));
        QCOMPARE(QFileInfo(prefs).size(), huge.size());
        QVERIFY(QDir(dir.path()).mkdir("folder.ini"));
        QVERIFY(!OpenPreferences(dir.path() + "/folder.ini"));
        const QString fifo = dir.path() + "/fifo.ini";
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        QCOMPARE(LoadAddDialogPlace(fifo).folder, QString());
        QVERIFY(!SaveAddDialogPlace(fifo, {"/x", 1}));
    }
};

QTEST_GUILESS_MAIN(TestProgramFiles)
#include "test_programfiles.moc"
