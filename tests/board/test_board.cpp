// The board's logic against the real server, with stand-in controls: what a catalogue
// turns into, what a drag writes, and the arithmetic of the limits.
#include <memory>
#include <set>

#include <QtTest>

#include "board/board.h"
#include "catalogue.h"
#include "support/testdb.h"

namespace {

struct FakeIcon : BoardIcon {
    int l = 0, t = 0, w = 32, h = 32;
    int Left() const override { return l; }
    int Top() const override { return t; }
    int Width() const override { return w; }
    int Height() const override { return h; }
    void MoveTo(int left, int top) override { l = left, t = top; }
};

struct FakeCaption : BoardCaption {
    int l = 0, t = 0, w = 0;
    bool marked = false;
    int Width() const override { return w; }
    void MoveTo(int left, int top) override { l = left, t = top; }
    void SetDragMark(bool dragging) override { marked = dragging; }
};

struct FakeHost : BoardHost {
    std::set<std::string> files{"icon1.ico", "plan.bmp", "broken.bmp"};
    std::set<std::string> broken{"broken.bmp"};
    std::vector<std::pair<int, std::string>> created;   // group, picture
    std::vector<std::unique_ptr<FakeIcon>> icons;
    std::vector<std::unique_ptr<FakeCaption>> captions;
    int destroyed = 0;
    std::vector<std::string> details{5};
    int detailCalls = 0;
    int width = 608, boardHeight = 206;

    bool IconFileExists(const std::string& f) override { return files.count(f) > 0; }
    BoardIcon* CreateIcon(int group, int x, int y, const std::string& f) override
    {
        created.emplace_back(group, f);
        if (broken.count(f) || !files.count(f)) return nullptr;
        auto icon = std::make_unique<FakeIcon>();
        icon->l = x, icon->t = y;
        icons.push_back(std::move(icon));
        return icons.back().get();
    }
    BoardCaption* CreateCaption(int, const std::string& text) override
    {
        auto c = std::make_unique<FakeCaption>();
        c->w = static_cast<int>(text.size()) * 7;
        captions.push_back(std::move(c));
        return captions.back().get();
    }
    void ShowControls(BoardIcon*, BoardCaption*) override {}
    void DestroyControls(BoardIcon*, BoardCaption*) override { ++destroyed; }
    void ShowDetails(const std::string& a, const std::string& b, const std::string& c, const std::string& d,
                     const std::string& e) override
    {
        details = {a, b, c, d, e};
        ++detailCalls;
    }
    int ClientWidth() const override { return width; }
    int BoardHeight() const override { return boardHeight; }
};

FakeIcon* IconOf(GroupBoard& board, int group) { return static_cast<FakeIcon*>(board.iconSlots[group - 1].icon); }

} // namespace

class TestBoard : public QObject {
    Q_OBJECT

private slots:
    void arithmetic()
    {
        // The worked example: grab 10, 12; pointer 400, 300; client origin 200, 150.
        QCOMPARE(DragPosition({400, 300}, {200, 150}, {10, 12}, 608, 206, 32), (BoardPoint{190, 138}));
        // Left and up stop at 0.
        QCOMPARE(DragPosition({205, 155}, {200, 150}, {10, 12}, 608, 206, 32), (BoardPoint{0, 0}));
        // Right stops at the client width (the icon itself may leave the window).
        QCOMPARE(DragPosition({2000, 300}, {200, 150}, {10, 12}, 608, 206, 32), (BoardPoint{608, 138}));
        // Down stops where the icon's bottom meets the panel.
        QCOMPARE(DragPosition({400, 2000}, {200, 150}, {10, 12}, 608, 206, 32), (BoardPoint{190, 174}));
        // A window too low for the icon: the upper limit is applied last and wins.
        QCOMPARE(DragPosition({400, 100}, {200, 150}, {10, 12}, 608, 20, 32), (BoardPoint{190, -12}));

        QCOMPARE(CaptionPosition(100, 40, 32, 32, 45), (BoardPoint{100 + 16 - 22, 75}));
        QCOMPARE(CaptionPosition(0, 0, 33, 10, 90), (BoardPoint{16 - 45, 13}));
        QCOMPARE(PositionSetText(120, 48), std::string("X=120,Y=48"));
        QCOMPARE(GroupCondition(7), std::string("N=7"));
    }

