// Kumolist: groups of file references kept in a Firebird database.
#include <iostream>

#include <QApplication>
#include <QIcon>

#include "platform/platform.h"
#include "settings/programfiles.h"
#include "shell/admincommands.h"
#include "shell/program.h"
#include "shell/programinfo.h"
#include "shell/mainwindow.h"
#include "shell/quitsignals.h"

int main(int argc, char* argv[])
{
    // The help, the version and the administrators' commands run in a terminal without a
    // display: no window system.
    if (argc > 1 && IsInfoCommand({QString(), QString::fromLocal8Bit(argv[1])})) {
        QCoreApplication app(argc, argv);
        return RunInfoCommand(QCoreApplication::arguments(), QCoreApplication::applicationFilePath(), std::cout);
    }
    if (argc > 1 && IsAdminCommand({QString(), QString::fromLocal8Bit(argv[1])})) {
        QCoreApplication app(argc, argv);
        return RunAdminCommand(QCoreApplication::arguments(), QCoreApplication::applicationFilePath(), std::cout,
                               std::cerr);
    }
    QApplication app(argc, argv);
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
    // Before the first attach, which the main window's showing makes.
    QuitSignals quitSignals;

    // All windows exist, hidden, before the main window is shown: its show handler
    // positions them from the settings file. They belong to the main window, so closing
    // it ends the program.
    MainWindow mainWindow(real.platform, QCoreApplication::applicationFilePath());
    mainWindow.SetFirstStartDataFolder(QString::fromUtf8(kSetupDataFolder));
    CreateProgramWindows(mainWindow, real.platform);
    CloseProgramOnQuitSignals(quitSignals, mainWindow);
    mainWindow.show();
    return app.exec();
}
