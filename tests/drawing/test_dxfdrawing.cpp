// The DXF reader: the drawings of tests/data/dxf (one content in every version and form)
// counted, measured and drawn; texts in each encoding; entities whose geometry is
// derived; damaged and hostile files.
#include <cmath>
#include <random>

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QTest>

#include "drawing/drawingfile.h"
#include "drawing/drawingrender.h"
#include "drawing/dxfdrawing.h"

namespace {

std::string Data(const QString& name)
{
    QFile f(QStringLiteral(KUMO_TESTDATA "/dxf/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
}

// An ASCII file of a header and the entities, each "code\nvalue\n".
std::string Dxf(const std::string& version, const std::string& codePage, const std::string& entities, const std::string& blocks = {})
{
    std::string s = "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\n" + version + "\n";
    if (!codePage.empty()) s += "9\n$DWGCODEPAGE\n3\n" + codePage + "\n";
    s += "0\nENDSEC\n0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n0\nLAYER\n2\nOFF\n62\n-3\n70\n0\n0\nENDTAB\n0\nENDSEC\n";
    if (!blocks.empty()) s += "0\nSECTION\n2\nBLOCKS\n" + blocks + "0\nENDSEC\n";
    return s + "0\nSECTION\n2\nENTITIES\n" + entities + "0\nENDSEC\n0\nEOF\n";
}

QStringList Texts(const DrawingEntities& e)
{
    QStringList out;
    for (const DrawingText& t : e.texts) out << DrawingStringText(t.content);
    return out;
}

int Distance(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
}

// Drawing units to pixels: 2 a unit, the drawing's origin at (20, 240).
constexpr double kScale = 2;
QPoint Px(double x, double y) { return {int(std::lround(20 + kScale * x)), int(std::lround(240 - kScale * y))}; }

// Some pixel within one of the place is nearer the colour than white is by more than half.
bool Inked(const QImage& image, double x, double y, QRgb colour)
{
    const QPoint p = Px(x, y);
    const int far = Distance(qRgb(255, 255, 255), colour);
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (Distance(image.pixel(p.x() + dx, p.y() + dy), colour) * 2 < far) return true;
    return false;
}

QImage Draw(const JwwDrawing& d)
{
    QImage image(440, 280, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    DrawDrawing(painter, d, kScale, 20, 240);
    return image;
}

bool Finite(const DrawingBox& box) { return box.empty || std::isfinite(box.minX + box.minY + box.maxX + box.maxY); }

} // namespace

class TestDxfDrawing : public QObject {
    Q_OBJECT

private slots:
    void realFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("version");
        for (const auto& [file, version] : {std::pair{"r12.dxf", 1009}, {"r12-bin.dxf", 1009}, {"r2000.dxf", 1015},
                                            {"r2000-escapes.dxf", 1015}, {"r2004-bin.dxf", 1018}, {"r2007.dxf", 1021},
                                            {"r2010-bin.dxf", 1024}, {"r2013.dxf", 1027}, {"r2018.dxf", 1032},
                                            {"r2018-bin.dxf", 1032}, {"paper-only.dxf", 1032}})
            QTest::newRow(file) << QString(file) << version;
    }

    // Each file holds what the script that made it put there, and shows it in its place.
    void realFiles()
    {
        QFETCH(QString, file);
        QFETCH(int, version);
        JwwDrawing d;
        QVERIFY(ReadDrawingFile((QStringLiteral(KUMO_TESTDATA "/dxf/") + file).toStdString(), d));
        QVERIFY(d.complete);
        QCOMPARE(int(d.version), version);
        const bool modern = version > 1009;
        const DrawingEntities& e = d.entities;
        // Lines: the frame, a polyline's straight piece, two on hidden layers, and from
        // R2000 a spline's 16 pieces and a true-colour line. Arcs: circle, arc, bulge,
        // ellipse. Inserts: two doors, the 3 x 2 array, the dimension.
        const std::vector<std::size_t> counts{e.lines.size(), e.arcs.size(), e.points.size(), e.texts.size(),
                                              e.solids.size(), e.polygons.size(), e.inserts.size()};
        const std::vector<std::size_t> expected =
            modern ? std::vector<std::size_t>{24, 4, 1, 4, 1, 1, 9} : std::vector<std::size_t>{7, 3, 1, 2, 1, 0, 3};
        QCOMPARE(counts, expected);
        const QStringList texts = Texts(e);
        QVERIFY2(texts.contains(QStringLiteral("平面図")) && texts.contains(QStringLiteral("ABC")), qPrintable(texts.join('|')));
        if (modern) QVERIFY2(texts.contains(QStringLiteral("一階")) && texts.contains(QStringLiteral("二階")), qPrintable(texts.join('|')));

        // The layers turned off and frozen are kept but not shown.
        const DrawingBox shown = DrawingExtents(d, BoxOf::Shown), all = DrawingExtents(d, BoxOf::Everything);
        QVERIFY(std::fabs(shown.minX) < 0.01 && std::fabs(shown.maxX - 200) < 0.01 && std::fabs(shown.maxY - 100) < 0.01);
        QVERIFY(shown.minY < -9 && shown.minY > -15);   // the dimension below the frame
        QVERIFY(all.maxX == 500 && all.maxY == 500);

        const QImage image = Draw(d);
        const struct {
            double x, y;
            QRgb colour;
            bool old;   // R12 holds it too
        } ink[] = {
            {100, 0, 0x000000, true},      // the frame, black though stored white
            {30, 50, 0xFF0000, true},      // the circle on the red layer
            {65, 70, 0xFF0000, true},      // the door inserted red (BYBLOCK and layer 0)
            {80, 75, 0x0000FF, true},      // the door inserted blue, turned a quarter
            {71, 78, 0x0000FF, true},      // its knob, a block within it, blue too
            {69, 80, 0xFF0000, true},      // the red door's knob
            {130, 20, 0xFFFF00, true},     // the solid
            {50, -10, 0x000000, true},     // the dimension's line
            {155, 5, 0x000000, false},     // the array's first door, in the layer's colour
            {179, 27, 0x000000, false},    // and its last
            {165, 75, 0x00FF00, false},    // the hatch
            {115, 20, 0x000000, false},    // the ellipse's ends
            {100, 27.5, 0x000000, false},
            {60, 10, 0x000000, false},     // the spline's start
        };
        for (const auto& i : ink)
            if (modern || i.old) QVERIFY2(Inked(image, i.x, i.y, i.colour), qPrintable(QString("%1,%2").arg(i.x).arg(i.y)));
        QVERIFY(Inked(image, 12, 82, 0x0000FF) || Inked(image, 14, 83, 0x0000FF));   // 平 in blue
        QCOMPARE(image.pixel(Px(25, 25)), qRgb(255, 255, 255));                     // the hidden lines
        if (version >= 1018) QVERIFY(Inked(image, 100, 50, 0x123456));              // the true colour
    }

    void texts_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("expected");
        const auto text = [](const std::string& raw) { return "0\nTEXT\n10\n0\n20\n0\n40\n2\n1\n" + raw + "\n"; };
        const auto mtext = [](const std::string& raw) { return "0\nMTEXT\n10\n0\n20\n0\n40\n2\n1\n" + raw + "\n"; };
        const auto row = [](const char* name, const std::string& file, const char* expected) {
            QTest::newRow(name) << QByteArray::fromStdString(file) << QString::fromUtf8(expected);
        };
        row("CP932 before R2007", Dxf("AC1015", "ANSI_932", text("\x90\x7d\x96\xca")), "図面");
        row("CP932 whose second byte is a backslash", Dxf("AC1009", "ANSI_932", mtext("\x83\x5c\x95\x5c")), "ソ表");
        row("UTF-8 from R2007 whatever the page", Dxf("AC1021", "ANSI_932", text("図面")), "図面");
        row("no header: UTF-8 where it is", "0\nSECTION\n2\nENTITIES\n" + text("図面") + "0\nENDSEC\n0\nEOF\n", "図面");
        row("no header: else CP932", "0\nSECTION\n2\nENTITIES\n" + text("\x90\x7d") + "0\nENDSEC\n0\nEOF\n", "図");
        row("Unicode and CP932 escapes", Dxf("AC1015", "ANSI_1252", text("\\U+5E73\\M+1907D")), "平図");
        row("control codes", Dxf("AC1015", "ANSI_1252", text("%%d45%%p1%%%%%u")), "°45±1%");
        row("mtext formatting", Dxf("AC1032", "", mtext("{\\fMS Gothic|b0|i0;AB}\\PC\\~D\\H2.5x;\\S1^2;\\\\")), "AB|C D1/2\\");
        row("mtext wraps at a space", Dxf("AC1032", "", "0\nMTEXT\n10\n0\n20\n0\n40\n2\n41\n10\n1\nAAAA BBBB\n"), "AAAA|BBBB");
        row("mtext wraps Japanese anywhere", Dxf("AC1032", "", "0\nMTEXT\n10\n0\n20\n0\n40\n2\n41\n7\n1\n一二三四五六\n"), "一二三|四五六");
        row("invisible attribute", Dxf("AC1015", "", "0\nINSERT\n2\nB\n66\n1\n" + std::string("0\nATTRIB\n70\n1\n1\nX\n") +
                                                 "0\nATTRIB\n70\n0\n1\nY\n0\nSEQEND\n"), "Y");
        row("mtext chunks", Dxf("AC1032", "", "0\nMTEXT\n10\n0\n20\n0\n40\n2\n3\n一二\n1\n三\n"), "一二三");
    }

    // Texts come out as the characters they stand for, their codes removed.
    void texts()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, expected);
        JwwDrawing d;
        QVERIFY(ReadDxfDrawing(file.toStdString(), d));
        QCOMPARE(Texts(d.entities).join('|'), expected);
    }

    void geometry_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const std::string& entities, const char* expected, const std::string& blocks = {}) {
            QTest::newRow(name) << QByteArray::fromStdString(Dxf("AC1015", "", entities, blocks)) << QString(expected);
        };
        // A half circle bulging to the right of (0,0) -> (0,10), clockwise.
        row("bulge", "0\nLWPOLYLINE\n90\n2\n70\n0\n10\n0\n20\n0\n42\n-1\n10\n0\n20\n10\n", "arc 0 5 5 -90 -180");
        row("arc over zero", "0\nARC\n10\n1\n20\n2\n40\n3\n50\n270\n51\n90\n", "arc 1 2 3 270 180");
        row("circle seen from below", "0\nCIRCLE\n10\n4\n20\n2\n40\n1\n230\n-1\n", "arc -4 2 1 180 -360");
        row("solid corners", "0\nSOLID\n10\n0\n20\n0\n11\n2\n21\n0\n12\n0\n22\n1\n13\n2\n23\n1\n", "solid 0 0 2 0 2 1 0 1");
        row("block base point", "0\nINSERT\n2\nB\n10\n10\n20\n0\n41\n2\n42\n2\n",
            "insert 8 -2 2 2", "0\nBLOCK\n2\nB\n10\n1\n20\n1\n0\nLINE\n10\n1\n20\n1\n11\n2\n21\n2\n0\nENDBLK\n");
        row("hatch of arcs", "0\nHATCH\n70\n1\n91\n1\n92\n1\n93\n2\n72\n2\n10\n0\n20\n0\n40\n1\n50\n0\n51\n180\n73\n1\n"
            "72\n1\n10\n-1\n20\n0\n11\n1\n21\n0\n97\n0\n75\n1\n", "polygon 1 35 -1 0 1 1");
        row("old polyline, closed, bulged", "0\nPOLYLINE\n66\n1\n70\n1\n0\nVERTEX\n10\n0\n20\n0\n42\n1\n0\nVERTEX\n10\n2\n20\n0\n"
            "0\nVERTEX\n10\n2\n20\n2\n0\nSEQEND\n", "arc 1 0 1 180 180 lines 2 2 0 0 0");
        row("face set, an edge hidden", "0\nPOLYLINE\n70\n64\n71\n3\n72\n1\n0\nVERTEX\n70\n192\n10\n0\n20\n0\n0\nVERTEX\n70\n192\n10\n1\n20\n0\n"
            "0\nVERTEX\n70\n192\n10\n0\n20\n1\n0\nVERTEX\n70\n128\n71\n1\n72\n2\n73\n-3\n0\nSEQEND\n", "lines 2 0 0 0 1");
        row("3D face, an edge hidden", "0\n3DFACE\n10\n0\n20\n0\n11\n1\n21\n0\n12\n1\n22\n1\n13\n0\n23\n1\n70\n4\n", "lines 3 0 0 0 0");
        row("insert seen from below", "0\nINSERT\n2\nB\n10\n3\n20\n0\n50\n30\n230\n-1\n", "insert -3 0 -1 1",
            "0\nBLOCK\n2\nB\n10\n0\n20\n0\n0\nPOINT\n0\nENDBLK\n");
        row("hatch seen from below", "0\nHATCH\n230\n-1\n70\n1\n91\n1\n92\n2\n72\n0\n73\n1\n93\n3\n10\n1\n20\n0\n10\n2\n20\n0\n10\n2\n20\n1\n97\n0\n",
            "polygon 1 3 -2 0 -1 1");
        row("spline ends", "0\nSPLINE\n71\n2\n72\n6\n73\n3\n40\n0\n40\n0\n40\n0\n40\n1\n40\n1\n40\n1\n10\n0\n20\n0\n10\n1\n20\n2\n10\n2\n20\n0\n",
            "lines 16 0 0 2 0");
    }

    // Entities whose geometry the reader works out: arcs from bulges and angles, the
    // plane seen from below, a solid's crossed corners, a block's base point, a
    // hatch's boundary, old polylines and face sets, a face's hidden edges, a spline's curve.
    void geometry()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, expected);
        JwwDrawing d;
        QVERIFY(ReadDxfDrawing(file.toStdString(), d));
        const DrawingEntities& e = d.entities;
        const auto n = [](double v) { return QString::number(std::round(v * 1000) / 1000); };
        QStringList got;
        for (const DrawingArc& a : e.arcs)
            got << "arc" << n(a.cx) << n(a.cy) << n(a.radius) << n(a.start * 180 / M_PI) << n(a.sweep * 180 / M_PI);
        for (const DrawingSolid& s : e.solids) {
            got << "solid";
            for (double v : s.v) got << n(v);
        }
        for (const DrawingInsert& i : e.inserts) got << "insert" << n(i.x) << n(i.y) << n(i.scaleX) << n(i.scaleY);
        for (const DrawingPolygon& p : e.polygons) {
            const DrawingBox box = DrawingExtents(d, BoxOf::Everything);
            got << "polygon" << QString::number(p.ends.size()) << QString::number(p.xy.size() / 2) << n(box.minX) << n(box.minY)
                << n(box.maxX) << n(box.maxY);
        }
        if (!e.lines.empty())
            got << "lines" << QString::number(e.lines.size()) << n(e.lines.front().x1) << n(e.lines.front().y1)
                << n(e.lines.back().x2) << n(e.lines.back().y2);
        QCOMPARE(got.join(' '), expected);
    }

    // A point stays a dot however far the picture zooms into a drawing of large units.
    void pointsStayDots()
    {
        JwwDrawing d;
        QVERIFY(ReadDxfDrawing(Dxf("AC1015", "", "0\nPOINT\n10\n0\n20\n0\n"), d));
        QImage image(200, 200, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        DrawDrawing(painter, d, 100, 100, 100);
        painter.end();
        QVERIFY(Distance(image.pixel(100, 100), qRgb(0, 0, 0)) < 300);
        QCOMPARE(image.pixel(104, 100), qRgb(255, 255, 255));
    }

    // Every prefix of a file, bytes changed at random, and counts that ask for the
    // impossible: read without crash or hang, finite, within the file's bounds.
    void damagedFiles()
    {
        const auto check = [](const std::string& bytes, bool draw) {
            JwwDrawing d;
            if (!ReadDxfDrawing(bytes, d)) return d.entities.Count() == 0 && d.blocks.empty();
            std::size_t kept = d.entities.Count();
            for (const DrawingBlock& b : d.blocks) kept += b.entities.Count();
            if (kept > 4 * bytes.size() + 4096 || !Finite(DrawingExtents(d, BoxOf::Shown))) return false;
            return !draw || !RenderThumbnail(d, 32).isNull();
        };
        for (const char* name : {"r12.dxf", "r2018-bin.dxf", "r12-bin.dxf"}) {
            const std::string whole = Data(name);
            QVERIFY(!whole.empty());
            for (std::size_t n = 0; n < whole.size(); n += name[1] == '1' ? 1 : 3) {
                QVERIFY2(check(whole.substr(0, n), n % 257 == 0), qPrintable(QString("%1 cut at %2").arg(name).arg(n)));
                // A cut file is never taken for a whole one (the last line break holds nothing).
                JwwDrawing d;
                if (n + 1 < whole.size())
                    QVERIFY2(!ReadDxfDrawing(whole.substr(0, n), d) || !d.complete, qPrintable(QString("%1 of %2").arg(n).arg(whole.size())));
            }
        }
        std::mt19937 random(36);
        const std::string sources[] = {Data("r2000.dxf"), Data("r2004-bin.dxf")};
        for (int i = 0; i < 600; ++i) {
            std::string bytes = sources[i % 2];
            for (int k = 0; k < 1 + i % 8; ++k) bytes[random() % bytes.size()] = char(random());
            QVERIFY2(check(bytes, i % 10 == 0), qPrintable(QString::number(i)));
            std::string noise(1 + random() % 4096, '\0');
            for (char& c : noise) c = char(random() % 4 == 0 ? '\n' : random());
            QVERIFY(check(noise, false));
        }
        QElapsedTimer timer;
        timer.start();
        const std::string hostile[] = {
            Dxf("AC1015", "", "0\nINSERT\n2\nB\n70\n32767\n71\n32767\n0\nHATCH\n91\n1000000000\n92\n2\n93\n1000000000\n10\n0\n20\n0\n",
                "0\nBLOCK\n2\nB\n0\nINSERT\n2\nB\n0\nLINE\n11\n1e308\n21\n-1e308\n0\nENDBLK\n"),
            Dxf("AC1015", "", "0\nSPLINE\n71\n10\n72\n1000000\n40\nnan\n10\ninf\n20\n0\n0\nMTEXT\n41\n0.0000001\n1\n" + std::string(20000, 'x') + "\n"),
        };
        for (const std::string& bytes : hostile) QVERIFY(check(bytes, true));
        QVERIFY(timer.elapsed() < 5000);
    }
};

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    TestDxfDrawing test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_dxfdrawing.moc"
