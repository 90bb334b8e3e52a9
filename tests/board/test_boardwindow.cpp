// The board in the real main window, driven with the mouse: icons from the catalogue
// at their stored places, dragging within the limits, what reaches the database, and
// the pictures of the four kinds.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QtTest>

#include "boardfixture.h"
#include "catalogue.h"
#include "support/testdb.h"

namespace {

// Moves the pointer, left button held, to a point of the client area. Qt Test sends
// the motion to the icon that took the press, with a position local to it.
void DragTo(QLabel* icon, QPoint client) { QTest::mouseMove(icon, client - icon->pos()); }

int UpdateCount(const std::vector<std::string>& statements)
{
    return int(std::count_if(statements.begin(), statements.end(),
                             [](const std::string& t) { return t.rfind("UPDATE", 0) == 0; }));
}

QColor Background(QWidget* w) { return w->palette().color(QPalette::Window); }


} // namespace

class TestBoardWindow : public QObject {
    Q_OBJECT

private slots:
    void iconsStandAtTheirStoredPlaces()
    {
        Setup set;
        QVERIFY(set.ok);
        set.folder.PutPicture("plan.bmp", BmpBytes(40, 25));
        QVERIFY(InsertGroup(set.session, 2, "\x90\x7D\x96\xCA\x88\xEA\x8E\xAE", "", "-5", "20"));   // 図面一式
        QVERIFY(InsertGroup(set.session, 5, "five", "plan.bmp", "100", "50", "\x8E\x52\x93\x63", "title", "sub"));
        set.Done();

        Program p(set.folder.programFile());
        QVERIFY(p.Show());
        QVERIFY(p.fake.messages.shown.isEmpty());
        QCOMPARE(p.mainWindow.boardView->Board().slotCount, 5);
        QVERIFY(!p.mainWindow.boardView->GroupIcon(1));
        QVERIFY(!p.mainWindow.boardView->GroupIcon(3));
        QLabel* two = p.mainWindow.boardView->GroupIcon(2);
        QLabel* five = p.mainWindow.boardView->GroupIcon(5);
        QVERIFY(two && five);
        QCOMPARE(two->geometry(), QRect(0, 20, 32, 32));      // a stored negative X shows at 0
        QCOMPARE(five->geometry(), QRect(100, 50, 40, 25));   // natural size of the picture
        QCOMPARE(two->property("tag").toInt(), 2);
        QLabel* caption = p.mainWindow.boardView->GroupCaption(5);
        QVERIFY(caption);
        QCOMPARE(caption->text(), QString("five"));
        QCOMPARE(caption->pos(), QPoint(100 + 20 - caption->width() / 2, 50 + 25 + 3));
        QCOMPARE(Background(caption), QColor(255, 255, 255));
        QVERIFY(caption->autoFillBackground());
        QCOMPARE(p.mainWindow.boardView->GroupCaption(2)->text(), QString("図面一式"));
        QCOMPARE(Background(p.mainWindow.boardView->canvas), QColor(255, 255, 255));
        QCOMPARE(p.mainWindow.detailPanel->height(), 76);
        QCOMPARE(p.mainWindow.statusLine->height(), 19);
        // Nothing is selected and the panel is empty at start.
        QCOMPARE(p.mainWindow.boardView->Board().selectedGroup, 0);
        QVERIFY(p.mainWindow.groupNumberField->text().isEmpty());
    }

