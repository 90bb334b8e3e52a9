// The group window as a user drives it: open a group from the board, look at its tree
// and list in the three styles, sort, file and remove entries, copy them to another
// group, edit memos and sub-groups; then look at what the database holds.
#include <functional>

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>
#include <QListView>
#include <QMimeData>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <QUrl>
#include <QStyledItemDelegate>
#include <QtTest>

#include "boardfixture.h"
#include "catalogue.h"
#include "db/schema.h"
#include "groupwin/filelistmodel.h"
#include "groupwin/groupwindow.h"
#include "groupwin/groupfingerprints.h"
#include "groupwin/samecontentwindow.h"
#include "groupcontrols.h"
#include "groupwin/subgroupnamedialog.h"
#include "memo/memodialog.h"
#include "settings/preferences.h"
#include "support/testdb.h"
#include "text/cp932.h"
#include "text/textutil.h"

namespace {

const std::string kJuutaku = "\x8F\x5A\x91\xEE\x41";   // 住宅A
const std::string kRawMemo = "a\x85\x40z";   // 0x8540: no character in CP932
const QString kTestData = QStringLiteral(KUMO_TESTDATA "/jww/");

std::string Cp(const QString& s) { return FromQ(s).value(); }

bool PutEntry(DatabaseSession& db, int group, int n, const std::string& name, const std::string& folder, int sn,
              const std::string& memo = "")
{
    return db.InsertRecord(FileTableName(group), kFileColumnCount, FileColumns(),
                           {IntToStr(n), TextLiteral(name), TextLiteral(folder), TextLiteral(memo), "'u'", IntToStr(sn)});
}

bool PutSubGroup(DatabaseSession& db, int group, int n, const std::string& name, const std::string& parent)
{
    return db.InsertRecord(SubGroupTableName(group), kSubGroupColumnCount, SubGroupColumns(),
                           {IntToStr(n), TextLiteral(name), "'u'", parent.empty() ? "NULL" : parent});
}

// count entries f1.jww ... in one statement, under sub-groups 0 to 4 in turn.
bool PutEntries(DatabaseSession& db, int group, int count, const std::string& folder)
{
    return db.ExecuteStatement(
        {"EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN",
         "  WHILE (I <= " + IntToStr(count) + ") DO BEGIN",
         "    INSERT INTO " + FileTableName(group) +
             " VALUES (:I, 'f' || :I || '.' || DECODE(MOD(:I, 3), 0, 'jww', 1, 'txt', 'pdf'),",
         "      '" + folder + "', 'memo ' || :I, 'user', MOD(:I, 5));",
         "    I = I + 1;", "  END", "END"});
}

// Counts, by type, the events a widget receives while it lives.
class EventCounter : public QObject {
public:
    explicit EventCounter(QObject* watched) { watched->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override
    {
        ++counts[e->type()];
        return false;
    }
    int Total() const
    {
        int n = 0;
        for (int c : counts) n += c;
        return n;
    }
    QMap<int, int> counts;
};

void PutFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// Runs start, which may show the modal dialog; inDialog acts on it while it is shown.
// Returns whether it was shown; a dialog still open afterwards is cancelled.
bool WithModal(QDialog* dialog, const std::function<void()>& start, const std::function<void()>& inDialog = {})
{
    bool shown = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        shown = dialog->isVisible();
        if (shown && inDialog) inDialog();
        if (dialog->isVisible()) dialog->reject();
    });
    timer.start(0);
    start();
    QCoreApplication::processEvents();
    return shown;
}

