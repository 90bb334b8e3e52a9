// The group window's pictures of drawings as a user sees them: thumbnails filling in
// the icon view in the background, the rows in view first, and the preview pane that
// follows the current entry, zooms, pans and is remembered. Drawn by the real
// thumbnailer, or by a slow stand-in that hands the work on to it.
#include <utime.h>

#include <QDirIterator>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QListView>
#include <QPushButton>
#include <QToolButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include "boardfixture.h"
#include "catalogue.h"
#include "db/schema.h"
#include "drawing/thumbcache.h"
#include "groupwin/comparewindow.h"
#include "groupwin/drawingthumbnails.h"
#include "groupwin/filelistmodel.h"
#include "groupwin/groupwindow.h"
#include "groupcontrols.h"
#include "groupwin/previewpane.h"
#include "settings/preferences.h"
#include "text/cp932.h"
#include "text/pathname.h"
#include "text/textutil.h"

namespace {

const char* const kDrawings[] = {"Test1.jww", "Test2.jww", "non_block.jww", "サンプル.jww", "敷地図.jww"};

std::string Cp(const QString& s) { return FromQ(s).value(); }

// The largest side of what the row shows as its icon: 96 for a thumbnail, 16 for the
// test's type icon, 0 for none.
int IconSide(GroupWindow* w, int row)
{
    const QIcon icon = ShownRows(w)->index(row, kCellName).data(Qt::DecorationRole).value<QIcon>();
    int side = 0;
    for (const QSize& s : icon.availableSizes()) side = std::max({side, s.width(), s.height()});
    return side;
}

QImage Thumbnail(GroupWindow* w, int row)
{
    return ShownRows(w)->index(row, kCellName).data(Qt::DecorationRole).value<QIcon>().pixmap(96).toImage();
}

// Rows of the icon view that show some of themselves.
QList<int> RowsInView(GroupWindow* w)
{
    QList<int> rows;
    for (int r = 0; r < ShownRows(w)->rowCount(); ++r)
        if (IconView(w)->visualRect(ShownRows(w)->index(r, 0)).intersects(IconView(w)->viewport()->rect()))
            rows << r;
    return rows;
}

void Wheel(QWidget* on, QPointF at, int delta)
{
    QWheelEvent e(at, on->mapToGlobal(at), {}, {0, delta}, Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(on, &e);
}

// A drawing's row as the group window makes it.
FileRow DrawingRow(const QString& path)
{
    const QFileInfo f(path);
    FileRow row;
    row.cells[kCellName] = Cp(f.fileName());
    row.cells[kCellFolder] = Cp(f.absolutePath() + "/");
    row.cells[kCellType] = FileTypeOf(row.cells[kCellName]);
    row.cells[kCellTime] = "2024/01/01 00:00:00";
    row.exists = true;
    return row;
}

int LongerSide(QSize s) { return std::max(s.width(), s.height()); }

void Mouse(QWidget* on, QEvent::Type type, QPointF at, Qt::MouseButtons buttons)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, at, on->mapToGlobal(at), button, buttons, {});
    QApplication::sendEvent(on, &e);
}

} // namespace

