// The search window as a user meets it: the menu command, the controls, a search with
// its lines and status texts, the refusals, Escape, the options, where hits lead,
// CSV; the search on its own thread while the program is used, stopped, closed or
// ended; and a server lost or a quit signal met during a search.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QCheckBox>
#include <QDir>
#include <QMenu>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeView>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QDialog>
#include <QProcess>
#include <QtTest>

#include <thread>

#include <atomic>
#include <csignal>
#include <memory>

#include "boardfixture.h"
#include "catalogue.h"
#include "db/schema.h"
#include "drawingtexttable.h"
#include "entries.h"
#include "groupwin/filelistmodel.h"
#include "groupwin/filerow.h"
#include "groupwin/groupwindow.h"
#include "support/controls.h"
#include "search/searchresults.h"
#include "search/searchwindow.h"
#include "search/searchworker.h"
#include "settings/preferences.h"
#include "shell/quitsignals.h"
#include "support/tcpforwarder.h"
#include "text/textutil.h"

namespace {

const QString kQuote = QStringLiteral("引用符「'」「\"」を入力しないで下さい");

// Types key by key; characters beyond ASCII come as key events carrying text.
void Type(QLineEdit* edit, const QString& text)
{
    edit->clear();
    edit->setFocus();
    for (QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(edit, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// The search runs on its own thread: true once it has ended (waited for at most a minute).
bool Ended(SearchWindow* w)
{
    QElapsedTimer clock;
    clock.start();
    while (w->Searching() && clock.elapsed() < 60000) QTest::qWait(2);
    return !w->Searching();
}

// Holds the search's thread before the statement that holds `at` until released (or 20 s).
struct Hold {
    std::string at;
    std::atomic<bool> release{false};
    std::atomic<int> held{0};
    void Into(SearchWindow* w)
    {
        w->SetStatementLog([this](const std::string& s) {
            if (s.find(at) == std::string::npos) return;
            ++held;
            for (int i = 0; i < 20000 && !release; ++i) QThread::msleep(1);
        });
    }
};

// The program attached to a fresh database; the catalogue only when asked for.
struct Started {
    Setup setup;
    std::unique_ptr<Program> program;
    explicit Started(bool withCatalogue, const RootMappings& mappings = {})
    {
        if (withCatalogue) QVERIFY(CreateCatalogueTable(setup.session));
        if (!mappings.empty()) QVERIFY(SaveRootMappings(setup.folder.path() + "kumolist.ini", mappings));
        setup.Done();
        program = std::make_unique<Program>(setup.folder.programFile());
        QVERIFY(program->Show());
        QVERIFY(program->mainWindow.Session().Connected());
    }
    DatabaseSession& db() { return program->mainWindow.Session(); }
    SearchWindow* window() { return program->windows.searchWindow; }
    void Find() { program->mainWindow.mnuFind->trigger(); }
};

// Groups 1 and 2 with tables; group 1 has sub-group 1 平面図 and entries 1 (in it) and 2
// (in the root); the memo of entry 1 holds a comma and quotes.
void TwoGroups(DatabaseSession& db)
{
    QVERIFY(InsertGroup(db, 1, Sj("意匠図"), "", "0", "0"));
    QVERIFY(InsertGroup(db, 2, Sj("未使用"), "", "0", "0"));
    QVERIFY(OpenGroupTables(db, 1));
    QVERIFY(AddSubGroup(db, 1, 1, Sj("平面図")));
    QVERIFY(AddEntry(db, 1, 1, Sj("C:\\図面\\"), "a.jww", Sj("１階 平面図, \"案\""), 1));
    QVERIFY(AddEntry(db, 1, 2, Sj("C:\\図面\\"), "b.jww", "", 0));
}

// Groups 1 to 60, each with its tables and one entry /d/a.jww: two statements of the search.
void SixtyGroups(DatabaseSession& db)
{
    QVERIFY(CreateCatalogueTable(db));
    QVERIFY(db.BeginWork());
    for (int g = 1; g <= 60; ++g) {
        QVERIFY(InsertGroup(db, g, "G" + IntToStr(g), "", "0", "0"));
        QVERIFY(OpenGroupTables(db, g));
    }
    QVERIFY(db.CommitWork());
    for (int g = 1; g <= 60; ++g) QVERIFY(AddEntry(db, g, 1, "/d/", "a.jww", "x", 0));
}

// Cells of an RFC 4180 text, line by line.
QList<QStringList> ParseCsv(const QString& text)
{
    QList<QStringList> rows{{}};
    QString cell;
    bool quoted = false, wasQuoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                cell += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                cell += c;
            }
        } else if (c == '"') {
            quoted = wasQuoted = true;
        } else if (c == ',') {
            rows.last() << cell;
            cell.clear();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            rows.last() << cell;
            cell.clear();
            rows << QStringList();
            ++i;
        } else {
            cell += c;
        }
    }
    if (rows.last().isEmpty() && cell.isEmpty()) rows.removeLast();
    return rows;
}

} // namespace

