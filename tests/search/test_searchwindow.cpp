// The search window as a user meets it: the menu command, the controls, a search with
// its lines and status texts, the refusals, Escape, and the view's limit.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "boardfixture.h"
#include "catalogue.h"
#include "db/schema.h"
#include "entries.h"
#include "search/searchwindow.h"
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

// The program attached to a fresh database; the catalogue only when asked for.
struct Started {
    Setup setup;
    std::unique_ptr<Program> program;
    explicit Started(bool withCatalogue)
    {
        if (withCatalogue) QVERIFY(CreateCatalogueTable(setup.session));
        setup.Done();
        program = std::make_unique<Program>(setup.folder.programFile());
        QVERIFY(program->Show());
        QVERIFY(program->mainWindow.Session().Connected());
    }
    DatabaseSession& db() { return program->mainWindow.Session(); }
    SearchWindow* window() { return program->windows.searchWindow; }
    void Find() { program->mainWindow.mnuFind->trigger(); }
};

} // namespace

class TestSearchWindow : public QObject {
    Q_OBJECT

private slots:
    // Shown only with a catalogue to search; its controls; a search, the refusals that
    // keep the lines, a second showing that keeps column and text, and Escape.
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
        DatabaseSession& db = s.db();
        QVERIFY(InsertGroup(db, 1, Sj("意匠図"), "", "0", "0"));
        QVERIFY(InsertGroup(db, 2, Sj("未使用"), "", "0", "0"));
        QVERIFY(OpenGroupTables(db, 1));
        QVERIFY(AddSubGroup(db, 1, 1, Sj("平面図")));
        QVERIFY(AddEntry(db, 1, 1, Sj("C:\\図面\\"), "a.jww", Sj("１階 平面図"), 1));
        QVERIFY(AddEntry(db, 1, 2, Sj("C:\\図面\\"), "b.jww", "", 0));

        SearchWindow* w = s.window();
        s.Find();
        QVERIFY(QTest::qWaitForWindowActive(w));
        QCOMPARE(w->windowTitle(), QString("検索"));
        QCOMPARE(w->StatusText(), SearchWindow::kCaseWarning);
        QTRY_COMPARE(QApplication::focusWidget(), w->searchEdit);
        QCOMPARE(w->folderOption->text(), QString("フォルダ名"));
        QCOMPARE(w->fileNameOption->text(), QString("ファイル名"));
        QCOMPARE(w->memoOption->text(), QString("メモ内容"));
        QCOMPARE(w->searchLabel->text(), QString("検索文字："));
        QCOMPARE(w->searchButton->text(), QString("検索(&F)"));
        QVERIFY(w->folderOption->isChecked());
        QVERIFY(w->resultView->isReadOnly());
        QCOMPARE(w->resultView->lineWrapMode(), QPlainTextEdit::NoWrap);
        QCOMPARE(w->optionPanel->height(), 54);
        QVERIFY(w->resultView->geometry().bottom() < w->optionPanel->geometry().top());
        Type(w->searchEdit, QString(130, QChar(0x56F3)));   // 図: two bytes each, 255 at most
        QCOMPARE(w->searchEdit->text().size(), 127);

        // The memo option, by the button.
        w->memoOption->click();
        Type(w->searchEdit, "図");
        QTest::mouseClick(w->searchButton, Qt::LeftButton);
        const QString found = "グループ【意匠図】(N:1)\nC:\\図面\\a.jww(N:1) 【平面図】『１階 平面図』";
        QCOMPARE(w->resultView->toPlainText(), found);
        QCOMPARE(w->StatusText(), SearchWindow::kCaseWarning);

        // Refusals leave the lines as they are.
        Type(w->searchEdit, "  ");
        QTest::keyClick(w->searchEdit, Qt::Key_Return);
        QCOMPARE(w->StatusText(), SearchWindow::kEnterText);
        Type(w->searchEdit, "a'");
        QTest::mouseClick(w->searchButton, Qt::LeftButton);
        QCOMPARE(w->StatusText(), kQuote);
        QCOMPARE(w->resultView->toPlainText(), found);
        QCOMPARE(QApplication::focusWidget(), w->searchEdit);

        // The folder column, by Enter; the command on the open window changes nothing.
        w->folderOption->click();
        Type(w->searchEdit, "図面");
        QTest::keyClick(w->searchEdit, Qt::Key_Return);
        const QString both = found + "\nC:\\図面\\b.jww(N:2) 『』";
        QCOMPARE(w->resultView->toPlainText(), both);
        s.Find();
        QCOMPARE(w->resultView->toPlainText(), both);

        // Closed and shown again: the lines go, the column and the text stay.
        w->close();
        QVERIFY(!w->isVisible());
        s.Find();
        QVERIFY(w->isVisible());
        QVERIFY(w->resultView->toPlainText().isEmpty());
        QVERIFY(w->folderOption->isChecked());
        QCOMPARE(w->searchEdit->text(), QString("図面"));

        s.program->fake.escape.down = true;
        w->searchButton->click();
        QCOMPARE(w->StatusText(), SearchWindow::kEscapeText);
        QVERIFY(w->resultView->toPlainText().isEmpty());
        QVERIFY(!w->Searching());
    }

    // The view takes in 4 096 000 characters and no more, and filling it stays quick.
    void viewLimit()
    {
        Started s(true);
        DatabaseSession& db = s.db();
        QVERIFY(InsertGroup(db, 1, "G", "", "0", "0"));
        QVERIFY(OpenGroupTables(db, 1));
        const int entries = 16000;
        const std::string memo(250, 'm');
        QVERIFY(db.ExecuteStatement({"EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN",
                                     "WHILE (I <= " + IntToStr(entries) + ") DO BEGIN",
                                     "INSERT INTO " + FileTableName(1) + " VALUES (:I, 'f.jww', '" +
                                         Sj("C:\\図\\") + "', '" + memo + "', NULL, 0);",
                                     "I = I + 1; END END"}));
        QString all = "グループ【G】(N:1)";
        for (int n = 1; n <= entries; ++n)
            all += QString("\nC:\\図\\f.jww(N:%1) 『%2』").arg(n).arg(QString::fromStdString(memo));
        QVERIFY(all.size() > SearchWindow::kMaxViewChars);

        SearchWindow* w = s.window();
        s.Find();
        w->fileNameOption->click();
        w->searchEdit->setText("jww");
        QElapsedTimer clock;
        clock.start();
        w->searchButton->click();
        const qint64 ms = clock.elapsed();
        const QString shown = w->resultView->toPlainText();
        QCOMPARE(shown.size(), SearchWindow::kMaxViewChars);
        QVERIFY(shown == all.left(SearchWindow::kMaxViewChars));
        QCOMPARE(w->StatusText(), SearchWindow::kCaseWarning);
        qInfo("%d entries searched and shown in %lld ms", entries, ms);

        // A new search starts from an empty view.
        w->searchEdit->setText("f.jww");
        w->searchButton->click();
        QCOMPARE(w->resultView->toPlainText().size(), SearchWindow::kMaxViewChars);
    }
};

QTEST_MAIN(TestSearchWindow)
#include "test_searchwindow.moc"