    void dragMovesWithinTheLimitsAndStoresOnDrop()
    {
        Setup set;
        QVERIFY(set.ok);
        QVERIFY(InsertGroup(set.session, 1, "one", "", "100", "50", "\x8E\x52\x93\x63", "T1", "S1"));
        QVERIFY(InsertGroup(set.session, 2, "two", "", "300", "50"));
        set.Done();
        Program p(set.folder.programFile());
        QVERIFY(p.Show());
        std::vector<std::string> statements;
        p.mainWindow.Session().SetStatementLog([&](const std::string& t) { statements.push_back(t); });
        QLabel* icon = p.mainWindow.boardView->GroupIcon(1);
        QLabel* caption = p.mainWindow.boardView->GroupCaption(1);
        QVERIFY(icon && caption);
        const int width = p.mainWindow.clientArea->width();
        const int bottom = p.mainWindow.clientArea->height() - 76 - 19 - 32;

        QTest::mousePress(icon, Qt::LeftButton, {}, QPoint(10, 12));
        QCOMPARE(p.mainWindow.boardView->Board().pressedGroup, 1);
        DragTo(icon, QPoint(130, 60));
        QCOMPARE(icon->pos(), QPoint(120, 48));
        QCOMPARE(Background(caption), QColor(192, 192, 192));
        QCOMPARE(caption->pos(), QPoint(120 + 16 - caption->width() / 2, 48 + 32 + 3));
        // The first motion shows the dragged group in the panel.
        QCOMPARE(p.mainWindow.groupNumberField->text(), QString("1"));
        QCOMPARE(p.mainWindow.groupNameField->text(), QString("one"));
        QCOMPARE(p.mainWindow.authorField->text(), QString("山田"));
        QCOMPARE(p.mainWindow.titleField->text(), QString("T1"));
        QCOMPARE(p.mainWindow.subtitleField->text(), QString("S1"));

        DragTo(icon, QPoint(-400, -300));
        QCOMPARE(icon->pos(), QPoint(0, 0));
        DragTo(icon, QPoint(width + 500, 60));
        QCOMPARE(icon->pos(), QPoint(width, 48));
        DragTo(icon, QPoint(200, 5000));
        QCOMPARE(icon->pos(), QPoint(190, bottom));
        DragTo(icon, QPoint(60, 40));
        QCOMPARE(icon->pos(), QPoint(50, 28));
        QCOMPARE(UpdateCount(statements), 0);   // nothing written while the button is held

        QTest::mouseRelease(icon, Qt::LeftButton, {}, QPoint(10, 12));
        QVERIFY(!p.mainWindow.boardView->Board().pressed);
        // Dropped, the group stays selected and its caption says so.
        QCOMPARE(Background(caption), caption->palette().color(QPalette::Active, QPalette::Highlight));
        QCOMPARE(UpdateCount(statements), 1);
        const std::string update = "UPDATE GRPJWW SET \r\n   X=50,Y=28\r\n   WHERE N=1\r\n   ;\r\n";
        QCOMPARE(std::count(statements.begin(), statements.end(), update), 1L);

        // A press and release in place writes nothing, but shows the group again.
        p.mainWindow.ClearDetails();
        QTest::mousePress(icon, Qt::LeftButton, {}, QPoint(4, 4));
        QTest::mouseRelease(icon, Qt::LeftButton, {}, QPoint(4, 4));
        QCOMPARE(UpdateCount(statements), 1);
        QCOMPARE(p.mainWindow.groupNumberField->text(), QString("1"));

        // A right-button press selects the other group and never moves it, even when the
        // pointer moves before the release.
        QLabel* other = p.mainWindow.boardView->GroupIcon(2);
        QTest::mousePress(other, Qt::RightButton, {}, QPoint(5, 5));
        QTest::mouseMove(other, QPoint(80, 90));
        QTest::mouseRelease(other, Qt::RightButton, {}, QPoint(80, 90));
        QCOMPARE(other->pos(), QPoint(300, 50));
        QCOMPARE(p.mainWindow.boardView->Board().selectedGroup, 2);
        QCOMPARE(p.mainWindow.groupNumberField->text(), QString("2"));
        QCOMPARE(UpdateCount(statements), 1);

        // The new position is there after a restart.
        p.Close();
        Program again(set.folder.programFile());
        QVERIFY(again.Show());
        QCOMPARE(again.mainWindow.boardView->GroupIcon(1)->pos(), QPoint(50, 28));
        QCOMPARE(again.mainWindow.boardView->GroupIcon(2)->pos(), QPoint(300, 50));
    }

    void dropOnMotionWithoutButton()
    {
        // A drop also completes on the first motion without the left button, over the
        // client area, as long as the press is still pending.
        Setup set;
        QVERIFY(set.ok);
        QVERIFY(InsertGroup(set.session, 1, "one", "", "10", "10"));
        set.Done();
        Program p(set.folder.programFile());
        QVERIFY(p.Show());
        GroupBoard& board = p.mainWindow.boardView->Board();
        board.IconMouseDown(1, 3, 3);
        QTest::mouseMove(p.mainWindow.boardView->canvas, QPoint(300, 100));
        QTRY_VERIFY(!board.pressed);
        QCOMPARE(board.selectedGroup, 1);
        QCOMPARE(p.mainWindow.groupNumberField->text(), QString("1"));
        QCOMPARE(p.mainWindow.boardView->GroupIcon(1)->pos(), QPoint(10, 10));
    }

