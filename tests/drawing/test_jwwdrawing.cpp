// The drawing reader and the placing of its entities: the real drawings, drawings made
// here with what the real ones lack (every kind, blocks, old and new versions), and
// damaged files of every kind of damage.
#include <cmath>
#include <random>

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include "drawing/drawinggeometry.h"
#include "support/jwwwriter.h"

Q_DECLARE_METATYPE(std::vector<std::size_t>)
Q_DECLARE_METATYPE(std::vector<double>)

namespace {

std::string ReadAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll().toStdString();
}

QString Real(const char* name) { return QStringLiteral(KUMO_TESTDATA "/jww/") + QString::fromUtf8(name); }

JwwDrawing Read(const std::string& bytes)
{
    JwwDrawing d;
    ReadJwwDrawing(bytes, d);
    return d;
}

bool Near(double a, double b) { return std::fabs(a - b) < 1e-6; }

#define QCOMPARE_BOX(box, x0, y0, x1, y1)                                                                        \
    do {                                                                                                         \
        QVERIFY(!(box).empty);                                                                                   \
        QVERIFY2(Near((box).minX, x0) && Near((box).minY, y0) && Near((box).maxX, x1) && Near((box).maxY, y1), \
                 qPrintable(QStringLiteral("%1 %2 %3 %4").arg((box).minX, 0, 'f', 6).arg((box).minY, 0, 'f', 6)  \
                                .arg((box).maxX, 0, 'f', 6).arg((box).maxY, 0, 'f', 6)));                       \
    } while (0)

// Counts of a list by kind: lines, arcs, points, texts, solids, inserts, dimensions.
std::vector<std::size_t> Counts(const DrawingEntities& e)
{
    return {e.lines.size(), e.arcs.size(), e.points.size(), e.texts.size(), e.solids.size(), e.inserts.size(), e.dimensions.size()};
}

// A square 20 mm a side with its lower-left corner at (x, y).
void Square(JwwWriter& w, double x, double y)
{
    w.Line(x, y, x + 20, y).Line(x + 20, y, x + 20, y + 20).Line(x + 20, y + 20, x, y + 20).Line(x, y + 20, x, y);
}

} // namespace

