// Two drawings compared: a drawing made here with known differences, the real drawings
// against themselves and against a copy with one text changed in place, hostile pairs,
// and the thumbnailer's --compare mode as a terminal sees it.
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "drawing/comparerender.h"
#include "drawing/drawingfile.h"
#include "support/jwwwriter.h"
#include "text/cp932.h"

Q_DECLARE_METATYPE(std::vector<std::size_t>)

namespace {

using Counts = std::vector<std::size_t>;   // line, arc, point, text, solid, block_insert, dimension

QString Real(const char* name) { return QStringLiteral(KUMO_TESTDATA "/jww/") + QString::fromUtf8(name); }

std::string ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
}

bool WriteAll(const QString& path, const std::string& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size());
}

JwwDrawing Read(const std::string& bytes)
{
    JwwDrawing d;
    ReadJwwDrawing(bytes, d);
    return d;
}

std::string Sjis(const char* utf8) { return Utf8ToCp932(utf8).value_or(""); }

// What the test drawings change, one at a time, from the plan below.
enum Change { None, LineMoved1mm, LineMovedWithin, LineReversed, LinePen, TextChanged, ArcRemoved, InsertAdded, Everything };

// A plan of a room: walls, a door swing, a point, a room name, a solid, a dimension and
// a block insert; change alters it as a later revision would.
std::string Plan(Change change)
{
    JwwWriter w;
    const bool all = change == Everything;
    w.Line(0, 0, 100, 0).Line(100, 0, 100, 80).Line(0, 80, 0, 0);
    if (change == LineMoved1mm || all) w.Line(100, 81, 0, 81);
    else if (change == LineMovedWithin) w.Line(100, 80.004, 0, 79.996);
    else if (change == LineReversed) w.Line(0, 80, 100, 80);
    else if (change == LinePen) w.Line(100, 80, 0, 80, WriterPen{1, 6, 0, 0, 0});
    else w.Line(100, 80, 0, 80);
    if (change != ArcRemoved && !all) w.Arc(10, 0, 9, 0, 1.5707963, 0, 1, false);
    w.Point(50, 40);
    w.Text(40, 40, 52, 40, 3, 3, 0, Sjis(change == TextChanged || all ? "リビング" : "居間"));
    w.Text(40, 30, 52, 30, 3, 3, 0, Sjis("洋室"));
    const double corners[8] = {90, 70, 98, 70, 98, 78, 90, 78};
    w.Solid(corners);
    w.Dimension(0, -10, 100, -10, "100");
    w.Insert(20, 60, 1, 1, 0, 1);
    if (change == InsertAdded || all) w.Insert(70, 60, 1, 1, 0, 1);
    w.BeginBlock(1, "table");
    w.Line(0, 0, 10, 0).Line(10, 0, 10, 5);
    w.EndBlock();
    return w.Bytes();
}

Counts KindCounts(const std::array<std::size_t, kCompareKinds>& c) { return Counts(c.begin(), c.end()); }

int Run(const QStringList& arguments, QByteArray* out = nullptr)
{
    QProcess p;
    p.start(QStringLiteral(KUMO_THUMBNAILER), QStringList{QStringLiteral("--compare")} + arguments);
    if (!p.waitForStarted(10000) || !p.waitForFinished(60000)) return -1;
    if (out) *out = p.readAllStandardOutput();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

} // namespace

