// The renderer: a drawing made here with one entity of each kind at known places,
// checked pixel by pixel; the real drawings drawn small.
#include <cmath>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTest>

#include "drawing/drawingrender.h"
#include "support/jwwwriter.h"
#include "text/sanitized.h"

namespace {

JwwDrawing Read(const std::string& bytes)
{
    JwwDrawing d;
    ReadJwwDrawing(bytes, d);
    return d;
}

// Paper millimetres to pixels in the test image: 2 px a millimetre, origin in the middle.
constexpr double kScale = 2;
constexpr int kSide = 400;
int Px(double x) { return int(std::lround(kSide / 2 + kScale * x)); }
int Py(double y) { return int(std::lround(kSide / 2 - kScale * y)); }

int Distance(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
}

// Some pixel within one of (x, y) is nearer the colour than white is by more than half.
bool Tinted(const QImage& image, int x, int y, QRgb colour)
{
    const int far = Distance(qRgb(255, 255, 255), colour);
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (Distance(image.pixel(x + dx, y + dy), colour) * 2 < far) return true;
    return false;
}

bool White(const QImage& image, int x, int y) { return image.pixel(x, y) == qRgb(255, 255, 255); }

// Pixels of the rectangle (inclusive) tinted toward the colour.
int TintedIn(const QImage& image, QRect r, QRgb colour)
{
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (Distance(image.pixel(x, y), colour) * 2 < Distance(qRgb(255, 255, 255), colour)) ++n;
    return n;
}

constexpr QRgb kBlack = 0x000000, kGreen = 0x00C000, kBlue = 0x0000FF, kMagenta = 0xC000C0, kRed = 0xFF0000;

WriterPen Pen(std::uint16_t colour, std::uint16_t width = 20)
{
    WriterPen pen;
    pen.colour = colour;
    pen.width = width;   // twentieths of a millimetre: 20 is 1 mm, 2 px here
    return pen;
}

} // namespace

class TestDrawingRender : public QObject {
    Q_OBJECT

    QImage made_;

private slots:
    void initTestCase()
    {
        JwwWriter w;
        w.Line(-80, 80, -20, 80, Pen(2));
        w.Line(-80, 60, -20, 60, Pen(2, 100));                       // 5 mm wide: 10 px
        WriterPen dashed = Pen(2), auxiliary = Pen(2);
        dashed.style = 4;                                            // 4 mm on, 1 off
        auxiliary.style = 9;
        w.Line(-80, 70, -20, 70, dashed);
        w.Line(-80, 40, -20, 40, auxiliary);
        w.Arc(50, 50, 20, 0, 2 * M_PI, 0, 1, true, Pen(3));
        w.Arc(50, 0, 20, 0, M_PI / 2, 0, 1, false, Pen(3));         // the quarter right to top
        w.Point(-50, 0, false, Pen(6));
        w.Point(-50, -20, true, Pen(6));                             // temporary: not drawn
        w.Text(20, -10, 60, -10, 10, 10, 0, "MMMM", Pen(5));
        const double quad[8] = {-80, -80, -40, -80, -40, -40, -80, -40};
        w.Solid(quad, Pen(10), 0x0000FF);                           // its own colour: red
        w.Insert(20, -60, 2, 2, 0, 1);
        w.Dimension(20, -90, 90, -90, "70", Pen(2));
        WriterPen hidden = Pen(2);
        hidden.layer = 7;
        w.SetLayerState(0, 7, 0);
        w.Line(0, 30, 40, 30, hidden);
        w.BeginBlock(1, "piece");
        w.Line(0, 0, 10, 0, Pen(6));
        w.Line(0, 0, 0, -500, Pen(6, 0));                          // far off the view
        w.EndBlock();
        const JwwDrawing d = Read(w.Bytes());
        QVERIFY(d.complete);
        made_ = QImage(kSide, kSide, QImage::Format_RGB32);
        made_.fill(Qt::white);
        QPainter painter(&made_);
        DrawDrawing(painter, d, kScale, kSide / 2, kSide / 2);
        painter.end();
        made_.save(QDir::tempPath() + "/kumo-test-render.png");
    }

