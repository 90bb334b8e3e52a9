// The desktop's thumbnail cache as its convention names and keys the entries, and the
// thumbnailer program in its three modes.
#include <sys/stat.h>
#include <utime.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "drawing/thumbcache.h"
#include "support/jwcwriter.h"

namespace {

const QString kThumbnailer = QStringLiteral(KUMO_THUMBNAILER);

QString Real(const char* name) { return QStringLiteral(KUMO_TESTDATA "/jww/") + QString::fromUtf8(name); }

int Mode(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

// A text chunk's value as a reader of the PNG format finds it (uncompressed tEXt, which
// every reader of the cache takes).
QString Key(const QString& png, const char* key)
{
    QFile f(png);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = f.readAll();
    const QByteArray marker = "tEXt" + QByteArray(key) + '\0';
    const qsizetype at = bytes.indexOf(marker);
    if (at < 4 || at > bytes.indexOf("IDAT")) return {};
    const qsizetype length = qsizetype(quint8(bytes[at - 1])) | qsizetype(quint8(bytes[at - 2])) << 8;
    return QString::fromLatin1(bytes.mid(at + marker.size(), length - marker.size() + 4));
}

// Runs the thumbnailer to its end; its exit code, standard output in out.
int Run(const QStringList& arguments, QByteArray* out = nullptr, const QByteArray& input = {})
{
    QProcess p;
    p.start(kThumbnailer, arguments);
    if (!p.waitForStarted(10000)) return -1;
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(60000)) return -1;
    if (out) *out = p.readAllStandardOutput();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// A PNG whose header claims the sides given, with a valid checksum, and no pixels.
QByteArray PngClaiming(quint32 width, quint32 height)
{
    QByteArray chunk = "IHDR";
    for (quint32 v : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8) chunk += char((v >> shift) & 0xff);
    chunk += QByteArray("\x08\x06\x00\x00\x00", 5);
    quint32 crc = 0xffffffff;
    for (char c : chunk) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xedb88320 & (0 - (crc & 1)));
    }
    crc = ~crc;
    QByteArray png("\x89PNG\r\n\x1a\n\x00\x00\x00\x0d", 12);
    png += chunk;
    for (int shift = 24; shift >= 0; shift -= 8) png += char((crc >> shift) & 0xff);
    return png + QByteArray(64, '\0');
}

} // namespace

class TestThumbnailer : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

