// The compare window over the real thumbnailer: its list of differences, the layers
// shown, a click that zooms to a difference, the picture saved, and pairs it cannot
// compare said in its place.
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "groupwin/comparewindow.h"
#include "groupwin/previewpane.h"
#include "support/fakeplatform.h"
#include "support/jwwwriter.h"
#include "text/cp932.h"

namespace {

// A room; revised moves a wall, renames the room, removes the door swing, adds a table.
std::string Room(bool revised)
{
    JwwWriter w;
    w.Line(0, 0, 100, 0).Line(100, 0, 100, 80).Line(0, 80, 0, 0).Line(100, revised ? 81 : 80, 0, revised ? 81 : 80);
    if (!revised) w.Arc(10, 0, 9, 0, 1.5707963, 0, 1, false);
    w.Text(40, 40, 52, 40, 3, 3, 0, Utf8ToCp932(revised ? "リビング" : "居間").value_or(""));
    w.Insert(20, 60, 1, 1, 0, 1);
    if (revised) w.Insert(70, 60, 1, 1, 0, 1);
    w.BeginBlock(1, "table");
    w.Line(0, 0, 10, 0).Line(10, 0, 10, 5);
    w.EndBlock();
    return w.Bytes();
}

void Write(const QString& path, const std::string& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes.data(), qint64(bytes.size()));
}

} // namespace

class TestCompareWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        Write(dir_.filePath("room.jww"), Room(false));
        Write(dir_.filePath("room2.jww"), Room(true));
        Write(dir_.filePath("broken.jww"), Room(false).substr(0, 300));
    }

    void pairs_data()
    {
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("thumbnailer");
        QTest::addColumn<QStringList>("rows");     // the list's first rows
        QTest::addColumn<QString>("said");         // the summary, or the note in the picture's place
        const QString helper = QStringLiteral(KUMO_THUMBNAILER);
        QTest::newRow("revised") << "room2.jww" << helper
                                 << QStringList{"文字  居間 → リビング", "線 削除", "線 追加", "円弧 削除", "ブロック 追加"}
                                 << "共通 4、1 だけ 2、2 だけ 2、文字の変更 1";
        QTest::newRow("same") << "room.jww" << helper << QStringList{} << "同じ図面です（7 個の要素）";
        QTest::newRow("damaged") << "broken.jww" << helper << QStringList{} << "図面を読み込めませんでした（壊れているか、図面ではありません）";
        QTest::newRow("no helper") << "room2.jww" << dir_.filePath("none") << QStringList{}
                                   << "比較できませんでした（時間がかかりすぎたか、失敗しました）";
    }
    void pairs()
    {
        QFETCH(QString, second);
        QFETCH(QString, thumbnailer);
        QFETCH(QStringList, rows);
        QFETCH(QString, said);
        FakePlatform fake;
        CompareWindow w(fake.platform, thumbnailer, dir_.filePath("room.jww"), dir_.filePath(second));
        w.setAttribute(Qt::WA_DeleteOnClose, false);
        w.show();
        QSignalSpy shown(&w, &CompareWindow::pictureShown);
        QVERIFY(shown.wait(30000));
        QStringList listed;
        for (int i = 0; i < w.differenceList->count(); ++i) listed << w.differenceList->item(i)->text();
        QCOMPARE(listed, rows);
        if (!w.canvas->HasPicture()) {
            QCOMPARE(w.canvas->Note(), said);
            QVERIFY(!w.saveButton->isEnabled());
            return;
        }
        QCOMPARE(w.summaryLabel->text(), said);
        const QSize size = w.canvas->PictureSize();
        QCOMPARE(std::max(size.width(), size.height()), CompareWindow::kPictureSize);

        // Another layer shown: the picture redrawn in place.
        w.showFirst->click();
        QVERIFY(shown.wait(30000));
        QVERIFY(w.canvas->HasPicture());
        QCOMPARE(w.canvas->PictureSize(), size);

        if (!rows.isEmpty()) {
            const double fit = w.canvas->FitScale();
            w.differenceList->setCurrentRow(0);
            QVERIFY(w.canvas->Scale() > fit * 2);
        }
        // Zoomed in past the picture's pixels: the part in view drawn again at the
        // canvas's size; zoomed out again, the picture alone.
        QSignalSpy sharper(&w, &CompareWindow::sharperShown);
        w.canvas->ZoomTo(QRectF(QPointF(size.width() / 2.0, size.height() / 2.0), QSizeF(20, 20)));
        QVERIFY(w.canvas->Scale() > 1);
        QVERIFY(sharper.wait(30000));
        QVERIFY(w.SharperShown());
        w.canvas->Fit();
        QVERIFY(!w.SharperShown());

        // Saved where the dialog says, with its legend; a cancelled dialog saves nothing.
        const QString png = dir_.filePath(second + ".png");
        fake.fileDialogs.nextSaveNames.push_back(png);
        w.SavePicture();
        QVERIFY(!QImage(png).isNull());
        QVERIFY(!QFile::exists(png + ".part.png"));
        w.SavePicture();
        QCOMPARE(fake.fileDialogs.saveRequests.size(), std::size_t(2));
        QVERIFY(fake.messages.shown.isEmpty());
    }

private:
    QTemporaryDir dir_;
};

QTEST_MAIN(TestCompareWindow)
#include "test_comparewindow.moc"
