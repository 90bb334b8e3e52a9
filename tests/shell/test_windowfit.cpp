// The windows on a laptop's screen (1366 x 768), run once at scale 1 and once at scale 2:
// every window's first or restored place lies wholly on the screen, the group window
// shows three rows of icons where the screen has room, and dialogs come up centred on
// the window that opened them.
#include <QApplication>
#include <QListView>
#include <QScreen>
#include <QtTest>

#include "boardfixture.h"
#include "groupwin/groupwindow.h"
#include "groupwin/subgroupnamedialog.h"
#include "search/searchwindow.h"
#include "settings/windowplace.h"
#include "shell/databasesettingsdialog.h"

class TestWindowFit : public QObject {
    Q_OBJECT
private slots:
    void windowsFitTheScreen_data()
    {
        QTest::addColumn<bool>("withFile");
        QTest::addColumn<QList<int>>("changed");   // line, value, line, value, ...
        QTest::newRow("first start") << false << QList<int>{};
        QTest::newRow("designed places") << true << QList<int>{};
        // Places of a larger screen or of scale 1, and sizes never stored.
        QTest::newRow("stored at scale 1") << true
                                           << QList<int>{kMainLeft, 700, kMainTop, 400, kGroupLeft, 193, kGroupTop, 109,
                                                         kGroupWidth, 961, kGroupHeight, 520, kSearchLeft, 900,
                                                         kSearchTop, 380};
        QTest::newRow("from a large screen") << true
                                             << QList<int>{kMainLeft, 2500, kMainTop, 1300, kGroupWidth, 1900,
                                                           kGroupHeight, 1100, kSearchLeft, -900};
        QTest::newRow("no sizes") << true
                                  << QList<int>{kMainWidth, 0, kMainHeight, 0, kGroupWidth, 0, kGroupHeight, 0,
                                                kSearchWidth, 0, kSearchHeight, 0};
    }

    void windowsFitTheScreen()
    {
        QFETCH(bool, withFile);
        QFETCH(QList<int>, changed);
        ProgramFolder folder;
        if (withFile) {
            SettingsNumbers n = DefaultSettingsNumbers();
            for (qsizetype i = 0; i + 1 < changed.size(); i += 2) n[static_cast<size_t>(changed[i] - kFirstNumberLine)] = changed[i + 1];
            QVERIFY(SaveSettings(folder.settingsPath(), DatabaseSettings{}, n));
        }
        Program p(folder.programFile());
        QVERIFY(p.Show());
        GroupWindow* group = p.windows.groupWindow;
        group->show();
        QVERIFY(QTest::qWaitForWindowExposed(group));
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        for (QWidget* w : std::initializer_list<QWidget*>{&p.mainWindow, group, p.windows.searchWindow}) {
            const QRect frame(w->pos(), w->size());
            QVERIFY2(screen.contains(frame), qPrintable(w->objectName()));
            QVERIFY2(frame.bottom() + kTitleBarAllowance <= screen.bottom() + 1 || frame.top() == screen.top(),
                     qPrintable(w->objectName()));
            QVERIFY(w->width() > 0 && w->height() > 0);
        }
        // Three rows of icons where they fit on the screen, unless the user made the
        // window smaller himself.
        const bool storedHeight = changed.contains(kGroupHeight) && changed[changed.indexOf(kGroupHeight) + 1] > 0;
        if (screen.height() - kTitleBarAllowance >= 3 * 152 + 80 && !storedHeight)
            QVERIFY(group->findChild<QListView*>("fileIconView")->viewport()->height() >= 3 * 152);

        // Dialogs over the window they came from: the settings dialog from the main
        // window, the sub-group name dialog from the group window.
        struct Opened {
            QWidget* opener;
            QWidget* dialog;
        };
        for (const Opened& o : {Opened{&p.mainWindow, p.windows.settingsDialog},
                                Opened{group, p.windows.subGroupNameDialog}}) {
            // As a click on it would.
            QApplication::setActiveWindow(o.opener);
            QCOMPARE(QApplication::activeWindow(), o.opener);
            o.dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(o.dialog));
            const QRect dialog = o.dialog->frameGeometry();
            QVERIFY2(screen.contains(dialog), qPrintable(o.dialog->objectName()));
            const QPoint off = dialog.center() - o.opener->frameGeometry().center();
            QVERIFY2(std::abs(off.x()) <= 20 && std::abs(off.y()) <= 20, qPrintable(o.dialog->objectName()));
            o.dialog->hide();
        }
        p.Close();
    }
};

QTEST_MAIN(TestWindowFit)
#include "test_windowfit.moc"