class TestDrawingViews : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    QString Copy(const char* drawing, const QString& as)
    {
        const QString to = dir_.path() + "/" + as;
        QFile::remove(to);
        QFile::copy(QStringLiteral(KUMO_TESTDATA "/jww/") + QString::fromUtf8(drawing), to);
        return to;
    }

    // A stand-in thumbnailer that notes every file asked for in `log` and takes `seconds`
    // for each before the real one draws it.
    QString SlowThumbnailer(const QString& log, const char* seconds)
    {
        const QString path = dir_.path() + "/slow-thumbnailer";
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return {};
        f.write(QStringLiteral("#!/bin/bash\nwhile IFS=$'\\t' read -r size input output; do\n"
                               "  printf '%s\\n' \"$input\" >>'%1'\n  sleep %2\n"
                               "  if '%3' -s \"$size\" \"$input\" \"$output\"; then printf 'ok\\t%s\\n' \"$input\";"
                               " else printf 'fail\\t%s\\n' \"$input\"; fi\ndone\n")
                    .arg(log, QString::fromLatin1(seconds), QStringLiteral(KUMO_THUMBNAILER))
                    .toUtf8());
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    static QStringList Logged(const QString& log)
    {
        QFile f(log);
        if (!f.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }

    // The program on a database whose group 1 holds the files (full paths) in order.
    struct Run {
        Setup set;
        std::unique_ptr<Program> p;
        GroupWindow* w = nullptr;
        explicit Run(const QStringList& files)
        {
            if (!set.ok || !InsertGroup(set.session, 1, "g", "", "10", "10") || !EnsureGroupTables(set.session, 1)) return;
            for (int i = 0; i < files.size(); ++i) {
                const QFileInfo f(files[i]);
                if (!set.session.InsertRecord(FileTableName(1), kFileColumnCount, FileColumns(),
                                              {IntToStr(i + 1), TextLiteral(Cp(f.fileName())),
                                               TextLiteral(Cp(f.absolutePath() + "/")), TextLiteral(Cp("メモ" + QString::number(i))),
                                               "'u'", "0"}))
                    return;
            }
            set.Done();
            p = std::make_unique<Program>(set.folder.programFile());
            QPixmap typeIcon(16, 16);
            typeIcon.fill(Qt::darkBlue);
            p->fake.desktop.icon = QIcon(typeIcon);
            if (p->Show()) w = p->windows.groupWindow;
        }
        void Open()
        {
            Select(*p, 1);
            Trigger(*p, "mnuOpenGroup");
            QVERIFY(QTest::qWaitForWindowExposed(w));
        }
    };

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        // A cache of this run's own: the first opening draws every drawing.
        qputenv("XDG_CACHE_HOME", QFile::encodeName(dir_.path() + "/cache"));
    }

    // The list shows at once with type icons; a slow thumbnailer never holds the event
    // loop up; each drawing's and photo's own thumbnail fills in, in the icon view only;
    // other files keep their icon, a missing one none; a drawing changed on disk is drawn
    // again.
    void thumbnailsFillInWithoutBlocking()
    {
        QStringList files;
        for (const char* d : kDrawings) files << Copy(d, "fill-" + QString::fromUtf8(d));
        files << dir_.path() + "/fill-gone.jww" << dir_.path() + "/fill-notes.txt";
        QFile(files.last()).open(QIODevice::WriteOnly);
        files << dir_.path() + "/fill-現場写真.JPG";
        QImage photo(300, 200, QImage::Format_RGB32);
        photo.fill(Qt::darkGreen);
        QVERIFY(photo.save(files.last(), "jpeg"));
        Run run(files);
        QVERIFY(run.w);
        GroupWindow* w = run.w;
        const QString log = dir_.path() + "/fill.log";
        w->SetThumbnailer(SlowThumbnailer(log, "0.3"));
        run.Open();
        QCOMPARE(ReadRows(w)->rowCount(), 8);
        QCOMPARE(IconSide(w, 0), 16);

        QElapsedTimer clock, gap;
        qint64 longest = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, [&] {
            longest = std::max(longest, gap.restart());
        });
        clock.start();
        gap.start();
        tick.start(5);
        const auto drawn = [&] {
            for (int r : {0, 1, 2, 3, 4, 7})
                if (IconSide(w, r) != 96) return false;
            return true;
        };
        QTRY_VERIFY_WITH_TIMEOUT(drawn(), 60000);
        tick.stop();
        QVERIFY2(clock.elapsed() >= 1500, "the thumbnailer took 0.3 s a file");
        QVERIFY2(longest < 100, qPrintable(QString("event loop held up for %1 ms").arg(longest)));
        QCOMPARE(IconSide(w, 5), 0);
        QCOMPARE(ShownRows(w)->index(5, kCellTime).data().toString(), QString("<No File>"));
        QCOMPARE(IconSide(w, 6), 16);
        QCOMPARE(Logged(log).size(), 6);
        const QColor middle = Thumbnail(w, 7).pixelColor(48, 48);   // JPEG: near the colour
        QVERIFY(middle.red() < 8 && std::abs(middle.green() - 128) < 8 && middle.blue() < 8);
        // Each drawing has a picture of its own.
        for (int a = 0; a < 5; ++a)
            for (int b = a + 1; b < 5; ++b) QVERIFY(Thumbnail(w, a) != Thumbnail(w, b));

        w->SetViewStyleIndex(1);
        QCOMPARE(IconSide(w, 0), 16);
        w->SetViewStyleIndex(2);
        QCOMPARE(IconSide(w, 0), 16);
        w->SetViewStyleIndex(0);
        QCOMPARE(IconSide(w, 0), 96);

        // Test1's copy becomes 敷地図, a minute later: the refilled list shows 敷地図.
        const QImage before = Thumbnail(w, 0);
        const QString changed = files[0];
        QVERIFY(QFile::remove(changed) && QFile::copy(files[4], changed));
        const utimbuf later{QFileInfo(files[4]).lastModified().toSecsSinceEpoch() + 60,
                            QFileInfo(files[4]).lastModified().toSecsSinceEpoch() + 60};
        QCOMPARE(::utime(QFile::encodeName(changed).constData(), &later), 0);
        w->FillFileList();
        QTRY_COMPARE_WITH_TIMEOUT(Thumbnail(w, 0), Thumbnail(w, 4), 30000);
        QVERIFY(Thumbnail(w, 0) != before);
        QCOMPARE(Logged(log).size(), 7);
    }

    // Of a group larger than the view, the rows in view are asked for first and then the
    // screenful after them; scrolled to the end, the rows there come next and the
    // rows scrolled past are never drawn.
    void rowsInViewFirst()
    {
        QStringList files;
        for (int i = 0; i < 60; ++i) files << Copy(kDrawings[i % 5], QString::asprintf("view%02d.jww", i));
        Run run(files);
        QVERIFY(run.w);
        GroupWindow* w = run.w;
        const QString log = dir_.path() + "/view.log";
        w->SetThumbnailer(SlowThumbnailer(log, "0.15"));
        run.Open();
        const QList<int> top = RowsInView(w);
        QVERIFY(!top.isEmpty() && top.size() < 20);
        QTRY_VERIFY_WITH_TIMEOUT(Logged(log).size() >= top.size(), 30000);
        for (int i = 0; i < top.size(); ++i) QCOMPARE(Logged(log)[i], files[top[i]]);
        QVERIFY(Control<DrawingThumbnails>(w, "drawingThumbnails")->Waiting() <= 2 * top.size());

        QScrollBar* bar = IconView(w)->verticalScrollBar();
        bar->setValue(bar->maximum());
        const QList<int> bottom = RowsInView(w);
        QVERIFY(bottom.contains(59) && !bottom.contains(top.last() + top.size()));
        QTRY_VERIFY_WITH_TIMEOUT(IconSide(w, bottom.first()) == 96 && IconSide(w, 59) == 96, 30000);
        QTest::qWait(500);
        const QStringList drawn = Logged(log);
        for (int r = top.last() + top.size() + 1; r < bottom.first(); ++r) QVERIFY2(!drawn.contains(files[r]), qPrintable(files[r]));
        for (int r : bottom) QVERIFY(drawn.contains(files[r]));
    }

    // The pane follows the current entry, with its memo, and reads in the background;
    // moving on quickly drops what was asked before; the wheel zooms at the pointer
    // within bounds, a drag pans, a double-click fits again; shown or not is remembered.
    void previewPane()
    {
        QStringList files;
        for (const char* d : kDrawings) files << Copy(d, "pane-" + QString::fromUtf8(d));
        files << dir_.path() + "/pane-notes.txt";
        QFile(files.last()).open(QIODevice::WriteOnly);
        Run run(files);
        QVERIFY(run.w);
        GroupWindow* w = run.w;
        PreviewPane* pane = Control<PreviewPane>(w, "previewPane");
        const QString log = dir_.path() + "/pane.log";
        w->SetThumbnailer(SlowThumbnailer(log, "1"));
        run.Open();
        w->resize(1000, 700);
        QVERIFY(pane->isHidden() && !Control<QPushButton>(w, "previewButton")->isChecked());
        QCOMPARE(Control<QPushButton>(w, "previewButton")->text(), QString("プレビュー(&V)"));
        QTest::mouseClick(Control<QPushButton>(w, "previewButton"), Qt::LeftButton);
        QVERIFY(pane->isVisible());
        QVERIFY(LoadPreviewShown(run.set.folder.path() + "kumolist.ini"));

        // Four steps down while the first is being read: the keys never wait, and of the
        // entries passed only the one that the thumbnailer had begun is drawn.
        w->SetViewStyleIndex(2);
        QTreeView* details = DetailView(w);
        details->setFocus();
        details->setCurrentIndex(ShownRows(w)->index(0, 0));
        QCOMPARE(pane->File(), files[0]);
        QTRY_VERIFY_WITH_TIMEOUT(Logged(log).contains(files[0]), 10000);
        QElapsedTimer keys;
        keys.start();
        for (int i = 0; i < 4; ++i) QTest::keyClick(details, Qt::Key_Down);
        QVERIFY(keys.elapsed() < 200);
        QCOMPARE(pane->File(), files[4]);
        QCOMPARE(pane->memoLabel->text(), QString("メモ4"));
        QTRY_VERIFY_WITH_TIMEOUT(pane->canvas->HasPicture(), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(Logged(log).contains(files[4]), 10000);
        QCOMPARE(Logged(log), (QStringList{files[0], files[4]}));
        QCOMPARE(pane->File(), files[4]);

        // Zoom at the pointer: the point under it stays.
        DrawingCanvas* c = pane->canvas;
        const double fit = c->FitScale();
        const QPointF fitted = c->Offset();
        QCOMPARE(c->Scale(), fit);
        const QPointF at(c->width() / 3.0, c->height() / 3.0);
        const QPointF under = (at - c->Offset()) / c->Scale();
        Wheel(c, at, 120);
        QVERIFY(qFuzzyCompare(c->Scale(), fit * 1.25));
        QVERIFY((c->ToCanvas(under) - at).manhattanLength() < 0.01);
        for (int i = 0; i < 30; ++i) Wheel(c, at, 120);
        QVERIFY(qFuzzyCompare(c->Scale(), fit * DrawingCanvas::kMaxZoom));
        for (int i = 0; i < 60; ++i) Wheel(c, at, -120);
        QVERIFY(qFuzzyCompare(c->Scale(), fit * 0.5));
        // A drag moves the picture with the pointer; a double-click fits it again.
        const QPointF offset = c->Offset();
        Mouse(c, QEvent::MouseButtonPress, {50, 50}, Qt::LeftButton);
        Mouse(c, QEvent::MouseMove, {70, 40}, Qt::LeftButton);
        Mouse(c, QEvent::MouseMove, {80, 30}, Qt::LeftButton);
        Mouse(c, QEvent::MouseButtonRelease, {80, 30}, Qt::NoButton);
        QCOMPARE(c->Offset(), offset + QPointF(30, -20));
        QTest::mouseDClick(c, Qt::LeftButton, {}, {60, 60});
        QCOMPARE(c->Scale(), fit);
        QCOMPARE(c->Offset(), fitted);

        // The picture is the drawing: its pixels on the canvas are not all paper.
        QImage shown(c->size(), QImage::Format_RGB32);
        c->render(&shown);
        int ink = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                if (const QColor px(shown.pixel(x, y)); px != QColor(128, 128, 128) && px != QColor(64, 64, 64) && px.lightness() < 230)
                    ++ink;
        QVERIFY(ink > 50);

        // Not a drawing: no picture, the memo still; the same entry again keeps its zoom.
        details->setCurrentIndex(ShownRows(w)->index(5, 0));
        QVERIFY(pane->File().isEmpty() && !pane->canvas->HasPicture());
        QCOMPARE(pane->memoLabel->text(), QString("メモ5"));
        details->setCurrentIndex(ShownRows(w)->index(3, 0));
        QTRY_VERIFY_WITH_TIMEOUT(pane->canvas->HasPicture(), 30000);
        Wheel(c, at, 120);
        ReadRows(w)->SetMemo(ShownRows(w)->SourceRow(3), Cp("新しいメモ"));
        QCOMPARE(pane->memoLabel->text(), QString("新しいメモ"));
        QVERIFY(qFuzzyCompare(c->Scale(), c->FitScale() * 1.25));

        // Remembered across a restart; hidden, it reads nothing.
        run.p.reset();
        Program again(run.set.folder.programFile());
        QVERIFY(again.Show());
        GroupWindow* w2 = again.windows.groupWindow;
        QPushButton* againButton = Control<QPushButton>(w2, "previewButton");
        PreviewPane* againPane = Control<PreviewPane>(w2, "previewPane");
        QVERIFY(againButton->isChecked() && !againPane->isHidden());
        Select(again, 1);
        Trigger(again, "mnuOpenGroup");
        IconView(w2)->setCurrentIndex(ShownRows(w2)->index(1, 0));
        QTRY_VERIFY_WITH_TIMEOUT(againPane->canvas->HasPicture(), 30000);
        QTest::mouseClick(againButton, Qt::LeftButton);
        QVERIFY(againPane->isHidden() && againPane->File().isEmpty());
        QVERIFY(!LoadPreviewShown(run.set.folder.path() + "kumolist.ini"));
    }

    // Zoomed in past its pixels, the drawing is asked for once at 2048 pixels, kept in
    // the program's own cache, never the desktop's, and takes the first picture's place
    // at the same zoom; moving on drops a 2048 request still waiting and ignores one
    // still drawn; a failure at 2048 leaves the first picture, without a word, and
    // spoils nothing in the desktop's cache.
    void sharperWhenZoomedIn()
    {
        const QString a = Copy("敷地図.jww", "sharp-a.jww"), b = Copy("Test1.jww", "sharp-b.jww"),
                      c = Copy("Test2.jww", "sharp-c.jww"), broken = Copy("non_block.jww", "sharp-broken.jww");
        // Notes each size and file; slow at 2048, and failing there for `broken`.
        const QString log = dir_.path() + "/sharp.log", stand = dir_.path() + "/sharp-thumbnailer";
        QFile f(stand);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QStringLiteral("#!/bin/bash\nwhile IFS=$'\\t' read -r size input output; do\n"
                               "  printf '%s %s\\n' \"$size\" \"$input\" >>'%1'\n"
                               "  if [ \"$size\" = 2048 ]; then sleep 3; else sleep 0.2; fi\n"
                               "  if [ \"$size\" = 2048 ] && [ \"$input\" = '%2' ]; then printf 'fail\\t%s\\n' \"$input\";\n"
                               "  elif '%3' -s \"$size\" \"$input\" \"$output\"; then printf 'ok\\t%s\\n' \"$input\";"
                               " else printf 'fail\\t%s\\n' \"$input\"; fi\ndone\n")
                    .arg(log, broken, QStringLiteral(KUMO_THUMBNAILER))
                    .toUtf8());
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const auto asked = [&](int size, const QString& file) { return Logged(log).count(QString("%1 %2").arg(size).arg(file)); };

        PreviewPane pane;
        pane.resize(500, 400);
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        pane.SetThumbnailer(stand);
        DrawingCanvas* canvas = pane.canvas;
        const QPointF at(canvas->width() / 3.0, canvas->height() / 3.0);
        // Notches of the wheel until the first picture is shown larger than its pixels.
        const auto zoomPast = [&] {
            QVERIFY(canvas->Scale() * canvas->devicePixelRatioF() < 1);
            while (canvas->Scale() * canvas->devicePixelRatioF() <= 1) Wheel(canvas, at, 120);
        };
        const auto show = [&](const QString& file) {
            const FileRow row = DrawingRow(file);
            pane.ShowEntry(&row);
            QTRY_VERIFY_WITH_TIMEOUT(canvas->HasPicture(), 30000);
            QCOMPARE(LongerSide(canvas->PictureSize()), 1024);
        };
        const ThumbnailCache own(ProgramCacheRoot()), desktop;

        show(a);
        zoomPast();
        Wheel(canvas, at, 120);
        const double scale = canvas->Scale();
        const QPointF offset = canvas->Offset(), under = (at - offset) / scale;
        const QImage blurred = canvas->grab().toImage();
        QTRY_COMPARE_WITH_TIMEOUT(LongerSide(canvas->PictureSize()), 2048, 30000);
        QCOMPARE(canvas->Scale(), scale);
        QCOMPARE(canvas->Offset(), offset);
        QVERIFY((canvas->ToCanvas(under) - at).manhattanLength() < 0.01);
        QVERIFY(canvas->grab().toImage() != blurred);
        Wheel(canvas, at, 120);
        Wheel(canvas, at, -120);
        QCOMPARE(QImageReader(own.ThumbnailPath(a, 2048)).size(), canvas->PictureSize());

        // b's 2048 being drawn, c's waiting behind it: showing a again drops c's and
        // leaves b's answer unused.
        show(b);
        zoomPast();
        QTRY_COMPARE_WITH_TIMEOUT(asked(2048, b), 1, 10000);
        show(c);
        zoomPast();
        show(a);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(own.ThumbnailPath(b, 2048)), 30000);
        QTest::qWait(500);
        QCOMPARE(LongerSide(canvas->PictureSize()), 1024);
        QCOMPARE(asked(2048, c), 0);
        // Asked again, a comes from the program's cache, not drawn anew.
        zoomPast();
        QTRY_COMPARE_WITH_TIMEOUT(LongerSide(canvas->PictureSize()), 2048, 10000);
        QCOMPARE(asked(2048, a), 1);

        show(broken);
        zoomPast();
        QTRY_COMPARE_WITH_TIMEOUT(own.Find(broken, FileMTime(broken), 2048), ThumbnailCache::State::Failed, 30000);
        QTest::qWait(200);
        QCOMPARE(LongerSide(canvas->PictureSize()), 1024);
        QVERIFY(canvas->Note().isEmpty());
        QCOMPARE(desktop.Find(broken, FileMTime(broken), 1024), ThumbnailCache::State::Valid);
        QVERIFY(!QFileInfo::exists(desktop.FailurePath(broken)));

        // Nothing larger than 1024 pixels in the desktop's cache.
        int seen = 0;
        for (QDirIterator it(desktop.Root(), {"*.png"}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext(); ++seen)
            QVERIFY2(LongerSide(QImageReader(it.next()).size()) <= 1024, qPrintable(it.filePath()));
        QVERIFY(seen >= 4);

        // A photo smaller than the pane fits at its own size and is never asked for
        // again larger; a picture that cannot be read says so as a picture.
        const QString photo = dir_.path() + "/sharp-photo.png", notPhoto = dir_.path() + "/sharp-notes.png";
        QVERIFY(QImage(200, 100, QImage::Format_RGB32).save(photo));
        QFile(notPhoto).open(QIODevice::WriteOnly);
        const FileRow photoRow = DrawingRow(photo), notPhotoRow = DrawingRow(notPhoto);
        pane.ShowEntry(&photoRow);
        QTRY_VERIFY_WITH_TIMEOUT(canvas->HasPicture(), 30000);
        QCOMPARE(canvas->PictureSize(), QSize(200, 100));
        QCOMPARE(canvas->Scale() * canvas->devicePixelRatioF(), 1.0);
        for (int i = 0; i < 4; ++i) Wheel(canvas, at, 120);
        QVERIFY(canvas->Scale() > 2);
        pane.ShowEntry(&notPhotoRow);
        QTRY_COMPARE_WITH_TIMEOUT(canvas->Note(), QString("この画像は表示出来ません。"), 30000);
        QCOMPARE(asked(2048, photo), 0);
    }

    // Which rows have their picture drawn: the drawings of every format read and photos,
    // by their type in any case, only when the file is there.
    void thumbnailRows_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<bool>("drawn");
        for (const char* name : {"a.jww", "A.JWC", "b.dxf", "c.PDF", "d.png"}) QTest::newRow(name) << name << true << true;
        QTest::newRow("missing drawing") << "gone.jwc" << false << false;
        QTest::newRow("symbol") << "e.jws" << true << false;
        QTest::newRow("text") << "f.txt" << true << false;
    }
    void thumbnailRows()
    {
        QFETCH(QString, name);
        QFETCH(bool, exists);
        QFETCH(bool, drawn);
        FileRow row = DrawingRow(dir_.path() + "/" + name);
        row.exists = exists;
        QCOMPARE(IsThumbnailRow(row), drawn);
    }

    // A plot of several pages: the pane's buttons page through it, each page drawn,
    // the first kept; a drawing of one page shows no buttons.
    void pagesOfAPlot()
    {
        PreviewPane pane;
        pane.resize(500, 400);
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        pane.SetThumbnailer(QStringLiteral(KUMO_THUMBNAILER));
        const FileRow plot = DrawingRow(QStringLiteral(KUMO_TESTDATA "/pdf/plans.pdf"));
        pane.ShowEntry(&plot);
        QTRY_VERIFY_WITH_TIMEOUT(pane.canvas->HasPicture(), 30000);
        QVERIFY(pane.pageBar->isVisible());
        QCOMPARE(pane.pageLabel->text(), QString("1 / 2"));
        QVERIFY(!pane.previousPage->isEnabled() && pane.nextPage->isEnabled());
        const QImage first = pane.canvas->grab().toImage();

        pane.nextPage->click();
        QCOMPARE(pane.pageLabel->text(), QString("2 / 2"));
        QVERIFY(pane.previousPage->isEnabled() && !pane.nextPage->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(pane.canvas->HasPicture(), 30000);
        QVERIFY(pane.canvas->grab().toImage() != first);
        // The second page is no thumbnail of the file: the desktop's cache keeps the first.
        QCOMPARE(ThumbnailCache().Find(QStringLiteral(KUMO_TESTDATA "/pdf/plans.pdf"),
                                       FileMTime(QStringLiteral(KUMO_TESTDATA "/pdf/plans.pdf")), 1024),
                 ThumbnailCache::State::Valid);
        pane.previousPage->click();
        QCOMPARE(pane.Page(), 1);
        QCOMPARE(pane.canvas->grab().toImage(), first);

        const FileRow drawing = DrawingRow(QStringLiteral(KUMO_TESTDATA "/jww/") + QString::fromUtf8("敷地図.jww"));
        pane.ShowEntry(&drawing);
        QTRY_VERIFY_WITH_TIMEOUT(pane.canvas->HasPicture(), 30000);
        QVERIFY(!pane.pageBar->isVisible());
        QCOMPARE(pane.Pages(), 1);
    }

    // The entries' menu compares two selected drawings, or one with a file chosen then,
    // each in a compare window of its own; other selections (a file of another type
    // among them) leave both commands off.
    void compareFromTheEntryMenu()
    {
        const QStringList files{Copy("Test1.jww", "cmp-a.jww"), Copy("Test2.jww", "cmp-b.jww"), Copy("敷地図.jww", "cmp-c.jww"),
                                Copy("Test1.jww", "cmp-d.txt")};
        Run run(files);
        QVERIFY(run.w);
        GroupWindow* w = run.w;
        w->SetThumbnailer(QStringLiteral(KUMO_THUMBNAILER));
        run.Open();
        auto* compare = w->findChild<QAction*>("compareAction");
        auto* compareWith = w->findChild<QAction*>("compareWithAction");
        QVERIFY(compare && compareWith);
        const struct {
            QList<int> rows;
            bool two, one;
        } cases[] = {{{}, false, false}, {{0}, false, true}, {{0, 1}, true, false}, {{3}, false, false}, {{2, 3}, false, false},
                     {{0, 1, 2}, false, false}};
        for (const auto& c : cases) {
            IconView(w)->selectionModel()->clearSelection();
            for (int r : c.rows) IconView(w)->selectionModel()->select(ShownRows(w)->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
            QVERIFY(w->PrepareContextMenu(IconView(w))->actions().contains(compare));
            QCOMPARE(compare->isEnabled(), c.two);
            QCOMPARE(compareWith->isEnabled(), c.one);
        }
        compare->trigger();   // three selected: nothing to compare
        QCOMPARE(w->findChildren<CompareWindow*>().size(), 0);

        IconView(w)->selectionModel()->clearSelection();
        IconView(w)->selectionModel()->select(ShownRows(w)->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        w->PrepareContextMenu(IconView(w));
        run.p->fake.fileDialogs.nextFileNames.push_back({QString::fromStdString(ToFsName(ShownRows(w)->Row(0).FullPath()))});
        compareWith->trigger();
        const auto windows = w->findChildren<CompareWindow*>();
        QCOMPARE(windows.size(), 1);
        QSignalSpy shown(windows[0], &CompareWindow::pictureShown);
        QVERIFY(shown.wait(30000));
        QVERIFY(windows[0]->canvas->HasPicture());
        QCOMPARE(windows[0]->differenceList->count(), 0);   // the drawing against itself
        windows[0]->close();
    }
};

QTEST_MAIN(TestDrawingViews)
#include "test_drawingviews.moc"
