// The old-format reader: drawings made from known content in both header forms, read
// to their counts, extents, texts and layers; and damaged ones of every kind.
#include <cmath>
#include <random>

#include <QTemporaryDir>
#include <QTest>

#include "drawing/drawingfile.h"
#include "drawing/drawinggeometry.h"
#include "drawing/jwcdrawing.h"
#include "memo/jwmemo.h"
#include "support/jwcwriter.h"

Q_DECLARE_METATYPE(std::vector<std::size_t>)
Q_DECLARE_METATYPE(std::vector<double>)

namespace {

std::vector<std::size_t> Counts(const DrawingEntities& e) { return {e.lines.size(), e.arcs.size(), e.points.size(), e.texts.size()}; }

std::vector<double> Box(const DrawingBox& b)
{
    return b.empty ? std::vector<double>{} : std::vector<double>{b.minX, b.minY, b.maxX, b.maxY};
}

bool Near(const std::vector<double>& a, const std::vector<double>& b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::fabs(a[i] - b[i]) > 1e-4) return false;
    return true;
}

QString Show(const std::vector<double>& v)
{
    QStringList s;
    for (double d : v) s << QString::number(d, 'f', 4);
    return s.join(' ');
}

// 平面図 and ｱｲ in Shift-JIS: three full-width characters, two half-width ones.
const std::string kPlan = "\x95\xBD\x96\xCA\x90\x7D";
const std::string kHalf = "\xB1\xB2";

// A square of 20 mm, a circle beside it, a point and a title.
JwcWriter Plan(bool real)
{
    JwcWriter w(real);
    w.Memo("\x8B\x8C\x90\x7D\x96\xCA", "1998");
    w.Line(0, 0, 20, 0).Line(20, 0, 20, 20).Line(20, 20, 0, 20).Line(0, 20, 0, 0);
    w.Arc(50, 10, 5, 0, 360).Point(-5, 0).Point(-100, 0, true);
    w.Text(0, -10, 4, kPlan, 0, 1);
    return w;
}

} // namespace

class TestJwcDrawing : public QObject {
    Q_OBJECT

private slots:
    // Known content: entities by kind, the box of everything and of what is shown,
    // the first text and its end, the memo and paper; both header forms.
    void knownContent_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<std::vector<std::size_t>>("counts");
        QTest::addColumn<std::vector<double>>("everything");
        QTest::addColumn<std::vector<double>>("shown");
        QTest::addColumn<std::vector<double>>("textEnd");
        QTest::addColumn<QByteArray>("memo");
        QTest::addColumn<double>("scale");   // of layer group 1