class TestJwwDrawing : public QObject {
    Q_OBJECT

private slots:
    // Counts and extents found by reading each file field by field (every one is read
    // to its last byte) and checked against its thumbnail.
    void realDrawings_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("version");
        QTest::addColumn<std::vector<std::size_t>>("counts");
        QTest::addColumn<std::vector<double>>("extents");
        QTest::newRow("Test1") << Real("Test1.jww") << 600 << std::vector<std::size_t>{1642, 4, 4, 36, 0, 0, 0}
                               << std::vector<double>{-269.478760, -187.065637, 283.428568, 155.482625};
        QTest::newRow("Test2") << Real("Test2.jww") << 600 << std::vector<std::size_t>{38, 4, 6, 23, 0, 0, 0}
                               << std::vector<double>{-274.065637, -192.799228, 267.061786, 155.895753};
        QTest::newRow("non_block") << Real("non_block.jww") << 700 << std::vector<std::size_t>{4, 2, 0, 6, 0, 0, 0}
                                   << std::vector<double>{-118.550279, -87.652915, 122.261853, 42.467695};
        QTest::newRow("sample") << Real("サンプル.jww") << 600 << std::vector<std::size_t>{592, 64, 19, 20, 0, 0, 0}
                                << std::vector<double>{-142.400674, -82.053010, 70.974251, 51.880302};
        QTest::newRow("site") << Real("敷地図.jww") << 600 << std::vector<std::size_t>{9, 0, 0, 0, 0, 0, 0}
                              << std::vector<double>{-118.644107, -84.949153, 125.764281, 63.045234};
    }
    void realDrawings()
    {
        QFETCH(QString, file);
        QFETCH(int, version);
        QFETCH(std::vector<std::size_t>, counts);
        QFETCH(std::vector<double>, extents);
        JwwDrawing d;
        std::int64_t mtime = 0;
        QVERIFY(ReadJwwDrawingFile(QFile::encodeName(file).toStdString(), d, &mtime));
        QVERIFY(mtime > 0);
        QCOMPARE(int(d.version), version);
        QVERIFY(d.complete);
        QCOMPARE(Counts(d.entities), counts);
        QCOMPARE(d.blocks.size(), std::size_t(0));
        QCOMPARE(d.screenColours.size(), std::size_t(10));
        const DrawingBox box = DrawingExtents(d, BoxOf::Everything);
        QCOMPARE_BOX(box, extents[0], extents[1], extents[2], extents[3]);
    }

    // Strings in both forms: CP932 bytes as stored, UTF-16 in the newer form (the six
    // setting texts of the CAD program's Unicode build, left out of every box).
    void realStrings()
    {
        const JwwDrawing test1 = Read(ReadAll(Real("Test1.jww")));
        QCOMPARE(test1.entities.texts[0].content.bytes, std::string("\x82\x54\x82\x8d\x83\x89\x83\x43\x83\x93\x82\xcc\x8f\x91\x82\xab\x95\xfb"));
        QVERIFY(!test1.entities.texts[0].content.utf16);
        const JwwDrawing unicode = Read(ReadAll(Real("non_block.jww")));
        QVERIFY(unicode.memo.utf16 && unicode.memo.bytes.empty());
        for (const DrawingText& t : unicode.entities.texts) {
            QVERIFY(t.content.utf16 && IsSettingRecord(t));
            QVERIFY(t.content.bytes.size() % 2 == 0 && !t.content.bytes.empty());
        }
        QCOMPARE(unicode.entities.texts[0].content.bytes.substr(0, 4), std::string("P\0r\0", 4));
    }

    // One entity of each kind at known places, in every layout the versions bring
    // (pen width from 351, dimension extras from 420, UTF-16 strings), read back field
    // for field.
    void everyKindEveryVersion_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<bool>("unicode");
        QTest::newRow("300") << 300 << false;
        QTest::newRow("351") << 351 << false;
        QTest::newRow("420") << 420 << false;
        QTest::newRow("600") << 600 << false;
        QTest::newRow("700 CP932") << 700 << false;
        QTest::newRow("700 Unicode") << 700 << true;
    }
    void everyKindEveryVersion()
    {
        QFETCH(int, version);
        QFETCH(bool, unicode);
        JwwWriter w(std::uint32_t(version), unicode);
        w.SetMemo("memo");
        WriterPen wide;
        wide.width = 7;
        wide.colour = 3;
        wide.layer = 4;
        wide.group = 5;
        w.Line(-10, -20, 30, 40, wide);
        w.Arc(5, 6, 7, 0.5, -1.25, 0.25, 0.5, false);
        w.Point(1, 2, true);
        WriterPen marker;
        marker.style = 100;
        w.Point(3, 4, false, marker);
        w.Text(0, 0, 10, 0, 2, 3, 0, "Hello");
        const double quad[8] = {0, 0, 5, 0, 5, 5, 0, 5};
        WriterPen own;
        own.colour = 10;
        w.Solid(quad, own, 0x123456);
        w.Insert(100, 50, 2, 3, 0.5, 7);
        w.Dimension(0, -30, 40, -30, "40");
        w.BeginBlock(7, "blk@@SfigorgFlag@@4");
        w.Line(0, 0, 1, 1);
        w.EndBlock();

        const JwwDrawing d = Read(w.Bytes());
        QCOMPARE(int(d.version), version);
        QVERIFY(d.complete);
        QCOMPARE(Counts(d.entities), (std::vector<std::size_t>{1, 1, 2, 1, 1, 1, 1}));
        const DrawingLine& l = d.entities.lines[0];
        QVERIFY(l.x1 == -10 && l.y1 == -20 && l.x2 == 30 && l.y2 == 40);
        QCOMPARE(int(l.pen.width), version >= 351 ? 7 : 0);
        QVERIFY(l.pen.colour == 3 && l.pen.layer == 4 && l.pen.group == 5);
        const DrawingArc& a = d.entities.arcs[0];
        QVERIFY(a.cx == 5 && a.cy == 6 && a.radius == 7 && a.start == 0.5 && a.sweep == -1.25 && a.tilt == 0.25 &&
                a.flatness == 0.5 && !a.closed);
        QVERIFY(d.entities.points[0].temporary && !d.entities.points[1].temporary);
        QVERIFY(d.entities.points[1].x == 3 && d.entities.points[1].y == 4);
        const DrawingText& t = d.entities.texts[0];
        QCOMPARE(t.content.utf16, unicode);
        QCOMPARE(t.content.bytes, unicode ? std::string("H\0e\0l\0l\0o\0", 10) : std::string("Hello"));
        QVERIFY(t.sizeX == 2 && t.sizeY == 3 && t.x2 == 10);
        QVERIFY(d.entities.solids[0].hasRgb && d.entities.solids[0].rgb == 0x123456 && d.entities.solids[0].v[4] == 5);
        const DrawingInsert& b = d.entities.inserts[0];
        QVERIFY(b.x == 100 && b.y == 50 && b.scaleX == 2 && b.scaleY == 3 && b.rotation == 0.5 && b.definition == 7);
        const DrawingDimension& m = d.entities.dimensions[0];
        QVERIFY(m.line.x2 == 40 && m.line.y1 == -30);
        QCOMPARE(m.extensionLines.size(), std::size_t(version >= 420 ? 2 : 0));
        QCOMPARE(m.points.size(), std::size_t(version >= 420 ? 4 : 0));
        QCOMPARE(d.blocks.size(), std::size_t(1));
        QCOMPARE(d.blocks[0].number, 7u);
        QCOMPARE(d.blocks[0].entities.lines.size(), std::size_t(1));
        QVERIFY(d.Block(7) == &d.blocks[0] && d.Block(8) == nullptr);
    }

    // Exact boxes: an arc reaches its extremes only where its sweep passes them, tilted
    // and flattened ellipses included; a text's box rises by its height along its angle.
    void boxesOfCurvesAndTexts()
    {
        JwwWriter w;
        w.Arc(0, 0, 10, 0, M_PI / 2, 0, 1, false);                  // quarter: (0..10, 0..10)
        w.Arc(100, 0, 10, M_PI, -M_PI / 2, 0, 1, false);            // clockwise from the left to the top
        w.Arc(0, 100, 10, 0, 2 * M_PI, M_PI / 2, 0.5, true);        // ellipse turned upright: 5 wide, 10 high
        w.Text(200, 0, 200, 20, 2, 4, 90, "up");                    // vertical: rises to the left
        w.Text(300, 0, 300, 0, 2, 4, 0, "setting");                 // zero length: left out
        const JwwDrawing d = Read(w.Bytes());
        const auto boxOf = [&](auto add) {
            DrawingBox box;
            add(box);
            return box;
        };
        QCOMPARE_BOX(boxOf([&](DrawingBox& b) { AddArc(b, d.entities.arcs[0], {}); }), 0, 0, 10, 10);
        QCOMPARE_BOX(boxOf([&](DrawingBox& b) { AddArc(b, d.entities.arcs[1], {}); }), 90, 0, 100, 10);
        QCOMPARE_BOX(boxOf([&](DrawingBox& b) { AddArc(b, d.entities.arcs[2], {}); }), -5, 90, 5, 110);
        QCOMPARE_BOX(boxOf([&](DrawingBox& b) { AddText(b, d.entities.texts[0], {}); }), 196, 0, 200, 20);
        QVERIFY(boxOf([&](DrawingBox& b) { AddText(b, d.entities.texts[1], {}); }).empty);
    }

    // Inserts place their definitions scaled, turned and moved, nested ones through
    // each level; a square drawn through blocks has the box of the square drawn plain.
    void blocksPlaceTheirContents()
    {
        JwwWriter plain;
        Square(plain, 10, 10);
        Square(plain, 60, 10);
        JwwWriter blocks;
        blocks.Insert(10, 10, 1, 1, 0, 1);
        blocks.Insert(60, 10, 1, 1, 0, 2);   // block 2 holds block 1
        blocks.BeginBlock(1, "square");
        Square(blocks, 0, 0);
        blocks.EndBlock();
        blocks.BeginBlock(2, "outer");
        blocks.Insert(0, 0, 1, 1, 0, 1);
        blocks.EndBlock();
        const DrawingBox a = DrawingExtents(Read(plain.Bytes()), BoxOf::Everything);
        const DrawingBox b = DrawingExtents(Read(blocks.Bytes()), BoxOf::Everything);
        QCOMPARE_BOX(b, a.minX, a.minY, a.maxX, a.maxY);

        // Scaled by 2 and 3, turned a quarter: the 20 mm square spans -60..0 by 0..40.
        JwwWriter turned;
        turned.Insert(0, 0, 2, 3, M_PI / 2, 1);
        turned.BeginBlock(1, "square");
        Square(turned, 0, 0);
        turned.EndBlock();
        QCOMPARE_BOX(DrawingExtents(Read(turned.Bytes()), BoxOf::Everything), -60, 0, 0, 40);
    }

    // Definitions that hold themselves, chains deeper than the bound, and inserts that
    // multiply into billions end, with what could be placed.
    void blocksThatNeverEnd()
    {
        JwwWriter cycle;
        cycle.Insert(0, 0, 1, 1, 0, 1);
        cycle.BeginBlock(1, "a");
        cycle.Line(0, 0, 1, 0);
        cycle.Insert(5, 0, 1, 1, 0, 2);
        cycle.EndBlock();
        cycle.BeginBlock(2, "b");
        cycle.Insert(5, 0, 1, 1, 0, 1);
        cycle.Insert(0, 0, 1, 1, 0, 99);     // names no definition
        cycle.EndBlock();
        const JwwDrawing c = Read(cycle.Bytes());
        QVERIFY(c.complete);
        QCOMPARE_BOX(DrawingExtents(c, BoxOf::Everything), 0, 0, 1, 0);

        JwwWriter deep;
        deep.Insert(0, 0, 1, 1, 0, 0);
        for (std::uint32_t i = 0; i < 40; ++i) {
            deep.BeginBlock(i, "level");
            deep.Line(0, 0, 0, 1);
            deep.Insert(1, 0, 1, 1, 0, i + 1);
            deep.EndBlock();
        }
        // Each level moves one to the right; the last level shown is the bound's.
        QCOMPARE_BOX(DrawingExtents(Read(deep.Bytes()), BoxOf::Everything), 0, 0, kMaxBlockDepth - 1, 1);

    }

    // Inserts of inserts that multiply: eight levels of eight, spread out (each level an
    // eighth of the one above) or all in one place, 16 million lines from 20 KB. Below
    // the least size an insert is one speck; past the bound of visits the largest are
    // expanded and the rest are specks; the visits never pass the bound and the box of
    // everything is that of the whole drawing either way.
    void blocksThatMultiply_data()
    {
        QTest::addColumn<double>("spread");      // 0: all in one place
        QTest::addColumn<double>("leastSize");
        QTest::addColumn<bool>("whole");
        QTest::addColumn<std::size_t>("mostLines");
        // A level is 400 mm wide, the next an eighth of it: levels 0 to 2 are 1 mm or more
        // wide, levels 0 to 5 a hundredth.
        QTest::newRow("spread, 1 mm pixels") << 50.0 << 1.0 << true << std::size_t(1 + 8 + 64);
        QTest::newRow("spread, fine pixels") << 50.0 << 1e-2 << true << std::size_t(1 + 8 + 64 + 512 + 4096 + 32768);
        QTest::newRow("spread, no least size") << 50.0 << 0.0 << false << kMaxWalkVisits;
        QTest::newRow("one place, 1 mm pixels") << 0.0 << 1.0 << false << kMaxWalkVisits;
    }
    void blocksThatMultiply()
    {
        QFETCH(double, spread);
        QFETCH(double, leastSize);
        QFETCH(bool, whole);
        QFETCH(std::size_t, mostLines);
        JwwWriter w;
        w.Insert(0, 0, 1, 1, 0, 0);
        const double scale = spread > 0 ? 0.125 : 1;
        for (std::uint32_t i = 0; i < 8; ++i) {
            w.BeginBlock(i, "level");
            w.Line(0, 0, 40, 0);
            for (int k = 0; k < 8; ++k) w.Insert(k * spread, 0, scale, scale, 0, i + 1);
            w.EndBlock();
        }
        w.BeginBlock(8, "leaf");
        w.Line(0, 0, 40, 40);
        w.EndBlock();
        const JwwDrawing d = Read(w.Bytes());
        struct Counter : DrawingVisitor {
            std::size_t lines = 0, specks = 0;
            DrawingBox box;
            void Line(const DrawingLine& l, const Affine& t, bool) override
            {
                ++lines;
                double x, y;
                t.Map(l.x1, l.y1, x, y);
                box.Add(x, y);
                t.Map(l.x2, l.y2, x, y);
                box.Add(x, y);
            }
            void Speck(const DrawingBox& b, const DrawingPen&, bool) override
            {
                ++specks;
                box.Add(b);
            }
        } counter;
        WalkLimits limits;
        limits.leastSize = leastSize;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(WalkDrawing(d, counter, limits), whole);
        QVERIFY2(counter.lines <= mostLines && (!whole || counter.lines == mostLines), qPrintable(QString::number(counter.lines)));
        QVERIFY(counter.lines + counter.specks > 0 && counter.lines + counter.specks <= kMaxWalkVisits);
        const DrawingBox all = DrawingExtents(d, BoxOf::Everything);
        QVERIFY(all.Width() >= 40 && all.Width() <= 400);
        QVERIFY(counter.box.maxX <= all.maxX + 1e-9 && counter.box.maxY <= all.maxY + 1e-9);
        QVERIFY(clock.elapsed() < 30000);   // a bound on work, not a speed: sanitizers slow it much
    }

    // Hidden layers and groups: the drawing holds them (box of everything), the view
    // leaves them out, also inside an insert placed on a hidden layer.
    void hiddenLayers()
    {
        JwwWriter w;
        w.SetLayerState(0, 5, 0);
        w.SetGroupState(3, 0);
        w.Line(0, 0, 10, 10);
        WriterPen hiddenLayer;
        hiddenLayer.layer = 5;
        w.Line(100, 100, 110, 110, hiddenLayer);
        WriterPen hiddenGroup;
        hiddenGroup.group = 3;
        w.Line(-100, -100, -90, -90, hiddenGroup);
        w.Insert(200, 0, 1, 1, 0, 1, hiddenLayer);
        w.BeginBlock(1, "b");
        w.Line(0, 0, 1, 1);
        w.EndBlock();
        const JwwDrawing d = Read(w.Bytes());
        QVERIFY(d.Shown(d.entities.lines[0].pen));
        QVERIFY(!d.Shown(d.entities.lines[1].pen) && !d.Shown(d.entities.lines[2].pen));
        QCOMPARE_BOX(DrawingExtents(d, BoxOf::Everything), -100, -100, 201, 110);
        QCOMPARE_BOX(DrawingExtents(d, BoxOf::Shown), 0, 0, 10, 10);
    }

    // Every prefix of two real drawings (one of each version) reads without harm: what
    // is kept is a prefix of the whole lists, and only the whole file is complete.
    void everyPrefix_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("site 600") << Real("敷地図.jww");
        QTest::newRow("non_block 700") << Real("non_block.jww");
    }
    void everyPrefix()
    {
        QFETCH(QString, file);
        const std::string bytes = ReadAll(file);
        const JwwDrawing whole = Read(bytes);
        const std::vector<std::size_t> full = Counts(whole.entities);
        QElapsedTimer clock;
        for (std::size_t n = 0; n < bytes.size(); ++n) {
            JwwDrawing d;
            clock.start();
            ReadJwwDrawing(std::string_view(bytes).substr(0, n), d);
            QVERIFY(clock.elapsed() < 2000);
            const std::vector<std::size_t> got = Counts(d.entities);
            for (std::size_t k = 0; k < got.size(); ++k) QVERIFY(got[k] <= full[k]);
            // Version 700 files end with four bytes the reader does not need.
            QVERIFY(!d.complete || n + 4 >= bytes.size());
        }
    }

    // Random bytes in the entity list of the largest real drawing: never a crash, an
    // entity beyond the bounds or a long read.
    void randomDamage()
    {
        const std::string bytes = ReadAll(Real("Test1.jww"));
        const std::size_t listAt = bytes.find("CDataSen") - 8;
        std::mt19937 random(23);
        QElapsedTimer clock;
        for (int round = 0; round < 1500; ++round) {
            std::string damaged = bytes;
            const int hits = 1 + int(random() % 8);
            for (int i = 0; i < hits; ++i)
                damaged[listAt + random() % (damaged.size() - listAt)] = char(random());
            clock.start();
            const JwwDrawing d = Read(damaged);
            DrawingExtents(d, BoxOf::Everything);
            QVERIFY(clock.elapsed() < 2000);
            QVERIFY(d.entities.Count() <= bytes.size() / 2);
            for (const DrawingLine& l : d.entities.lines)
                QVERIFY(std::isfinite(l.x1) && std::fabs(l.y2) <= 1e7);
        }
    }

    // Files that are no drawing or break in their lists.
    void notDrawingsAndBrokenLists()
    {
        JwwDrawing d;
        QVERIFY(!ReadJwwDrawing("", d));
        QVERIFY(!ReadJwwDrawing("JwwData.", d));
        QVERIFY(!ReadJwwDrawing(std::string("jw_cad(c)data.......") + std::string(2000, '\0'), d));   // .jwc
        QVERIFY(!ReadJwwDrawing(std::string("JwwData.\x58\x02\0\0", 12) + std::string(20000, 'x'), d));
        QVERIFY(!ReadJwwDrawingFile("/nonexistent/a.jww", d));
        QVERIFY(!ReadJwwDrawingFile("/dev/zero", d));   // not a regular file: never read

        // An unknown class stops the list: the entities before it stay.
        JwwWriter unknown;
        unknown.Line(0, 0, 1, 1).Null().Unknown().Line(2, 2, 3, 3);
        QVERIFY(ReadJwwDrawing(unknown.Bytes(), d));
        QVERIFY(!d.complete);
        QCOMPARE(d.entities.lines.size(), std::size_t(1));

        // Counts far beyond the data (escaped 32-bit counts included) cost nothing.
        JwwWriter huge;
        huge.Line(0, 0, 1, 1);
        std::string bytes = huge.Bytes();
        const std::size_t at = huge.ListOffset();
        bytes.replace(at, 2, std::string("\xFF\xFF\xFF\xFF\xFF\x7F", 6));
        QVERIFY(ReadJwwDrawing(bytes, d));
        QVERIFY(!d.complete);
        QCOMPARE(d.entities.lines.size(), std::size_t(1));

        // Coordinates that are no numbers or lie kilometres off the paper are left out.
        JwwWriter absurd;
        absurd.Line(0, 0, NAN, 1).Line(0, 0, 1e12, 1).Arc(0, 0, -5, 0, 1, 0, 1, false).Line(1, 1, 2, 2);
        QVERIFY(ReadJwwDrawing(absurd.Bytes(), d));
        QVERIFY(d.complete);
        QCOMPARE(d.entities.lines.size(), std::size_t(1));
        QCOMPARE(d.entities.arcs.size(), std::size_t(0));
    }

    // Settings this reader cannot walk (an old version, a damaged name) are skipped by
    // finding the list's first class record.
    void listFoundWithoutTheSettings()
    {
        JwwWriter old(250);
        old.Line(1, 2, 3, 4).Arc(0, 0, 1, 0, 1, 0, 1, false);
        JwwDrawing d;
        QVERIFY(ReadJwwDrawing(old.Bytes(), d));
        QCOMPARE(Counts(d.entities), (std::vector<std::size_t>{1, 1, 0, 0, 0, 0, 0}));
        QVERIFY(d.screenColours.empty());

        std::string real = ReadAll(Real("Test2.jww"));
        // The first layer name's length, after the head, the 38-byte memo, paper, group
        // written to, the layer groups and the fixed block: now it runs far past its text.
        real[12 + 1 + 38 + 8 + 16 * 148 + 156] = '\xFF';
        QVERIFY(ReadJwwDrawing(real, d));
        QVERIFY(d.screenColours.empty());
        QCOMPARE(Counts(d.entities), (std::vector<std::size_t>{38, 4, 6, 23, 0, 0, 0}));
    }
};

QTEST_GUILESS_MAIN(TestJwwDrawing)
#include "test_jwwdrawing.moc"