class TestSearchWindow : public QObject {
    Q_OBJECT

private slots:
    // Shown only with a catalogue to search; its controls; a search with its lines and
    // status texts, the refusals that keep the lines, a second showing that keeps column
    // and text, Escape stopping a search and closing the idle window.
    void searchFromTheMenu()
    {
        {
            ProgramFolder detached;
            Program p(detached.programFile());
            QVERIFY(p.Show());
            p.mainWindow.mnuFind->trigger();
            QVERIFY(!p.windows.searchWindow->isVisible());
        }
        Started noCatalogue(false);
        noCatalogue.Find();
        QVERIFY(!noCatalogue.window()->isVisible());

        Started s(true);
        TwoGroups(s.db());
        SearchWindow* w = s.window();
        s.Find();
        QVERIFY(QTest::qWaitForWindowActive(w));
        QCOMPARE(w->windowTitle(), QString("検索"));
        QCOMPARE(w->StatusText(), SearchWindow::kCaseWarning);
        // With case and width folded the warning would be untrue: gone, and not shown again.
        w->ignoreCaseOption->setChecked(true);
        QCOMPARE(w->StatusText(), QString());
        w->hide();
        w->show();
        QCOMPARE(w->StatusText(), QString());
        QVERIFY(w->statusBar->toolTip().isEmpty());
        w->ignoreCaseOption->setChecked(false);
        QCOMPARE(w->StatusText(), SearchWindow::kCaseWarning);
        QVERIFY(QTest::qWaitForWindowActive(w));
        QTRY_COMPARE(QApplication::focusWidget(), w->searchEdit);
        QCOMPARE(w->folderOption->text(), QString("フォルダ名"));
        QCOMPARE(w->fileNameOption->text(), QString("ファイル名"));
        QCOMPARE(w->memoOption->text(), QString("メモ内容"));
        QCOMPARE(w->searchLabel->text(), QString("検索文字："));
        QCOMPARE(w->searchButton->text(), QString("検索(&F)"));
        QCOMPARE(w->ignoreCaseOption->text(), QString("大文字・小文字、全角・半角を区別しない(&I)"));
        QCOMPARE(w->literalOption->text(), QString("%と_を文字として扱う(&L)"));
        QVERIFY(!w->ignoreCaseOption->isChecked() && !w->literalOption->isChecked());
        QVERIFY(w->folderOption->isChecked());
        // The warning is read whole, however narrow the window was made.
        w->resize(200, w->height());
        QVERIFY(w->statusBar->width() > w->statusBar->fontMetrics().horizontalAdvance(SearchWindow::kCaseWarning));
        // The way of searching comes back at the next start, from the preferences file.
        w->memoOption->setChecked(true);
        w->literalOption->setChecked(true);
        {
            SearchWindow again(s.db(), s.program->fake.platform);
            again.SetPreferencesFile(s.setup.folder.path() + "kumolist.ini");
            QVERIFY(again.memoOption->isChecked() && again.literalOption->isChecked());
            QVERIFY(!again.ignoreCaseOption->isChecked());
        }
        w->folderOption->setChecked(true);
        w->literalOption->setChecked(false);
        QCOMPARE(w->optionPanel->height(), 54);
        QVERIFY(w->resultView->geometry().bottom() < w->optionPanel->geometry().top());
        Type(w->searchEdit, QString(130, QChar(0x56F3)));   // 図: two bytes each, 255 at most
        QCOMPARE(w->searchEdit->text().size(), 127);

        // The memo option, by the button.
        w->memoOption->click();
        Type(w->searchEdit, "図");
        QTest::mouseClick(w->searchButton, Qt::LeftButton);
        QVERIFY(Ended(w));
        const QString found = "グループ【意匠図】(N:1)\nC:\\図面\\a.jww(N:1) 【平面図】『１階 平面図, \"案\"』";
        QCOMPARE(w->ResultText(), found);
        QCOMPARE(w->StatusText(), QString("1 件のファイルが見つかりました（1 グループ）"));

        // Refusals leave the lines as they are.
        Type(w->searchEdit, "  ");
        QTest::keyClick(w->searchEdit, Qt::Key_Return);
        QCOMPARE(w->StatusText(), SearchWindow::kEnterText);
        Type(w->searchEdit, "a'");
        QTest::mouseClick(w->searchButton, Qt::LeftButton);
        QCOMPARE(w->StatusText(), kQuote);
        QCOMPARE(w->ResultText(), found);
        QCOMPARE(QApplication::focusWidget(), w->searchEdit);

        // Nothing found: said so.
        Type(w->searchEdit, "無い");
        QTest::keyClick(w->searchEdit, Qt::Key_Return);
        QVERIFY(Ended(w));
        QVERIFY(w->ResultText().isEmpty());
        QCOMPARE(w->StatusText(), SearchWindow::kNoneFound);

        // The folder column, by Enter; the command on the open window changes nothing.
        w->folderOption->click();
        Type(w->searchEdit, "図面");
        QTest::keyClick(w->searchEdit, Qt::Key_Return);
        QVERIFY(Ended(w));
        const QString both = found + "\nC:\\図面\\b.jww(N:2) 『』";
        QCOMPARE(w->ResultText(), both);
        QCOMPARE(w->StatusText(), QString("2 件のファイルが見つかりました（1 グループ）"));
        s.Find();
        QCOMPARE(w->ResultText(), both);
        // The option reaches the search: "c:" finds "C:" only folded.
        Type(w->searchEdit, "c:");
        QTest::keyClick(w->searchEdit, Qt::Key_Return);
        QVERIFY(Ended(w));
        QVERIFY(w->ResultText().isEmpty());
        w->ignoreCaseOption->setChecked(true);
        QTest::keyClick(w->searchEdit, Qt::Key_Return);
        QVERIFY(Ended(w));
        QCOMPARE(w->ResultText(), both);
        w->ignoreCaseOption->setChecked(false);
        Type(w->searchEdit, "図面");

        // Selected lines copy as text.
        w->resultView->selectAll();
        w->resultView->setFocus();
        QTest::keySequence(w->resultView, QKeySequence::Copy);
        QCOMPARE(s.program->fake.desktop.copiedTexts.last(), both);

        // Escape while searching stops the search and keeps the window; when idle it closes it.
        Hold hold{"ORDER BY"};
        hold.Into(w);
        w->searchButton->click();
        QTRY_COMPARE(hold.held.load(), 1);
        QVERIFY(w->Searching());
        QCOMPARE(w->StatusText(), SearchWindow::kSearchingText);
        QTest::keyClick(w->searchEdit, Qt::Key_Escape, Qt::NoModifier);
        QVERIFY(w->isVisible());
        hold.release = true;
        QVERIFY(Ended(w));
        QCOMPARE(w->StatusText(), SearchWindow::kEscapeText);
        QVERIFY(w->ResultText().isEmpty());
        QVERIFY(w->isVisible());
        w->SetStatementLog({});
        QTest::keyClick(w->searchEdit, Qt::Key_Escape, Qt::NoModifier);
        QVERIFY(!w->isVisible());

        // Shown again: the lines go, the column and the text stay.
        s.Find();
        QVERIFY(w->isVisible());
        QVERIFY(w->ResultText().isEmpty());
        QVERIFY(w->folderOption->isChecked());
        QCOMPARE(w->searchEdit->text(), QString("図面"));
    }

