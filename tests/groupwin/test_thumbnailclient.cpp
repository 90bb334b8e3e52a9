// The thumbnail client: answers from the desktop's cache, the real thumbnailer behind
// it, and thumbnailers that hang, die or are missing.
#include <utime.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "drawing/thumbcache.h"
#include "groupwin/thumbnailclient.h"

namespace {

const char* const kDrawings[] = {"Test1.jww", "Test2.jww", "non_block.jww", "サンプル.jww", "敷地図.jww"};

// Every Ready until count files are answered or the time is up: file -> image.
QMap<QString, QImage> Collect(ThumbnailClient& client, int count, int ms = 60000)
{
    QMap<QString, QImage> got;
    const QMetaObject::Connection c = QObject::connect(&client, &ThumbnailClient::Ready, [&](const QString& f, const QImage& i) {
        if (got.contains(f)) qWarning("answered twice: %s", qPrintable(f));
        got.insert(f, i);
    });
    QElapsedTimer clock;
    clock.start();
    while (got.size() < count && clock.elapsed() < ms) QTest::qWait(10);
    QTest::qWait(50);   // nothing more may come
    QObject::disconnect(c);
    return got;
}

} // namespace

class TestThumbnailClient : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString cache_;
    QStringList drawings_;

    ThumbnailClientOptions Options(const QString& thumbnailer = QStringLiteral(KUMO_THUMBNAILER))
    {
        ThumbnailClientOptions o;
        o.thumbnailer = thumbnailer;
        o.cacheRoot = cache_;
        o.timeoutsFolder = dir_.path() + "/timeouts";
        o.size = 128;
        return o;
    }

    // A stand-in thumbnailer: files named *hang* hang it, *die* kill it, others go to
    // the real one. (What hangs is the process itself: a child left behind would hold
    // the test's output open.)
    QString Fake(const QString& name, const QString& body)
    {
        const QString path = dir_.path() + "/" + name;
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly)) return {};
        f.write(("#!/bin/bash\nREAL='" + QStringLiteral(KUMO_THUMBNAILER) + "'\n" + body).toUtf8());
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    QString Copy(const char* drawing, const QString& as)
    {
        const QString to = dir_.path() + "/" + as;
        QFile::copy(QStringLiteral(KUMO_TESTDATA "/jww/") + QString::fromUtf8(drawing), to);
        return to;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        cache_ = dir_.path() + "/cache/thumbnails";
        for (const char* d : kDrawings) drawings_ << Copy(d, QString::fromUtf8(d));
    }

    // The first time each drawing is drawn by one thumbnailer process, a file that is
    // no drawing recorded as failed, a missing one just answered; the second time all
    // come from the cache without a process; a drawing whose time changed is drawn again.
    void cacheThenThumbnailer()
    {
        const QString notDrawing = dir_.path() + "/readme.jww";
        QVERIFY(QFile::copy(QStringLiteral(KUMO_TESTDATA "/jww/README.md"), notDrawing));
        const QString missing = dir_.path() + "/missing.jww";
        const QStringList all = drawings_ + QStringList{notDrawing, missing};
        {
            ThumbnailClient client(Options());
            client.Request(all);
            const QMap<QString, QImage> got = Collect(client, int(all.size()));
            QCOMPARE(got.size(), all.size());
            for (const QString& d : drawings_) QCOMPARE(std::max(got[d].width(), got[d].height()), 128);
            QVERIFY(got[notDrawing].isNull() && got[missing].isNull());
            QCOMPARE(client.ProcessesStarted(), 1);
        }
        const ThumbnailCache cache(cache_);
        for (const QString& d : drawings_) QCOMPARE(cache.Find(d, FileMTime(d), 128), ThumbnailCache::State::Valid);
        QCOMPARE(cache.Find(notDrawing, FileMTime(notDrawing), 128), ThumbnailCache::State::Failed);
        {
            ThumbnailClient client(Options());
            QElapsedTimer clock;
            clock.start();
            client.Request(all);
            const QMap<QString, QImage> got = Collect(client, int(all.size()));
            QCOMPARE(got.size(), all.size());
            QVERIFY(!got[drawings_[0]].isNull() && got[notDrawing].isNull());
            QCOMPARE(client.ProcessesStarted(), 0);
        }
        const qint64 before = FileMTime(drawings_[1]);
        const utimbuf later{before + 100, before + 100};
        QCOMPARE(::utime(QFile::encodeName(drawings_[1]).constData(), &later), 0);
        {
            ThumbnailClient client(Options());
            client.Request(drawings_);
            QCOMPARE(Collect(client, int(drawings_.size())).size(), drawings_.size());
            QCOMPARE(client.ProcessesStarted(), 1);
        }
        QCOMPARE(cache.Find(drawings_[1], before + 100, 128), ThumbnailCache::State::Valid);
    }

    // Asking returns at once however many files; the files in view jump the queue.
    void visibleFirst()
    {
        QStringList many;
        for (int i = 0; i < 12; ++i) many << Copy(kDrawings[i % 5], QStringLiteral("order%1.jww").arg(i));
        ThumbnailClient client(Options());
        QStringList thousand;
        for (int i = 0; i < 1000; ++i) thousand << dir_.path() + QStringLiteral("/none%1.jww").arg(i);
        QElapsedTimer clock;
        clock.start();
        client.Request(many);
        client.Request(thousand);
        client.Prioritise({many[11], many[10]});
        QVERIFY(clock.elapsed() < 100);
        QStringList order;
        connect(&client, &ThumbnailClient::Ready, this, [&](const QString& f) {
            if (!f.contains("none")) order << f;
        });
        QTRY_COMPARE_WITH_TIMEOUT(order.size(), 12, 60000);
        // The first file may have gone to the thumbnailer before the new order came.
        const qsizetype first = order.indexOf(many[11]);
        QVERIFY(first <= 1 && order.indexOf(many[10]) == first + 1);
        QCOMPARE(order.mid(first + 2, 2), first == 0 ? (QStringList{many[0], many[1]}) : (QStringList{many[1], many[2]}));
    }

    // A file that hangs the thumbnailer is stopped at its time, one that kills it ends
    // only its own turn: the process is started again and the files after them are
    // drawn. The one that killed it is recorded as failed, the one that ran out of time
    // is not (yet).
    void hangingAndDyingThumbnailer()
    {
        const QString fake = Fake("fake-thumbnailer", R"(
while IFS=$'\t' read -r size input output; do
  case "$input" in
    *hang*) exec sleep 600 ;;
    *die*) kill -9 $$ ;;
  esac
  if "$REAL" -s "$size" "$input" "$output"; then printf 'ok\t%s\n' "$input"; else printf 'fail\t%s\n' "$input"; fi