    void doubleClickEndsThePress()
    {
        Setup set;
        QVERIFY(set.ok);
        QVERIFY(InsertGroup(set.session, 1, "one", "", "10", "10"));
        set.Done();
        Program p(set.folder.programFile());
        QVERIFY(p.Show());
        QLabel* icon = p.mainWindow.boardView->GroupIcon(1);
        QTest::mousePress(icon, Qt::LeftButton, {}, QPoint(3, 3));
        QTest::mouseDClick(icon, Qt::LeftButton, {}, QPoint(3, 3));
        QVERIFY(!p.mainWindow.boardView->Board().pressed);
        QCOMPARE(p.mainWindow.boardView->Board().pressedGroup, 0);
        QTest::mouseRelease(icon, Qt::LeftButton, {}, QPoint(3, 3));
        QVERIFY(!p.mainWindow.boardView->Board().pressed);
    }

    void picturesOfEveryKindDecodedOncePerBuild()
    {
        Setup set;
        QVERIFY(set.ok);
        set.folder.PutPicture("a.bmp", BmpBytes(20, 10));
        set.folder.PutPicture("b.emf", EmfBytes());
        set.folder.PutPicture("c.wmf", WmfBytes());
        set.folder.PutPicture("d.png", BmpBytes(8, 8));        // a bitmap named as a PNG
        set.folder.PutPicture("e.ico", QByteArray("no icon"));  // cannot be decoded
        QVERIFY(InsertGroup(set.session, 1, "bmp", "a.bmp", "0", "0"));
        QVERIFY(InsertGroup(set.session, 2, "ico", "icon1.ico", "0", "0"));
        QVERIFY(InsertGroup(set.session, 3, "emf", "b.emf", "0", "0"));
        QVERIFY(InsertGroup(set.session, 4, "wmf", "c.wmf", "0", "0"));
        QVERIFY(InsertGroup(set.session, 5, "png", "d.png", "0", "0"));
        QVERIFY(InsertGroup(set.session, 6, "bad", "e.ico", "0", "0"));
        QVERIFY(InsertGroup(set.session, 7, "gone", "gone.bmp", "0", "0"));
        QVERIFY(InsertGroup(set.session, 8, "again", "a.bmp", "0", "0"));
        QVERIFY(InsertGroup(set.session, 9, "none", "", "0", "0"));
        set.Done();
        Program p(set.folder.programFile());
        QVERIFY(p.Show());

        QCOMPARE(p.mainWindow.boardView->GroupIcon(1)->size(), QSize(20, 10));
        QCOMPARE(p.mainWindow.boardView->GroupIcon(2)->size(), QSize(32, 32));
        QCOMPARE(p.mainWindow.boardView->GroupIcon(3)->size(), QSize(48, 24));
        QCOMPARE(p.mainWindow.boardView->GroupIcon(4)->size(), QSize(96, 48));
        // A missing or empty picture name shows the default picture, and so does one of
        // another kind or one that cannot be decoded.
        for (int n : {5, 6, 7, 9}) {
            QCOMPARE(p.mainWindow.boardView->GroupIcon(n)->size(), QSize(32, 32));
            QVERIFY(p.mainWindow.boardView->GroupCaption(n));
        }
        QCOMPARE(p.mainWindow.boardView->GroupIcon(5)->pixmap().toImage(), p.mainWindow.boardView->GroupIcon(7)->pixmap().toImage());
        // a.bmp, icon1.ico, b.emf, c.wmf, d.png, e.ico: one decode each, the metafiles
        // and the PNG by the helper.
        QCOMPARE(p.mainWindow.boardView->Pictures().DecodeCount(), 6);
        QCOMPARE(p.mainWindow.boardView->Pictures().HelperRunCount(), 3);

        // The next build decodes afresh (a picture may have been replaced).
        set.folder.PutPicture("a.bmp", BmpBytes(30, 30));
        p.mainWindow.boardView->BuildBoard();
        QCOMPARE(p.mainWindow.boardView->Pictures().DecodeCount(), 12);
        QCOMPARE(p.mainWindow.boardView->GroupIcon(1)->size(), QSize(30, 30));
        QCOMPARE(p.mainWindow.boardView->GroupIcon(8)->size(), QSize(30, 30));
    }