private slots:
    // File URIs escaped as the desktop escapes them, names the MD5 of the URI (the
    // convention's own example), the size folders and the failure folder.
    void namesAndUris()
    {
        QCOMPARE(FileUri("/home/jens/photos/me.png"), QByteArray("file:///home/jens/photos/me.png"));
        const ThumbnailCache cache("/c");
        QCOMPARE(cache.ThumbnailPath("/home/jens/photos/me.png", 128), QString("/c/normal/c6ee772d9e49320e97ec29a7eb5b1697.png"));
        QCOMPARE(cache.ThumbnailPath("/home/jens/photos/me.png", 256), QString("/c/large/c6ee772d9e49320e97ec29a7eb5b1697.png"));
        QCOMPARE(cache.ThumbnailPath("/x", 512).section('/', 2, 2), QString("x-large"));
        QCOMPARE(cache.ThumbnailPath("/x", 1024).section('/', 2, 2), QString("xx-large"));
        QCOMPARE(cache.FailurePath("/home/jens/photos/me.png"), QString("/c/fail/kumolist/c6ee772d9e49320e97ec29a7eb5b1697.png"));
        QCOMPARE(FileUri(QString::fromUtf8("/tmp/a b/図面#1;x%[y]~$&'=@,+.jww")),
                 QByteArray("file:///tmp/a%20b/%E5%9B%B3%E9%9D%A2%231%3Bx%25%5By%5D~$&'=@,+.jww"));
        QCOMPARE(FileUri("/a/./b/../c.jww"), QByteArray("file:///a/c.jww"));
        QCOMPARE(FileUri("rel.jww"), "file://" + QFile::encodeName(QDir::currentPath()) + "/rel.jww");

        const QByteArray saved = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", "/var/cache-of-user");
        QCOMPARE(ThumbnailCacheRoot(), QString("/var/cache-of-user/thumbnails"));
        qputenv("XDG_CACHE_HOME", "relative");
        QCOMPARE(ThumbnailCacheRoot(), QDir::homePath() + "/.cache/thumbnails");
        qunsetenv("XDG_CACHE_HOME");
        QCOMPARE(ThumbnailCacheRoot(), QDir::homePath() + "/.cache/thumbnails");
        qputenv("XDG_CACHE_HOME", saved);
    }

    // An entry holds the file's URI and time, is its owner's alone, and is valid only
    // for that time and size; failures are kept apart; entries from elsewhere that name
    // another file, or are no regular file, count for nothing.
    void cacheEntries()
    {
        const ThumbnailCache cache(dir_.path() + "/cache/thumbnails");
        const QString file = dir_.path() + "/図面.jww";
        QVERIFY(QFile::copy(Real("Test2.jww"), file));
        const qint64 mtime = FileMTime(file);
        QVERIFY(mtime > 0);
        QCOMPARE(FileMTime(dir_.path() + "/missing.jww"), qint64(-1));
        QCOMPARE(cache.Find(file, mtime, 128), ThumbnailCache::State::Missing);

        QImage image(128, 64, QImage::Format_RGB32);
        image.fill(Qt::red);
        QVERIFY(cache.Store(file, mtime, 128, image));
        const QString path = cache.ThumbnailPath(file, 128);
        QCOMPARE(Key(path, "Thumb::URI"), QString::fromLatin1(FileUri(file)));
        QCOMPARE(Key(path, "Thumb::MTime"), QString::number(mtime));
        QCOMPARE(Mode(path), 0600);
        QCOMPARE(Mode(cache.Root()), 0700);
        QCOMPARE(Mode(cache.Root() + "/normal"), 0700);
        QCOMPARE(QDir(cache.Root() + "/normal").entryList(QDir::Files | QDir::Hidden).size(), 1);   // no temporary left

        QImage found;
        QCOMPARE(cache.Find(file, mtime, 128, &found), ThumbnailCache::State::Valid);
        QCOMPARE(found.size(), QSize(128, 64));
        QCOMPARE(cache.Find(file, mtime + 1, 128), ThumbnailCache::State::Missing);   // the file changed
        QCOMPARE(cache.Find(file, mtime, 256), ThumbnailCache::State::Missing);

        QVERIFY(cache.StoreFailure(file, mtime + 1));
        QCOMPARE(cache.Find(file, mtime + 1, 128), ThumbnailCache::State::Failed);
        QCOMPARE(Key(cache.FailurePath(file), "Thumb::URI"), QString::fromLatin1(FileUri(file)));
        QCOMPARE(Mode(cache.FailurePath(file)), 0600);
        QCOMPARE(cache.Find(file, mtime + 2, 128), ThumbnailCache::State::Missing);

        // Another file's entry under this name, and a FIFO: neither is read as ours.
        const QString other = dir_.path() + "/other.jww";
        QVERIFY(QFile::copy(file, other));
        QVERIFY(WriteThumbnailPng(cache.ThumbnailPath(other, 128), image, FileUri(file), FileMTime(other)));
        QCOMPARE(cache.Find(other, FileMTime(other), 128), ThumbnailCache::State::Missing);
        QFile::remove(cache.ThumbnailPath(other, 128));
        QCOMPARE(::mkfifo(QFile::encodeName(cache.ThumbnailPath(other, 128)).constData(), 0600), 0);
        QCOMPARE(cache.Find(other, FileMTime(other), 128), ThumbnailCache::State::Missing);
    }

    // Past the desktop's 1024 pixels: only the program's own cache takes a picture, up to
    // 2048 pixels and no more; trimmed to the newest, never one being written now.
    void programCache()
    {
        const QByteArray saved = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", QFile::encodeName(dir_.path() + "/home-cache"));
        QCOMPARE(ProgramCacheRoot(), dir_.path() + "/home-cache/kumolist");
        const ThumbnailCache desktop, own(ProgramCacheRoot());
        const QString file = dir_.path() + "/large.jww";
        QVERIFY(QFile::copy(Real("Test1.jww"), file));
        const qint64 mtime = FileMTime(file);
        QImage big(2048, 1024, QImage::Format_RGB32);
        big.fill(Qt::blue);
        QVERIFY(!desktop.Store(file, mtime, 2048, big));
        QVERIFY(!QFileInfo::exists(desktop.Root() + "/preview-2048"));
        QVERIFY(own.Store(file, mtime, 2048, big));
        QCOMPARE(own.ThumbnailPath(file, 2048).section('/', -2, -2), QString("preview-2048"));
        QImage found;
        QCOMPARE(own.Find(file, mtime, 2048, &found), ThumbnailCache::State::Valid);
        QCOMPARE(found.size(), big.size());
        // The same picture under the 1024 name is too large for it; past 2048 for any.
        QVERIFY(own.MakeFolders(1024));
        QVERIFY(QFile::copy(own.ThumbnailPath(file, 2048), own.ThumbnailPath(file, 1024)));
        QCOMPARE(own.Find(file, mtime, 1024, &found), ThumbnailCache::State::Missing);
        QVERIFY(WriteThumbnailPng(own.ThumbnailPath(file, 2048), QImage(2049, 8, QImage::Format_RGB32), FileUri(file), mtime));
        QCOMPARE(own.Find(file, mtime, 2048, &found), ThumbnailCache::State::Missing);

        // One picture and a temporary file just written, four older ones: the newest
        // kept, the old ones gone, the one another copy may be writing left alone.
        const QString folder = ProgramCacheRoot() + "/preview-2048";
        QFile::remove(own.ThumbnailPath(file, 2048));
        for (int i = 0; i < 5; ++i) {
            const QString path = QString("%1/%2.png").arg(folder).arg(i);
            QFile(path).open(QIODevice::WriteOnly);
            const utimbuf times{time(nullptr) - i * 3600, time(nullptr) - i * 3600};
            if (i > 0) QCOMPARE(::utime(QFile::encodeName(path).constData(), &times), 0);
        }
        QFile(folder + "/.writing.png.XyZ").open(QIODevice::WriteOnly);
        own.Trim(2048, 1);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name), (QStringList{".writing.png.XyZ", "0.png"}));
        qputenv("XDG_CACHE_HOME", saved);
    }

    // --info: one line of JSON per drawing, counts of the main list by kind and the box
    // of everything; not a drawing: no line, and a failure.
    void info_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("version");
        QTest::addColumn<QString>("counts");
        QTest::addColumn<QList<double>>("extents");
        QTest::newRow("dxf") << QStringLiteral(KUMO_TESTDATA "/dxf/r2018.dxf") << 1032 << "24 4 1 4 1 9 0"
                             << QList<double>{0, -10.5, 500, 500};
        QTest::newRow("Test1") << Real("Test1.jww") << 600 << "1642 4 4 36 0 0 0"
                               << QList<double>{-269.478760, -187.065637, 283.428568, 155.482625};
        QTest::newRow("Test2") << Real("Test2.jww") << 600 << "38 4 6 23 0 0 0"
                               << QList<double>{-274.065637, -192.799228, 267.061786, 155.895753};
        QTest::newRow("non_block") << Real("non_block.jww") << 700 << "4 2 0 6 0 0 0"
                                   << QList<double>{-118.550279, -87.652915, 122.261853, 42.467695};
        QTest::newRow("sample") << Real("サンプル.jww") << 600 << "592 64 19 20 0 0 0"
                                << QList<double>{-142.400674, -82.053010, 70.974251, 51.880302};
        QTest::newRow("site") << Real("敷地図.jww") << 600 << "9 0 0 0 0 0 0"
                              << QList<double>{-118.644107, -84.949153, 125.764281, 63.045234};
        // An old drawing: no version.
        QTest::newRow("old") << QStringLiteral(KUMO_SOURCE_DIR "/tests/fuzz/jwc-seeds/plan.jwc") << -1 << "4 2 2 2 0 0 0"
                             << QList<double>{-5, -10, 55, 40};
    }
    void info()
    {
        QFETCH(QString, file);
        QFETCH(int, version);
        QFETCH(QString, counts);
        QFETCH(QList<double>, extents);
        QByteArray out;
        QCOMPARE(Run({"--info", file}, &out), 0);
        QCOMPARE(out.count('\n'), 1);
        QVERIFY(out.endsWith('\n'));
        const QJsonObject o = QJsonDocument::fromJson(out).object();
        const QString format = file.endsWith(".dxf") ? "dxf" : version >= 0 ? "jww" : "jwc";
        QStringList keys{"block_definitions", "entities", "extents_mm", "format", "frame_mm"};
        if (version >= 0) keys << "version";   // the old format has none
        QCOMPARE(o.keys(), keys);
        QCOMPARE(o["format"].toString(), format);
        QCOMPARE(o["version"].toInt(-1), version);
        QCOMPARE(o["block_definitions"].toInt(), format == "dxf" ? 8 : 0);   // with the doors' copies in two more colours
        const QJsonObject e = o["entities"].toObject();
        QStringList got;
        for (const char* kind : {"line", "arc", "point", "text", "solid", "block_insert", "dimension"})
            got << QString::number(e[kind].toInt(-1));
        QCOMPARE(got.join(' '), counts);
        const QJsonArray box = o["extents_mm"].toArray();
        QCOMPARE(box.size(), 4);
        for (int i = 0; i < 4; ++i) QVERIFY(std::fabs(box[i].toDouble() - extents[i]) < 1e-6);
        // Where a picture's pixels lie on the paper: around what is shown, with a margin.
        const QJsonArray frame = o["frame_mm"].toArray();
        QCOMPARE(frame.size(), 4);
        QVERIFY(frame[0].toDouble() < frame[2].toDouble() && frame[1].toDouble() < frame[3].toDouble());
    }

    // -s: a PNG of the size asked, keyed for the cache, readable by its owner only;
    // usage and unreadable files fail with nothing written.
    void single()
    {
        const QString out = dir_.path() + "/single.png";
        QCOMPARE(Run({"-s", "256", Real("サンプル.jww"), out}), 0);
        const QImage image(out);
        QCOMPARE(std::max(image.width(), image.height()), 256);
        QCOMPARE(Key(out, "Thumb::URI"), QString::fromLatin1(FileUri(Real("サンプル.jww"))));
        QCOMPARE(Key(out, "Thumb::MTime"), QString::number(FileMTime(Real("サンプル.jww"))));
        QCOMPARE(Mode(out), 0600);
        // An independent reader of PNG (ImageMagick's, through libpng) takes the keys too.
        const QString identify = QStandardPaths::findExecutable("identify");
        if (!identify.isEmpty()) {
            QProcess p;
            p.start(identify, {"-format", "%[Thumb::URI] %[Thumb::MTime]", out});
            QVERIFY(p.waitForFinished(30000));
            QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()),
                     QString::fromLatin1(FileUri(Real("サンプル.jww"))) + ' ' + QString::number(FileMTime(Real("サンプル.jww"))));
            QCOMPARE(p.readAllStandardError(), QByteArray());
        }

        QByteArray none;
        QCOMPARE(Run({"--info", QStringLiteral(KUMO_TESTDATA "/jww/README.md")}, &none), 1);
        QVERIFY(none.isEmpty());
        QCOMPARE(Run({"-s", "128", QStringLiteral(KUMO_TESTDATA "/jww/README.md"), dir_.path() + "/no.png"}), 1);
        QCOMPARE(Run({"-s", "huge", Real("Test1.jww"), dir_.path() + "/no.png"}), 2);
        QCOMPARE(Run({"-s", "100000", Real("Test1.jww"), dir_.path() + "/no.png"}), 2);
        QCOMPARE(Run({"--bogus"}), 2);
        QVERIFY(!QFile::exists(dir_.path() + "/no.png"));
    }

    // The command line of the desktop's .thumbnailer file, run as tumbler runs it: the
    // output made and held open before, read back through that handle; with no runtime
    // folder in the environment, none is made (nor warned about) in the temporary folder.
    // As a file manager in GNOME's sandbox runs it: the output not there yet, and the
    // desktop's runtime folder named but not there inside the sandbox.
    void asFileManagersRunIt_data()
    {
        QTest::addColumn<bool>("outputMadeFirst");
        QTest::addColumn<QString>("runtimeFolder");
        QTest::newRow("tumbler") << true << QString();
        QTest::newRow("gnome") << false << QStringLiteral("/proc/kumolist-runtime-not-bound");
    }
    void asFileManagersRunIt()
    {
        QFETCH(bool, outputMadeFirst);
        QFETCH(QString, runtimeFolder);
        QFile entry(QStringLiteral(KUMO_SOURCE_DIR "/desktop/kumolist.thumbnailer.in"));
        QVERIFY(entry.open(QIODevice::ReadOnly));
        QString exec;
        for (const QString& line : QString::fromUtf8(entry.readAll()).split('\n'))
            if (line.startsWith("Exec=")) exec = line.mid(5).trimmed();
        const QString input = Real("サンプル.jww"), output = dir_.path() + "/tumbler-" + QTest::currentDataTag() + ".png";
        QStringList command;
        for (const QString& word : exec.split(' ', Qt::SkipEmptyParts))
            command << (word == "@KUMO_THUMBNAILER_PATH@" ? kThumbnailer
                        : word == "%s"                    ? QStringLiteral("256")
                        : word == "%i"                    ? input
                        : word == "%o"                    ? output
                                                          : word);
        QCOMPARE(command.size(), 5);
        QCOMPARE(command[0], kThumbnailer);
        QFile held(output);
        if (outputMadeFirst) QVERIFY(held.open(QIODevice::ReadWrite));

        QTemporaryDir tmp;
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("XDG_RUNTIME_DIR");
        if (!runtimeFolder.isEmpty()) env.insert("XDG_RUNTIME_DIR", runtimeFolder);
        env.insert("TMPDIR", tmp.path());
        p.setProcessEnvironment(env);
        p.start(command[0], command.mid(1));
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(p.readAllStandardError(), QByteArray());
        QCOMPARE(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());

        if (!outputMadeFirst) QVERIFY(held.open(QIODevice::ReadOnly));
        QVERIFY(held.seek(0));
        const QImage image = QImage::fromData(held.readAll(), "PNG");
        QCOMPARE(std::max(image.width(), image.height()), 256);
        QCOMPARE(image.text("Thumb::URI"), QString::fromLatin1(FileUri(input)));
        if (!outputMadeFirst) QCOMPARE(Mode(output), 0600);
    }

    // --batch: one answer per request line in order; a file that is no drawing, a size
    // out of bounds and a line without fields fail alone, the rest are drawn.
    void batch()
    {
        const QString a = dir_.path() + "/a.png", b = dir_.path() + "/b.png", c = dir_.path() + "/c.png";
        const QByteArray readme = QFile::encodeName(QStringLiteral(KUMO_TESTDATA "/jww/README.md"));
        const QByteArray input = "128\t" + QFile::encodeName(Real("Test1.jww")) + "\t" + QFile::encodeName(a) + "\n" +
                                 "128\t" + readme + "\t" + QFile::encodeName(b) + "\n" + "99999\t" +
                                 QFile::encodeName(Real("Test2.jww")) + "\t" + QFile::encodeName(b) + "\n" +
                                 "garbage\n" + "256\t" + QFile::encodeName(Real("敷地図.jww")) + "\t" + QFile::encodeName(c);
        QByteArray out;
        QCOMPARE(Run({"--batch", "--file-seconds", "3"}, &out, input), 0);
        const QList<QByteArray> lines = out.split('\n');
        QCOMPARE(lines.size(), 6);
        QCOMPARE(lines[0], "ok\t" + QFile::encodeName(Real("Test1.jww")));
        QCOMPARE(lines[1], "fail\t" + readme);
        QCOMPARE(lines[2], "fail\t" + QFile::encodeName(Real("Test2.jww")));
        QCOMPARE(lines[3], QByteArray("fail\t"));
        QCOMPARE(lines[4], "ok\t" + QFile::encodeName(Real("敷地図.jww")));
        QCOMPARE(QImage(a).width(), 128);
        QCOMPARE(QImage(c).width(), 256);
        QVERIFY(!QFile::exists(b));
        QCOMPARE(Run({"--batch", "--file-seconds", "0"}), 2);
    }

    // A PDF plot: --info with the format and the keys that apply; in batch, a PDF's page as a fourth field, its page count in the PNG,
    // a page past the last, an encrypted plot and a page that is no number failing alone.
    void otherFormats()
    {
        const QString jwc = dir_.path() + "/old.jwc";
        QFile f(jwc);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray::fromStdString(JwcWriter().Line(0, 0, 30, 0).Arc(0, 0, 10, 0, 360).Text(0, 5, 3, "AB").Bytes()));
        f.close();
        const QString pdf = QStringLiteral(KUMO_TESTDATA "/pdf/plans.pdf");
        QByteArray out;
        QCOMPARE(Run({"--info", pdf}, &out), 0);
        const QJsonObject o = QJsonDocument::fromJson(out).object();
        QCOMPARE(o.keys(), (QStringList{"extents_mm", "format", "pages"}));
        QCOMPARE(o["pages"].toInt(), 2);
        QVERIFY(std::abs(o["extents_mm"].toArray().at(2).toDouble() - 420) < 1);
        QCOMPARE(Run({"--info", QStringLiteral(KUMO_TESTDATA "/pdf/plans-encrypted.pdf")}, &out), 1);

        const QByteArray encrypted = QFile::encodeName(QStringLiteral(KUMO_TESTDATA "/pdf/plans-encrypted.pdf"));
        const QByteArray p = QFile::encodeName(pdf);
        const auto png = [&](int i) { return QFile::encodeName(dir_.path() + QString("/page%1.png").arg(i)); };
        const QByteArray input = "256\t" + p + "\t" + png(1) + "\n" + "256\t" + p + "\t" + png(2) + "\t2\n" + "256\t" + p +
                                 "\t" + png(3) + "\t3\n" + "256\t" + encrypted + "\t" + png(4) + "\n" + "256\t" + p + "\t" +
                                 png(5) + "\tx\n" + "128\t" + QFile::encodeName(jwc) + "\t" + png(6) + "\n";
        QCOMPARE(Run({"--batch"}, &out, input), 0);
        QCOMPARE(out, "ok\t" + p + "\nok\t" + p + "\nfail\t" + p + "\nfail\t" + encrypted + "\nfail\t" + p + "\nok\t" +
                          QFile::encodeName(jwc) + "\n");
        const QImage first(QFile::decodeName(png(1))), second(QFile::decodeName(png(2)));
        QCOMPARE(first.width(), 256);
        QCOMPARE(first.text("Thumb::Document::Pages"), QString("2"));
        QCOMPARE(first.text("Thumb::URI"), QString::fromLatin1(FileUri(pdf)));
        QVERIFY(first != second);
        QCOMPARE(QImage(QFile::decodeName(png(6))).width(), 128);
    }

    // Pictures by their bytes, not their names: fitted to the size without being
    // enlarged, turned as the camera noted, transparency kept; a picture claiming more
    // pixels than allowed, an SVG and a text named .png fail without being decoded.
    void pictures()
    {
        const QString in = dir_.path() + "/pictures/";
        QVERIFY(QDir().mkpath(in));
        QImage wide(3000, 1500, QImage::Format_ARGB32);
        wide.fill(QColor(255, 0, 0, 128));
        QVERIFY(wide.save(in + "wide.png"));
        QImageWriter turned(in + "camera.jpg", "jpeg");
        turned.setTransformation(QImageIOHandler::TransformationRotate90);
        QVERIFY(turned.write(QImage(400, 200, QImage::Format_RGB32)));
        QVERIFY(QImage(20, 10, QImage::Format_RGB32).save(in + "png named.JPG", "png"));
        QVERIFY(QImage(20, 10, QImage::Format_RGB32).save(in + "tiny.bmp"));
        QImage scan(1200, 600, QImage::Format_Mono);
        scan.fill(1);
        QVERIFY(scan.save(in + "scan.TIF", "tiff"));
        QVERIFY(wide.save(in + "photo.webp", "webp"));
        // Scans of 6000 by 6000 pixels (144 MB at four bytes a pixel): a JPEG is decoded
        // small, a TIFF would be decoded whole and is refused from its header.
        QImage large(6000, 6000, QImage::Format_Mono);
        large.fill(1);
        QVERIFY(large.save(in + "large.tif", "tiff"));
        QVERIFY(large.convertToFormat(QImage::Format_Grayscale8).save(in + "large.jpg", "jpeg"));
        const auto write = [&](const QString& name, const QByteArray& bytes) {
            QFile f(in + name);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        };
        write("claims.png", PngClaiming(40000, 40000));
        write("drawing.png", "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'/>");
        write("notes.png", "not a picture");

        struct Case {
            const char* name;
            int size;
            QSize made;   // invalid: the thumbnailer fails
        };
        const Case cases[] = {{"wide.png", 256, {256, 128}},      {"wide.png", 2048, {2048, 1024}},
                              {"camera.jpg", 256, {128, 256}},    {"png named.JPG", 128, {20, 10}},
                              {"tiny.bmp", 128, {20, 10}},        {"scan.TIF", 256, {256, 128}},
                              {"photo.webp", 128, {128, 64}},     {"claims.png", 128, {}},
                              {"drawing.png", 128, {}},           {"notes.png", 128, {}}};
        QByteArray input;
        for (int i = 0; i < int(std::size(cases)); ++i)
            input += QByteArray::number(cases[i].size) + '\t' + QFile::encodeName(in + cases[i].name) + '\t' +
                     QFile::encodeName(in + QString("out%1.png").arg(i)) + '\n';
        QByteArray out;
        QCOMPARE(Run({"--batch"}, &out, input), 0);
        const QList<QByteArray> lines = out.split('\n');
        QCOMPARE(lines.size(), int(std::size(cases)) + 1);
        for (int i = 0; i < int(std::size(cases)); ++i) {
            const Case& c = cases[i];
            const QString made = in + QString("out%1.png").arg(i);
            QCOMPARE(lines[i], (c.made.isValid() ? "ok\t" : "fail\t") + QFile::encodeName(in + c.name));
            QCOMPARE(QFile::exists(made), c.made.isValid());
            if (!c.made.isValid()) continue;
            QCOMPARE(QImage(made).size(), c.made);
            QCOMPARE(Key(made, "Thumb::MTime"), QString::number(FileMTime(in + c.name)));
        }
        QCOMPARE(QImage(in + "out0.png").pixelColor(5, 5).alpha(), 128);
    }
};

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    TestThumbnailer test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_thumbnailer.moc"
