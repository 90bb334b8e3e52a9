// The texts of a drawing as one line of JSON: the real drawings' strings, block texts,
// and texts that try to break the line or its bounds.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include "drawing/drawingtexts.h"
#include "support/jwwwriter.h"

namespace {

QJsonObject Parse(const std::string& line)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
    return error.error == QJsonParseError::NoError ? doc.object() : QJsonObject{};
}

QStringList Strings(const QJsonObject& o, bool block)
{
    QStringList out;
    for (const QJsonValue& t : o["texts"].toArray())
        if (t["block"].toBool() == block) out << t["text"].toString();
    return out;
}

DrawingText TextOf(std::string bytes, bool utf16 = false)
{
    DrawingText t;
    t.x2 = 10;
    t.sizeY = 2;
    t.content = {std::move(bytes), utf16};
    return t;
}

} // namespace

class DrawingTextsTest : public QObject {
    Q_OBJECT
private slots:
    void realDrawings_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("memo");
        QTest::addColumn<QStringList>("texts");   // some of its texts, dimension figures among them
        QTest::addColumn<int>("count");
        QTest::newRow("Test1") << "Test1.jww" << "日影図　ＴＥＳＴ用データ （陸屋根）"
                               << QStringList{"５ｍラインの書き方", "　の面取（丸面）を行なう。"} << 36;
        QTest::newRow("Test2") << "Test2.jww" << "日影図　ＴＥＳＴ用データ （切妻屋根）"
                               << QStringList{"真北", "道路中心線", "14.000"} << 23;
        QTest::newRow("サンプル") << "サンプル.jww" << "事務所基準階平面図"
                                  << QStringList{"ＥＶ", "パントリー", "事　務　室", "16,000"} << 20;
        QTest::newRow("敷地図") << "敷地図.jww" << "敷地図" << QStringList{} << 0;
        // Every string in the UTF-16 form.
        QTest::newRow("non_block") << "non_block.jww" << "" << QStringList{"Printer_Orientation = 0", "View_Direct2d = 1"}
                                   << 6;
    }
    void realDrawings()
    {
        QFETCH(QString, file);
        QFETCH(QString, memo);
        QFETCH(QStringList, texts);
        QFETCH(int, count);
        const std::string path = (QStringLiteral(KUMO_TESTDATA "/jww/") + file).toStdString();
        const std::optional<std::string> line = ReadDrawingTextsJson(path);
        QVERIFY(line);
        QVERIFY(line->find('\n') == std::string::npos);
        const QJsonObject o = Parse(*line);
        QCOMPARE(o["format"].toString(), QString("jww"));
        QCOMPARE(o["memo"].toString(), memo);
        QCOMPARE(o["cut_bytes"].toInt(-1), 0);
        const QStringList found = Strings(o, false);
        QCOMPARE(found.size(), count);
        for (const QString& t : texts) QVERIFY2(found.contains(t), qPrintable(t));
        for (const QJsonValue& t : o["texts"].toArray()) {
            const QJsonArray box = t["box_mm"].toArray();
            QVERIFY(box.size() == 4 && box[0].toDouble() <= box[2].toDouble() && box[1].toDouble() <= box[3].toDouble());
            QVERIFY(QRegularExpression("^[0-9A-F]-[0-9A-F]$").match(t["layer"].toString()).hasMatch());
        }

        // The thumbnailer prints the same line, and tells a file that is no drawing.
        QProcess p;
        p.start(KUMO_THUMBNAILER, {"--text", QString::fromStdString(path)});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(p.readAllStandardOutput().toStdString(), *line + "\n");
        p.start(KUMO_THUMBNAILER, {"--text", QStringLiteral(KUMO_TESTDATA "/jww/README.md")});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 1);
        QVERIFY(p.readAllStandardOutput().isEmpty());
    }

    // The other formats through the thumbnailer: DXF by the drawing readers, a PDF plot by
    // its text boxes (from the page's lower left); an encrypted plot is no text.
    void otherFormats()
    {
        struct Case {
            const char* file;
            const char* format;
            QString text;   // empty: the file gives no line
        };
        const Case cases[] = {
            {KUMO_TESTDATA "/dxf/r2018.dxf", "dxf", "平面図"},
            {KUMO_TESTDATA "/dxf/r12.dxf", "dxf", "平面図"},
            {KUMO_TESTDATA "/pdf/plans.pdf", "pdf", "空調機械室"},
            {KUMO_TESTDATA "/pdf/plans-encrypted.pdf", "pdf", {}},
        };
        for (const Case& c : cases) {
            QProcess p;
            p.start(KUMO_THUMBNAILER, {"--text", QString::fromUtf8(c.file)});
            QVERIFY(p.waitForFinished(30000));
            QCOMPARE(p.exitCode(), c.text.isEmpty() ? 1 : 0);
            if (c.text.isEmpty()) continue;
            const QJsonObject o = Parse(p.readAllStandardOutput().trimmed().toStdString());
            QCOMPARE(o["format"].toString(), QString(c.format));
            QVERIFY2(Strings(o, false).join('\n').contains(c.text), c.file);
            for (const QJsonValue& t : o["texts"].toArray()) {
                const QJsonArray box = t["box_mm"].toArray();
                QVERIFY(box.size() == 4 && box[0].toDouble() <= box[2].toDouble() && box[1].toDouble() <= box[3].toDouble());
            }
        }
    }

    // Texts of block definitions once each, in their own coordinates; layers in hex.
    void blockTexts()
    {
        for (const bool unicode : {false, true}) {
            JwwWriter w(600, unicode);
            WriterPen pen;
            pen.group = 15;
            pen.layer = 10;
            w.Text(0, 0, 20, 0, 4, 5, 0, "PLAN", pen);
            w.Dimension(0, -30, 40, -30, "40");
            w.BeginBlock(1, "door");
            w.Text(1, 1, 9, 1, 2, 3, 90, "WD1");
            w.EndBlock();
            w.Insert(100, 50, 1, 1, 0, 1);
            w.Insert(200, 50, 1, 1, 0, 1);
            JwwDrawing d;
            QVERIFY(ReadJwwDrawing(w.Bytes(), d));
            const QJsonObject o = Parse(DrawingTextsJson(d, "jww"));
            QCOMPARE(Strings(o, false), (QStringList{"PLAN", "40"}));
            QCOMPARE(Strings(o, true), QStringList{"WD1"});
            const QJsonObject first = o["texts"].toArray()[0].toObject();
            QCOMPARE(first["layer"].toString(), QString("F-A"));
            QCOMPARE(first["box_mm"].toArray(), (QJsonArray{0, 0, 20, 5}));
            // The block's text runs along its base line from (1, 1) to (9, 1).
            QCOMPARE(o["texts"].toArray()[2].toObject()["box_mm"].toArray(), (QJsonArray{1, 1, 9, 4}));

            // Damaged inside the block definitions: the texts before the damage stay.
            const std::string bytes = w.Bytes();
            QVERIFY(ReadJwwDrawing(std::string_view(bytes).substr(0, bytes.size() - 30), d));
            const QJsonObject cut = Parse(DrawingTextsJson(d, "jww"));
            QCOMPARE(Strings(cut, false), (QStringList{"PLAN", "40"}));
        }
    }

    // Texts from a damaged or hostile file: the line stays one valid line within bounds.
    void hostileTexts_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("utf16");
        QTest::addColumn<int>("repeat");          // texts of these bytes
        QTest::addColumn<QString>("first");       // the first text as listed ("" for none)
        QTest::addColumn<int>("count");
        QTest::addColumn<qint64>("cut");
        const QByteArray big(64 * 1024, 'a');
        QTest::newRow("64 KiB kept whole") << big << false << 1 << QString(big) << 1 << qint64(0);
        QTest::newRow("past 1 MiB cut, counted") << big << false << 20 << QString(big) << 16 << qint64(4 * 64 * 1024);
        QTest::newRow("control characters") << QByteArray("a\x01\x1b[2Jb\x7f\tc\r\n", 12) << false << 1
                                            << QString("a[2Jb c") << 1 << qint64(0);
        QTest::newRow("only controls") << QByteArray("\x01\x02\r\n") << false << 1 << QString() << 0 << qint64(0);
        QTest::newRow("quote and backslash") << QByteArray("\"}\\n, {\"text") << false << 1
                                             << QString("\"}\\n, {\"text") << 1 << qint64(0);
        QTest::newRow("broken CP932") << QByteArray("\x88\x9f\x81") << false << 1 << QString("亜\uFFFD") << 1 << qint64(0);
        // A lone high surrogate, a lone low one, an odd last byte.
        QTest::newRow("broken UTF-16") << QByteArray("A\0\x00\xD8" "B\0\x00\xDC\x8C\x54\x01", 11) << true << 1
                                       << QString("A\uFFFDB\uFFFD和\uFFFD") << 1 << qint64(0);
        QTest::newRow("C1 control in UTF-16") << QByteArray("x\0\x85\0y\0", 6) << true << 1 << QString("xy") << 1 << qint64(0);
    }
    void hostileTexts()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, utf16);
        QFETCH(int, repeat);
        QFETCH(QString, first);
        QFETCH(int, count);
        QFETCH(qint64, cut);
        JwwDrawing d;
        for (int i = 0; i < repeat; ++i) d.entities.texts.push_back(TextOf(bytes.toStdString(), utf16));
        const std::string line = DrawingTextsJson(d, "jww");
        QVERIFY(line.find('\n') == std::string::npos);
        const QJsonObject o = Parse(line);
        QVERIFY(!o.isEmpty());
        const QStringList texts = Strings(o, false);
        QCOMPARE(texts.size(), count);
        if (count) QCOMPARE(texts[0], first);
        QCOMPARE(qint64(o["cut_bytes"].toDouble()), cut);
        qint64 kept = 0;
        for (const QString& t : texts) kept += t.toUtf8().size();
        QVERIFY(kept <= qint64(kMaxDrawingTextBytes));
    }
};

QTEST_APPLESS_MAIN(DrawingTextsTest)
#include "test_drawingtexts.moc"
