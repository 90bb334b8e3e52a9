// The board's logic against the real server, with stand-in controls: what a catalogue
// turns into, what a drag writes, and the arithmetic of the limits.
#include <memory>
#include <set>

#include <QtTest>

#include "board/board.h"
#include "catalogue.h"
#include "db/schema.h"
#include "support/testdb.h"
#include "text/textutil.h"

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
    int l = 0, t = 0, w = 0, h = 16;
    bool marked = false;
    std::string text;
    int Width() const override { return w; }
    int Height() const override { return h; }
    void MoveTo(int left, int top) override { l = left, t = top; }
    void SetDragMark(bool dragging) override { marked = dragging; }
};

struct FakeHost : BoardHost {
    std::set<std::string> files{"icon1.ico", "plan.bmp", "broken.bmp"};
    std::set<std::string> broken{"broken.bmp"};
    std::vector<std::vector<std::string>> prepared;
    std::vector<std::pair<int, std::string>> created;   // group, picture
    std::vector<std::string> refreshed;                 // pictures given to kept icons
    std::vector<std::unique_ptr<FakeIcon>> icons;
    std::vector<std::unique_ptr<FakeCaption>> captions;
    int destroyed = 0;
    std::vector<std::string> details{5};
    int detailCalls = 0;
    int width = 608, boardHeight = 206;
    bool keepsNoIcon = false;   // RefreshIcon refuses every icon

    bool IconFileExists(const std::string& f) override { return files.count(f) > 0; }
    BoardIcon* CreateIcon(int group, int x, int y, const std::string& f) override
    {
        created.emplace_back(group, f);
        if (!f.empty() && (broken.count(f) || !files.count(f))) return nullptr;   // "" is the placeholder
        auto icon = std::make_unique<FakeIcon>();
        icon->l = x, icon->t = y;
        icons.push_back(std::move(icon));
        return icons.back().get();
    }
    BoardCaption* CreateCaption(int, const std::string& text) override
    {
        auto c = std::make_unique<FakeCaption>();
        RefreshCaption(c.get(), text);
        captions.push_back(std::move(c));
        return captions.back().get();
    }
    bool RefreshIcon(BoardIcon* icon, int x, int y, const std::string& f) override
    {
        refreshed.push_back(f);
        if (keepsNoIcon) return false;
        if (!f.empty() && (broken.count(f) || !files.count(f))) return false;
        icon->MoveTo(x, y);
        return true;
    }
    void RefreshCaption(BoardCaption* caption, const std::string& text) override
    {
        auto* c = static_cast<FakeCaption*>(caption);
        c->text = text;
        c->w = static_cast<int>(text.size()) * 7;
    }
    void PreparePictures(const std::vector<std::string>& f) override { prepared.push_back(f); }
    void ShowControls(BoardIcon*, BoardCaption*) override {}
    void DestroyControls(BoardIcon*, BoardCaption*) override { ++destroyed; }
    void ShowDetails(const GroupRecord& g) override
    {
        details = {g.name, g.author, g.number != 0 ? IntToStr(g.number) : std::string(), g.title, g.subtitle};
        ++detailCalls;
    }
    int ClientWidth() const override { return width; }
    int BoardHeight() const override { return boardHeight; }
};