        const auto bytes = [](const JwcWriter& w) { return QByteArray::fromStdString(w.Bytes()); };
        const std::vector<double> plan{-5, -10, 55, 20};
        // 平面図: three characters of 4 mm and two spacings of 1 mm.
        QTest::newRow("plain form") << bytes(Plan(false)) << std::vector<std::size_t>{4, 1, 2, 1} << plan << plan
                                    << std::vector<double>{14, -10} << QByteArray("\x8B\x8C\x90\x7D\x96\xCA 1998")
                                    << 101.0;
        QTest::newRow("real scales") << bytes(Plan(true)) << std::vector<std::size_t>{4, 1, 2, 1} << plan << plan
                                     << std::vector<double>{14, -10} << QByteArray("\x8B\x8C\x90\x7D\x96\xCA 1998")
                                     << 100.5;
        // Half-width characters are half as wide; a text turned 90 degrees runs up.
        QTest::newRow("turned half-width text")
            << bytes(JwcWriter().Text(10, 10, 6, kHalf, 90)) << std::vector<std::size_t>{0, 0, 0, 1}
            << std::vector<double>{4, 10, 10, 16} << std::vector<double>{4, 10, 10, 16} << std::vector<double>{10, 16}
            << QByteArray(" ") << 101.0;
        // A hidden layer and a hidden layer group count in everything, not in what is shown.
        JwcWriter hidden;
        hidden.Group(3, 0, 0xFFFF).Group(1, 2, 0xFFFD);
        hidden.Line(0, 0, 10, 10).Layer(3, 0).Line(-50, -50, 0, 0).Layer(1, 1).Arc(100, 0, 10, 0, 90).Layer(1, 0);
        hidden.Text(0, 20, 2, "AB");
        QTest::newRow("hidden layers") << bytes(hidden) << std::vector<std::size_t>{2, 1, 0, 1}
                                       << std::vector<double>{-50, -50, 110, 22} << std::vector<double>{0, 0, 10, 22}
                                       << std::vector<double>{2, 20} << QByteArray(" ") << 101.0;
        QTest::newRow("empty") << bytes(JwcWriter()) << std::vector<std::size_t>{0, 0, 0, 0} << std::vector<double>{}
                               << std::vector<double>{} << std::vector<double>{} << QByteArray(" ") << 101.0;
    }
    void knownContent()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(std::vector<std::size_t>, counts);
        QFETCH(std::vector<double>, everything);
        QFETCH(std::vector<double>, shown);
        QFETCH(std::vector<double>, textEnd);
        QFETCH(QByteArray, memo);
        QFETCH(double, scale);

        JwwDrawing d;
        QVERIFY(ReadJwcDrawing(bytes.toStdString(), d));
        QVERIFY(d.complete);
        QCOMPARE(Counts(d.entities), counts);
        QVERIFY2(Near(Box(DrawingExtents(d, BoxOf::Everything)), everything), qPrintable(Show(Box(DrawingExtents(d, BoxOf::Everything)))));
        QVERIFY2(Near(Box(DrawingExtents(d, BoxOf::Shown)), shown), qPrintable(Show(Box(DrawingExtents(d, BoxOf::Shown)))));
        if (!textEnd.empty()) QVERIFY(Near({d.entities.texts[0].x2, d.entities.texts[0].y2}, textEnd));
        QCOMPARE(QByteArray::fromStdString(d.memo.bytes), memo);
        QCOMPARE(d.groups[1].scale, scale);
        QVERIFY(d.blocks.empty());

        // Through the one entry, by the file's type, with the memo the memo reader finds.
        QTemporaryDir dir;
        const std::string path = QFile::encodeName(dir.filePath("PLAN.JWC")).toStdString();
        QFile f(QString::fromStdString(path));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        f.close();
        JwwDrawing viaFile;
        QVERIFY(ReadDrawingFile(path, viaFile));
        QCOMPARE(Counts(viaFile.entities), counts);
        std::string memoRead;
        QVERIFY(ReadJwcMemo(path, memoRead));
        QCOMPARE(QByteArray::fromStdString(memoRead), memo);
    }

    // Another kind of file or a header that cannot be read: false and an empty drawing.
    void refused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        std::string good = Plan(false).Bytes();
        QTest::newRow("newer drawing") << QByteArray("JwwData.") + QByteArray(2000, '\0');
        QTest::newRow("symbol") << QByteArray::fromStdString("jw_cad(c)sym........" + good.substr(20));
        QTest::newRow("header cut") << QByteArray::fromStdString(good.substr(0, kJwcHeaderBytes - 1));
        std::string counts = good;
        counts.replace(600, 6, "x y z ");
        QTest::newRow("counts not numbers") << QByteArray::fromStdString(counts);
        std::string layers = good;
        layers[401] = ';';
        QTest::newRow("layer record damaged") << QByteArray::fromStdString(layers);
        std::string paper = good;
        paper.replace(104, 1, "99");
        QTest::newRow("paper code") << QByteArray::fromStdString(paper);
    }
    void refused()
    {
        QFETCH(QByteArray, bytes);
        JwwDrawing d;
        d.entities.lines.resize(3);
        QVERIFY(!ReadJwcDrawing(bytes.toStdString(), d));
        QCOMPARE(d.entities.Count(), std::size_t(0));
        QVERIFY(d.memo.bytes.empty());
    }

    // Damage after the header: every prefix keeps the entities read before the cut and
    // is never complete; counts claiming more than the file holds, random bytes and
    // random changes neither crash nor hang nor allocate past the file.
    void damaged()
    {
        const std::string whole = Plan(true).Bytes();
        std::size_t before = 0;
        for (std::size_t n = 0; n < whole.size(); ++n) {
            JwwDrawing d;
            const bool read = ReadJwcDrawing(std::string_view(whole).substr(0, n), d);
            QCOMPARE(read, n >= kJwcHeaderBytes);
            QVERIFY(!d.complete);
            QVERIFY(d.entities.Count() >= before);   // more of the file, never fewer entities
            before = d.entities.Count();
        }
        QCOMPARE(before, std::size_t(7));

        for (const char* claim : {"999999999999", "18446744073709551615"}) {
            std::string lies = JwcWriter().Line(0, 0, 1, 1).Bytes();
            std::string counts = std::string("0 1 0 ") + claim;
            counts.resize(200, ' ');
            lies.replace(600, 200, counts);
            JwwDrawing d;
            QVERIFY(ReadJwcDrawing(lies, d));
            QCOMPARE(d.entities.lines.size(), std::size_t(1));
            QVERIFY(!d.complete);
        }

        std::mt19937 random(36);
        for (int round = 0; round < 3000; ++round) {
            std::string bytes = round % 2 ? whole : std::string(kJwcSignature) + std::string(900, '\0');
            const int changes = 1 + int(random() % 16);
            for (int i = 0; i < changes; ++i) bytes[random() % bytes.size()] = char(random());
            if (round % 3 == 0) bytes += std::string(random() % 64, char(random()));
            JwwDrawing d;
            ReadJwcDrawing(bytes, d);
            QVERIFY(d.entities.Count() <= bytes.size() / 12);
        }
    }
};

QTEST_GUILESS_MAIN(TestJwcDrawing)
#include "test_jwcdrawing.moc"