    void emptyBoards()
    {
        FakeHost host;
        DatabaseSettings nowhere;
        DatabaseSession detached(nowhere);
        GroupBoard none(detached, host);
        none.BuildBoard();
        QCOMPARE(none.slotCount, 0);

        FreshSession fresh;
        QVERIFY(fresh.ok);
        GroupBoard board(fresh.session, host);
        board.BuildBoard();   // no catalogue table
        QCOMPARE(board.slotCount, 0);
        QVERIFY(fresh.session.CreateCatalogueTable());
        board.BuildBoard();   // empty catalogue: its maximum is NULL
        QCOMPARE(board.slotCount, 0);
        QVERIFY(board.iconSlots.empty());
        QVERIFY(host.created.empty());
    }

    void catalogueWithGapsAndOddRows()
    {
        FreshSession fresh;
        QVERIFY(fresh.ok);
        DatabaseSession& s = fresh.session;
        QVERIFY(InsertGroup(s, 2, "two", "", "-10", "30"));
        QVERIFY(InsertGroup(s, 5, "five", "missing.ico", "64", "", "", ""));
        QVERIFY(InsertGroup(s, 7, "seven", "broken.bmp", "5", "6"));
        QVERIFY(InsertGroup(s, 8, "eight", "plan.bmp", "70", "80"));
        FakeHost host;
        GroupBoard board(s, host);
        board.BuildBoard();

        QCOMPARE(board.slotCount, 8);
        QCOMPARE(int(board.iconSlots.size()), 8);
        for (int n : {1, 3, 4, 6}) QVERIFY(!board.iconSlots[n - 1].present);
        for (int n : {2, 5, 8}) QVERIFY(board.iconSlots[n - 1].present);
        // Empty and missing picture names fall back to the default picture.
        QCOMPARE(host.created[0], (std::pair<int, std::string>{2, "icon1.ico"}));
        QCOMPARE(host.created[1], (std::pair<int, std::string>{5, "icon1.ico"}));
        QCOMPARE(host.created[3], (std::pair<int, std::string>{8, "plan.bmp"}));
        // A stored negative X shows at 0; the catalogue keeps it until the icon moves.
        QCOMPARE(IconOf(board, 2)->l, 0);
        QCOMPARE(board.iconSlots[1].X, 0);
        QCOMPARE(StoredX(s, 2), std::string("-10"));
        QCOMPARE(IconOf(board, 5)->t, 0);   // NULL Y
        // A picture that cannot be loaded: no icon, the position is kept in the slot.
        QVERIFY(!board.iconSlots[6].present);
        QCOMPARE(board.iconSlots[6].X, 5);
        QCOMPARE(board.iconSlots[6].Y, 6);
        // Captions centred 3 pixels under their icons.
        auto* caption = static_cast<FakeCaption*>(board.iconSlots[7].caption);
        QCOMPARE(caption->l, 70 + 16 - caption->w / 2);
        QCOMPARE(caption->t, 80 + 32 + 3);

        // A rebuild releases exactly the present icons.
        board.BuildBoard();
        QCOMPARE(host.destroyed, 3);
    }

