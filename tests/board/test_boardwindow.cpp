// The board in the real main window, driven with the mouse: icons from the catalogue
// at their stored places, dragging within the limits, what reaches the database, and
// the pictures of the four kinds.
#include <QLabel>
#include <QLineEdit>
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
        QCOMPARE(p.mainWindow.Board().slotCount, 5);
        QVERIFY(!p.mainWindow.GroupIcon(1));
        QVERIFY(!p.mainWindow.GroupIcon(3));
        QLabel* two = p.mainWindow.GroupIcon(2);
        QLabel* five = p.mainWindow.GroupIcon(5);
        QVERIFY(two && five);
        QCOMPARE(two->geometry(), QRect(0, 20, 32, 32));      // a stored negative X shows at 0
        QCOMPARE(five->geometry(), QRect(100, 50, 40, 25));   // natural size of the picture
        QCOMPARE(two->property("tag").toInt(), 2);
        QLabel* caption = p.mainWindow.GroupCaption(5);
        QVERIFY(caption);
        QCOMPARE(caption->text(), QString("five"));
        QCOMPARE(caption->pos(), QPoint(100 + 20 - caption->width() / 2, 50 + 25 + 3));
        QCOMPARE(Background(caption), QColor(255, 255, 255));
        QVERIFY(caption->autoFillBackground());
        QCOMPARE(p.mainWindow.GroupCaption(2)->text(), QString("図面一式"));
        QCOMPARE(Background(p.mainWindow.clientArea), QColor(255, 255, 255));
        QCOMPARE(p.mainWindow.detailPanel->height(), 76);
        QCOMPARE(p.mainWindow.statusLine->height(), 19);
        // Nothing is selected and the panel is empty at start.
        QCOMPARE(p.mainWindow.Board().selectedGroup, 0);
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
        QLabel* icon = p.mainWindow.GroupIcon(1);
        QLabel* caption = p.mainWindow.GroupCaption(1);
        QVERIFY(icon && caption);
        const int width = p.mainWindow.clientArea->width();
        const int bottom = p.mainWindow.clientArea->height() - 76 - 19 - 32;

        QTest::mousePress(icon, Qt::LeftButton, {}, QPoint(10, 12));
        QCOMPARE(p.mainWindow.Board().pressedGroup, 1);
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
        QVERIFY(!p.mainWindow.Board().pressed);
        QCOMPARE(Background(caption), QColor(255, 255, 255));
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
        QLabel* other = p.mainWindow.GroupIcon(2);
        QTest::mousePress(other, Qt::RightButton, {}, QPoint(5, 5));
        QTest::mouseMove(other, QPoint(80, 90));
        QTest::mouseRelease(other, Qt::RightButton, {}, QPoint(80, 90));
        QCOMPARE(other->pos(), QPoint(300, 50));
        QCOMPARE(p.mainWindow.Board().selectedGroup, 2);
        QCOMPARE(p.mainWindow.groupNumberField->text(), QString("2"));
        QCOMPARE(UpdateCount(statements), 1);

        // The new position is there after a restart.
        p.Close();
        Program again(set.folder.programFile());
        QVERIFY(again.Show());
        QCOMPARE(again.mainWindow.GroupIcon(1)->pos(), QPoint(50, 28));
        QCOMPARE(again.mainWindow.GroupIcon(2)->pos(), QPoint(300, 50));
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
        GroupBoard& board = p.mainWindow.Board();
        board.IconMouseDown(1, 3, 3);
        QTest::mouseMove(p.mainWindow.clientArea, QPoint(300, 100));
        QTRY_VERIFY(!board.pressed);
        QCOMPARE(board.selectedGroup, 1);
        QCOMPARE(p.mainWindow.groupNumberField->text(), QString("1"));
        QCOMPARE(p.mainWindow.GroupIcon(1)->pos(), QPoint(10, 10));
    }

    void doubleClickEndsThePress()
    {
        Setup set;
        QVERIFY(set.ok);
        QVERIFY(InsertGroup(set.session, 1, "one", "", "10", "10"));
        set.Done();
        Program p(set.folder.programFile());
        QVERIFY(p.Show());
        QLabel* icon = p.mainWindow.GroupIcon(1);
        QTest::mousePress(icon, Qt::LeftButton, {}, QPoint(3, 3));
        QTest::mouseDClick(icon, Qt::LeftButton, {}, QPoint(3, 3));
        QVERIFY(!p.mainWindow.Board().pressed);
        QCOMPARE(p.mainWindow.Board().pressedGroup, 0);
        QTest::mouseRelease(icon, Qt::LeftButton, {}, QPoint(3, 3));
        QVERIFY(!p.mainWindow.Board().pressed);
    }

    void picturesOfEveryKindDecodedOncePerBuild()
    {
        Setup set;
        QVERIFY(set.ok);
        set.folder.PutPicture("a.bmp", BmpBytes(20, 10));
        set.folder.PutPicture("b.emf", EmfBytes());
        set.folder.PutPicture("c.wmf", WmfBytes());
        set.folder.PutPicture("d.png", BmpBytes(8, 8));        // not one of the four kinds
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

        QCOMPARE(p.mainWindow.GroupIcon(1)->size(), QSize(20, 10));
        QCOMPARE(p.mainWindow.GroupIcon(2)->size(), QSize(32, 32));
        QCOMPARE(p.mainWindow.GroupIcon(3)->size(), QSize(48, 24));
        QCOMPARE(p.mainWindow.GroupIcon(4)->size(), QSize(96, 48));
        QVERIFY(!p.mainWindow.GroupIcon(5));
        QVERIFY(!p.mainWindow.GroupCaption(5));
        QVERIFY(!p.mainWindow.GroupIcon(6));
        QVERIFY(!p.mainWindow.Board().iconSlots[5].present);
        // A missing or empty picture name shows the default picture.
        QCOMPARE(p.mainWindow.GroupIcon(7)->size(), QSize(32, 32));
        QCOMPARE(p.mainWindow.GroupIcon(9)->size(), QSize(32, 32));
        QVERIFY(!p.mainWindow.GroupIcon(7)->pixmap().isNull());
        // a.bmp, icon1.ico, b.emf, c.wmf, d.png, e.ico: one decode each.
        QCOMPARE(p.mainWindow.Pictures().DecodeCount(), 6);

        // The next build decodes afresh (a picture may have been replaced).
        set.folder.PutPicture("a.bmp", BmpBytes(30, 30));
        p.mainWindow.BuildBoard();
        QCOMPARE(p.mainWindow.Pictures().DecodeCount(), 12);
        QCOMPARE(p.mainWindow.GroupIcon(1)->size(), QSize(30, 30));
        QCOMPARE(p.mainWindow.GroupIcon(8)->size(), QSize(30, 30));
    }

    void missingDefaultPictureGivesNoIcon()
    {
        Setup set;
        QVERIFY(set.ok);
        QVERIFY(QFile::remove(set.folder.imgPath("icon1.ico")));
        QVERIFY(InsertGroup(set.session, 1, "one", "", "0", "0"));
        set.Done();
        Program p(set.folder.programFile());
        QVERIFY(p.Show());
        QCOMPARE(p.mainWindow.Board().slotCount, 1);
        QVERIFY(!p.mainWindow.GroupIcon(1));
        QVERIFY(p.fake.messages.shown.isEmpty());
    }
};

QTEST_MAIN(TestBoardWindow)
#include "test_boardwindow.moc"
