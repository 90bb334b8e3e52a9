// Kumolist: groups of file references kept in a Firebird database.
#include <iostream>

#include <QApplication>
#include <QFileInfo>
#include <QIcon>

#include "opening/openingdesktop.h"
#include "platform/platform.h"
#include "settings/programfiles.h"
#include "shell/admincommands.h"
#include "shell/program.h"
#include "shell/programinfo.h"
#include "shell/mainwindow.h"
#include "shell/quitsignals.h"
#include "shell/singleinstance.h"

int main(int argc, char* argv[])
{
    // The help, the version and the administrators' commands run in a terminal without a
    // display: no window system.
    if (argc > 1 && IsInfoCommand({QString(), QString::fromLocal8Bit(argv[1])})) {
        QCoreApplication app(argc, argv);
        return RunInfoCommand(QCoreApplication::arguments(), QCoreApplication::applicationFilePath(), std::cout);
    }
    if (argc > 1 && IsDrawingListCommand({QString(), QString::fromLocal8Bit(argv[1])})) {
        // The drawing list is painted, without a display, as the thumbnailer draws.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        return RunDrawingListCommand(QCoreApplication::arguments(), QCoreApplication::applicationFilePath(), std::cout,
                                     std::cerr);
    }
    if (argc > 1 && IsAdminCommand({QString(), QString::fromLocal8Bit(argv[1])})) {
        QCoreApplication app(argc, argv);
        return RunAdminCommand(QCoreApplication::arguments(), QCoreApplication::applicationFilePath(), std::cout,
                               std::cerr);
    }
    QApplication app(argc, argv);
    // First of all: a signal that comes while the fonts and windows are still being made
    // (seconds on a busy machine) waits in the event loop instead of killing the program,
    // and the handlers must stand before the first attach, which the main window's
    // showing makes.
    QuitSignals quitSignals;
    // One copy per user and settings file: a later start hands its files (made absolute,
    // since the first copy runs elsewhere) to the first and ends.
    QStringList arguments;
    for (const QString& a : QCoreApplication::arguments().mid(1))
        arguments << (a.startsWith("--") ? a : QFileInfo(a).absoluteFilePath());
    SingleInstance instance(LocateProgramFiles(QCoreApplication::applicationFilePath()).settingsFile);
    if (instance.HandOver(arguments)) return 0;
    instance.Listen();
    // The application's title names the program as a whole (message boxes carry it);
    // it is not the display name, which Qt would append to every window's caption.
    QApplication::setApplicationName(kApplicationTitle);
    InstallJapaneseTranslations(app);
    UseJapaneseUiFont();
    // The desktop entry names the program's icon; a build folder has the same picture.
    QGuiApplication::setDesktopFileName(QStringLiteral("kumolist"));
    QApplication::setWindowIcon(QIcon::fromTheme(
        QStringLiteral("kumolist"),
        QIcon(LocateProgramFiles(QCoreApplication::applicationFilePath()).iconFolder + QStringLiteral("icon1.ico"))));
    RealPlatform real;
    // Files open in the program chosen for their type, never in this program itself.
    OpeningDesktop opening(*real.platform.desktop, *real.platform.messages,
                           LocateProgramFiles(QCoreApplication::applicationFilePath()).preferencesFile,
                           QCoreApplication::applicationFilePath());
    real.platform.desktop = &opening;

    // All windows exist, hidden, before the main window is shown: its show handler
    // positions them from the settings file. They belong to the main window, so closing
    // it ends the program.
    MainWindow mainWindow(real.platform, QCoreApplication::applicationFilePath());
    mainWindow.SetFirstStartDataFolder(QString::fromUtf8(kSetupDataFolder));
    CreateProgramWindows(mainWindow, real.platform);
    CloseProgramOnQuitSignals(quitSignals, mainWindow);
    QObject::connect(&instance, &SingleInstance::ArgumentsReceived, &mainWindow, &MainWindow::TakeArguments);
    mainWindow.show();
    if (!arguments.isEmpty()) mainWindow.TakeArguments(arguments);
    return app.exec();
}
