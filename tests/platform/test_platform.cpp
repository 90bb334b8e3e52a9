// The real platform services, driven as a user would: the boxes and the dialog are
// answered from a timer while they run modally.
#include <QtTest>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolTip>

#include "platform/cp932edit.h"
#include "platform/platform.h"

namespace {

// Runs `inspect` on the modal widget of type T once it is up.
template <typename T>
void WhenModal(std::function<void(T*)> inspect)
{
    QTimer::singleShot(0, [inspect] {
        T* w = nullptr;
        QTRY_VERIFY((w = qobject_cast<T*>(QApplication::activeModalWidget())) != nullptr);
        inspect(w);
    });
}

QPushButton* ButtonWithText(QMessageBox* box, const QString& text)
{
    for (QAbstractButton* b : box->buttons())
        if (b->text() == text) return qobject_cast<QPushButton*>(b);
    return nullptr;
}

} // namespace

class TestPlatform : public QObject {
    Q_OBJECT
private slots:
    void confirmation()
    {
        RealPlatform real;
        for (bool yes : {true, false}) {
            WhenModal<QMessageBox>([yes](QMessageBox* box) {
                QCOMPARE(box->windowTitle(), QString("確認"));
                QCOMPARE(box->icon(), QMessageBox::Question);
                QPushButton* y = ButtonWithText(box, "はい(&Y)");
                QPushButton* n = ButtonWithText(box, "いいえ(&N)");
                QVERIFY(y && n);
                (yes ? y : n)->click();
            });
            QCOMPARE(real.platform.messages->Confirm(nullptr, "よろしいですか？"), yes);
        }
        // Closing the box is a no.
        WhenModal<QMessageBox>([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
        QCOMPARE(real.platform.messages->Confirm(nullptr, "よろしいですか？"), false);
    }

    void choice()
    {
        RealPlatform real;
        const QStringList buttons{"除く(&S)", "登録する(&R)", "キャンセル"};
        // A button pressed, Enter (the first), Escape (the last).
        struct Case {
            int click;   // -1: Enter, -2: Escape
            int answer;
        };
        for (const Case& c : {Case{1, 1}, Case{2, 2}, Case{-1, 0}, Case{-2, 2}}) {
            WhenModal<QMessageBox>([&](QMessageBox* box) {
                QCOMPARE(box->windowTitle(), QString("確認"));
                QCOMPARE(box->text(), QString("既に登録されているファイルが 2 件あります。"));
                if (c.click >= 0)
                    ButtonWithText(box, buttons[c.click])->click();
                else
                    QTest::keyClick(box, c.click == -1 ? Qt::Key_Return : Qt::Key_Escape);
            });
            QCOMPARE(real.platform.messages->Choose(nullptr, "既に登録されているファイルが 2 件あります。", buttons), c.answer);
        }
    }

    void byteLimitNotice_data()
    {
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<QString>("notice");
        QTest::newRow("within") << 32 << "図面abc" << "図面abc" << QString();
        QTest::newRow("at the limit") << 4 << "図面" << "図面" << QString();
        QTest::newRow("past it") << 32 << QString(17, QChar(0x56F3)) << QString(16, QChar(0x56F3))
                                 << "32 バイトまでです（全角文字は 2 バイト）";
        QTest::newRow("single bytes past it") << 16 << "abcdefghijklmnopq" << "abcdefghijklmnop"
                                              << "16 バイトまでです（全角文字は 2 バイト）";
        QTest::newRow("no CP932 form") << 32 << "a한" << "a" << "シフトJISで表せない文字は入力出来ません";
    }

    void byteLimitNotice()
    {
        QFETCH(int, limit);
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QFETCH(QString, notice);
        QToolTip::showText(QPoint(), QString());
        QLineEdit e;
        SetByteLimit(&e, limit);
        e.show();
        QVERIFY(QTest::qWaitForWindowExposed(&e));
        for (QChar c : typed) {
            if (c.unicode() < 0x80)
                QTest::keyClick(&e, c.toLatin1());
            else
                QTest::sendKeyEvent(QTest::Click, &e, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
        QCOMPARE(e.text(), kept);
        QCOMPARE(QToolTip::text(), notice);
    }

    void message()
    {
        RealPlatform real;
        WhenModal<QMessageBox>([](QMessageBox* box) {
            QCOMPARE(box->windowTitle(), QString("q318－Kumolist"));
            QCOMPARE(box->text(), QString("登録OK"));
            QCOMPARE(box->buttons().size(), 1);
            box->buttons().first()->click();
        });
        real.platform.messages->ShowMessage(nullptr, "登録OK");
    }

    // The filter texts name their patterns with ";": the dialog must still list the files.
    void fileDialogFilters()
    {
        QTemporaryDir dir;
        for (const char* name : {"a.bmp", "b.ico", "c.emf", "d.wmf", "e.txt"}) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        RealPlatform real;
        OpenFileRequest request;
        request.folder = dir.path();
        request.filters = {"すべてのファイル (*.bmp;*.ico;*.emf;*.wmf)", "ビットマップ (*.bmp)"};
        request.preview = [](const QString&) { return QPixmap(8, 8); };
        QStringList listed;
        QString shownFilter;
        WhenModal<QFileDialog>([&listed, &shownFilter](QFileDialog* dialog) {
            // Whatever happens here, the dialog must end, or the test would hang.
            auto done = qScopeGuard([dialog] { QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection); });
            auto* view = dialog->findChild<QListView*>("listView");
            auto* combo = dialog->findChild<QComboBox*>("fileTypeCombo");
            auto* buttons = dialog->findChild<QDialogButtonBox*>("buttonBox");
            if (!view || !combo || !buttons) return;
            (void)QTest::qWaitFor([&] { return view->model()->rowCount(view->rootIndex()) >= 4; }, 3000);
            for (int i = 0; i < view->model()->rowCount(view->rootIndex()); ++i)
                listed << view->model()->index(i, 0, view->rootIndex()).data().toString();
            shownFilter = combo->itemText(0);
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            if (!name) return;
            combo->setCurrentIndex(1);   // told back by its place, not by its shortened text
            name->setText("a.bmp");
            buttons->button(QDialogButtonBox::Open)->click();
        });
        int chosenFilter = -1;
        request.chosenFilter = &chosenFilter;
        QStringList chosen = real.platform.fileDialogs->OpenFiles(nullptr, request);
        listed.sort();
        QCOMPARE(listed, (QStringList{"a.bmp", "b.ico", "c.emf", "d.wmf"}));
        QCOMPARE(shownFilter, QString("すべてのファイル (*.bmp;*.ico;*.emf;*.wmf)"));
        QCOMPARE(chosen, QStringList{dir.filePath("a.bmp")});
        QCOMPARE(chosenFilter, 1);
    }

    // The progress dialog waits a moment before it shows; a cancel is told at the next
    // update, and the dialog goes with its display.
    void progressCancel()
    {
        RealPlatform real;
        std::unique_ptr<ProgressDisplay> shown = real.platform.progress->Start(nullptr, "work", 10);
        QProgressDialog* dialog = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<QProgressDialog*>(w)) dialog = d;
        QVERIFY(dialog && !dialog->isVisible());
        QVERIFY(shown->Update(1));
        QCOMPARE(dialog->value(), 1);
        dialog->cancel();
        QVERIFY(!shown->Update(2));
        shown.reset();
        QVERIFY(!QApplication::topLevelWidgets().contains(dialog));
    }
};

QTEST_MAIN(TestPlatform)
#include "test_platform.moc"
