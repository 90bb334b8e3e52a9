// Group pictures: the four kinds decode at their natural size, anything else (or
// anything broken) gives a null picture without bringing the program down, and the
// board's cache decodes each file once per build.
#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include "board/picture.h"
#include "boardfixture.h"

namespace {

// Little-endian byte writer for hand-made metafiles.
class Bytes {
public:
    Bytes& u16(quint16 v) {
        data_.append(char(v & 0xFF));
        data_.append(char(v >> 8));
        return *this;
    }
    Bytes& i16(qint16 v) { return u16(quint16(v)); }
    Bytes& u32(quint32 v) { return u16(quint16(v & 0xFFFF)).u16(quint16(v >> 16)); }
    Bytes& i32(qint32 v) { return u32(quint32(v)); }
    Bytes& bytes(const QByteArray& b) {
        data_.append(b);
        return *this;
    }
    void put32(qsizetype at, quint32 v) {
        for (int i = 0; i < 4; ++i) data_[at + i] = char((v >> (8 * i)) & 0xFF);
    }
    const QByteArray& data() const { return data_; }

private:
    QByteArray data_;
};

constexpr quint32 kRed = 0x000000FF;   // COLORREF 0x00BBGGRR
constexpr quint32 kBlue = 0x00FF0000;

// Enhanced metafile: a frame of frameW x frameH (0.01 mm), drawing bounds of the same
// size at 96 dpi, and one solid red rectangle over the left half.
QByteArray MakeEmf(qint32 frameW = 1270, qint32 frameH = 635) {
    const qint32 boundsW = qint32(qint64(frameW) * 96 / 2540);
    const qint32 boundsH = qint32(qint64(frameH) * 96 / 2540);
    Bytes b;
    // EMR_HEADER
    b.u32(1).u32(88);
    b.i32(0).i32(0).i32(boundsW - 1).i32(boundsH - 1);   // rclBounds, inclusive pixels
    b.i32(0).i32(0).i32(frameW).i32(frameH);             // rclFrame, 0.01 mm
    b.u32(0x464D4520).u32(0x10000);                       // " EMF", version
    b.u32(0).u32(5);                                      // nBytes (set below), nRecords
    b.u16(2).u16(0);                                      // nHandles, reserved
    b.u32(0).u32(0).u32(0);                               // no description, no palette
    b.i32(1920).i32(1080).i32(508).i32(286);              // device pixels and millimetres
    // EMR_CREATEBRUSHINDIRECT: handle 1, solid red
    b.u32(39).u32(24).u32(1).u32(0).u32(kRed).u32(0);
    // EMR_SELECTOBJECT
    b.u32(37).u32(12).u32(1);
    // EMR_RECTANGLE over the left half
    b.u32(43).u32(24).i32(0).i32(0).i32(boundsW / 2).i32(boundsH);
    // EMR_EOF
    b.u32(14).u32(20).u32(0).u32(16).u32(20);
    b.put32(48, quint32(b.data().size()));
    return b.data();
}

// Placeable Windows metafile: a bounding box of boxW x boxH units at `inch` units per
// inch, a solid red rectangle over the left half and a blue one over the right half.
QByteArray MakeWmf(qint16 boxW = 1440, qint16 boxH = 720, quint16 inch = 1440,
                   quint32 maxRecordField = 7) {
    Bytes b;
    b.u32(0x9AC6CDD7).u16(0).i16(0).i16(0).i16(boxW).i16(boxH).u16(inch).u32(0);
    quint16 sum = 0;
    for (int i = 0; i < 20; i += 2)
        sum ^= quint16(quint8(b.data()[i]) | quint8(b.data()[i + 1]) << 8);
    b.u16(sum);
    // METAHEADER: memory metafile, 9 words, version 3; size set below
    b.u16(1).u16(9).u16(0x0300).u32(0).u16(2).u32(maxRecordField).u16(0);
    b.u32(5).u16(0x020B).i16(0).i16(0);                // SETWINDOWORG y, x
    b.u32(5).u16(0x020C).i16(boxH).i16(boxW);          // SETWINDOWEXT y, x
    b.u32(7).u16(0x02FC).u16(0).u32(kRed).u16(0);      // CREATEBRUSHINDIRECT solid red
    b.u32(4).u16(0x012D).u16(0);                       // SELECTOBJECT 0
    b.u32(7).u16(0x041B).i16(boxH).i16(boxW / 2).i16(0).i16(0);   // RECTANGLE b, r, t, l
    b.u32(7).u16(0x02FC).u16(0).u32(kBlue).u16(0);
    b.u32(4).u16(0x012D).u16(1);
    b.u32(7).u16(0x041B).i16(boxH).i16(boxW).i16(0).i16(boxW / 2);
    b.u32(3).u16(0);                                   // EOF
    b.put32(22 + 6, quint32((b.data().size() - 22) / 2));
    return b.data();
}

// Decodes as the board does, with the helper the build made.
QPixmap Load(const QString& path) { return LoadGroupPicture(path, QStringLiteral(KUMO_PICTURE_HELPER)); }

bool IsRed(QRgb c) { return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60 && qAlpha(c) > 200; }
bool IsBlue(QRgb c) { return qBlue(c) > 200 && qGreen(c) < 60 && qRed(c) < 60 && qAlpha(c) > 200; }

}  // namespace

