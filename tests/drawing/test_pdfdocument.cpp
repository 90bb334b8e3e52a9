// PDF plots through Poppler: pages drawn at the size asked, the texts with their boxes,
// and damaged, encrypted and foreign files refused cleanly.
#include <algorithm>
#include <random>

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

#include "drawing/pdfdocument.h"

namespace {

QString Pdf(const char* name) { return QStringLiteral(KUMO_TESTDATA "/pdf/") + QString::fromUtf8(name); }
std::string Fs(const QString& path) { return QFile::encodeName(path).toStdString(); }

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Pixels darker than paper: the ink of a part of the picture.
int Ink(const QImage& image, const QRect& part)
{
    int n = 0;
    for (int y = part.top(); y <= part.bottom(); ++y)
        for (int x = part.left(); x <= part.right(); ++x)
            if (qGray(image.pixel(x, y)) < 200) ++n;
    return n;
}

} // namespace

class TestPdfDocument : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    std::string Write(const char* name, const QByteArray& bytes)
    {
        QFile f(dir_.filePath(name));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return {};
        f.write(bytes);
        return Fs(f.fileName());
    }

private slots:
    // Each page of the A3 plot at the size asked, landscape, ink where the drawing lies
    // and white margins; the page count rides on the picture; no page past the last.
    void pages_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("drawn");
        QTest::newRow("first, thumbnail") << 1 << 256 << true;
        QTest::newRow("second, preview") << 2 << 1024 << true;
        QTest::newRow("past the last") << 3 << 256 << false;
    }
    void pages()
    {
        QFETCH(int, page);
        QFETCH(int, size);
        QFETCH(bool, drawn);
        const QImage image = RenderPdfPage(Fs(Pdf("plans.pdf")), page, size);
        QCOMPARE(!image.isNull(), drawn);
        if (!drawn) return;
        QCOMPARE(image.width(), size);
        QVERIFY(std::abs(image.height() - size * 297 / 420) <= 1);
        QCOMPARE(image.text(kPdfPagesKey), QString("2"));
        const int w = image.width(), h = image.height();
        QVERIFY(Ink(image, QRect(0, h / 50, w, h - h / 25)) > w);
        QCOMPARE(Ink(image, QRect(0, 0, w, h / 50)), 0);   // the page's top margin
    }

    // Texts as UTF-8 with their boxes in millimetres on the page they stand on.
    void texts()
    {
        std::vector<PdfText> texts;
        QVERIFY(ReadPdfTexts(Fs(Pdf("plans.pdf")), texts));
        QStringList first;
        for (const PdfText& t : texts) {
            QCOMPARE(t.page, 1);   // the site plan of page 2 has no text
            QVERIFY(t.x >= 0 && t.y >= 0 && t.x + t.width <= 420.5 && t.y + t.height <= 297.5);
            QVERIFY(t.width > 0 && t.height > 0);
            first << QString::fromStdString(t.text);
        }
        for (const char* known : {"パントリー", "空調機械室", "1,800", "9,000"})
            QVERIFY2(first.contains(QString::fromUtf8(known)), known);
        // A known text at its place: 空調機械室, 5 characters of 8 mm, in the plan's right half.
        const auto at = std::find_if(texts.begin(), texts.end(), [](const PdfText& t) { return t.text == "空調機械室"; });
        QVERIFY(std::abs(at->x - 252.5) < 1 && std::abs(at->y - 204.8) < 1 && std::abs(at->width - 41.3) < 1);
    }

    // Encrypted, empty, not a PDF, missing: nothing drawn, no texts, a failure.
    void refused_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("encrypted") << Pdf("plans-encrypted.pdf");
        QTest::newRow("missing") << dir_.filePath("missing.pdf");
        QTest::newRow("empty") << QString::fromStdString(Write("empty.pdf", {}));
        QTest::newRow("a drawing") << QString::fromStdString(Write("plan.pdf", QByteArray("JwwData.") + QByteArray(500, '\0')));
        QTest::newRow("header only") << QString::fromStdString(Write("head.pdf", "%PDF-1.4\n%%EOF\n"));
        QTest::newRow("a folder") << dir_.path();
    }
    void refused()
    {
        QFETCH(QString, file);
        QVERIFY(RenderPdfPage(Fs(file), 1, 128).isNull());
        std::vector<PdfText> texts{PdfText{}};
        QVERIFY(!ReadPdfTexts(Fs(file), texts));
        QVERIFY(texts.empty());
        int pages = 0;
        double w = 0, h = 0;
        QVERIFY(!ReadPdfInfo(Fs(file), pages, w, h));
    }

    // Cut at every 97th byte, and at every byte of the cross-reference table and the
    // trailer at its end; changed at random: drawn or refused, never a crash.
    void damaged()
    {
        const QByteArray whole = ReadAll(Pdf("plans.pdf"));
        QVERIFY(whole.size() > 1000);
        for (qsizetype n = 0; n < whole.size(); n += n < whole.size() - 600 ? 97 : 1) {
            const std::string path = Write("cut.pdf", whole.left(n));
            const QImage image = RenderPdfPage(path, 1, 64);
            QVERIFY(image.isNull() || std::max(image.width(), image.height()) == 64);
            std::vector<PdfText> texts;
            ReadPdfTexts(path, texts);
        }
        std::mt19937 random(36);
        for (int round = 0; round < 60; ++round) {
            QByteArray bytes = whole;
            for (int i = 0; i < 1 + int(random() % 32); ++i) bytes[random() % bytes.size()] = char(random());
            const std::string path = Write("changed.pdf", bytes);
            const QImage image = RenderPdfPage(path, 1 + int(random() % 2), 64);
            QVERIFY(image.isNull() || std::max(image.width(), image.height()) == 64);
        }
    }
};

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    TestPdfDocument test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_pdfdocument.moc"