    // Lines where they lie, as wide as their pens on paper, in their pen colours and
    // line types.
    void linesAndWidths()
    {
        QVERIFY(Tinted(made_, Px(-50), Py(80), kBlack));
        QVERIFY(White(made_, Px(-50), Py(80) + 5) && White(made_, Px(-10), Py(80)));
        // The 5 mm pen covers 10 rows, no more than 12.
        const int wide = TintedIn(made_, QRect(Px(-50), Py(60) - 10, 1, 21), kBlack);
        QVERIFY2(wide >= 9 && wide <= 12, qPrintable(QString::number(wide)));
        // Dashes of the line type where they span pixels enough; the auxiliary line faint.
        const int dashed = TintedIn(made_, QRect(Px(-70), Py(70) - 1, Px(-30) - Px(-70), 3), kBlack) / 2;
        const int length = Px(-30) - Px(-70);
        QVERIFY2(dashed > length * 6 / 10 && dashed < length * 9 / 10, qPrintable(QString::number(dashed)));
        QVERIFY(qGray(made_.pixel(Px(-50), Py(40))) > 120 && qGray(made_.pixel(Px(-50), Py(40))) < 250);
        // The hidden layer's line is not drawn.
        QCOMPARE(TintedIn(made_, QRect(Px(5), Py(30) - 2, Px(35) - Px(5), 5), kBlack), 0);
    }

    // A closed circle all round, an arc only over its sweep (counter-clockwise from
    // the right to the top).
    void arcs()
    {
        for (double a = 0; a < 2 * M_PI; a += 0.3)
            QVERIFY(Tinted(made_, Px(50 + 20 * std::cos(a)), Py(50 + 20 * std::sin(a)), kGreen));
        QVERIFY(White(made_, Px(50), Py(50)));
        QVERIFY(Tinted(made_, Px(50 + 20 * std::cos(0.7)), Py(20 * std::sin(0.7)), kGreen));
        QVERIFY(!Tinted(made_, Px(50 - 20), Py(0), kGreen) && !Tinted(made_, Px(50), Py(-20), kGreen));
    }

    // Points as dots (temporary ones left out), the solid filled in its own colour, the
    // insert's line scaled by two where it lands.
    void pointsSolidsInserts()
    {
        QVERIFY(Tinted(made_, Px(-50), Py(0), kBlue));
        QCOMPARE(TintedIn(made_, QRect(Px(-50) - 3, Py(-20) - 3, 7, 7), kBlue), 0);
        QCOMPARE(made_.pixel(Px(-60), Py(-60)), qRgb(255, 0, 0));
        QVERIFY(White(made_, Px(-30), Py(-60)));
        QVERIFY(Tinted(made_, Px(30), Py(-60), kBlue) && Tinted(made_, Px(38), Py(-60), kBlue));
        QVERIFY(!Tinted(made_, Px(45), Py(-60), kBlue));
    }

    // Texts as letters inside their box, dimensions as their line and figure.
    void textsAndDimensions()
    {
        const QRect box(Px(20), Py(0), Px(60) - Px(20), Py(-10) - Py(0));
        const int inside = TintedIn(made_, box, kMagenta);
        QVERIFY2(inside > box.width() * box.height() / 10, qPrintable(QString::number(inside)));
        QCOMPARE(TintedIn(made_, box.adjusted(-6, -8, 6, -box.height() - 3), kMagenta), 0);   // above it
        QCOMPARE(TintedIn(made_, QRect(box.right() + 4, box.top(), 20, box.height()), kMagenta), 0);   // after it
        QVERIFY(Tinted(made_, Px(40), Py(-90), kBlack));
        QVERIFY(TintedIn(made_, QRect(Px(53), Py(-86), Px(57) - Px(53), Py(-88.5) - Py(-86)), kBlack) > 0);
    }

