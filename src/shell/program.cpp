#include "shell/program.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QTranslator>

#include "groupdlg/groupcreatedialog.h"
#include "groupdlg/groupeditdialog.h"
#include "groupwin/groupwindow.h"
#include "groupwin/subgroupnamedialog.h"
#include "memo/memodialog.h"
#include "platform/dialogplace.h"
#include "search/searchwindow.h"
#include "shell/databasesettingsdialog.h"

ProgramWindows CreateProgramWindows(MainWindow& mainWindow, const Platform& platform)
{
    ProgramWindows w;
    w.settingsDialog = new DatabaseSettingsDialog(mainWindow.Session(), mainWindow.Settings(), platform, &mainWindow);
    w.groupWindow = new GroupWindow(mainWindow.Session(), mainWindow.Settings(), platform, mainWindow.Clipboard(),
                                    &mainWindow);
    w.editDialog = new GroupEditDialog(mainWindow.Session(), mainWindow.Settings(), platform, &mainWindow);
    w.createDialog = new GroupCreateDialog(mainWindow.Session(), mainWindow.Settings(), platform, &mainWindow);
    w.memoDialog = new MemoDialog(platform, &mainWindow);
    w.subGroupNameDialog = new SubGroupNameDialog(platform, &mainWindow);
    w.searchWindow = new SearchWindow(mainWindow.Session(), platform, &mainWindow);
    for (QWidget* dialog : std::initializer_list<QWidget*>{w.settingsDialog, w.editDialog, w.createDialog,
                                                           w.memoDialog, w.subGroupNameDialog})
        CentreWhenShown(*dialog);
    // Shown only from the group window: over it, and leaving it in front.
    w.groupWindow->KeepInFront(w.memoDialog);
    w.groupWindow->KeepInFront(w.subGroupNameDialog);
    mainWindow.SetWindows(w);
    return w;
}

bool InstallJapaneseTranslations(QCoreApplication& app)
{
    // qtbase_ja holds the texts of the standard dialogs and buttons; owned by the
    // application from here on.
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

bool UseJapaneseUiFont()
{
    const QString family = QStringLiteral("Noto Sans CJK JP");
    if (!QFontDatabase::hasFamily(family)) return false;
    QFont font = QApplication::font();
    font.setFamilies({family});
    QApplication::setFont(font);
    return true;
}