    // Every hit is listed however many there are, and listing them stays quick.
    void noCut()
    {
        Started s(true);
        DatabaseSession& db = s.db();
        QVERIFY(InsertGroup(db, 1, "G", "", "0", "0"));
        QVERIFY(OpenGroupTables(db, 1));
        const int entries = 20000;
        const std::string memo(250, 'm');
        QVERIFY(db.ExecuteStatement({"EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN",
                                     "WHILE (I <= " + IntToStr(entries) + ") DO BEGIN",
                                     "INSERT INTO " + FileTableName(1) + " VALUES (:I, 'f.jww', '" +
                                         Sj("C:\\図\\") + "', '" + memo + "', NULL, 0);",
                                     "I = I + 1; END END"}));
        SearchWindow* w = s.window();
        s.Find();
        w->fileNameOption->click();
        w->searchEdit->setText("jww");
        QElapsedTimer clock;
        clock.start();
        w->searchButton->click();
        QVERIFY(Ended(w));
        const qint64 ms = clock.elapsed();
        QCOMPARE(w->resultModel->rowCount(), entries + 1);
        QCOMPARE(w->resultModel->data(w->resultModel->index(entries, 0), Qt::DisplayRole).toString(),
                 QString("C:\\図\\f.jww(N:%1) 『%2』").arg(entries).arg(QString::fromStdString(memo)));
        QCOMPARE(w->StatusText(), QString("%1 件のファイルが見つかりました（1 グループ）").arg(entries));
        // The longest line fits the column: nothing is cut at the right either.
        QVERIFY(w->resultView->columnWidth(0) >=
                w->resultView->fontMetrics().horizontalAdvance(w->resultModel->data(w->resultModel->index(1, 0),
                                                                                    Qt::DisplayRole).toString()));
        qInfo("%d entries searched and shown in %lld ms", entries, ms);
    }