FakeIcon* IconOf(GroupBoard& board, int group) { return static_cast<FakeIcon*>(board.iconSlots.at(group).icon); }
FakeCaption* CaptionOf(GroupBoard& board, int group) { return static_cast<FakeCaption*>(board.iconSlots.at(group).caption); }
using Made = std::pair<int, std::string>;

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
        QVERIFY(CreateCatalogueTable(fresh.session));
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
        QCOMPARE(int(board.iconSlots.size()), 4);   // only the numbers that have rows
        for (int n : {1, 3, 4, 6}) QVERIFY(!board.PresentSlot(n));
        for (int n : {2, 5, 7, 8}) QVERIFY(board.PresentSlot(n));
        // Empty and missing picture names fall back to the default picture, and so does
        // one that cannot be decoded: no group is left without an icon.
        QCOMPARE(host.created, (std::vector<Made>{{2, "icon1.ico"}, {5, "icon1.ico"}, {7, "broken.bmp"},
                                                  {7, "icon1.ico"}, {8, "plan.bmp"}}));
        // Every picture is handed over once, before the first icon is built.
        QCOMPARE(host.prepared, (std::vector<std::vector<std::string>>{{"icon1.ico", "broken.bmp", "plan.bmp"}}));
        // A stored negative X shows at 0; the catalogue keeps it until the icon moves.
        QCOMPARE(IconOf(board, 2)->l, 0);
        QCOMPARE(board.iconSlots.at(2).x, 0);
        QCOMPARE(StoredX(s, 2), std::string("-10"));
        QCOMPARE(IconOf(board, 5)->t, 0);   // NULL Y
        QCOMPARE(IconOf(board, 7)->l, 5);
        // Captions centred 3 pixels under their icons.
        auto* caption = CaptionOf(board, 8);
        QCOMPARE(caption->l, 70 + 16 - caption->w / 2);
        QCOMPARE(caption->t, 80 + 32 + 3);

        // A rebuild keeps the controls of every group still there.
        host.created.clear();
        host.refreshed.clear();
        board.BuildBoard();
        QCOMPARE(host.destroyed, 0);
        QVERIFY(host.created.empty());

        // Not even the default picture: a plain placeholder, still a group in reach, on
        // the icon it had.
        host.broken.insert("icon1.ico");
        host.refreshed.clear();
        board.BuildBoard();
        QVERIFY(host.created.empty());
        QCOMPARE(host.refreshed, (std::vector<std::string>{"icon1.ico", "", "icon1.ico", "", "broken.bmp", "icon1.ico",
                                                           "", "plan.bmp"}));
        GroupBoard again(s, host);
        again.BuildBoard();
        QVERIFY(again.PresentSlot(7));
        QCOMPARE(host.created[0], (Made{2, "icon1.ico"}));
        QCOMPARE(host.created[1], (Made{2, ""}));
    }

    void hostileRowsStayBounded()
    {
        // Rows written by hand or by other tools: the largest number, positions at the
        // ends of int, picture names that leave the icon folder.
        FreshSession fresh;
        QVERIFY(fresh.ok);
        DatabaseSession& s = fresh.session;
        QVERIFY(InsertGroup(s, 2147483647, "max", "../../outside.bmp", "2147483647", "-2147483648"));
        QVERIFY(InsertGroup(s, 3, "sub", "img/plan.bmp", "10", "10"));
        QVERIFY(InsertGroup(s, 4, "win", "..\\plan.bmp", "10", "10"));
        QVERIFY(InsertGroup(s, 5, "so", "\x83\x5C.bmp", "10", "10"));   // ソ: a backslash as its second byte
        FakeHost host;
        host.files.insert("\x83\x5C.bmp");
        GroupBoard board(s, host);
        board.BuildBoard();

        QCOMPARE(board.slotCount, 2147483647);
        QCOMPARE(int(board.iconSlots.size()), 4);
        QCOMPARE(IconOf(board, 2147483647)->l, kMaxBoardPosition);
        QCOMPARE(IconOf(board, 2147483647)->t, 0);
        QCOMPARE(host.created, (std::vector<Made>{{3, "icon1.ico"}, {4, "icon1.ico"}, {5, "\x83\x5C.bmp"},
                                                  {2147483647, "icon1.ico"}}));
        for (const char* name : {"..", ".", "a/b.bmp", "/etc/x.bmp", "C:\\x.bmp"}) QVERIFY(!PictureNameInFolder(name));
        for (const char* name : {"plan.bmp", "a..b.bmp", "\x83\x5C\x83\x5C.ico"}) QVERIFY(PictureNameInFolder(name));

        // The count stays at the largest number, and a drag there keeps within the board.
        board.AddSlot(7);
        QCOMPARE(board.slotCount, 2147483647);
        board.IconMouseDown(2147483647, 5, 5);
        board.MouseMove(true, {100, 100}, {0, 0});
        QCOMPARE(IconOf(board, 2147483647)->l, 95);
        board.MouseMove(false, {100, 100}, {0, 0});
        QCOMPARE(StoredX(s, 2147483647), std::string("95"));
    }

    void rebuildKeepsAndRefreshesControls()
    {
        // Between two builds another copy moved and renamed group 2, deleted group 5,
        // made group 6, and gave group 7 a picture that cannot be decoded.
        FreshSession fresh;
        QVERIFY(fresh.ok);
        DatabaseSession& s = fresh.session;
        QVERIFY(InsertGroup(s, 2, "two", "", "10", "10"));
        QVERIFY(InsertGroup(s, 5, "five", "", "100", "10"));
        QVERIFY(InsertGroup(s, 7, "seven", "plan.bmp", "200", "10"));
        FakeHost host;
        GroupBoard board(s, host);
        board.BuildBoard();
        FakeIcon* two = IconOf(board, 2);
        FakeCaption* twoCaption = CaptionOf(board, 2);
        FakeIcon* seven = IconOf(board, 7);
        board.IconMouseDown(2, 1, 1);
        board.MouseMove(true, {50, 60}, {0, 0});   // a drag the rebuild ends
        QVERIFY(twoCaption->marked);

        QVERIFY(s.ExecuteStatement({"UPDATE GRPJWW SET GRPNAME='renamed', X=-40, Y=70, ICONP='plan.bmp' WHERE N=2"}));
        QVERIFY(s.ExecuteStatement({"DELETE FROM GRPJWW WHERE N=5"}));
        QVERIFY(s.ExecuteStatement({"UPDATE GRPJWW SET ICONP='broken.bmp' WHERE N=7"}));
        QVERIFY(InsertGroup(s, 6, "six", "", "300", "10"));
        host.created.clear();
        board.BuildBoard();

        // Group 2 keeps its controls, with the new picture, place (held at 0) and text,
        // the caption centred under the icon again and no longer marked.
        QCOMPARE(IconOf(board, 2), two);
        QCOMPARE(CaptionOf(board, 2), twoCaption);
        QCOMPARE(two->l, 0);
        QCOMPARE(two->t, 70);
        QCOMPARE(board.iconSlots.at(2).x, 0);
        QCOMPARE(twoCaption->text, std::string("renamed"));
        QCOMPARE(twoCaption->l, 16 - twoCaption->w / 2);
        QCOMPARE(twoCaption->t, 70 + 32 + 3);
        QVERIFY(!twoCaption->marked);
        // Group 7 keeps its icon with the default picture; only group 6 is new and only
        // the deleted group 5 is released.
        QCOMPARE(IconOf(board, 7), seven);
        QCOMPARE(host.refreshed, (std::vector<std::string>{"plan.bmp", "broken.bmp", "icon1.ico"}));
        QCOMPARE(host.created, (std::vector<Made>{{6, "icon1.ico"}}));
        QCOMPARE(host.destroyed, 1);
        QVERIFY(!board.PresentSlot(5));
        QVERIFY(!board.iconSlots.count(5));
        QCOMPARE(board.slotCount, 7);

        // Controls that cannot be kept are made afresh, and the old ones released.
        host.keepsNoIcon = true;
        host.created.clear();
        board.BuildBoard();
        QCOMPARE(host.created, (std::vector<Made>{{2, "plan.bmp"}, {6, "icon1.ico"}, {7, "broken.bmp"}, {7, "icon1.ico"}}));
        QCOMPARE(host.destroyed, 1 + 3);
        QVERIFY(IconOf(board, 2) != two);

        // Without the catalogue every control goes.
        QVERIFY(s.DropTable(kCatalogueTable));
        board.BuildBoard();
        QCOMPARE(host.destroyed, 4 + 3);
        QVERIFY(board.iconSlots.empty());
    }

    void iconBuiltTwiceLeavesNoGhost()
    {
        // Another copy deleted group 2 and this copy's create got number 2 again.
        FreshSession fresh;
        QVERIFY(fresh.ok);
        QVERIFY(InsertGroup(fresh.session, 2, "old", "", "300", "40"));
        FakeHost host;
        GroupBoard board(fresh.session, host);
        board.BuildBoard();
        FakeIcon* old = IconOf(board, 2);
        board.AddSlot(2);
        board.AddGroupIcon(1, 0, 0, "new", "");
        QCOMPARE(host.destroyed, 1);
        QVERIFY(IconOf(board, 2) != old);
        board.IconMouseDown(2, 1, 1);
        board.MouseMove(true, {50, 60}, {0, 0});
        QCOMPARE(IconOf(board, 2)->l, 49);
        QCOMPARE(old->l, 300);   // the released control is not moved any more
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
        QVERIFY(CaptionOf(board, 7)->marked);
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
        QVERIFY(!CaptionOf(board, 7)->marked);
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
        // Another copy took numbers 3 to 5: the count reaches the new group's number, or
        // the new group could not be dragged until the next build.
        board.AddSlot(6);
        QCOMPARE(board.slotCount, 6);
        board.AddGroupIcon(5, 10, 10, "six", "");
        QVERIFY(board.PresentSlot(6));
        board.AddGroupIcon(6, 10, 10, "seven", "");   // outside the table: nothing
        QVERIFY(!board.PresentSlot(7));
        board.IconMouseDown(6, 0, 0);
        board.MouseMove(true, {500, 100}, {0, 0});
        QCOMPARE(IconOf(board, 6)->l, 500);
        board.RemoveGroupIcon(6);
        QVERIFY(!board.PresentSlot(6));
        QCOMPARE(host.destroyed, 1);
    }
};

QTEST_GUILESS_MAIN(TestBoard)
#include "test_board.moc"