    // The real drawings fill their thumbnails, each its own picture, at the size asked
    // and the shape of the drawing; zooming onto a part keeps the pens on paper.
    void realThumbnails()
    {
        const char* names[] = {"Test1.jww", "Test2.jww", "non_block.jww", "サンプル.jww", "敷地図.jww"};
        QList<QImage> seen;
        for (const char* name : names) {
            QFile file(QStringLiteral(KUMO_TESTDATA "/jww/") + QString::fromUtf8(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const JwwDrawing d = Read(file.readAll().toStdString());
            const QImage thumb = RenderThumbnail(d, 256);
            QCOMPARE(std::max(thumb.width(), thumb.height()), 256);
            QVERIFY(thumb.width() > thumb.height());   // every one is drawn across its sheet
            const int inked = TintedIn(thumb, thumb.rect(), kBlack) + TintedIn(thumb, thumb.rect(), 0x00C0C0);
            QVERIFY2(inked > 200 && inked < thumb.width() * thumb.height() / 2, name);
            for (const QImage& other : seen) QVERIFY(other != thumb);
            seen << thumb;
        }
        // The unicode drawing's own screen pens are for a black screen: its black pen
        // (2, white there) is drawn black on the paper.
        QVERIFY(TintedIn(seen[2], seen[2].rect(), kBlack) > 100);
    }

    // Nothing shown: the paper, centred; a frame is never less than a millimetre.
    void frames()
    {
        JwwWriter empty;
        empty.SetPaper(4);
        DrawingBox frame = DrawingFrame(Read(empty.Bytes()));
        QVERIFY(frame.minX == -148.5 && frame.maxX == 148.5 && frame.minY == -105 && frame.maxY == 105);
        JwwWriter dot;
        dot.Point(5, 5);
        frame = DrawingFrame(Read(dot.Bytes()));
        QVERIFY(frame.Width() == 1 && frame.Height() == 1 && frame.minX == 4.5);
        const QImage thin = RenderThumbnail(Read(JwwWriter().Line(0, 0, 100, 0).Bytes()), 128);
        QCOMPARE(thin.size(), QSize(128, 32));
    }

    // Drawings that would take the thumbnailer's whole time: inserts of inserts in one
    // place (16 million lines), and 65 534 lines across the sheet. At the list's size and
    // the preview's they are drawn (a good share of the picture inked) in a bounded time.
    void drawingsThatCostTheMost_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("size");
        JwwWriter nested;
        nested.Insert(0, 0, 1, 1, 0, 0);
        for (std::uint32_t i = 0; i < 8; ++i) {
            nested.BeginBlock(i, "level");
            for (int k = 0; k < 8; ++k) nested.Insert(k, 0, 1, 1, 0, i + 1);
            nested.EndBlock();
        }
        nested.BeginBlock(8, "leaf");
        nested.Line(0, 0, 400, 300);
        nested.Line(0, 300, 400, 0);
        nested.EndBlock();
        JwwWriter lines;
        for (int i = 0; i < 65534; ++i) lines.Line(-200, -140 + 280.0 * i / 65534, 200, 140 - 280.0 * i / 65534);
        for (const int size : {128, 2048}) {
            QTest::addRow("nested %d", size) << QByteArray::fromStdString(nested.Bytes()) << size;
            QTest::addRow("lines %d", size) << QByteArray::fromStdString(lines.Bytes()) << size;
        }
    }
    void drawingsThatCostTheMost()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, size);
        const JwwDrawing d = Read(bytes.toStdString());
        QElapsedTimer clock;
        clock.start();
        const QImage image = RenderThumbnail(d, size);
        const qint64 ms = clock.elapsed();
        QCOMPARE(std::max(image.width(), image.height()), size);
        // Both drawings cross the picture from corner to corner.
        QVERIFY(TintedIn(image, image.rect(), kBlack) > image.width());
        QVERIFY2(ms < (kSanitized ? 60000 : 5000), qPrintable(QString::number(ms)));
    }
};

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    TestDrawingRender test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_drawingrender.moc"