    void thousandGroupsBuildQuickly()
    {
        Setup set;
        QVERIFY(set.ok);
        set.folder.PutPicture("a.bmp", BmpBytes(20, 10));
        set.folder.PutPicture("b.emf", EmfBytes());
        set.folder.PutPicture("c.wmf", WmfBytes());
        set.folder.PutPicture("d.bmp", BmpBytes(40, 40));
        const char* pictures[] = {"a.bmp", "b.emf", "c.wmf", "d.bmp", ""};
        for (int n = 1; n <= 1000; ++n)
            QVERIFY(InsertGroup(set.session, n, "g" + std::to_string(n), pictures[n % 5],
                                std::to_string(n % 40 * 64), std::to_string(n / 40 * 64)));
        set.Done();
        Program p(set.folder.programFile());
        QVERIFY(p.Show());
        // The median of three builds, each after the last one's controls are gone: the
        // machine may be busy with other work.
        std::vector<qint64> times;
        for (int round = 0; round < 3; ++round) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QElapsedTimer clock;
            clock.start();
            p.mainWindow.boardView->BuildBoard();
            times.push_back(clock.elapsed());
        }
        std::sort(times.begin(), times.end());
        const qint64 ms = times[1];
        qInfo("board of 1000 groups built in %lld ms (median of 3)", ms);
        // Five distinct pictures (the default among them), two of them metafiles: five
        // decodes and two helper processes for the thousand icons.
        QCOMPARE(p.mainWindow.boardView->Pictures().DecodeCount(), 5 * 4);
        QCOMPARE(p.mainWindow.boardView->Pictures().HelperRunCount(), 2 * 4);
        // How fast is the benchmark's question (it measures on a quiet machine); this
        // bound only catches a return of the quadratic steps, which took seconds, on a
        // machine busy with other builds and tests.
#if !defined(__SANITIZE_ADDRESS__)
        QVERIFY2(ms < 3000, "a board of 1000 groups builds within three seconds");
#endif
    }

    void rebuildKeepsLabelsFoundByNumberAndName()
    {
        Setup set;
        QVERIFY(set.ok);
        set.folder.PutPicture("a.bmp", BmpBytes(20, 10));
        QVERIFY(InsertGroup(set.session, 1, "one", "a.bmp", "0", "0"));
        QVERIFY(InsertGroup(set.session, 2, "two", "", "100", "0"));
        QVERIFY(InsertGroup(set.session, 3, "three", "", "200", "0"));
        set.Done();
        Program p(set.folder.programFile());
        QVERIFY(p.Show());
        BoardView& view = *p.mainWindow.boardView;
        auto& db = p.mainWindow.Session();
        QLabel* one = view.GroupIcon(1);
        QLabel* oneCaption = view.GroupCaption(1);
        QPointer<QLabel> three = view.GroupIcon(3);
        const int narrow = oneCaption->width();

        // Another copy renamed group 1, moved group 2 and deleted group 3.
        QVERIFY(db.ExecuteStatement({"UPDATE GRPJWW SET GRPNAME='one, renamed longer', ICONP='' WHERE N=1"}));
        QVERIFY(db.ExecuteStatement({"UPDATE GRPJWW SET X=150, Y=60 WHERE N=2"}));
        QVERIFY(db.DeleteRecords(kCatalogueTable, "N=3"));
        view.BuildBoard();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        QCOMPARE(view.GroupIcon(1), one);
        QCOMPARE(view.GroupCaption(1), oneCaption);
        QCOMPARE(one->size(), QSize(32, 32));   // the default picture now
        QCOMPARE(oneCaption->text(), QString("one, renamed longer"));
        QVERIFY(oneCaption->width() > narrow);
        QCOMPARE(oneCaption->pos(), QPoint(16 - oneCaption->width() / 2, 32 + 3));
        QCOMPARE(view.GroupIcon(2)->pos(), QPoint(150, 60));
        QVERIFY(!view.GroupIcon(3) && !view.GroupCaption(3));
        QVERIFY(!three);   // released
        // By number and by object name, the same controls.
        for (int n : {1, 2}) {
            QCOMPARE(view.canvas->findChild<QLabel*>(QString("groupIcon%1").arg(n)), view.GroupIcon(n));
            QCOMPARE(view.canvas->findChild<QLabel*>(QString("groupCaption%1").arg(n)), view.GroupCaption(n));
        }
        // A group added and one removed by a command are found, and no longer found.
        view.Board().AddSlot(4);
        QVERIFY(db.ExecuteStatement({"INSERT INTO GRPJWW (N, GRPNAME, X, Y) VALUES (4, 'four', 300, 0)"}));
        view.AddGroupIconFromRecord(view.Board().ReadGroup(4).value());
        QCOMPARE(view.GroupCaption(4)->text(), QString("four"));
        QCOMPARE(view.GroupIcon(4)->pos(), QPoint(300, 0));
        view.Board().RemoveGroupIcon(4);
        QVERIFY(!view.GroupIcon(4) && !view.GroupCaption(4));
    }

    void missingDefaultPictureGivesAPlaceholder()
    {
        Setup set;
        QVERIFY(set.ok);
        QVERIFY(QFile::remove(set.folder.imgPath("icon1.ico")));
        set.folder.PutPicture("cut.wmf", WmfBytes().left(60));
        QVERIFY(InsertGroup(set.session, 1, "one", "", "0", "0"));
        QVERIFY(InsertGroup(set.session, 2, "two", "cut.wmf", "50", "0"));
        set.Done();
        Program p(set.folder.programFile());
        QVERIFY(p.Show());
        for (int n : {1, 2}) {
            QCOMPARE(p.mainWindow.boardView->GroupIcon(n)->size(), QSize(32, 32));
            QTest::mouseClick(p.mainWindow.boardView->GroupIcon(n), Qt::LeftButton, {}, QPoint(3, 3));
            QCOMPARE(p.mainWindow.boardView->Board().selectedGroup, n);
        }
        QVERIFY(p.fake.messages.shown.isEmpty());
    }

    void hostilePicturesNeverStopTheBoard()
    {
        Setup set;
        QVERIFY(set.ok);
        QFile::copy(set.folder.imgPath("icon1.ico"), set.folder.path() + "outside.ico");
        set.folder.PutPicture("glyphs.emf", GlyphIndexEmfBytes());
        set.folder.PutPicture("zero.wmf", BitmapWmfBytes(0));
        set.folder.PutPicture("huge.bmp", HugeRleBmpBytes());
        set.folder.PutPicture("cut.emf", EmfBytes().left(100));
        set.folder.PutPicture("cut.bmp", BmpBytes(40, 40).left(300));
        set.folder.PutPicture("plan.bmp", BmpBytes(40, 25));
        const std::vector<std::pair<std::string, QSize>> groups{
            {"glyphs.emf", {100, 30}},     // drawn, text and all
            {"zero.wmf", {32, 32}},        // refused before the library sees it
            {"huge.bmp", {1024, 1024}},    // shrunk by the helper, never whole in here
            {"cut.emf", {32, 32}},
            {"cut.bmp", {32, 32}},
            {"../outside.ico", {32, 32}},  // the default, not the file outside img/
            {"../img/plan.bmp", {32, 32}},
        };
        for (size_t i = 0; i < groups.size(); ++i)
            QVERIFY(InsertGroup(set.session, int(i) + 1, "g", groups[i].first, std::to_string(i * 40), "0"));
        set.Done();
        Program p(set.folder.programFile());
        QElapsedTimer clock;
        clock.start();
        QVERIFY(p.Show());
        QVERIFY2(clock.elapsed() < 4000, "no picture waits for the helper's time limit");
        for (size_t i = 0; i < groups.size(); ++i) {
            QLabel* icon = p.mainWindow.boardView->GroupIcon(int(i) + 1);
            QVERIFY(icon && p.mainWindow.boardView->GroupCaption(int(i) + 1));
            QCOMPARE(icon->size(), groups[i].second);
        }
        // The default picture is the one shown for the escaping names, not the outside file.
        QCOMPARE(p.mainWindow.boardView->GroupIcon(6)->pixmap().toImage(), p.mainWindow.boardView->GroupIcon(2)->pixmap().toImage());
    }

    void scrolledBoardReachesEveryGroup()
    {
        Setup set;
        QVERIFY(set.ok);
        QVERIFY(InsertGroup(set.session, 1, "near", "", "10", "10"));
        QVERIFY(InsertGroup(set.session, 2, "far", "", "2000", "1500"));
        set.Done();
        Program p(set.folder.programFile());
        QVERIFY(p.Show());
        QScrollArea* view = p.mainWindow.boardView;
        QVERIFY(view->horizontalScrollBar()->isVisible());
        QVERIFY(view->verticalScrollBar()->isVisible());
        QLabel* far = p.mainWindow.boardView->GroupIcon(2);
        QCOMPARE(far->pos(), QPoint(2000, 1500));
        QVERIFY(p.mainWindow.boardView->canvas->width() >= 2032 && p.mainWindow.boardView->canvas->height() > 1532);

        // Scrolled into view, it is dragged like any other, in board positions.
        view->ensureWidgetVisible(far);
        QVERIFY(view->horizontalScrollBar()->value() > 0);
        QTest::mousePress(far, Qt::LeftButton, {}, QPoint(10, 12));
        DragTo(far, QPoint(2040, 1530));
        QCOMPARE(far->pos(), QPoint(2030, 1518));
        QTest::mouseRelease(far, Qt::LeftButton, {}, QPoint(10, 12));
        QCOMPARE(StoredX(p.mainWindow.Session(), 2), std::string("2030"));
        QCOMPARE(StoredY(p.mainWindow.Session(), 2), std::string("1518"));

        // Back at the top left, the board is no larger than the window again.
        p.mainWindow.findChild<QAction*>("mnuMoveGroup")->trigger();
        QCOMPARE(far->pos(), QPoint(0, 0));
        QTRY_VERIFY(!view->horizontalScrollBar()->isVisible());
        QCOMPARE(p.mainWindow.boardView->canvas->size(), view->viewport()->size());
    }

    void selectionIsMarkedAndCaptionsSelect()
    {
        Setup set;
        QVERIFY(set.ok);
        QVERIFY(InsertGroup(set.session, 1, "one", "", "10", "10", "\x8E\x52\x93\x63", "<b>title</b>"));
        QVERIFY(InsertGroup(set.session, 2, "two", "", "200", "10"));
        set.Done();
        Program p(set.folder.programFile());
        QVERIFY(p.Show());
        QLabel* caption1 = p.mainWindow.boardView->GroupCaption(1);
        QLabel* caption2 = p.mainWindow.boardView->GroupCaption(2);
        const QColor highlight = caption1->palette().color(QPalette::Active, QPalette::Highlight);

        // A click on a caption selects its group like a click on its picture.
        QTest::mouseClick(caption2, Qt::LeftButton, {}, QPoint(2, 2));
        QCOMPARE(p.mainWindow.boardView->Board().selectedGroup, 2);
        QCOMPARE(p.mainWindow.groupNumberField->text(), QString("2"));
        QCOMPARE(Background(caption2), highlight);
        QCOMPARE(Background(caption1), QColor(255, 255, 255));

        // Dragged by its caption, the icon moves with the pointer.
        QLabel* icon1 = p.mainWindow.boardView->GroupIcon(1);
        QTest::mousePress(caption1, Qt::LeftButton, {}, QPoint(4, 4));
        QTest::mouseMove(caption1, QPoint(4, 4) + QPoint(30, 20));
        QCOMPARE(icon1->pos(), QPoint(40, 30));
        QCOMPARE(Background(caption1), QColor(192, 192, 192));
        QTest::mouseRelease(caption1, Qt::LeftButton, {}, QPoint(34, 24));
        QCOMPARE(Background(caption1), highlight);
        QCOMPARE(Background(caption2), QColor(255, 255, 255));

        // The tooltip holds the group in full, its texts as text.
        const QString tip = p.mainWindow.boardView->GroupTip(1);
        QVERIFY(tip.contains("one") && tip.contains("山田") && tip.contains("&lt;b&gt;title&lt;/b&gt;"));
        QVERIFY(p.mainWindow.boardView->GroupTip(9).isEmpty());
    }

};

QTEST_MAIN(TestBoardWindow)
#include "test_boardwindow.moc"