done
)");
        const QStringList files{Copy("Test2.jww", "f1.jww"), Copy("Test2.jww", "hang.jww"), Copy("敷地図.jww", "f2.jww"),
                                Copy("敷地図.jww", "die.jww"), Copy("non_block.jww", "f3.jww")};
        ThumbnailClientOptions o = Options(fake);
        o.fileWallMs = 1500;
        ThumbnailClient client(o);
        QElapsedTimer clock;
        clock.start();
        client.Request(files);
        const QMap<QString, QImage> got = Collect(client, int(files.size()));
        QCOMPARE(got.size(), files.size());
        QVERIFY(!got[files[0]].isNull() && !got[files[2]].isNull() && !got[files[4]].isNull());
        QVERIFY(got[files[1]].isNull() && got[files[3]].isNull());
        QCOMPARE(client.ProcessesStarted(), 3);
        QVERIFY(clock.elapsed() < 30000);
        const ThumbnailCache cache(cache_);
        QCOMPARE(cache.Find(files[1], FileMTime(files[1]), 128), ThumbnailCache::State::Missing);
        QCOMPARE(cache.Find(files[3], FileMTime(files[3]), 128), ThumbnailCache::State::Failed);
    }

    // A drawing that runs out of time, hanging past the wall time or ended by the
    // thumbnailer at its CPU time, is tried again each time it is asked for, and
    // recorded as failed at its third time-out; once its file changes it is tried anew.
    void outOfTimeTriedAgain_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("past the wall time") << "hang-again.jww";
        QTest::newRow("past its CPU time") << "slow-again.jww";
    }
    void outOfTimeTriedAgain()
    {
        QFETCH(QString, name);
        const QString fake = Fake("slow-thumbnailer", R"(
while IFS=$'\t' read -r size input output; do
  case "$input" in
    *hang*) exec sleep 600 ;;
    *slow*) exit 75 ;;
  esac
  if "$REAL" -s "$size" "$input" "$output"; then printf 'ok\t%s\n' "$input"; else printf 'fail\t%s\n' "$input"; fi
done
)");
        const QString drawn = Copy("Test2.jww", "first-" + name), slow = Copy("Test2.jww", name);
        ThumbnailClientOptions o = Options(fake);
        o.fileWallMs = 1000;
        const ThumbnailCache cache(cache_);
        for (int run = 1; run <= 4; ++run) {
            if (run == 4) {
                const qint64 before = FileMTime(slow);
                const utimbuf later{before + 100, before + 100};
                QCOMPARE(::utime(QFile::encodeName(slow).constData(), &later), 0);
            }
            ThumbnailClient client(o);
            client.Request({drawn, slow});
            const QMap<QString, QImage> got = Collect(client, 2);
            QCOMPARE(got.size(), 2);
            QVERIFY(got[slow].isNull());
            QCOMPARE(cache.Find(slow, FileMTime(slow), 128),
                     run == 3 ? ThumbnailCache::State::Failed : ThumbnailCache::State::Missing);
        }
    }

    // A thumbnailer that never works (dies at once, or is missing): every file is
    // answered without a thumbnail, none is recorded as failed, and it is not started
    // without end.
    void brokenOrMissingThumbnailer()
    {
        const QStringList files{Copy("Test1.jww", "b1.jww"), Copy("Test1.jww", "b2.jww"), Copy("Test1.jww", "b3.jww"),
                                Copy("Test1.jww", "b4.jww"), Copy("Test1.jww", "b5.jww")};
        for (const QString& program : {Fake("dead-thumbnailer", "exit 1\n"), dir_.path() + "/no-such-program"}) {
            ThumbnailClient client(Options(program));
            client.Request(files);
            const QMap<QString, QImage> got = Collect(client, int(files.size()));
            QCOMPARE(got.size(), files.size());
            for (const QImage& image : got) QVERIFY(image.isNull());
            QVERIFY(client.ProcessesStarted() <= 3);
            const ThumbnailCache cache(cache_);
            for (const QString& f : files) QCOMPARE(cache.Find(f, FileMTime(f), 128), ThumbnailCache::State::Missing);
        }
    }
};

QTEST_MAIN(TestThumbnailClient)
#include "test_thumbnailclient.moc"