class TestDrawingCompare : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    // Each revision of the plan against the plan: what differs, what is the same within
    // the tolerance, and the overlay's red and blue layers holding exactly the changes.
    void knownDifferences_data()
    {
        QTest::addColumn<int>("change");
        QTest::addColumn<Counts>("onlyFirst");
        QTest::addColumn<Counts>("onlySecond");
        QTest::addColumn<int>("textsChanged");
        const Counts none{0, 0, 0, 0, 0, 0, 0};
        QTest::newRow("saved again") << int(None) << none << none << 0;
        QTest::newRow("line moved 1 mm") << int(LineMoved1mm) << Counts{1, 0, 0, 0, 0, 0, 0} << Counts{1, 0, 0, 0, 0, 0, 0} << 0;
        QTest::newRow("line moved within 0.01 mm") << int(LineMovedWithin) << none << none << 0;
        QTest::newRow("line drawn the other way") << int(LineReversed) << none << none << 0;
        QTest::newRow("line's pen changed") << int(LinePen) << Counts{1, 0, 0, 0, 0, 0, 0} << Counts{1, 0, 0, 0, 0, 0, 0} << 0;
        QTest::newRow("text changed in place") << int(TextChanged) << none << none << 1;
        QTest::newRow("arc removed") << int(ArcRemoved) << Counts{0, 1, 0, 0, 0, 0, 0} << none << 0;
        QTest::newRow("block insert added") << int(InsertAdded) << none << Counts{0, 0, 0, 0, 0, 1, 0} << 0;
        QTest::newRow("all four") << int(Everything) << Counts{1, 1, 0, 0, 0, 0, 0} << Counts{1, 0, 0, 0, 0, 1, 0} << 1;
    }
    void knownDifferences()
    {
        QFETCH(int, change);
        QFETCH(Counts, onlyFirst);
        QFETCH(Counts, onlySecond);
        QFETCH(int, textsChanged);
        const JwwDrawing a = Read(Plan(None)), b = Read(Plan(Change(change)));
        QVERIFY(a.complete && b.complete);
        const std::size_t total = a.entities.Count();
        const DrawingComparison c = CompareDrawings(a, b);
        QCOMPARE(KindCounts(c.onlyFirst), onlyFirst);
        QCOMPARE(KindCounts(c.onlySecond), onlySecond);
        QCOMPARE(int(c.textsChanged), textsChanged);
        QCOMPARE(c.Same(), change == None || change == LineMovedWithin || change == LineReversed);
        QCOMPARE(c.same + c.OnlyFirst() + std::size_t(textsChanged), total);
        QCOMPARE(c.differences.size(), c.OnlyFirst() + c.OnlySecond() + std::size_t(textsChanged));
        QCOMPARE(c.common.entities.Count(), c.same);
        QCOMPARE(c.first.entities.Count(), c.OnlyFirst() + std::size_t(textsChanged));
        QCOMPARE(c.second.entities.Count(), c.OnlySecond() + std::size_t(textsChanged));
        if (textsChanged) {
            const DrawingDifference& d = c.differences.front();
            QCOMPARE(d.side, CompareSide::Changed);
            QCOMPARE(d.first.bytes, Sjis("居間"));
            QCOMPARE(d.second.bytes, Sjis("リビング"));
            QVERIFY(d.box.minX <= 40 && d.box.maxX >= 52 && d.box.minY <= 40 && d.box.maxY >= 43);
        }
        for (const DrawingDifference& d : c.differences)
            if (d.kind == CompareKind::Insert) QVERIFY(d.box.minX <= 70 && d.box.maxX >= 80 && d.box.maxY >= 65);
    }

    // Real drawings against themselves are wholly the same; against a copy whose first
    // text says another string of the same length, exactly that text changed in place.
    void realDrawings_data()
    {
        QTest::addColumn<QString>("file");
        for (const char* name : {"Test1.jww", "Test2.jww", "non_block.jww", "サンプル.jww", "敷地図.jww"})
            QTest::newRow(name) << Real(name);
    }
    void realDrawings()
    {
        QFETCH(QString, file);
        const std::string bytes = ReadAll(file);
        const JwwDrawing d = Read(bytes);
        QVERIFY(d.complete);
        const DrawingComparison same = CompareDrawings(d, d);
        QVERIFY(same.Same());
        QVERIFY(same.differences.empty());
        std::size_t drawn = 0;
        for (const DrawingText& t : d.entities.texts) drawn += IsSettingRecord(t) ? 0 : 1;
        QCOMPARE(same.same, d.entities.Count() - (d.entities.texts.size() - drawn));

        const auto text = std::find_if(d.entities.texts.begin(), d.entities.texts.end(),
                                       [](const DrawingText& t) { return !IsSettingRecord(t) && !t.content.utf16 && t.content.bytes.size() >= 2; });
        if (text == d.entities.texts.end()) return;
        std::string changed = bytes;
        const std::size_t at = changed.find(text->content.bytes);
        QVERIFY(at != std::string::npos);
        changed[at + 1] = char(changed[at + 1] ^ 1);
        const DrawingComparison c = CompareDrawings(d, Read(changed));
        QCOMPARE(c.textsChanged, std::size_t(1));
        QCOMPARE(c.OnlyFirst() + c.OnlySecond(), std::size_t(0));
        QCOMPARE(c.differences.front().first.bytes, text->content.bytes);
        DrawingBox box;
        AddText(box, *text, {});
        QVERIFY(c.differences.front().box.minX <= box.minX && c.differences.front().box.maxY >= box.maxY);
    }

    // The terminal: the one line of JSON in its documented form, the overlay picture, and
    // cmp's exit codes, hostile pairs among them (damaged, empty, no drawing, thousands
    // of entities on one spot) ending in time.
    void terminal_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("json");   // the whole line, or its start
        QTest::addColumn<QString>("colours");   // r: red drawn, b: blue drawn
        QTest::newRow("same") << "plan" << "plan" << 0
                              << R"({"same": 11, "only_a": {"line": 0, "arc": 0, "point": 0, "text": 0, "solid": 0, "block_insert": 0, "dimension": 0}, "only_b": {"line": 0, "arc": 0, "point": 0, "text": 0, "solid": 0, "block_insert": 0, "dimension": 0}, "texts_changed": []})" << "";
        QTest::newRow("revised") << "plan" << "revised" << 1
                                 << R"({"same": 8, "only_a": {"line": 1, "arc": 1, "point": 0, "text": 0, "solid": 0, "block_insert": 0, "dimension": 0}, "only_b": {"line": 1, "arc": 0, "point": 0, "text": 0, "solid": 0, "block_insert": 1, "dimension": 0}, "texts_changed": [{"a": "居間", "b": "リビング", "box_mm": [)" << "rb";
        QTest::newRow("empty drawing") << "plan" << "empty" << 1 << R"({"same": 0, "only_a": {"line": 4, "arc": 1,)" << "r";
        QTest::newRow("damaged") << "plan" << "damaged" << 2 << "" << "";
        QTest::newRow("empty file") << "zero" << "plan" << 2 << "" << "";
        QTest::newRow("no drawing") << "plan" << "README" << 2 << "" << "";
        QTest::newRow("missing") << "plan" << "missing" << 2 << "" << "";
        QTest::newRow("crowded") << "crowd" << "crowd2" << 1 << R"({"same": 0, "only_a": {"line": 200000,)" << "rb";
    }
    void terminal()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(int, exitCode);
        QFETCH(QString, json);
        QFETCH(QString, colours);
        if (!QFile::exists(dir_.filePath("plan.jww"))) {
            QVERIFY(WriteAll(dir_.filePath("plan.jww"), Plan(None)));
            QVERIFY(WriteAll(dir_.filePath("revised.jww"), Plan(Everything)));
            QVERIFY(WriteAll(dir_.filePath("empty.jww"), JwwWriter().Bytes()));
            const std::string plan = Plan(None);
            QVERIFY(WriteAll(dir_.filePath("damaged.jww"), plan.substr(0, plan.size() - 40)));
            QVERIFY(WriteAll(dir_.filePath("zero.jww"), {}));
            QVERIFY(QFile::copy(QStringLiteral(KUMO_TESTDATA "/jww/README.md"), dir_.filePath("README.jww")));
            // Lines that all start on one spot (one cell of the search), none of the
            // second drawing's ending where one of the first's does: no entity may cost
            // more than a few looks.
            JwwWriter crowd, crowd2;
            for (int i = 0; i < 200000; ++i) {
                crowd.Line(0, 0, 1 + i * 1e-4, 0);
                crowd2.Line(0.001, 0, 0.001, 1000 + i * 1e-4);
            }
            QVERIFY(WriteAll(dir_.filePath("crowd.jww"), crowd.Bytes()));
            QVERIFY(WriteAll(dir_.filePath("crowd2.jww"), crowd2.Bytes()));
        }
        const QString png = dir_.filePath(first + "-" + second + ".png");
        QByteArray out;
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(Run({dir_.filePath(first + ".jww"), dir_.filePath(second + ".jww"), "--png", png, "-s", "512", "--no-legend"}, &out), exitCode);
        QVERIFY(timer.elapsed() < 20000);
        if (exitCode == 2) {
            QVERIFY(out.isEmpty());
            return;
        }
        QVERIFY2(out.endsWith("}\n") && out.count('\n') == 1, out.constData());
        QVERIFY2(QString::fromUtf8(out).startsWith(json), out.constData());
        QVERIFY(!QJsonDocument::fromJson(out).isNull());
        const QImage image(png);
        QCOMPARE(std::max(image.width(), image.height()), 512);
        // Red where only the first has something, blue where only the second has.
        bool red = false, blue = false;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb p = image.pixel(x, y);
                red |= qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60;
                blue |= qBlue(p) > 200 && qRed(p) < 60 && qGreen(p) < 120;
            }
        QCOMPARE(red, colours.contains('r'));
        QCOMPARE(blue, colours.contains('b'));
    }

    // The window's form: every listed difference with its kind, side and box, and the frame.
    void details()
    {
        const DrawingComparison c = CompareDrawings(Read(Plan(None)), Read(Plan(Everything)));
        const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(ComparisonJson(c, true))).object();
        const QJsonArray list = o.value("differences").toArray();
        QCOMPARE(list.size(), 5);
        QCOMPARE(list[0].toObject().value("side").toString(), QStringLiteral("changed"));
        QCOMPARE(list[0].toObject().value("b").toString(), QStringLiteral("リビング"));
        QStringList kinds;
        for (const auto& v : list) kinds << v.toObject().value("kind").toString() + "/" + v.toObject().value("side").toString();
        QCOMPARE(kinds, QStringList({"text/changed", "line/a", "line/b", "arc/a", "block_insert/b"}));
        QCOMPARE(o.value("frame_mm").toArray().size(), 4);
        QCOMPARE(o.value("list_cut").toBool(true), false);
    }

private:
    QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(TestDrawingCompare)
#include "test_drawingcompare.moc"