    void dragStoresOnceAndOnlyWhenMoved()
    {
        FreshSession fresh;
        QVERIFY(fresh.ok);
        DatabaseSession& s = fresh.session;
        QVERIFY(InsertGroup(s, 7, "\x90\x7D\x96\xCA", "", "100", "40", "\x8E\x52\x93\x63", "T", "S"));   // 図面, 山田
        QVERIFY(InsertGroup(s, 3, "three", "", "-20", "0"));
        FakeHost host;
        GroupBoard board(s, host);
        board.BuildBoard();
        std::vector<std::string> statements;
        s.SetStatementLog([&](const std::string& t) { statements.push_back(t); });
        const BoardPoint origin{200, 150};

        // Press 10, 12 inside the icon; a second press is ignored.
        board.IconMouseDown(7, 10, 12);
        board.IconMouseDown(3, 1, 1);
        QCOMPARE(board.pressedGroup, 7);
        QCOMPARE(board.grabX, 10);

        // The first motion with the left button moves the icon and shows the group.
        board.MouseMove(true, {200 + 130, 150 + 60}, origin);
        QCOMPARE(IconOf(board, 7)->l, 120);
        QCOMPARE(IconOf(board, 7)->t, 48);
        QVERIFY(static_cast<FakeCaption*>(board.iconSlots[6].caption)->marked);
        QCOMPARE(host.details[2], std::string("7"));
        QCOMPARE(host.details[0], std::string("\x90\x7D\x96\xCA"));
        QCOMPARE(host.details[1], std::string("\x8E\x52\x93\x63"));
        QCOMPARE(board.selectedGroup, 7);
        const int shownAfterFirst = host.detailCalls;
        board.MouseMove(true, {200 + 131, 150 + 60}, origin);
        board.MouseMove(true, {200 + 130, 150 + 60}, origin);
        QCOMPARE(host.detailCalls, shownAfterFirst);   // only the first motion reads the row
        QVERIFY(std::none_of(statements.begin(), statements.end(),
                             [](const std::string& t) { return t.rfind("UPDATE", 0) == 0; }));

        // The drop writes the exact statement once.
        board.MouseMove(false, {0, 0}, origin);
        QVERIFY(!board.pressed);
        QCOMPARE(board.pressedGroup, 0);
        QCOMPARE(board.selectedGroup, 7);
        QVERIFY(!static_cast<FakeCaption*>(board.iconSlots[6].caption)->marked);
        const std::string update = "UPDATE GRPJWW SET \r\n   X=120,Y=48\r\n   WHERE N=7\r\n   ;\r\n";
        QCOMPARE(std::count(statements.begin(), statements.end(), update), 1L);
        QCOMPARE(StoredX(s, 7), std::string("120"));
        QCOMPARE(StoredY(s, 7), std::string("48"));
        // Motion without a press does nothing.
        statements.clear();
        board.MouseMove(false, {0, 0}, origin);
        board.MouseMove(true, {0, 0}, origin);
        QVERIFY(statements.empty());

        // A press and release in place writes nothing but shows the group again.
        const int before = host.detailCalls;
        board.IconMouseDown(7, 3, 3);
        board.MouseMove(false, {0, 0}, origin);
        QCOMPARE(host.detailCalls, before + 1);
        QVERIFY(std::none_of(statements.begin(), statements.end(),
                             [](const std::string& t) { return t.rfind("UPDATE", 0) == 0; }));

        // A right-button press on group 3 selects it without moving it, and the stored
        // negative X stays as it is.
        board.IconMouseDown(3, 5, 5);
        board.MouseMove(false, {900, 900}, origin);
        QCOMPARE(board.selectedGroup, 3);
        QCOMPARE(host.details[2], std::string("3"));
        QCOMPARE(IconOf(board, 3)->l, 0);
        QCOMPARE(StoredX(s, 3), std::string("-20"));
    }

    void commandsAddSlotsBeyondTheCount()
    {
        FreshSession fresh;
        QVERIFY(fresh.ok);
        QVERIFY(InsertGroup(fresh.session, 2, "two", "", "0", "0"));
        FakeHost host;
        GroupBoard board(fresh.session, host);
        board.BuildBoard();
        board.AddSlot(6);
        QCOMPARE(board.slotCount, 3);
        QCOMPARE(int(board.iconSlots.size()), 6);
        board.AddGroupIcon(5, 10, 10, "six", "");
        QVERIFY(board.PresentSlot(6));
        // A drag of a group above the slot count is not taken.
        board.IconMouseDown(6, 0, 0);
        board.MouseMove(true, {500, 500}, {0, 0});
        QCOMPARE(IconOf(board, 6)->l, 10);
        board.RemoveGroupIcon(6);
        QVERIFY(!board.PresentSlot(6));
        QCOMPARE(host.destroyed, 1);
    }
};

QTEST_GUILESS_MAIN(TestBoard)
#include "test_board.moc"