class TestPicture : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = dir_.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return {};
        f.write(bytes);
        return path;
    }
    QString SaveImage(const QString& name, const QImage& image, const char* format) {
        const QString path = dir_.filePath(name);
        return image.save(path, format) ? path : QString();
    }
    static QImage Filled(int w, int h) {
        QImage image(w, h, QImage::Format_ARGB32);
        image.fill(QColor(30, 90, 200));
        return image;
    }
    QByteArray Bytes(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void bitmapsAndIconsAtTheirNaturalSize() {
        const QString bmp = SaveImage("plan.BMP", Filled(40, 25), "bmp");
        QCOMPARE(Load(bmp).size(), QSize(40, 25));

        // The default picture holds 16, 32 and 48 pixel images; the board shows 32.
        const QString icon1 = QStringLiteral(KUMO_SOURCE_DIR "/img/icon1.ico");
        QCOMPARE(Load(icon1).size(), QSize(32, 32));

        // Without a 32 pixel image, the file's first image.
        const QString only48 = SaveImage("big.ico", Filled(48, 48), "ico");
        QCOMPARE(Load(only48).size(), QSize(48, 48));
    }

    void enhancedMetafileDrawsAtItsFrameSize() {
        const QPixmap picture = Load(Write("plan.emf", MakeEmf()));
        QCOMPARE(picture.size(), QSize(48, 24));
        const QImage image = picture.toImage();
        QVERIFY(IsRed(image.pixel(8, 12)));      // inside the rectangle
        QVERIFY(!IsRed(image.pixel(40, 12)));    // right half left empty
    }

    void placeableMetafileDrawsAtItsBoxSize() {
        const QPixmap picture = Load(Write("plan.WMF", MakeWmf()));
        QCOMPARE(picture.size(), QSize(96, 48));
        const QImage image = picture.toImage();
        QVERIFY(IsRed(image.pixel(20, 24)));
        QVERIFY(IsBlue(image.pixel(80, 24)));

        // Without the placeable header the file states no size: libwmf's estimate, which
        // for small drawings takes a unit as a point (1440 of them are 20 inches).
        const QPixmap bare = Load(Write("bare.wmf", MakeWmf().mid(22)));
        QCOMPARE(bare.size(), QSize(1024, 512));
        QVERIFY(IsRed(bare.toImage().pixel(200, 256)));

        // 720 units at 720 per inch: one inch, 96 pixels, whatever the unit.
        QCOMPARE(Load(Write("coarse.wmf", MakeWmf(720, 360, 720))).size(),
                 QSize(96, 48));
    }

    void headerLargestRecordFieldIsNotTrusted() {
        // Writers get this field wrong both ways; the records themselves decide.
        QCOMPARE(Load(Write("small.wmf", MakeWmf(1440, 720, 1440, 1))).size(),
                 QSize(96, 48));
        QCOMPARE(Load(Write("huge.wmf", MakeWmf(1440, 720, 1440, 0xFFFFFFF0u))).size(),
                 QSize(96, 48));
    }

    void hugeFramesShrinkKeepingProportions() {
        // A 2 m x 1 m frame would be thousands of pixels wide.
        QCOMPARE(Load(Write("wall.emf", MakeEmf(200000, 100000))).size(),
                 QSize(1024, 512));
        QCOMPARE(Load(Write("wall.wmf", MakeWmf(30000, 15000, 100))).size(),
                 QSize(1024, 512));
    }

    void metafileExtensionsShareTheirFormats() {
        // Windows reads a metafile by its content; a .wmf holding an EMF is shown too.
        QCOMPARE(Load(Write("swapped.wmf", MakeEmf())).size(), QSize(48, 24));
        QCOMPARE(Load(Write("swapped.emf", MakeWmf())).size(), QSize(96, 48));
    }

    void otherKindsAndMissingFilesGiveNull() {
        QVERIFY(Load(dir_.filePath("absent.ico")).isNull());
        QVERIFY(Load(dir_.path()).isNull());   // a folder

        const QString png = SaveImage("photo.png", Filled(20, 20), "png");
        QVERIFY(Load(Write("photo.bmp", Bytes(png))).isNull());
        QVERIFY(Load(Write("photo.ico", Bytes(png))).isNull());
        // A one-pixel GIF that Qt itself reads fine: only the kinds named are pictures.
        static const char gif[] =
            "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00!\xf9\x04\x01"
            "\x00\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D\x01\x00;";
        const QByteArray gifBytes(gif, sizeof gif - 1);
        QVERIFY(!QImage::fromData(gifBytes).isNull());
        QVERIFY(Load(Write("anim.gif", gifBytes)).isNull());
        QVERIFY(Load(Write("noextension", MakeEmf())).isNull());
    }

    void photosAndSvgDrawnThroughTheHelper_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("size");   // invalid: no picture
        auto encoded = [](const QImage& image, const char* format) {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, format);
            return bytes;
        };
        const QByteArray svg = "<svg xmlns='http://www.w3.org/2000/svg' width='40' height='20'>"
                               "<rect width='40' height='20' fill='#0000ff'/></svg>";
        QTest::newRow("png") << "a.png" << encoded(Filled(20, 20), "png") << QSize(20, 20);
        QTest::newRow("jpeg") << "b.JPG" << encoded(Filled(30, 10), "jpeg") << QSize(30, 10);
        QTest::newRow("jpeg, long name") << "c.jpeg" << encoded(Filled(12, 12), "jpeg") << QSize(12, 12);
        QTest::newRow("large png, bounded") << "d.png" << encoded(Filled(2048, 1024), "png") << QSize(1024, 512);
        QTest::newRow("svg") << "e.svg" << svg << QSize(40, 20);
        QTest::newRow("huge svg, bounded") << "f.svg"
                                           << QByteArray("<svg xmlns='http://www.w3.org/2000/svg' width='100000' "
                                                         "height='50000'><rect width='10' height='10'/></svg>")
                                           << QSize(1024, 512);
        QTest::newRow("png cut short") << "g.png" << encoded(Filled(20, 20), "png").left(40) << QSize();
        QTest::newRow("not svg") << "h.svg" << QByteArray("<svg") << QSize();
        QTest::newRow("a bitmap named as a PNG") << "j.png" << encoded(Filled(4, 4), "bmp") << QSize();
        QTest::newRow("png declaring a giant") << "i.png" << encoded(Filled(1, 1), "png").replace(16, 8, QByteArray("\x00\x01\x00\x00\x00\x01\x00\x00", 8)) << QSize();
    }

    void photosAndSvgDrawnThroughTheHelper() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, size);
        const QPixmap picture = Load(Write(name, bytes));
        QCOMPARE(picture.isNull() ? QSize() : picture.size(), size);
        // Drawn, not only sized.
        if (name == "e.svg") QVERIFY(IsBlue(picture.toImage().pixel(20, 10)));
    }

    void brokenFilesGiveNull_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");

        const QByteArray bmp = Bytes(SaveImage("whole.bmp", Filled(30, 30), "bmp"));
        const QByteArray ico = Bytes(QStringLiteral(KUMO_SOURCE_DIR "/img/icon1.ico"));
        const QByteArray emf = MakeEmf();
        const QByteArray wmf = MakeWmf();
        QByteArray garbage(3000, '\0');
        QRandomGenerator random(318);
        for (char& c : garbage) c = char(random.bounded(256));

        for (const auto& [ext, whole] : {std::pair{"bmp", bmp}, {"ico", ico}, {"emf", emf},
                                         {"wmf", wmf}}) {
            const QString e = QString::fromLatin1(ext);
            QTest::addRow("%s empty", ext) << "empty." + e << QByteArray();
            QTest::addRow("%s truncated", ext) << "cut." + e << whole.left(whole.size() / 2);
            QTest::addRow("%s header only", ext) << "head." + e << whole.left(30);
            QTest::addRow("%s garbage", ext) << "garbage." + e << garbage;
        }

        // Record chains that would walk off the end, or never move on.
        QByteArray emfNoEof = emf.left(emf.size() - 20);
        QTest::newRow("emf without end record") << QStringLiteral("noeof.emf") << emfNoEof;
        QByteArray emfZeroRecord = emf;
        emfZeroRecord[88 + 4] = 0;   // size of the first record after the header
        QTest::newRow("emf record of size 0") << QStringLiteral("zero.emf") << emfZeroRecord;
        QByteArray emfLongRecord = emf;
        emfLongRecord[88 + 5] = char(0x7F);
        QTest::newRow("emf record past the end") << QStringLiteral("long.emf") << emfLongRecord;
        QByteArray wmfLongRecord = wmf;
        wmfLongRecord[22 + 18 + 2] = char(0x7F);
        QTest::newRow("wmf record past the end") << QStringLiteral("long.wmf") << wmfLongRecord;
        QByteArray wmfNoEof = wmf.left(wmf.size() - 6);
        QTest::newRow("wmf without end record") << QStringLiteral("noeof.wmf") << wmfNoEof;
        QTest::newRow("wmf with zero units per inch")
            << QStringLiteral("zeroinch.wmf") << MakeWmf(1440, 720, 0);
        QTest::newRow("wmf with an empty box") << QStringLiteral("flat.wmf") << MakeWmf(1440, 0);

        // Sizes forged so that their product leaves 64 bits, or that a library would
        // allocate gigabytes for a bitmap of a few bytes.
        QByteArray forgedBmp = bmp;
        for (int at : {18, 19, 20, 21, 22, 23, 24, 25, 28, 29}) forgedBmp[at] = '\x40';
        QTest::newRow("bmp with forged sizes") << QStringLiteral("forged.bmp") << forgedBmp;
        QByteArray tallDib = BitmapWmfBytes(40);
        tallDib[22 + 18 + 10 + 10 + 28 + 8] = '\x40';   // the DIB's height: 0x40000008 rows
        tallDib[22 + 18 + 10 + 10 + 28 + 11] = '\x40';
        QTest::newRow("wmf bitmap larger than its record") << QStringLiteral("tall.wmf") << tallDib;
    }

    void brokenFilesGiveNull() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QVERIFY(Load(Write(name, bytes)).isNull());
    }

    void damagedMetafilesNeverCrash() {
        // Random byte damage anywhere in a valid file: any outcome but a crash will do,
        // and a picture that does come out keeps within the size limit.
        // (The fuzz target goes much further; these run through the helper, side by side.)
        QRandomGenerator random(3181);
        QStringList files;
        for (const auto& [ext, whole] : {std::pair{"emf", MakeEmf()}, {"wmf", MakeWmf()}}) {
            for (int round = 0; round < 100; ++round) {
                QByteArray damaged = whole;
                const int hits = 1 + int(random.bounded(4));
                for (int i = 0; i < hits; ++i)
                    damaged[random.bounded(int(damaged.size()))] = char(random.bounded(256));
                files << Write(QString("hit%1.%2").arg(round).arg(ext), damaged);
            }
        }
        PictureCache cache(QStringLiteral(KUMO_PICTURE_HELPER));
        cache.Prepare(files);
        for (const QString& file : files) {
            const QPixmap picture = cache.Load(file);
            QVERIFY(picture.width() <= 1024 && picture.height() <= 1024);
        }
        QCOMPARE(cache.HelperRunCount(), 200);
    }

    void cacheDecodesEachFileOncePerBuild() {
        const QString good = Write("cached.emf", MakeEmf());
        const QString bad = Write("cached.gif", QByteArray("GIF89a"));
        PictureCache cache(QStringLiteral(KUMO_PICTURE_HELPER));
        QCOMPARE(cache.Load(good).size(), QSize(48, 24));
        QVERIFY(cache.Load(bad).isNull());
        QCOMPARE(cache.DecodeCount(), 2);

        // Further icons with the same pictures, failures included, reuse the result.
        QCOMPARE(cache.Load(good).size(), QSize(48, 24));
        QVERIFY(cache.Load(bad).isNull());
        QCOMPARE(cache.DecodeCount(), 2);

        // The next build sees the file as it is now.
        Write("cached.emf", MakeEmf(2540, 2540));
        cache.Clear();
        QCOMPARE(cache.Load(good).size(), QSize(96, 96));
        QCOMPARE(cache.DecodeCount(), 3);
    }

    void everyKindBoundedBeforeItIsDecodedHere() {
        // Small bitmaps and icons are read here; anything declaring more than 1024 pixels
        // a side goes to the helper, which shrinks it.
        PictureCache cache(QStringLiteral(KUMO_PICTURE_HELPER));
        QCOMPARE(cache.Load(SaveImage("edge.bmp", Filled(1024, 1024), "bmp")).size(), QSize(1024, 1024));
        QCOMPARE(cache.HelperRunCount(), 0);
        QCOMPARE(cache.Load(SaveImage("wide.bmp", Filled(2048, 10), "bmp")).size(), QSize(1024, 5));
        QCOMPARE(cache.Load(Write("rle.bmp", HugeRleBmpBytes())).size(), QSize(1024, 1024));
        // An icon whose image header declares 40 x 1500 under a directory of one-byte
        // sizes: never decoded here (Qt's reader refuses it in the helper).
        ::Bytes tall;
        tall.u16(0).u16(1).u16(1).u32(0).u16(1).u16(32).u32(40 + 40 * 1500 * 4).u32(22);
        tall.u32(40).i32(40).i32(3000).u16(1).u16(32).u32(0).u32(0).u32(0).u32(0).u32(0).u32(0);
        tall.bytes(QByteArray(40 * 1500 * 4, '\x40'));
        const QPixmap icon = cache.Load(Write("tall.ico", tall.data()));
        QVERIFY(icon.width() <= 1024 && icon.height() <= 1024);
        QCOMPARE(cache.HelperRunCount(), 3);
        QCOMPARE(cache.Load(Write("glyphs.emf", GlyphIndexEmfBytes())).size(), QSize(100, 30));
        QVERIFY(cache.Load(Write("zero.wmf", BitmapWmfBytes(0))).isNull());
        QCOMPARE(cache.Load(Write("dib.wmf", BitmapWmfBytes(40))).size(), QSize(7, 7));
    }

    void helperThatFailsGivesNull() {
        // Stand-ins for the helper: one that hangs, one that answers garbage, one that
        // answers a picture too large, one that answers well; and none at all.
        auto helper = [this](const char* name, const QByteArray& script) {
            const QString path = Write(name, "#!/bin/sh\n" + script + "\n");
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            return path;
        };
        const QString big = SaveImage("big.png", Filled(2000, 20), "png");
        const QString fine = SaveImage("fine.png", Filled(40, 30), "png");
        QStringList pictures;
        for (int i = 0; i < 6; ++i) pictures << Write(QString("p%1.emf").arg(i), MakeEmf());
        ProcessLimits quick;
        quick.timeoutMs = 300;

        PictureCache hanging(helper("hangs", "exec sleep 30"));
        hanging.SetLimits(quick);
        QElapsedTimer clock;
        clock.start();
        hanging.Prepare(pictures);
        QVERIFY2(clock.elapsed() < 2000, "six hangs cost two time limits, four at a time");
        for (const QString& picture : pictures) QVERIFY(hanging.Load(picture).isNull());

        for (const QByteArray& script : {QByteArray("echo not a picture"), "cat " + big.toUtf8(), QByteArray("exit 1")}) {
            PictureCache cache(helper("bad", script));
            QVERIFY(cache.Load(pictures[0]).isNull());
        }
        PictureCache good(helper("good", "cat " + fine.toUtf8()));
        QCOMPARE(good.Load(pictures[0]).size(), QSize(40, 30));
        QVERIFY(LoadGroupPicture(pictures[0], dir_.filePath("no-such-helper")).isNull());
        QVERIFY(LoadGroupPicture(pictures[0], QString()).isNull());
    }
};

QTEST_MAIN(TestPicture)
#include "test_picture.moc"