    // A double-click on an entry opens its group with the entry selected on its
    // sub-group, on a group line the group; the context menu opens the file, shows its
    // folder and copies the paths; CSV holds the lines' entries and reads back.
    // The drawings' texts: hits by relevance with the text around the match, the count,
    // all four ways at once, quotes kept for a phrase, and a hit opened at its entry with
    // the preview pane open.
    void drawingTextHits()
    {
        Started s(true);
        TwoGroups(s.db());
        QVERIFY(CreateDrawingTextTable(s.db()));
        QVERIFY(StoreDrawingTexts(s.db(), Sj("C:\\図面\\"), "a.jww", {{"和室", 1, 2, 3, 4}}));
        QVERIFY(StoreDrawingTexts(s.db(), Sj("C:\\図面\\"), "b.jww", {{"和室 和室", 5, 6, 7, 8}, {"和室"}}));
        QTemporaryDir cache;
        SearchWindow* w = s.window();
        w->SetTextIndexFolder(cache.path() + "/index");
        s.Find();
        QCOMPARE(w->drawingTextOption->text(), QString("図面の文字(&T)"));
        QCOMPARE(w->everythingOption->text(), QString("すべて(&E)"));
        struct Case {
            QRadioButton* way;
            QString text;
            QStringList lines;
            QString status;
        };
        const QString a = "【意匠図】 平面図 ＞ a.jww(N:1)  ", b = "【意匠図】 b.jww(N:2)  ";
        const std::vector<Case> cases = {
            {w->drawingTextOption, "わしつ", {}, SearchWindow::kNoneFound},
            {w->drawingTextOption, "和室", {b + "《和室》 和室", a + "《和室》"}, "2 件のファイルが見つかりました（1 グループ）"},
            {w->drawingTextOption, "\"和室\" -ない", {b + "《和室》 和室", a + "《和室》"}, ""},
            {w->everythingOption, "平面図", {a + "『１階 平面図, \"案\"』"}, "1 件のファイルが見つかりました（1 グループ）"},
        };
        for (const Case& c : cases) {
            c.way->click();
            w->searchEdit->setText(c.text);
            w->searchButton->click();
            QVERIFY(Ended(w));
            QCOMPARE(w->ResultText(), c.lines.join('\n'));
            if (!c.status.isEmpty()) QCOMPARE(w->StatusText(), c.status);
        }
        w->drawingTextOption->click();
        w->searchEdit->setText("和室");
        w->searchButton->click();
        QVERIFY(Ended(w));
        QVERIFY(QTest::qWaitForWindowExposed(w));
        const QRect r = w->resultView->visualRect(w->resultModel->index(1, 0));
        QTest::mousePress(w->resultView->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(w->resultView->viewport(), Qt::LeftButton, {}, r.center());
        GroupWindow* g = s.program->windows.groupWindow;
        QVERIFY(g->isVisible());
        QCOMPARE(g->currentGroupNumber, 1);
        QCOMPARE(g->SelectedRows().size(), size_t(1));
        QVERIFY(Control<QWidget>(g, "previewPane")->isVisible());
        const std::optional<std::array<double, 4>> box = w->resultModel->Line(1).box;
        QVERIFY(box && *box == (std::array<double, 4>{1, 2, 3, 4}));
    }

    void hitsLeadSomewhere()
    {
        Started s(true);
        TwoGroups(s.db());
        QTemporaryDir files;
        const QString real = files.path() + "/図面.jww";
        {
            QFile f(real);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QVERIFY(AddEntry(s.db(), 1, 3, Sj((files.path() + "/").toUtf8().constData()), Sj("図面.jww"), "x", 1));
        SearchWindow* w = s.window();
        s.Find();
        w->fileNameOption->click();
        w->searchEdit->setText("jww");
        w->searchButton->click();
        QVERIFY(Ended(w));
        QCOMPARE(w->resultModel->rowCount(), 4);

        // The hits' drawing list, each with its group and sub-group, the page setup as it stands.
        s.program->fake.fileDialogs.nextSaveNames = {files.path() + "/hits.pdf"};
        QTimer::singleShot(0, [] {
            if (auto* setup = qobject_cast<QDialog*>(QApplication::activeModalWidget())) setup->accept();
        });
        w->DrawingList(true);
        QProcess pdftotext;
        pdftotext.start("pdftotext", {files.path() + "/hits.pdf", "-"});
        QVERIFY(pdftotext.waitForFinished(60000));
        const QString pdf = QString::fromUtf8(pdftotext.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
        QVERIFY2(pdf.contains("グループ【意匠図】") && pdf.contains("図面.jww") && QString(pdf).remove(QChar(' ')).contains("3件"), qPrintable(pdf));
        s.program->fake.fileDialogs.saveRequests.clear();   // the CSV's requests are counted below

        GroupWindow* g = s.program->windows.groupWindow;
        auto doubleClick = [w](int row) {
            const QRect r = w->resultView->visualRect(w->resultModel->index(row, 0));
            // The press that a double-click begins with marks the row it is on.
            QTest::mousePress(w->resultView->viewport(), Qt::LeftButton, {}, r.center());
            QTest::mouseDClick(w->resultView->viewport(), Qt::LeftButton, {}, r.center());
        };
        QVERIFY(QTest::qWaitForWindowExposed(w));
        doubleClick(1);
        QVERIFY(g->isVisible());
        QCOMPARE(g->currentGroupNumber, 1);
        QCOMPARE(g->CurrentSubGroup(), 1);
        std::vector<int> rows = g->SelectedRows();
        QCOMPARE(rows.size(), size_t(1));
        QCOMPARE(Control<FileSortModel>(g, "fileSortModel")->Row(rows[0]).cells[kCellNumber], std::string("1"));
        doubleClick(2);   // entry 2 lies in the root
        QCOMPARE(g->CurrentSubGroup(), 0);
        rows = g->SelectedRows();
        QCOMPARE(rows.size(), size_t(1));
        QCOMPARE(Control<FileSortModel>(g, "fileSortModel")->Row(rows[0]).cells[kCellNumber], std::string("2"));
        g->CloseWindow();
        doubleClick(0);
        QVERIFY(g->isVisible());
        QVERIFY(g->SelectedRows().empty());
        // The group window's CSV: the entries its list shows, each with its sub-group.
        s.program->fake.fileDialogs.nextSaveNames = {files.path() + "/group.csv"};
        Control<QPushButton>(g, "csvButton")->click();
        QFile groupCsv(files.path() + "/group.csv");
        QVERIFY(groupCsv.open(QIODevice::ReadOnly));
        QList<QStringList> groupRows = ParseCsv(QString::fromUtf8(groupCsv.readAll().mid(3)));
        QCOMPARE(groupRows.size(), 4);
        std::sort(groupRows.begin() + 1, groupRows.end(), [](const QStringList& a, const QStringList& b) { return a[6] < b[6]; });
        QCOMPARE(groupRows[1], (QStringList{"意匠図", "平面図", "C:\\図面\\", "a.jww", "１階 平面図, \"案\"", "tester", "1"}));
        QCOMPARE(groupRows[2][1], QString());
        // A group deleted by another user since is said so.
        QVERIFY(s.db().DeleteRecords(kCatalogueTable, "N=1"));
        g->CloseWindow();
        doubleClick(1);
        QVERIFY(!g->isVisible());
        QCOMPARE(s.program->fake.messages.shown.last(), QString("他の利用者がグループを削除しました。"));
        w->activateWindow();

        // The context menu of the drawing that exists, and of one that does not.
        FakeDesktop& desktop = s.program->fake.desktop;
        auto menuOn = [w](int row, const QString& action) {
            bool ran = false;
            QTimer::singleShot(0, [&] {
                auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                QVERIFY(menu);
                QStringList texts;
                for (QAction* a : menu->actions()) texts << a->text();
                QCOMPARE(texts, (QStringList{"開く", "保存場所のフォルダを開く", "パスをコピー", "", "図面リストを印刷...",
                                             "図面リストをPDFに出力..."}));
                for (QAction* a : menu->actions())
                    if (a->text() == action) a->trigger();
                menu->close();
                ran = true;
            });
            const QRect r = w->resultView->visualRect(w->resultModel->index(row, 0));
            emit w->resultView->customContextMenuRequested(r.center());
            QVERIFY(ran);
        };
        menuOn(3, "開く");
        QCOMPARE(desktop.opened, QStringList{real});
        menuOn(3, "保存場所のフォルダを開く");
        QCOMPARE(desktop.shownInFolder, QStringList{real});
        menuOn(3, "パスをコピー");
        QCOMPARE(desktop.copiedTexts.last(), real);
        menuOn(1, "開く");
        QCOMPARE(desktop.opened.size(), 1);
        QCOMPARE(s.program->fake.messages.shown.last(), QString("ファイルが見つかりません: C:\\図面\\a.jww"));

        // CSV: cancelled writes nothing; written, it reads back as the lines show.
        const QString csv = files.path() + "/out.csv";
        w->csvButton->click();
        QCOMPARE(s.program->fake.fileDialogs.saveRequests.size(), size_t(2));
        QVERIFY(!QFile::exists(csv));
        s.program->fake.fileDialogs.nextSaveNames = {csv};
        w->csvButton->click();
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QList<QStringList> rowsRead = ParseCsv(QString::fromUtf8(bytes.mid(3)));
        QCOMPARE(rowsRead, (QList<QStringList>{
                               {"グループ", "サブグループ", "フォルダ", "ファイル名", "メモ", "登録者", "番号"},
                               {"意匠図", "平面図", "C:\\図面\\", "a.jww", "１階 平面図, \"案\"", "tester", "1"},
                               {"意匠図", "", "C:\\図面\\", "b.jww", "", "tester", "2"},
                               {"意匠図", "平面図", files.path() + "/", "図面.jww", "x", "tester", "3"}}));
        QVERIFY(bytes.contains("\"１階 平面図, \"\"案\"\"\",tester,1\r\n"));
        QCOMPARE(w->StatusText(), QString("3 件を CSV に出力しました"));
        // A file that cannot be written is said so, not reported as written.
        s.program->fake.fileDialogs.nextSaveNames = {files.path() + "/no/such/folder.csv"};
        w->csvButton->click();
        QVERIFY(s.program->fake.messages.shown.last().startsWith("CSVファイルを書き込めませんでした"));
    }

    // With a folder shared with Windows PCs, a hit stored in the Windows form opens, shows
    // its folder and copies its path where this PC finds the file; the line keeps the
    // stored text. A folder typed in either form finds the entries stored in both, and a
    // mapping holding a quotation mark spoils no search.
    void hitsInSharedFolders()
    {
        QTemporaryDir disk;
        const QString d = disk.path() + "/";
        const std::string local = Sj(d.toUtf8().constData());
        QVERIFY(QDir().mkpath(d + "図面"));
        const QString real = d + "図面/a.jww";
        {
            QFile f(real);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        Started s(true, {{"Z:\\", local}, {"\\\\srv\\q\\", "/mnt/o'k/"}});
        DatabaseSession& db = s.db();
        QVERIFY(InsertGroup(db, 1, "G", "", "0", "0"));
        QVERIFY(OpenGroupTables(db, 1));
        QVERIFY(AddEntry(db, 1, 1, Sj("Z:\\図面\\"), "a.jww", "", 0));
        QVERIFY(AddEntry(db, 1, 2, local + Sj("図面/"), "b.jww", "", 0));   // registered before the mapping
        QVERIFY(AddEntry(db, 1, 3, Sj("Z:\\図面2\\"), "c.jww", "", 0));
        QVERIFY(AddEntry(db, 1, 4, "\\\\srv\\q\\", "d.jww", "", 0));
        SearchWindow* w = s.window();
        s.Find();
        auto find = [w](const QString& text) {
            w->searchEdit->setText(text);
            w->searchButton->click();
            return Ended(w) ? w->ResultText() : QString("(still searching)");
        };
        const QString both = "グループ【G】(N:1)\nZ:\\図面\\a.jww(N:1) 『』\n" + d + "図面/b.jww(N:2) 『』";
        QCOMPARE(find(d + "図面/"), both);
        QCOMPARE(find("Z:\\図面\\"), both);
        QCOMPARE(find("\\\\srv\\q\\"), QString("グループ【G】(N:1)\n\\\\srv\\q\\d.jww(N:4) 『』"));

        find(d + "図面/");
        FakeDesktop& desktop = s.program->fake.desktop;
        w->OpenFileOf(1);
        QCOMPARE(desktop.opened, QStringList{real});
        w->ShowFolderOf(1);
        QCOMPARE(desktop.shownInFolder, QStringList{real});
        w->CopyPathsOf({0, 1, 2});
        QCOMPARE(desktop.copiedTexts.last(), real + "\n" + d + "図面/b.jww");
    }

    // While a search runs the window answers, shows the lines found so far and says that
    // it searches, and the program's own session serves other commands. The stop, closing
    // the window and a quit signal (the program closes at once as on 終了, its settings
    // written) each end the search, none waiting for it to finish; its attachment goes.
    void searchOnItsOwn()
    {
        Setup set;
        QVERIFY(set.ok);
        SixtyGroups(set.session);
        set.Done();
        DatabaseSession watch(set.db.settings);
        watch.ConnectDatabase();
        auto program = std::make_unique<Program>(set.folder.programFile());
        QuitSignals quitSignals;
        CloseProgramOnQuitSignals(quitSignals, program->mainWindow);
        QVERIFY(program->Show());
        SearchWindow* w = program->windows.searchWindow;
        w->fileNameOption->click();
        enum Way { Stop, Close, EndProgram };
        for (Way way : {Stop, Close, EndProgram}) {
            const QByteArray name = QByteArray::number(int(way));
            program->mainWindow.mnuFind->trigger();
            QVERIFY(QTest::qWaitForWindowExposed(w));
            // Held at its second statement, after the first 50 groups.
            Hold hold{"SELECT 51 "};
            hold.Into(w);
            w->searchEdit->setText("jww");
            w->searchButton->click();
            QTRY_COMPARE(hold.held.load(), 1);
            QTRY_COMPARE(w->resultModel->rowCount(), 100);
            QVERIFY(w->Searching());
            QCOMPARE(w->StatusText(), SearchWindow::kSearchingText);
            QTest::keyClicks(w->searchEdit, "x");
            QCOMPARE(w->searchEdit->text(), QString("jwwx"));
            w->searchButton->click();   // no second search meanwhile
            QCOMPARE(hold.held.load(), 1);
            QCOMPARE(program->mainWindow.Session().CountRecords(kCatalogueTable, ""), 60);
            program->mainWindow.mnuRefresh->trigger();
            QCOMPARE(OtherAttachments(watch), 2);

            QElapsedTimer clock;
            clock.start();
            if (way == Stop) {
                w->RequestStop();
                hold.release = true;
                QVERIFY(Ended(w));
                QCOMPARE(w->StatusText(), SearchWindow::kEscapeText);
                QCOMPARE(w->resultModel->rowCount(), 100);
            } else if (way == Close) {
                QSignalSpy ended(w, &SearchWindow::SearchEnded);
                w->close();   // while its thread is still held
                QVERIFY(!w->isVisible() && !w->Searching());
                QCOMPARE(ended.count(), 1);
                hold.release = true;
            } else {
                QVERIFY(QFile::remove(set.folder.settingsPath()));
                raise(SIGTERM);
                QTRY_VERIFY(!program->mainWindow.isVisible());
                QVERIFY(QFileInfo::exists(set.folder.settingsPath()));
                // Released a moment later: the program's end waits for the search that long.
                clock.restart();
                std::thread later([&hold] {
                    QThread::msleep(300);
                    hold.release = true;
                });
                program.reset();
                later.join();
            }
            QVERIFY2(clock.elapsed() < SearchWorker::kEndWaitMs, name);
            QTRY_VERIFY2(OtherAttachments(watch) == (way == EndProgram ? 0 : 1), name);
            if (program) w->SetStatementLog({});
        }
    }

    // A server lost during the search is said so (never as "nothing found") with the lines
    // found before; the next search attaches again.
    void lostServerDuringSearch()
    {
        TcpForwarder relay;
        Setup set;
        QVERIFY(set.ok);
        SixtyGroups(set.session);
        DatabaseSettings viaRelay = set.db.settings;
        viaRelay.serverName = relay.ServerName();
        set.folder.WriteSettings(viaRelay);
        set.Done();
        Program p(set.folder.programFile());
        QVERIFY(p.Show());
        SearchWindow* w = p.windows.searchWindow;
        p.mainWindow.mnuFind->trigger();
        w->fileNameOption->click();
        w->searchEdit->setText("jww");

        w->SetStatementLog([&relay](const std::string& s) {
            if (s.find("SELECT 51 ") != std::string::npos) relay.Cut();
        });
        w->searchButton->click();
        QVERIFY(Ended(w));
        QCOMPARE(w->StatusText(), SearchWindow::kLostText);
        QCOMPARE(w->resultModel->rowCount(), 100);

        w->SetStatementLog({});
        w->searchButton->click();
        QVERIFY(Ended(w));
        QCOMPARE(w->resultModel->rowCount(), 120);
        QCOMPARE(w->StatusText(), QString("60 件のファイルが見つかりました（60 グループ）"));
    }
};

QTEST_MAIN(TestSearchWindow)
#include "test_searchwindow.moc"
