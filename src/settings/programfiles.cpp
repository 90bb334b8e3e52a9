#include "settings/programfiles.h"

#include <unistd.h>

#include <QDir>
#include <QFileInfo>

namespace {

const QString kHelperName = QStringLiteral("kumolist-picture");
const QString kThumbnailerName = QStringLiteral("kumolist-thumbnailer");
const QString kOwnFolder = QStringLiteral("kumolist");

bool Exists(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString ConfigHome()
{
    // Relative values are invalid by the XDG base-directory rules and are ignored.
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg)) return QDir::cleanPath(xdg);
    return QDir::cleanPath(QDir::homePath() + QStringLiteral("/.config"));
}

QString DataHome()
{
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg)) return QDir::cleanPath(xdg);
    return QDir::cleanPath(QDir::homePath() + QStringLiteral("/.local/share"));
}

} // namespace

SystemView RealSystemView()
{
    SystemView view;
    view.writable = [](const QString& folder) {
        return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
    };
    view.configHome = ConfigHome();
    view.dataHome = DataHome();
    return view;
}

ProgramFiles LocateProgramFiles(const QString& programFilePath, const SystemView& system)
{
    const QFileInfo program(programFilePath);
    const QString folder = program.absolutePath() + QLatin1Char('/');
    const QString base = program.completeBaseName();

    ProgramFiles files;
    files.installed = !QFileInfo(folder + QStringLiteral("img")).isDir() && !Exists(folder + kHelperName);
    if (files.installed) {
        files.iconFolder = QDir::cleanPath(folder + QStringLiteral("../share/") + kOwnFolder + QStringLiteral("/img")) +
                           QLatin1Char('/');
        const QString libexec = QDir::cleanPath(folder + QStringLiteral("../libexec/") + kOwnFolder) + QLatin1Char('/');
        files.pictureHelper = libexec + kHelperName;
        files.thumbnailer = libexec + kThumbnailerName;
    } else {
        files.iconFolder = folder + QStringLiteral("img/");
        files.pictureHelper = folder + kHelperName;
        files.thumbnailer = folder + kThumbnailerName;
    }

    // The installed folder is root's: pictures the user adds go to a folder of his own.
    const QString dataHome = system.dataHome.isEmpty() ? system.configHome : system.dataHome;
    files.pictureFolder = system.writable && system.writable(files.iconFolder)
                              ? files.iconFolder
                              : dataHome + QLatin1Char('/') + kOwnFolder + QStringLiteral("/img/");

    const QString beside = folder + base + QStringLiteral(".dat");
    const bool keepBeside = Exists(beside) || (!files.installed && system.writable && system.writable(folder));
    const QString settingsFolder = keepBeside ? folder : system.configHome + QLatin1Char('/') + kOwnFolder + QLatin1Char('/');
    files.settingsFile = settingsFolder + base + QStringLiteral(".dat");
    files.preferencesFile = settingsFolder + base + QStringLiteral(".ini");
    return files;
}

bool MakeFolderFor(const QString& filePath)
{
    const QString folder = QFileInfo(filePath).absolutePath();
    return QDir().mkpath(folder) && QFileInfo(folder).isDir();
}