void Type(QLineEdit* edit, const QString& text)
{
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    // Characters beyond ASCII come as key events carrying text, as a keyboard layout sends them.
    for (QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(edit, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

QStringList Labels(QTreeWidgetItem* item)
{
    QStringList l;
    for (int i = 0; i < item->childCount(); ++i) l << item->child(i)->text(0);
    return l;
}

QTreeWidgetItem* Node(GroupWindow* w, const QString& label)
{
    const QList<QTreeWidgetItem*> found = Tree(w)->findItems(label, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
}

void ClickNode(GroupWindow* w, const QString& label)
{
    QTreeWidgetItem* item = Node(w, label);
    QVERIFY2(item, qPrintable(label));
    QTest::mouseClick(Tree(w)->viewport(), Qt::LeftButton, {}, Tree(w)->visualItemRect(item).center());
}

QStringList Column(GroupWindow* w, int cell)
{
    QStringList l;
    for (int r = 0; r < ReadRows(w)->rowCount(); ++r) l << ShownRows(w)->index(r, cell).data().toString();
    return l;
}

std::vector<std::string> Cells(const std::vector<TextRow>& rows, int column)
{
    std::vector<std::string> out;
    for (const TextRow& r : rows) out.push_back(r[column]);
    return out;
}

void SelectRows(GroupWindow* w, const std::vector<int>& rows)
{
    QItemSelectionModel* s = DetailView(w)->selectionModel();
    s->clearSelection();
    for (int r : rows)
        s->select(ShownRows(w)->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// Group 1's tables with sub-group "s" (1) under the root.
void TablesAndSubGroupS(DatabaseSession& db)
{
    QVERIFY(EnsureGroupTables(db, 1));
    QVERIFY(PutSubGroup(db, 1, 1, "s", "0"));
}

// Drags data over the view's viewport to the point and drops it there, as a file manager
// does; then lets the window act on it.
void Drop(QAbstractItemView* view, QPoint at, const QMimeData* data)
{
    QWidget* target = view->viewport();
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &move);
    QVERIFY(move.isAccepted());
    QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &drop);
    QCOMPARE(drop.dropAction(), Qt::CopyAction);
    QCoreApplication::processEvents();
}

QPoint NodeCenter(GroupWindow* w, const QString& label)
{
    QTreeWidgetItem* item = Node(w, label);
    return item ? Tree(w)->visualItemRect(item).center() : QPoint(-1, -1);
}

QMimeData* Urls(const QStringList& files)
{
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& f : files) urls << QUrl::fromLocalFile(f);
    data->setUrls(urls);
    return data;
}

// The program on a database with groups 1 (住宅A... named as given) and 2; the test
// fills the database first through `fill`.
struct Run {
    Setup set;
    std::unique_ptr<Program> p;
    GroupWindow* w = nullptr;

    explicit Run(const std::function<void(DatabaseSession&)>& fill = {})
    {
        if (!set.ok || !InsertGroup(set.session, 1, kJuutaku, "", "10", "10") ||
            !InsertGroup(set.session, 2, "two", "", "100", "10"))
            return;
        if (fill) fill(set.session);
        set.Done();
        p = std::make_unique<Program>(set.folder.programFile());
        if (!p->Show()) return;
        w = p->windows.groupWindow;
    }
    DatabaseSession& db() { return p->mainWindow.Session(); }
    FakePlatform& fake() { return p->fake; }
    void Open(int group)
    {
        QTest::mouseClick(p->mainWindow.boardView->GroupIcon(group), Qt::LeftButton, {}, QPoint(4, 4));
        p->mainWindow.findChild<QAction*>("mnuOpenGroup")->trigger();
    }
};

} // namespace

class TestGroupWindow : public QObject {
    Q_OBJECT
private slots:
    void openCommandShowsTheSelectedGroup()
    {
        Run run;
        QVERIFY(run.w);
        EntryClipboard& clipboard = run.p->mainWindow.Clipboard();
        clipboard.Add("/x/a", "m");

        // Nothing selected: nothing opens, no tables are made.
        run.p->mainWindow.findChild<QAction*>("mnuOpenGroup")->trigger();
        QVERIFY(!run.w->isVisible());
        QVERIFY(!run.db().TableExists(FileTableName(1)));

        run.Open(1);
        QVERIFY(run.w->isVisible());
        QCOMPARE(run.w->windowTitle(), QString("グループ名 【住宅A】 (N:1)"));
        QVERIFY(run.db().TableExists(FileTableName(1)) && run.db().TableExists(SubGroupTableName(1)));
        QCOMPARE(Tree(run.w)->topLevelItemCount(), 1);
        QCOMPARE(Tree(run.w)->topLevelItem(0)->text(0), QString("root :0"));
        QVERIFY(Tree(run.w)->selectedItems().isEmpty());
        QCOMPARE(ReadRows(run.w)->rowCount(), 0);
        QCOMPARE(Control<QPushButton>(run.w, "closeButton")->text(), QString("閉じる(&X)"));

        // A double-click on the other icon while the window is open replaces the group;
        // its tables are made then, those of group 1 not again.
        std::vector<std::string> sent;
        run.db().SetStatementLog([&](const std::string& s) { sent.push_back(s); });
        QTest::mouseClick(run.p->mainWindow.boardView->GroupIcon(2), Qt::LeftButton, {}, QPoint(4, 4));
        QTest::mouseDClick(run.p->mainWindow.boardView->GroupIcon(2), Qt::LeftButton, {}, QPoint(4, 4));
        QCOMPARE(run.w->windowTitle(), QString("グループ名 【two】 (N:2)"));
        QCOMPARE(int(std::count_if(sent.begin(), sent.end(), [](auto& s) { return s.rfind("CREATE TABLE", 0) == 0; })), 2);
        sent.clear();
        run.Open(2);
        QVERIFY(std::none_of(sent.begin(), sent.end(), [](auto& s) { return s.rfind("CREATE", 0) == 0; }));
        QVERIFY(PutEntry(run.db(), 2, 1, "a.jww", "/x/", 0));
        run.Open(2);
        QCOMPARE(ReadRows(run.w)->rowCount(), 1);

        // Esc closes and empties the window; the entry clipboard outlives it.
        QTest::keyClick(Tree(run.w), Qt::Key_Escape);
        QVERIFY(!run.w->isVisible());
        QCOMPARE(ReadRows(run.w)->rowCount(), 0);
        QCOMPARE(Tree(run.w)->topLevelItemCount(), 0);
        QCOMPARE(clipboard.Count(), 1);
        run.p->Close();
        QCOMPARE(clipboard.Count(), 0);
        clipboard.Add("/x/a", "m");
        QVERIFY(run.p->Show());
        QCOMPARE(clipboard.Count(), 0);
    }

    void detailColumnsFitTheirContentsUntilTheUserSetsThem()
    {
        const std::string longName = std::string(36, 'n') + ".jww";
        const std::string longMemo(250, 'm');
        struct Case {
            const char* what;
            std::vector<std::pair<int, int>> stored;   // column, width as the settings file gave it
            bool fitted;
        };
        const Case cases[] = {
            {"designed widths", {}, true},
            {"all at the minimum", {{0, 16}, {1, 16}, {2, 16}, {3, 16}, {4, 16}, {5, 16}, {6, 16}, {7, 16}, {8, 16}}, true},
            {"one width of the user's", {{3, 70}}, false},
        };
        for (const Case& c : cases) {
            Run run([&](DatabaseSession& db) {
                QVERIFY(GiveTables(db, 1, 0));
                QVERIFY(PutEntry(db, 1, 1, longName, "/x/", 0, longMemo));
            });
            QVERIFY2(run.w, c.what);
            for (auto [column, width] : c.stored) run.w->SetColumnWidth(column, width);
            run.w->SetViewStyleIndex(2);
            const std::vector<int> before = [&] {
                std::vector<int> widths;
                for (int i = 0; i < 9; ++i) widths.push_back(run.w->ColumnWidth(i));
                return widths;
            }();
            run.Open(1);
            QCOMPARE(ReadRows(run.w)->rowCount(), 1);
            const int nameWidth = DetailView(run.w)->fontMetrics().horizontalAdvance(QString::fromStdString(longName));
            if (c.fitted) {
                QVERIFY2(run.w->ColumnWidth(kCellName) >= nameWidth, c.what);
                // A long memo does not push the other columns away.
                QVERIFY2(run.w->ColumnWidth(kCellMemo) <= 400 && run.w->ColumnWidth(kCellMemo) > 100, c.what);
            } else {
                for (int i = 0; i < 9; ++i) QCOMPARE(run.w->ColumnWidth(i), before[size_t(i)]);
            }
            // Fitted once: a width set afterwards stays through another reading.
            run.w->SetColumnWidth(kCellName, 50);
            run.w->FillFileList();
            QCOMPARE(run.w->ColumnWidth(kCellName), 50);
        }
    }

    void filesTheSubGroupHoldsAreAskedAbout()
    {
        const QString held = kTestData + "Test1.jww", other = kTestData + "サンプル.jww";
        struct Case {
            const char* what;
            bool drop;
            int answer;                  // -1: no question expected
            std::vector<std::string> added;   // names filed by the command, in order
        };
        const Case cases[] = {
            {"paste, left out", false, 0, {"サンプル.jww"}},
            {"paste, filed again", false, 1, {"Test1.jww", "サンプル.jww"}},
            {"paste, cancelled", false, 2, {}},
            {"drop, left out", true, 0, {"サンプル.jww"}},
            {"drop, filed again", true, 1, {"Test1.jww", "サンプル.jww"}},
        };
        for (const Case& c : cases) {
            Run run([&](DatabaseSession& db) {
                TablesAndSubGroupS(db);
                // The same file under another sub-group is no reason to ask.
                QVERIFY(PutEntry(db, 1, 1, "Test1.jww", Cp(kTestData), 0));
                QVERIFY(PutEntry(db, 1, 2, "サンプル.jww", Cp(kTestData), 1));
            });
            QVERIFY2(run.w, c.what);
            FakeMessages& m = run.fake().messages;
            run.Open(1);
            ClickNode(run.w, "root :0");
            m.nextChoices.push_back(c.answer);
            if (c.drop) {
                std::unique_ptr<QMimeData> files(Urls({held, other}));
                Drop(IconView(run.w), QPoint(5, 5), files.get());
            } else {
                run.p->mainWindow.Clipboard().Add(Cp(held), "");
                run.p->mainWindow.Clipboard().Add(Cp(other), "");
                QTest::mouseClick(Control<QPushButton>(run.w, "pasteButton"), Qt::LeftButton);
            }
            QCOMPARE(m.asked.value(0), QString("既に登録されているファイルが 1 件あります。"));
            QCOMPARE(m.choices.value(0).value(0), QString("登録済みのファイルを除く(&S)"));
            const std::vector<TextRow> rows = AllRows(run.db(), FileTableName(1));
            QCOMPARE(rows.size(), 2 + c.added.size());
            for (size_t i = 0; i < c.added.size(); ++i) QCOMPARE(rows[2 + i][kFileName], Cp(QString::fromStdString(c.added[i])));
        }

        // What the sub-group holds cannot be read (another copy deleted the group): said
        // so, and nothing filed as if it held nothing.
        Run run(TablesAndSubGroupS);
        QVERIFY(run.w);
        run.Open(1);
        run.db().EndRead();
        {
            DatabaseSession other(run.set.db.settings);
            other.ConnectDatabase();
            QVERIFY(other.Connected());
            QVERIFY(other.DropTable(FileTableName(1)));
        }
        run.p->mainWindow.Clipboard().Add(Cp(held), "");
        QTest::mouseClick(Control<QPushButton>(run.w, "pasteButton"), Qt::LeftButton);
        QVERIFY(run.fake().messages.asked.isEmpty());
        QCOMPARE(run.fake().messages.shown.value(0),
                 "次のファイルは貼り付け出来ませんでした。\n" + held + "（登録済みか確認出来ませんでした）");
    }

    void treeListViewsAndSorting()
    {
        QTemporaryDir dir;
        const std::string folder = Cp(dir.path()) + "/";
        PutFile(dir.filePath("ten.jww"), QByteArray(10, 'x'));
        PutFile(dir.filePath("nine.JWW"), QByteArray(9, 'x'));
        PutFile(dir.filePath("Nine.txt"), QByteArray(9, 'x'));
        Run run([&](DatabaseSession& db) {
            QVERIFY(EnsureGroupTables(db, 1));
            QVERIFY(PutSubGroup(db, 1, 1, "a", "0") && PutSubGroup(db, 1, 2, "b", "1") && PutSubGroup(db, 1, 3, "c", "1") &&
                    PutSubGroup(db, 1, 4, "orphan", "9") && PutSubGroup(db, 1, 5, "null", ""));
            QVERIFY(PutEntry(db, 1, 1, "ten.jww", folder, 0) && PutEntry(db, 1, 2, "nine.JWW", folder, 2) &&
                    PutEntry(db, 1, 3, "gone.jww", folder, 2) && PutEntry(db, 1, 4, "Nine.txt", folder, 3));
        });
        QVERIFY(run.w);
        QPixmap picture(16, 16);
        picture.fill(Qt::darkBlue);
        run.fake().desktop.icon = QIcon(picture);
        run.Open(1);
        GroupWindow* w = run.w;
        QTreeWidgetItem* root = Tree(w)->topLevelItem(0);
        QCOMPARE(Labels(root), (QStringList{"a :1", "orphan :4", "null :5"}));
        QCOMPARE(Labels(root->child(0)), (QStringList{"b :2", "c :3"}));
        QCOMPARE(Column(w, kCellName), (QStringList{"ten.jww", "nine.JWW", "gone.jww", "Nine.txt"}));
        // One icon per type, asked once; none for the missing file.
        QCOMPARE(run.fake().desktop.iconsAsked.size(), 2);
        QVERIFY(!ShownRows(w)->index(0, 0).data(Qt::DecorationRole).isNull());
        QVERIFY(ShownRows(w)->index(2, 0).data(Qt::DecorationRole).isNull());
        QCOMPARE(ShownRows(w)->index(2, kCellTime).data().toString(), QString("<No File>"));
        QCOMPARE(ShownRows(w)->index(2, kCellSize).data().toString(), QString("0"));
        QCOMPARE(ReadRows(w)->headerData(kCellSubGroup, Qt::Horizontal, Qt::DisplayRole).toString(), QString("サブグループNo."));
        QCOMPARE(ShownRows(w)->index(0, kCellSize).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight,
                 Qt::AlignRight);

        // The list and details styles draw their cells themselves, to look as the
        // style's own drawing does: icon, text, alignment, selection and focus.
        IconView(w)->setCurrentIndex(ShownRows(w)->index(1, 0));
        IconView(w)->selectionModel()->select(ShownRows(w)->index(3, 0),
                                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
        for (int style : {1, 2}) {
            w->SetViewStyleIndex(style);
            QAbstractItemView* view = style == 2 ? static_cast<QAbstractItemView*>(DetailView(w)) : IconView(w);
            view->setFocus();
            QAbstractItemDelegate* ours = view->itemDelegate();
            const QImage drawn = view->viewport()->grab().toImage();
            QStyledItemDelegate plain;
            view->setItemDelegate(&plain);
            const QImage styled = view->viewport()->grab().toImage();
            view->setItemDelegate(ours);
            QCOMPARE(drawn, styled);
        }
        w->SetViewStyleIndex(0);
        IconView(w)->clearSelection();

        // A click on a sub-group lists its own entries only, read once; the keys move the
        // list along, and what is added files under the node now shown.
        std::vector<std::string> sent;
        run.db().SetStatementLog([&](const std::string& s) { sent.push_back(s); });
        ClickNode(w, "b :2");
        QCOMPARE(int(std::count_if(sent.begin(), sent.end(), [](auto& s) { return s.rfind("SELECT *", 0) == 0; })), 1);
        run.db().SetStatementLog({});
        QCOMPARE(w->CurrentSubGroup(), 2);
        QCOMPARE(Column(w, kCellName), (QStringList{"nine.JWW", "gone.jww"}));
        QTest::keyClick(Tree(w), Qt::Key_Down);
        QCOMPARE(w->CurrentSubGroup(), 3);
        QCOMPARE(Column(w, kCellName), QStringList{"Nine.txt"});
        run.fake().fileDialogs.nextFileNames.push_back({kTestData + "Test1.jww"});
        QTest::mouseClick(Control<QPushButton>(w, "addFilesButton"), Qt::LeftButton);
        QCOMPARE(Column(w, kCellSubGroup), (QStringList{"3", "3"}));
        QCOMPARE(run.db().CountRecords(FileTableName(1), "SN=3"), 2);
        QVERIFY(run.db().DeleteRecords(FileTableName(1), "N=5"));
        // Set by the program, the current node shows its entries too.
        Tree(w)->setCurrentItem(Node(w, "b :2"));
        QCOMPARE(ReadRows(w)->rowCount(), 2);
        ClickNode(w, "root :0");
        QCOMPARE(ReadRows(w)->rowCount(), 4);

        // Three styles of one list.
        const struct { int index; QWidget* view; QListView::ViewMode mode; } styles[] = {
            {0, IconView(w), QListView::IconMode}, {1, IconView(w), QListView::ListMode},
            {2, DetailView(w), QListView::IconMode}, {7, IconView(w), QListView::IconMode}};
        for (const auto& s : styles) {
            w->SetViewStyleIndex(s.index);
            QCOMPARE(Control<QStackedWidget>(w, "fileList")->currentWidget(), s.view);
            if (s.view == IconView(w)) QCOMPARE(IconView(w)->viewMode(), s.mode);
        }
        w->SetViewStyleIndex(1);
        QTest::mouseClick(IconView(w)->viewport(), Qt::LeftButton, {},
                          IconView(w)->visualRect(ShownRows(w)->index(0, 0)).center());
        QCOMPARE(w->SelectedRows(), std::vector<int>{0});
        w->SetViewStyleIndex(2);
        QVERIFY(DetailView(w)->selectionModel()->isRowSelected(0, {}));

        // A header click sorts ascending, sizes as numbers, and the selection follows its
        // row; the same header again sorts descending, equal rows keeping their order,
        // and a third time ascending again. The arrow says which.
        QHeaderView* header = DetailView(w)->header();
        const QStringList up{"gone.jww", "nine.JWW", "Nine.txt", "ten.jww"};
        const QStringList down{"ten.jww", "nine.JWW", "Nine.txt", "gone.jww"};
        const struct { QStringList names; Qt::SortOrder order; } clicks[] = {
            {up, Qt::AscendingOrder}, {down, Qt::DescendingOrder}, {up, Qt::AscendingOrder}};
        for (const auto& click : clicks) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(kCellSize) + 5, header->height() / 2));
            QCOMPARE(Column(w, kCellName), click.names);
            QCOMPARE(header->sortIndicatorSection(), int(kCellSize));
            QCOMPARE(header->sortIndicatorOrder(), click.order);
        }
        QCOMPARE(w->SelectedRows(), std::vector<int>{3});
        w->SortByColumn(kCellName);
        QCOMPARE(Column(w, kCellName), up);
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
        // Equal types keep the order of the sort before, and the current row moves along.
        w->SortByColumn(kCellType);
        QCOMPARE(Column(w, kCellName), (QStringList{"gone.jww", "nine.JWW", "ten.jww", "Nine.txt"}));
        QCOMPARE(DetailView(w)->currentIndex().row(), 2);
        QVERIFY(header->isSortIndicatorShown());

        // A file added to the sorted list stands at its end and the sort mark goes; a
        // refill shows the rows as read.
        PutFile(dir.filePath("a.txt"), "x");
        run.fake().fileDialogs.nextFileNames.push_back({dir.filePath("a.txt")});
        QTest::mouseClick(Control<QPushButton>(w, "addFilesButton"), Qt::LeftButton);
        QCOMPARE(Column(w, kCellName), (QStringList{"gone.jww", "nine.JWW", "ten.jww", "Nine.txt", "a.txt"}));
        QVERIFY(!header->isSortIndicatorShown());

        // Commands take the rows as shown: copied in the order shown, the chosen ones removed.
        SelectRows(w, {3, 0});
        w->CopyEntries();
        const std::vector<CopiedEntry>& copied = run.p->mainWindow.Clipboard().Entries();
        QCOMPARE(copied.size(), size_t(2));
        QCOMPARE(copied[0].path, folder + "gone.jww");
        QCOMPARE(copied[1].path, folder + "Nine.txt");
        run.fake().messages.nextAnswers = {true};
        w->RemoveEntries();
        QCOMPARE(Column(w, kCellName), (QStringList{"nine.JWW", "ten.jww", "a.txt"}));
        QCOMPARE(run.db().CountRecords(FileTableName(1), "N=3 OR N=4"), 0);
        ClickNode(w, "root :0");
        QCOMPARE(Column(w, kCellName), (QStringList{"ten.jww", "nine.JWW", "a.txt"}));
    }

    void subGroupCommands()
    {
        Run run;
        QVERIFY(run.w);
        run.Open(1);
        GroupWindow* w = run.w;
        SubGroupNameDialog* d = run.p->windows.subGroupNameDialog;
        FakeMessages& m = run.fake().messages;
        const std::string user = run.p->mainWindow.Settings().userName;

        // Created under the root when nothing is selected; a colon or a quote is refused.
        QVERIFY(WithModal(d, [&] { QTest::mouseClick(Control<QPushButton>(w, "createSubGroupButton"), Qt::LeftButton); }, [&] {
            QCOMPARE(d->windowTitle(), QString("サブグループの作成"));
            QCOMPARE(d->nameEdit->text(), QString());
            QCOMPARE(d->promptLabel->text(), QString("サブグループ名（最大半角32文字まで）"));
            Type(d->nameEdit, "図面:A");
            QTest::mouseClick(d->okButton, Qt::LeftButton);
            QCOMPARE(m.shown.last(), QString("引用符「'」「\"」「:」を入力しないで下さい"));
            QVERIFY(d->isVisible());
            // No name, or blanks only (the full-width one too): asked again.
            for (const QString& blank : {QString(), QString(" \u3000 ")}) {
                Type(d->nameEdit, blank);
                QTest::mouseClick(d->okButton, Qt::LeftButton);
                QCOMPARE(m.shown.last(), QString("サブグループ名を入力して下さい"));
                QVERIFY(d->isVisible());
            }
            Type(d->nameEdit, QString(20, QChar(0x56F3)));   // 図 × 20: 16 fit in 32 bytes
            QCOMPARE(d->nameEdit->text(), QString(16, QChar(0x56F3)));
            Type(d->nameEdit, "a");
            QTest::keyClick(d->nameEdit, Qt::Key_Return);
        }));
        QCOMPARE(Labels(Tree(w)->topLevelItem(0)), QStringList{"a :1"});
        ClickNode(w, "a :1");
        QVERIFY(WithModal(d, [&] { w->CreateSubGroupCommand(); }, [&] {
            Type(d->nameEdit, "b");
            QTest::mouseClick(d->okButton, Qt::LeftButton);
        }));
        QVERIFY(WithModal(d, [&] { w->CreateSubGroupCommand(); }, [&] { QTest::mouseClick(d->cancelButton, Qt::LeftButton); }));
        QCOMPARE(Labels(Node(w, "a :1")), QStringList{"b :2"});
        QCOMPARE(AllRows(run.db(), SubGroupTableName(1)), (std::vector<TextRow>{{"1", "a", user, "0"}, {"2", "b", user, "1"}}));

        // The root is neither renamed nor deleted.
        ClickNode(w, "root :0");
        QVERIFY(!WithModal(d, [&] { w->EditSubGroupCommand(); }));
        w->DeleteSubGroupCommand();
        QVERIFY(m.asked.isEmpty());

        ClickNode(w, "b :2");
        QVERIFY(WithModal(d, [&] { QTest::mouseClick(Control<QPushButton>(w, "editSubGroupButton"), Qt::LeftButton); }, [&] {
            QCOMPARE(d->windowTitle(), QString("サブグループの編集"));
            QCOMPARE(d->nameEdit->text(), QString("b"));
            Type(d->nameEdit, "図面");
            QTest::mouseClick(d->okButton, Qt::LeftButton);
        }));
        QCOMPARE(Labels(Node(w, "a :1")), QStringList{"図面 :2"});
        QCOMPARE(AllRows(run.db(), SubGroupTableName(1))[1][kSubName], Cp("図面"));

        // A sub-group with one below it stays.
        ClickNode(w, "a :1");
        QTest::mouseClick(Control<QPushButton>(w, "deleteSubGroupButton"), Qt::LeftButton);
        QCOMPARE(m.shown.last(), QString("サブグループ「a」(SN:1)の下にサブグループがありますので削除できません。"));
        QVERIFY(m.asked.isEmpty());

        // With entries: two questions; No to the second deletes nothing.
        QVERIFY(PutEntry(run.db(), 1, 1, "x", "/", 2) && PutEntry(run.db(), 1, 2, "y", "/", 2) &&
                PutEntry(run.db(), 1, 3, "z", "/", 2) && PutEntry(run.db(), 1, 4, "keep", "/", 0));
        ClickNode(w, "図面 :2");
        m.nextAnswers = {true, false};
        w->DeleteSubGroupCommand();
        QCOMPARE(m.asked, (QStringList{"サブグループ「図面」(SN:2)を削除します。よろしいですか？",
                                       "サブグループ「図面」(SN:2)に属するファイル（3項目）も同時に削除します。よろしいですか？"}));
        QVERIFY(Node(w, "図面 :2"));
        QCOMPARE(run.db().CountRecords(FileTableName(1), ""), 4);
        m.nextAnswers = {true, true};
        int listReads = 0;
        run.db().SetStatementLog([&](const std::string& s) {
            listReads += s.rfind("SELECT *", 0) == 0 && s.find("ORDER BY N") != std::string::npos;
        });
        w->DeleteSubGroupCommand();
        run.db().SetStatementLog(nullptr);
        QCOMPARE(listReads, 1);   // not once more at each move of the current node
        QVERIFY(!Node(w, "図面 :2"));
        QCOMPARE(w->CurrentSubGroup(), 0);
        QVERIFY(Tree(w)->topLevelItem(0)->isSelected());
        QCOMPARE(Column(w, kCellName), QStringList{"keep"});
        QCOMPARE(AllRows(run.db(), SubGroupTableName(1)).size(), size_t(1));
        // No entries: one question.
        m.asked.clear();
        ClickNode(w, "a :1");
        m.nextAnswers = {true};
        w->DeleteSubGroupCommand();
        QCOMPARE(m.asked.size(), 1);
        QCOMPARE(Tree(w)->topLevelItem(0)->childCount(), 0);

        // A sub-group that could not be stored does not appear.
        QVERIFY(run.db().DropTable(SubGroupTableName(1)));
        QVERIFY(WithModal(d, [&] { w->CreateSubGroupCommand(); }, [&] {
            Type(d->nameEdit, "lost");
            QTest::mouseClick(d->okButton, Qt::LeftButton);
        }));
        QCOMPARE(m.shown.last(), QString("サブグループ「lost」を作成出来ませんでした。"));
        QCOMPARE(Tree(w)->topLevelItem(0)->childCount(), 0);
    }

    void addCopyPasteRemoveAndOpen()
    {
        QTemporaryDir dir;
        const QString odd = dir.filePath("it's \"x\".jww");
        PutFile(odd, "JwwData.");
        Run run(TablesAndSubGroupS);
        QVERIFY(run.w);
        GroupWindow* w = run.w;
        FakeMessages& m = run.fake().messages;
        FakeFileDialogs& files = run.fake().fileDialogs;
        const std::string user = run.p->mainWindow.Settings().userName;
        run.Open(1);
        ClickNode(w, "s :1");

        files.nextFileNames.push_back({kTestData + "Test1.jww", kTestData + "サンプル.jww", kTestData + "敷地図.jww"});
        files.nextFilter = 3;
        QTest::mouseClick(Control<QPushButton>(w, "addFilesButton"), Qt::LeftButton);
        const OpenFileRequest& first = files.requests.back();
        QVERIFY(first.multiSelect);
        QCOMPARE(first.selectedFilter, 0);
        QCOMPARE(first.filters.size(), 11);
        QCOMPARE(first.filters[2], QString("Jw_cad BAKファイル (*.BAK;*.BK?)"));
        QCOMPARE(first.filters[9], QString("ベクタファイル (*.wmf;*.emf;*.svg;*.dxf;*.dwg;*.sxf;*.sfc;*.p21;*igs;*.iges;*stp;*.step)"));
        QCOMPARE(first.filters[10], QString("全てのファイル (*.*)"));
        QCOMPARE(Column(w, kCellName), (QStringList{"Test1.jww", "サンプル.jww", "敷地図.jww"}));
        QCOMPARE(Column(w, kCellNumber), (QStringList{"1", "2", "3"}));
        QCOMPARE(Column(w, kCellSubGroup), (QStringList{"1", "1", "1"}));
        QCOMPARE(Column(w, kCellMemo)[2], QString("敷地図"));
        QCOMPARE(AllRows(run.db(), FileTableName(1))[1],
                 (TextRow{"2", Cp("サンプル.jww"), Cp(kTestData), Cp("事務所基準階平面図"), user, "1"}));

        // The folder and filter of the last choice; a name CP932 cannot hold and a name
        // with quotation marks, which is found again after the list is refilled.
        // 〜 has a CP932 form that reads back as ～: stored, it would name another file.
        files.nextFileNames.push_back({dir.filePath("한.jww"), odd, dir.filePath("1〜3階.jww")});
        QTest::mouseClick(Control<QPushButton>(w, "addFilesButton"), Qt::LeftButton);
        QCOMPARE(files.requests.back().folder, QFileInfo(kTestData + "Test1.jww").absolutePath());
        QCOMPARE(files.requests.back().selectedFilter, 3);
        QCOMPARE(m.shown.last(), "次のファイルは登録出来ませんでした。\n" + dir.filePath("한.jww") +
                                     "（名前にシフトJISで表せない文字があります）\n" + dir.filePath("1〜3階.jww") +
                                     "（名前にシフトJISで表せない文字があります）");
        ClickNode(w, "root :0");
        QCOMPARE(Column(w, kCellName).last(), QString("it's \"x\".jww"));
        QCOMPARE(Column(w, kCellSize).last(), QString("8"));
        files.nextFileNames.clear();
        QTest::mouseClick(Control<QPushButton>(w, "addFilesButton"), Qt::LeftButton);   // cancelled
        QCOMPARE(ReadRows(w)->rowCount(), 4);

        // Copy two rows, paste twice into group 2: new numbers there, group 1 unchanged.
        SelectRows(w, {2, 0});
        QCOMPARE(w->SelectedEntries(), (std::vector<int32_t>{1, 3}));
        QTest::mouseClick(Control<QPushButton>(w, "copyButton"), Qt::LeftButton);
        QCOMPARE(run.p->mainWindow.Clipboard().Count(), 2);
        QVERIFY(Control<QAction>(w, "pasteAction")->isEnabled());   // Ctrl+V pastes them too
        run.Open(2);
        QTest::mouseClick(Control<QPushButton>(w, "pasteButton"), Qt::LeftButton);
        m.nextChoices.push_back(1);   // filed again, as asked
        QTest::mouseClick(Control<QPushButton>(w, "pasteButton"), Qt::LeftButton);
        QCOMPARE(m.asked.last(), QString("既に登録されているファイルが 2 件あります。"));
        const std::vector<TextRow> pasted = AllRows(run.db(), FileTableName(2));
        QCOMPARE(pasted.size(), size_t(4));
        QCOMPARE(pasted[3], (TextRow{"4", Cp("敷地図.jww"), Cp(kTestData), Cp("敷地図"), user, "0"}));
        QCOMPARE(Column(w, kCellNumber), (QStringList{"1", "2", "3", "4"}));
        QCOMPARE(AllRows(run.db(), FileTableName(1)).size(), size_t(4));

        // A missing file can be pasted, and opening it says so; an existing one opens.
        run.p->mainWindow.Clipboard().Clear();
        run.p->mainWindow.Clipboard().Add("/nowhere/gone.jww", "");
        QTest::mouseClick(Control<QPushButton>(w, "pasteButton"), Qt::LeftButton);
        QCOMPARE(ReadRows(w)->rowCount(), 5);
        w->SetViewStyleIndex(2);
        SelectRows(w, {4});
        w->OpenFirstSelected();
        QVERIFY(run.fake().desktop.opened.isEmpty());
        QCOMPARE(m.shown.last(), QString("ファイルが見つかりません: /nowhere/gone.jww"));
        SelectRows(w, {1, 3});
        w->OpenFirstSelected();
        QCOMPARE(run.fake().desktop.opened, QStringList{kTestData + "敷地図.jww"});

        // Remove rows 2 and 4 of five: asked first, No keeps them.
        w->RemoveEntries();
        QCOMPARE(m.asked.last(), QString("選択したファイルを除去します。よろしいですか？"));
        QCOMPARE(run.db().CountRecords(FileTableName(2), ""), 5);
        m.nextAnswers = {true};
        QSignalSpy changed(w, &GroupWindow::entriesChanged);
        QTest::mouseClick(Control<QPushButton>(w, "removeButton"), Qt::LeftButton);
        QCOMPARE(Column(w, kCellNumber), (QStringList{"1", "3", "5"}));
        QVERIFY(!changed.isEmpty());
        QCOMPARE(run.db().CountRecords(FileTableName(2), "N=2 OR N=4"), 0);
        QCOMPARE(run.db().CountRecords(FileTableName(2), ""), 3);

        // An entry that could not be stored is not shown, and the user is told.
        QVERIFY(run.db().DropTable(FileTableName(2)));
        QTest::mouseClick(Control<QPushButton>(w, "pasteButton"), Qt::LeftButton);
        QCOMPARE(m.shown.last(), QString("次のファイルは貼り付け出来ませんでした。\n/nowhere/gone.jww（登録済みか確認出来ませんでした）"));
        QCOMPARE(ReadRows(w)->rowCount(), 3);

        // The add dialog starts where the last files were added, after a restart too;
        // a damaged filter number starts at the first filter.
        run.p.reset();
        Program again(run.set.folder.programFile());
        QVERIFY(again.Show());
        again.windows.groupWindow->AddFiles();
        QCOMPARE(again.fake.fileDialogs.requests.back().folder, dir.path());
        QCOMPARE(again.fake.fileDialogs.requests.back().selectedFilter, 3);
        QVERIFY(SaveAddDialogPlace(run.set.folder.path() + "kumolist.ini", {dir.path(), 99}));
        again.windows.groupWindow->SetPreferencesFile(run.set.folder.path() + "kumolist.ini");
        again.windows.groupWindow->AddFiles();
        QCOMPARE(again.fake.fileDialogs.requests.back().selectedFilter, 0);
    }

    void memoDialogAndEditMemo()
    {
        QTemporaryDir dir;
        const QString jwc = dir.filePath("old.jwc");
        PutFile(jwc, QByteArray("jw_cad(c)data.......") + QByteArray(84, '\0'));
        PutFile(dir.filePath("fig.jws"), "JwwData.");
        QByteArray longMemo(300, 'm');
        PutFile(dir.filePath("long.jww"), "JwwData." + QByteArray(4, '\0') + "\xFF\x2C\x01" + longMemo);
        const std::string folder = Cp(dir.path()) + "/";
        Run run([&](DatabaseSession& db) {
            QVERIFY(EnsureGroupTables(db, 1));
            QVERIFY(PutEntry(db, 1, 1, "old.jwc", folder, 0, "old") && PutEntry(db, 1, 2, "fig.jws", folder, 0, "keep") &&
                    PutEntry(db, 1, 3, "long.jww", folder, 0) && PutEntry(db, 1, 4, "raw.jww", folder, 0, kRawMemo));
        });
        QVERIFY(run.w);
        GroupWindow* w = run.w;
        MemoDialog* d = run.p->windows.memoDialog;
        FakeMessages& m = run.fake().messages;
        run.Open(1);

        QVERIFY(!WithModal(d, [&] { w->EditMemo(); }));   // no row selected

        SelectRows(w, {0, 2});
        QVERIFY(WithModal(d, [&] { QTest::mouseClick(Control<QPushButton>(w, "editMemoButton"), Qt::LeftButton); }, [&] {
            QCOMPARE(d->fileNameLabel->text(), QString("ファイル名：old.jwc"));
            QCOMPARE(d->promptLabel->text(), QString("メモ内容を入力・編集して下さい（最大半角255文字まで）"));
            QCOMPARE(d->memoEdit->text(), QString("old"));
            QCOMPARE(d->focusWidget(), d->memoEdit);
            Type(d->memoEdit, "it's");
            QTest::mouseClick(d->okButton, Qt::LeftButton);
            QCOMPARE(m.shown.last(), QString("引用符「'」「\"」を入力しないで下さい"));
            QVERIFY(d->isVisible());
            QTest::mouseClick(d->getMemoButton, Qt::LeftButton);
            QCOMPARE(d->memoEdit->text(), QString(" "));
            QTest::mouseClick(d->clearButton, Qt::LeftButton);
            QCOMPARE(d->memoEdit->text(), QString());
            QTest::mouseClick(d->okButton, Qt::LeftButton);
        }));
        QCOMPARE(d->result(), int(QDialog::Accepted));
        QCOMPARE(run.db().CountRecords(FileTableName(1), "N=1 AND FILE_MEMO IS NULL"), 1);
        QCOMPARE(ShownRows(w)->index(0, kCellMemo).data().toString(), QString());

        // A symbol file gives no memo; cancelling changes nothing.
        SelectRows(w, {1});
        QVERIFY(WithModal(d, [&] { w->EditMemo(); }, [&] {
            Type(d->memoEdit, QString(300, 'x'));
            QCOMPARE(Cp932Length(d->memoEdit->text()), 255);
            QTest::mouseClick(d->getMemoButton, Qt::LeftButton);
            QCOMPARE(d->memoEdit->text(), QString(255, 'x'));
            QTest::mouseClick(d->cancelButton, Qt::LeftButton);
        }));
        QCOMPARE(AllRows(run.db(), FileTableName(1), "N=2")[0][kFileMemo], std::string("keep"));

        // A drawing's memo longer than the column is put into the field whole and stored cut.
        SelectRows(w, {2});
        QVERIFY(WithModal(d, [&] { w->EditMemo(); }, [&] {
            QTest::mouseClick(d->getMemoButton, Qt::LeftButton);
            QCOMPARE(d->memoEdit->text().size(), 300);
            QTest::keyClick(d->memoEdit, Qt::Key_Return);
        }));
        QCOMPARE(d->memoText.size(), size_t(300));
        QCOMPARE(AllRows(run.db(), FileTableName(1), "N=3")[0][kFileMemo], std::string(255, 'm'));
        QCOMPARE(ShownRows(w)->index(2, kCellMemo).data().toString(), QString(255, 'm'));

        // OK without a change keeps bytes that have no character here, and writes nothing.
        std::vector<std::string> sent;
        run.db().SetStatementLog([&](const std::string& s) { sent.push_back(s); });
        SelectRows(w, {3});
        QVERIFY(WithModal(d, [&] { w->EditMemo(); }, [&] { QTest::mouseClick(d->okButton, Qt::LeftButton); }));
        QCOMPARE(AllRows(run.db(), FileTableName(1), "N=4")[0][kFileMemo], kRawMemo);
        QVERIFY(std::none_of(sent.begin(), sent.end(), [](auto& s) { return s.rfind("UPDATE", 0) == 0; }));
    }

    void writesIntoAGroupOrSubGroupAnotherCopyDeleted()
    {
        Run run([](DatabaseSession& db) {
            QVERIFY(EnsureGroupTables(db, 1));
            QVERIFY(PutSubGroup(db, 1, 1, "s", "0") && PutSubGroup(db, 1, 2, "t", "0"));
            QVERIFY(PutEntry(db, 1, 1, "e.jww", "/x/", 0));
        });
        QVERIFY(run.w);
        GroupWindow* w = run.w;
        FakeMessages& m = run.fake().messages;
        DatabaseSession other(run.set.db.settings);
        other.ConnectDatabase();
        QVERIFY(other.Connected());
        run.Open(1);

        // Files added into a sub-group the tree still shows: refused, the tree read again.
        ClickNode(w, "s :1");
        QVERIFY(other.DeleteRecords(SubGroupTableName(1), "N=1"));
        run.fake().fileDialogs.nextFileNames.push_back({kTestData + "Test1.jww"});
        QTest::mouseClick(Control<QPushButton>(w, "addFilesButton"), Qt::LeftButton);
        QCOMPARE(m.shown.last(), QString("他の利用者がサブグループ「s」(SN:1)を削除しました。"));
        QVERIFY(!Node(w, "s :1") && Node(w, "t :2"));
        QCOMPARE(w->CurrentSubGroup(), 0);
        QCOMPARE(run.db().CountRecords(FileTableName(1), ""), 1);
        // So are entries moved into one.
        QVERIFY(other.DeleteRecords(SubGroupTableName(1), "N=2"));
        w->MoveEntriesTo({1}, 2);
        QCOMPARE(m.shown.last(), QString("他の利用者がサブグループ「t」(SN:2)を削除しました。"));
        QCOMPARE(AllRows(run.db(), FileTableName(1))[0][kFileSN], std::string("0"));

        // Another copy files an entry under a sub-group while the user is asked whether to
        // delete it with its entries: nothing is deleted, and the user is told.
        QVERIFY(PutSubGroup(run.db(), 1, 3, "u", "0") && PutEntry(run.db(), 1, 2, "f.jww", "/x/", 3));
        w->BuildSubGroupTree();
        ClickNode(w, "u :3");
        m.nextAnswers = {true, true};
        m.onAsk = [&](const QString& q) {
            if (q.contains("1項目")) QVERIFY(PutEntry(other, 1, 3, "g.jww", "/x/", 3));
        };
        w->DeleteSubGroupCommand();
        m.onAsk = {};
        QCOMPARE(m.shown.last(),
                 QString("サブグループ「u」(SN:3)に属するファイルの数が他の利用者によって変わりましたので、削除しませんでした。"));
        QVERIFY(Node(w, "u :3"));
        QCOMPARE(run.db().CountRecords(FileTableName(1), "SN=3"), 2);

        // The group deleted and its number given to a new one: nothing is pasted into
        // the stranger's group, and the window closes.
        run.p->mainWindow.Clipboard().Add("/x/a.jww", "");
        QVERIFY(other.DeleteRecords(kCatalogueTable, "N=1") && InsertGroup(other, 1, "delta", "", "0", "0"));
        QTest::mouseClick(Control<QPushButton>(w, "pasteButton"), Qt::LeftButton);
        QCOMPARE(m.shown.last(), QString("他の利用者がグループ「住宅A」を変更または削除しました。"));
        QVERIFY(!w->isVisible());
        QCOMPARE(run.db().CountRecords(FileTableName(1), ""), 3);
    }

    void dragAndDropInOutAndBetweenSubGroups()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("in/sub"));
        PutFile(dir.filePath("z.txt"), "z");
        PutFile(dir.filePath("in/x.jww"), "x");
        PutFile(dir.filePath("in/sub/y.jww"), "y");
        Run run(TablesAndSubGroupS);
        QVERIFY(run.w);
        GroupWindow* w = run.w;
        FakeMessages& m = run.fake().messages;
        run.Open(1);
        ClickNode(w, "root :0");

        // Files onto the list: registered under the node shown, the drawing's memo read.
        std::unique_ptr<QMimeData> files(Urls({dir.filePath("z.txt"), kTestData + "Test1.jww"}));
        Drop(IconView(w), QPoint(5, 5), files.get());
        QCOMPARE(Column(w, kCellName), (QStringList{"z.txt", "Test1.jww"}));
        QCOMPARE(Column(w, kCellMemo)[1], QString("日影図　ＴＥＳＴ用データ（陸屋根）"));
        QCOMPARE(Control<QStatusBar>(w, "statusLine")->currentMessage(), QString("2 件のファイルを登録しました"));

        // A folder onto a node: its files at every level counted and asked about.
        std::unique_ptr<QMimeData> folder(Urls({dir.filePath("in")}));
        Drop(Tree(w), NodeCenter(w, "s :1"), folder.get());
        QCOMPARE(m.asked.last(), QString("フォルダ内のファイル 2 件を登録しますか？"));
        QCOMPARE(run.db().CountRecords(FileTableName(1), ""), 2);
        m.nextAnswers = {true};
        Drop(Tree(w), NodeCenter(w, "s :1"), folder.get());
        QCOMPARE(Cells(AllRows(run.db(), FileTableName(1), "SN=1"), kFileName), (std::vector<std::string>{"y.jww", "x.jww"}));

        // Entries dragged out: their files as local URLs, the missing one left out.
        QVERIFY(PutEntry(run.db(), 1, 9, "gone.jww", "/nowhere/", 0));
        w->FillFileList();
        QCOMPARE(ReadRows(w)->rowCount(), 5);
        QVERIFY(ShownRows(w)->flags(ShownRows(w)->index(0, 0)) & Qt::ItemIsDragEnabled);
        for (int style : {1, 0, 2}) {
            w->SetViewStyleIndex(style);
            for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(IconView(w)),
                                         static_cast<QAbstractItemView*>(DetailView(w)),
                                         static_cast<QAbstractItemView*>(Tree(w))})
                QVERIFY(v->viewport()->acceptDrops() && (v == Tree(w) || v->dragEnabled()));
        }
        std::unique_ptr<QMimeData> out(ShownRows(w)->mimeData(
            {ShownRows(w)->index(0, 0), ShownRows(w)->index(0, 3), ShownRows(w)->index(4, 0)}));
        QCOMPARE(out->urls(), QList<QUrl>{QUrl::fromLocalFile(dir.filePath("z.txt"))});

        // Dropped onto a node of the tree, they are moved there; onto the list, nothing.
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, out.get(), Qt::LeftButton, {});
        QCoreApplication::sendEvent(IconView(w)->viewport(), &enter);
        QVERIFY(!enter.isAccepted());
        Drop(Tree(w), NodeCenter(w, "s :1"), out.get());
        QCOMPARE(Control<QStatusBar>(w, "statusLine")->currentMessage(), QString("2 件を移動しました"));
        QCOMPARE(run.db().CountRecords(FileTableName(1), "SN=1 AND (N=1 OR N=9)"), 2);
        ClickNode(w, "s :1");
        QCOMPARE(Column(w, kCellName), (QStringList{"z.txt", "y.jww", "x.jww", "gone.jww"}));
    }

    void statusTextsAndALongRegistrationCancelled()
    {
        QTemporaryDir dir;
        QStringList many;
        for (int i = 0; i < 30; ++i) {
            many << dir.filePath(QString("f%1.jww").arg(i, 2, 10, QChar('0')));
            PutFile(many.last(), "");
        }
        Run run;
        QVERIFY(run.w);
        GroupWindow* w = run.w;
        FakeMessages& m = run.fake().messages;
        FakeProgress& progress = run.fake().progress;
        run.Open(1);
        auto said = [&] { return Control<QStatusBar>(w, "statusLine")->currentMessage(); };

        run.fake().fileDialogs.nextFileNames.push_back(many.mid(0, 3));
        QTest::mouseClick(Control<QPushButton>(w, "addFilesButton"), Qt::LeftButton);
        QCOMPARE(said(), QString("3 件のファイルを登録しました"));
        QVERIFY(progress.labels.isEmpty());   // a handful goes without a progress dialog
        SelectRows(w, {0, 2});
        QTest::mouseClick(Control<QPushButton>(w, "copyButton"), Qt::LeftButton);
        QCOMPARE(said(), QString("2 件をコピーしました"));
        m.nextChoices.push_back(1);   // pasted where they lie: filed again
        QTest::mouseClick(Control<QPushButton>(w, "pasteButton"), Qt::LeftButton);
        QCOMPARE(said(), QString("2 件を貼り付けました"));
        m.nextAnswers = {true};
        QTest::mouseClick(Control<QPushButton>(w, "removeButton"), Qt::LeftButton);
        QCOMPARE(said(), QString("2 件を除去しました"));
        // Nothing selected: nothing asked.
        IconView(w)->selectionModel()->clearSelection();
        m.asked.clear();
        QTest::mouseClick(Control<QPushButton>(w, "removeButton"), Qt::LeftButton);
        QVERIFY(m.asked.isEmpty());
        QCOMPARE(run.db().CountRecords(FileTableName(1), ""), 3);

        // Thirty files with a progress dialog, cancelled at the eleventh: the ten before
        // it stay stored (in slices of four), shown and said; no transaction stays open
        // while the dialog waits for the user.
        w->entrySlice = 4;
        bool openMeanwhile = false;
        progress.onUpdate = [&](int) { openMeanwhile |= run.db().Transaction() != DatabaseSession::TransactionState::None; };
        progress.cancelAt = 10;
        run.fake().fileDialogs.nextFileNames.push_back(many);
        QTest::mouseClick(Control<QPushButton>(w, "addFilesButton"), Qt::LeftButton);
        QCOMPARE(progress.totals, std::vector<int>{30});
        QCOMPARE(progress.labels, QStringList{"ファイルを登録しています..."});
        QVERIFY(!openMeanwhile);
        QCOMPARE(said(), QString("30 件中 10 件のファイルを登録しました（中断）"));
        QCOMPARE(run.db().CountRecords(FileTableName(1), "FILE_NAME STARTING WITH 'f'"), 13);
        QCOMPARE(run.db().CountRecords(FileTableName(1), "FILE_NAME='f09.jww'"), 1);
        QCOMPARE(run.db().CountRecords(FileTableName(1), "FILE_NAME='f10.jww'"), 0);
        QCOMPARE(ReadRows(w)->rowCount(), 13);
        QCOMPARE(Column(w, kCellName).last(), QString("f09.jww"));
    }

    // Every key of the window reaches its command where the focus is: the list's keys
    // act on entries, the tree's on sub-groups; F5 reads the group again. The status bar
    // counts the entries shown and selected; the dialogs open over the window.
    void keysCountsAndDialogs()
    {
        Run run([&](DatabaseSession& db) {
            QVERIFY(EnsureGroupTables(db, 1));
            QVERIFY(PutSubGroup(db, 1, 1, "s", "0"));
            QVERIFY(PutEntry(db, 1, 1, Cp("敷地図.jww"), Cp(kTestData), 0) && PutEntry(db, 1, 2, "gone.txt", "/nowhere/", 1));
        });
        QVERIFY(run.w);
        GroupWindow* w = run.w;
        FakeMessages& m = run.fake().messages;
        w->SetViewStyleIndex(2);
        run.Open(1);
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        QAbstractItemView* list = DetailView(w);
        list->setFocus();
        auto count = [&] {
            QCoreApplication::processEvents();
            return Control<QLabel>(w, "countLabel")->text();
        };
        QCOMPARE(count(), QString("2 件"));
        QVERIFY(Control<QLabel>(w, "countLabel")->isVisible());

        QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(count(), QString("2 件（2 件選択）"));
        QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(run.p->mainWindow.Clipboard().Count(), 2);
        run.fake().messages.nextChoices.push_back(1);   // pasted where they lie: filed again
        QTest::keyClick(list, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(run.db().CountRecords(FileTableName(1), ""), 4);
        QCOMPARE(count(), QString("4 件（2 件選択）"));
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(m.asked.last(), QString("選択したファイルを除去します。よろしいですか？"));
        QCOMPARE(run.db().CountRecords(FileTableName(1), ""), 4);   // answered No

        SelectRows(w, {0});
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(run.fake().desktop.opened, QStringList{kTestData + "敷地図.jww"});
        MemoDialog* memo = run.p->windows.memoDialog;
        QVERIFY(WithModal(memo, [&] { QTest::keyClick(list, Qt::Key_F2); }, [&] {
            // A dialog of the group window, without minimise and maximise buttons.
            QCOMPARE(memo->parentWidget(), static_cast<QWidget*>(w));
            QVERIFY(!(memo->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        }));
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(w));
        QCOMPARE(run.p->windows.subGroupNameDialog->parentWidget(), static_cast<QWidget*>(w));
        // The buttons name their keys.
        QCOMPARE(Control<QPushButton>(w, "copyButton")->toolTip(), QString("コピー (Ctrl+C)"));
        QCOMPARE(Control<QPushButton>(w, "removeButton")->toolTip(), QString("削除 (Del)"));
        QCOMPARE(Control<QPushButton>(w, "editMemoButton")->toolTip(), QString("メモ入力編集 (F2)"));

        // In the tree, F2 renames and Delete deletes the sub-group; on the root neither acts.
        QTreeWidget* tree = Tree(w);
        tree->setFocus();
        tree->setCurrentItem(Node(w, "s :1"));
        SubGroupNameDialog* names = run.p->windows.subGroupNameDialog;
        QVERIFY(WithModal(names, [&] { QTest::keyClick(tree, Qt::Key_F2); },
                          [&] { QCOMPARE(names->windowTitle(), QString("サブグループの編集")); }));
        m.asked.clear();
        QTest::keyClick(tree, Qt::Key_Delete);
        QCOMPARE(m.asked, QStringList{"サブグループ「s」(SN:1)を削除します。よろしいですか？"});
        tree->setCurrentItem(Node(w, "root :0"));
        QTest::keyClick(tree, Qt::Key_Delete);
        QCOMPARE(m.asked.size(), 1);

        // F5: what another copy stored appears, and the node shown stays current.
        tree->setCurrentItem(Node(w, "s :1"));
        QVERIFY(PutSubGroup(run.db(), 1, 2, "new", "1") && PutEntry(run.db(), 1, 9, "other.jww", "/x/", 1));
        QTest::keyClick(tree, Qt::Key_F5);
        QVERIFY(Node(w, "new :2"));
        QCOMPARE(tree->currentItem(), Node(w, "s :1"));
        QCOMPARE(Column(w, kCellName), (QStringList{"gone.txt", "other.jww"}));
        // Ctrl+1, 2, 3: the view styles, wherever the focus is in the window.
        for (int style : {2, 1, 0}) {
            QTest::keyClick(style == 1 ? static_cast<QWidget*>(IconView(w)) : tree, Qt::Key(Qt::Key_1 + style),
                            Qt::ControlModifier);
            QCOMPARE(w->ViewStyleIndex(), style);
        }
        // A command's message hides the count while it stands.
        Control<QStatusBar>(w, "statusLine")->showMessage("x");
        QVERIFY(!Control<QLabel>(w, "countLabel")->isVisible());
    }

    // The context menus hold the commands of the entries and of the sub-groups, enabled
    // only where they can act, and each item reaches its command.
    void contextMenus()
    {
        Run run([&](DatabaseSession& db) {
            QVERIFY(EnsureGroupTables(db, 1));
            QVERIFY(PutSubGroup(db, 1, 1, "s", "0"));
            QVERIFY(PutEntry(db, 1, 1, Cp("敷地図.jww"), Cp(kTestData), 0) &&
                    PutEntry(db, 1, 2, Cp("サンプル.jww"), Cp(kTestData), 0, Cp("事務所基準階平面図")) &&
                    PutEntry(db, 1, 3, "gone.txt", "/nowhere/", 0, "keep"));
        });
        QVERIFY(run.w);
        GroupWindow* w = run.w;
        FakeMessages& m = run.fake().messages;
        FakeDesktop& desktop = run.fake().desktop;
        w->SetViewStyleIndex(1);
        run.Open(1);
        auto item = [](QMenu* menu, const QString& text) -> QAction* {
            for (QAction* a : menu->actions())
                if (a->text() == text) return a;
            return nullptr;
        };
        const QStringList fileItems{"開く", "プログラムを指定して開く...", "保存場所のフォルダを開く", "メモ入力編集", "JWメモ取得", "コピー", "パスをコピー", "削除"};

        // Nothing selected, nothing copied: every item there, none enabled.
        QMenu* menu = w->PrepareContextMenu(IconView(w));
        for (const QString& text : fileItems + QStringList{"貼付"}) {
            QVERIFY2(item(menu, text), qPrintable(text));
            QVERIFY2(!item(menu, text)->isEnabled(), qPrintable(text));
        }
        // An entry shown from elsewhere (a search hit) is current where the keys act.
        QVERIFY(w->SelectEntry(2));
        QCOMPARE(w->focusWidget(), Control<QStackedWidget>(w, "fileList")->currentWidget());
        QCOMPARE(IconView(w)->currentIndex().row(), 1);
        // A right-click on an entry selects it and opens the menu there.
        const QRect first = IconView(w)->visualRect(ShownRows(w)->index(0, 0));
        QTest::mouseClick(IconView(w)->viewport(), Qt::LeftButton, {}, first.center());
        QContextMenuEvent click(QContextMenuEvent::Mouse, first.center(), IconView(w)->viewport()->mapToGlobal(first.center()));
        QApplication::sendEvent(IconView(w)->viewport(), &click);
        QTRY_VERIFY(Control<QMenu>(w, "fileMenu")->isVisible());
        Control<QMenu>(w, "fileMenu")->hide();
        for (const QString& text : fileItems) QVERIFY2(item(Control<QMenu>(w, "fileMenu"), text)->isEnabled(), qPrintable(text));
        // The menu key opens it at the current entry, wherever the pointer is.
        IconView(w)->setCurrentIndex(ShownRows(w)->index(1, 0));
        const QPoint second = IconView(w)->viewport()->mapToGlobal(
            IconView(w)->visualRect(ShownRows(w)->index(1, 0)).center());
        QContextMenuEvent key(QContextMenuEvent::Keyboard, {}, IconView(w)->mapToGlobal(QPoint()));
        QApplication::sendEvent(IconView(w), &key);
        QTRY_VERIFY(Control<QMenu>(w, "fileMenu")->isVisible());
        QCOMPARE(Control<QMenu>(w, "fileMenu")->pos(), second);
        Control<QMenu>(w, "fileMenu")->hide();

        SelectRows(w, {0, 2});
        item(menu, "開く")->trigger();
        item(menu, "保存場所のフォルダを開く")->trigger();
        item(menu, "プログラムを指定して開く...")->trigger();
        QCOMPARE(desktop.opened, QStringList{kTestData + "敷地図.jww"});
        QCOMPARE(desktop.shownInFolder, QStringList{kTestData + "敷地図.jww"});
        QCOMPARE(desktop.chooserOpened, QStringList{kTestData + "敷地図.jww"});
        item(menu, "パスをコピー")->trigger();
        QCOMPARE(desktop.copiedTexts, QStringList{kTestData + "敷地図.jww\n/nowhere/gone.txt"});
        QVERIFY(WithModal(run.p->windows.memoDialog, [&] { item(menu, "メモ入力編集")->trigger(); }));

        // The drawings' memos: stored where the drawing has one that differs.
        SelectRows(w, {0, 1, 2});
        item(menu, "JWメモ取得")->trigger();
        QCOMPARE(Control<QStatusBar>(w, "statusLine")->currentMessage(), QString("1 件のメモを図面から取得しました"));
        QCOMPARE(Column(w, kCellMemo), (QStringList{"敷地図", "事務所基準階平面図", "keep"}));
        QCOMPARE(AllRows(run.db(), FileTableName(1), "N=1")[0][kFileMemo], Cp("敷地図"));

        SelectRows(w, {2});
        item(menu, "コピー")->trigger();
        menu = w->PrepareContextMenu(DetailView(w));
        QVERIFY(item(menu, "貼付")->isEnabled());
        run.fake().messages.nextChoices.push_back(1);
        item(menu, "貼付")->trigger();
        QCOMPARE(run.db().CountRecords(FileTableName(1), ""), 4);
        item(menu, "削除")->trigger();
        QCOMPARE(m.asked.last(), QString("選択したファイルを除去します。よろしいですか？"));

        // The tree's menu: create anywhere, edit and delete on a sub-group.
        QTreeWidget* tree = Tree(w);
        tree->setCurrentItem(Node(w, "root :0"));
        menu = w->PrepareContextMenu(tree);
        QCOMPARE(menu->actions().size(), 3);
        QVERIFY(item(menu, "作成")->isEnabled() && !item(menu, "編集")->isEnabled() && !item(menu, "削除")->isEnabled());
        SubGroupNameDialog* names = run.p->windows.subGroupNameDialog;
        QVERIFY(WithModal(names, [&] { item(menu, "作成")->trigger(); },
                          [&] { QCOMPARE(names->windowTitle(), QString("サブグループの作成")); }));
        tree->setCurrentItem(Node(w, "s :1"));
        menu = w->PrepareContextMenu(tree->viewport());
        QVERIFY(item(menu, "編集")->isEnabled() && item(menu, "削除")->isEnabled());
        QVERIFY(WithModal(names, [&] { item(menu, "編集")->trigger(); }));
        item(menu, "削除")->trigger();
        QCOMPARE(m.asked.last(), QString("サブグループ「s」(SN:1)を削除します。よろしいですか？"));
    }

    // Both styles of the list view come to rest at thousands of entries: a second after
    // showing them, no layout timer runs and no scroll bar comes and goes.
    void iconAndListViewsSettle()
    {
        const std::string longName = "a longer drawing name.jww";
        Run run([&](DatabaseSession& db) {
            QVERIFY(EnsureGroupTables(db, 1));
            QVERIFY(PutEntries(db, 1, 5000, "/nowhere/") && PutEntry(db, 1, 5001, longName, "/nowhere/", 0));
        });
        QVERIFY(run.w);
        for (int style : {1, 0}) {
            run.w->SetViewStyleIndex(style);
            run.Open(1);
            QCOMPARE(ReadRows(run.w)->rowCount(), 5001);
            QTest::qWait(500);
            EventCounter view(IconView(run.w)), port(IconView(run.w)->viewport());
            QTest::qWait(1000);
            QCOMPARE(view.counts.value(QEvent::Timer) + view.counts.value(QEvent::LayoutRequest), 0);
            QCOMPARE(port.counts.value(QEvent::Resize), 0);
        }
        // The list style's columns are as wide as the longest name; one added later widens them.
        run.w->SetViewStyleIndex(1);
        const int wide = IconView(run.w)->visualRect(ShownRows(run.w)->index(5000, 0)).width();
        QVERIFY(wide > IconView(run.w)->fontMetrics().horizontalAdvance(ToQ(longName)) + 16);
        run.p->mainWindow.Clipboard().Add("/nowhere/" + longName + longName, "");
        run.w->PasteEntries();
        QVERIFY(IconView(run.w)->visualRect(ShownRows(run.w)->index(0, 0)).width() > wide + 50);
    }

    void tenThousandEntriesOpenAtOnce()
    {
        QTemporaryDir dir;
        const char* types[] = {"jww", "txt", "pdf"};
        for (int i = 1; i <= 10000; ++i) PutFile(dir.filePath(QString("f%1.%2").arg(i).arg(types[i % 3])), "x");
        const std::string folder = Cp(dir.path()) + "/";
        Run run([&](DatabaseSession& db) {
            QVERIFY(EnsureGroupTables(db, 1));
            QVERIFY(db.ExecuteStatement(
                {"EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN",
                 "  WHILE (I <= 10000) DO BEGIN",
                 "    INSERT INTO " + FileTableName(1) +
                     " VALUES (:I, 'f' || :I || '.' || DECODE(MOD(:I, 3), 0, 'jww', 1, 'txt', 'pdf'),",
                 "      '" + folder + "', 'memo ' || :I, 'user', MOD(:I, 5));",
                 "    I = I + 1;", "  END", "END"}));
        });
        QVERIFY(run.w);
        QTest::mouseClick(run.p->mainWindow.boardView->GroupIcon(1), Qt::LeftButton, {}, QPoint(4, 4));
        for (int style : {0, 1, 2}) {
            run.w->SetViewStyleIndex(style);
            QElapsedTimer t;
            t.start();
            run.p->mainWindow.OpenSelectedGroup();
            const qint64 filled = t.elapsed();
            QCoreApplication::processEvents();
            run.w->grab();   // laid out and drawn
            qInfo("10000 entries, style %d: filled in %lld ms, shown in %lld ms", style, filled, t.elapsed());
        }
        QCOMPARE(ReadRows(run.w)->rowCount(), 10000);
        QCOMPARE(run.fake().desktop.iconsAsked.size(), 3);
        QCOMPARE(ShownRows(run.w)->index(9999, kCellName).data().toString(), QString("f10000.txt"));
        QElapsedTimer t;
        t.start();
        run.w->SortByColumn(kCellName);
        qInfo("10000 entries sorted by name in %lld ms", t.elapsed());
        QCOMPARE(ShownRows(run.w)->index(1, kCellName).data().toString(), QString("f10.txt"));
    }

    // A file registered through the window is fingerprinted after its commit; a content
    // changed since shows in the change column and marks the icon until it is confirmed;
    // "同じ内容のファイル" lists the other group's entry of that content and opens it.
    void contentChangesShownAndConfirmed()
    {
        QTemporaryDir dir;
        PutFile(dir.filePath("a.jww"), "JwwData.one");
        PutFile(dir.filePath("copy.jww"), "JwwData.one");
        const std::string folder = Cp(dir.path()) + "/";
        Run run([&](DatabaseSession& db) {
            QVERIFY(EnsureGroupTables(db, 2));
            QVERIFY(PutEntry(db, 2, 1, "copy.jww", folder, 0));
        });
        QVERIFY(run.w);
        GroupWindow* w = run.w;
        auto prints = [&](int group) {
            const int n = run.db().CountRecords(kFingerprintTable, "GRP=" + IntToStr(group) + " AND HASH=REF_HASH");
            run.db().EndRead();
            return n;
        };
        run.Open(2);
        QTRY_COMPARE(prints(2), 1);
        run.Open(1);
        run.fake().fileDialogs.nextFileNames.push_back({dir.filePath("a.jww")});
        QTest::mouseClick(Control<QPushButton>(w, "addFilesButton"), Qt::LeftButton);
        QTRY_COMPARE(prints(1), 1);
        QTRY_VERIFY(!w->findChild<GroupFingerprints*>()->Busy());
        QCOMPARE(Column(w, kChangeColumn), QStringList{""});

        SelectRows(w, {0});
        w->findChild<QAction*>("sameContentAction")->trigger();
        auto* same = w->findChild<SameContentWindow*>();
        QVERIFY(same && same->isVisible());
        QCOMPARE(same->list->topLevelItemCount(), 2);
        QCOMPARE(same->list->topLevelItem(1)->text(0), QString("two(N:2)"));
        emit same->list->itemDoubleClicked(same->list->topLevelItem(1), 0);
        QCOMPARE(w->currentGroupNumber, 2);
        QCOMPARE(Column(w, kCellName), QStringList{"copy.jww"});

        PutFile(dir.filePath("a.jww"), "JwwData.two!");
        run.Open(1);
        QTRY_VERIFY(!Column(w, kChangeColumn).value(0).isEmpty());
        QVERIFY(ShownRows(w)->index(0, 0).data(kChangedRole).toBool());
        SelectRows(w, {0});
        QAction* accept = w->findChild<QAction*>("acceptChangeAction");
        QVERIFY(accept->isEnabled());
        accept->trigger();
        QCOMPARE(Column(w, kChangeColumn), QStringList{""});
        QCOMPARE(prints(1), 1);
    }
};

QTEST_MAIN(TestGroupWindow)
#include "test_groupwindow.moc"
