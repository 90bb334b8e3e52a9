// Helper processes under their limits: time, memory, output, crashes and missing
// programs each cost only their own run.
#include <QElapsedTimer>
#include <QtTest>

#include "board/limitedprocess.h"

class TestLimitedProcess : public QObject {
    Q_OBJECT
private slots:
    void helperProcessesKeepTheirLimits()
    {
        ProcessLimits limits;
        limits.timeoutMs = 500;
        limits.memoryBytes = 300LL * 1024 * 1024;
        limits.outputBytes = 1000;
        limits.parallel = 2;
        auto sh = [](const char* script) { return LimitedRun{"/bin/sh", {"-c", script}, {}, false}; };
        std::vector<LimitedRun> runs{sh("printf hello"),
                                     sh("exit 3"),
                                     sh("exec sleep 30"),
                                     sh("head -c 100000 /dev/zero"),
                                     LimitedRun{"/nonexistent/kumolist-picture", {}, {}, false},
                                     sh("ulimit -v; ulimit -c"),
                                     sh("kill -SEGV $$"),
                                     sh("printf world")};
        QElapsedTimer clock;
        clock.start();
        RunLimited(runs, limits);
        QVERIFY2(clock.elapsed() < 5000, "the sleeper is killed at its time limit");
        QVERIFY(runs[0].ok);
        QCOMPARE(runs[0].output, QByteArray("hello"));
        QVERIFY(runs[7].ok);
        QCOMPARE(runs[7].output, QByteArray("world"));
        for (int failed : {1, 2, 3, 4, 6}) {
            QVERIFY(!runs[failed].ok);
            QVERIFY(runs[failed].output.isEmpty());
        }
        QVERIFY(runs[5].ok);
        const QList<QByteArray> limitsSeen = runs[5].output.split('\n');
        QCOMPARE(limitsSeen.value(1), QByteArray("0"));   // no core files
        // AddressSanitizer builds run without the address-space limit.
        QVERIFY(limitsSeen.value(0) == "307200" || limitsSeen.value(0) == "unlimited");
#if !defined(__SANITIZE_ADDRESS__)
        QCOMPARE(limitsSeen.value(0), QByteArray("307200"));
#endif
    }
};

QTEST_GUILESS_MAIN(TestLimitedProcess)
#include "test_limitedprocess.moc"
