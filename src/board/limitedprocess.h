#pragma once
// Helper programs that read files from elsewhere run in processes of their own, under
// limits: a file that crashes, hangs or bloats a decoder costs only that process.
#include <vector>

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

struct ProcessLimits {
    int timeoutMs = 5000;                          // wall clock, from the process's start
    qint64 memoryBytes = 1024LL * 1024 * 1024;     // address space (setrlimit)
    qint64 outputBytes = 16LL * 1024 * 1024;       // standard output kept at most
    int parallel = 4;                              // processes running at once
    int niceness = 0;                              // above 0: work in the background, yielding the CPU
};

struct LimitedRun {
    QString program;
    QStringList arguments;
    QByteArray output;   // standard output; meaningful only when ok
    bool ok = false;     // started, ended by itself with exit code 0, within every limit
};

// Runs every entry, at most limits.parallel at a time, and waits for none longer than
// its time limit: one that overruns its time or output is killed. Standard error is
// dropped. Returns when all have ended.
void RunLimited(std::vector<LimitedRun>& runs, const ProcessLimits& limits);

// Sets up a process not yet started to run under the limits: never outliving the thread
// that starts it, no core files, CPU time (from timeoutMs) and address space bounded;
// its standard error dropped (kept under the sanitizers, which report there).
void LimitProcess(QProcess& process, const ProcessLimits& limits);
