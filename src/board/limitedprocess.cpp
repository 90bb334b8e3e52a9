#include "board/limitedprocess.h"

#include <memory>

#include <QElapsedTimer>
#include <QProcess>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>

#include "text/sanitized.h"

namespace {

// Slice of one wait: short, so that several processes' pipes are drained in turn and
// an output that runs past its bound is seen early.
constexpr int kSliceMs = 10;

struct Active {
    std::unique_ptr<QProcess> process;
    LimitedRun* run = nullptr;
    QElapsedTimer clock;
};

void Start(Active& a, const ProcessLimits& limits)
{
    auto* p = new QProcess;
    a.process.reset(p);
    p->setProgram(a.run->program);
    p->setArguments(a.run->arguments);
    p->setStandardInputFile(QProcess::nullDevice());
    LimitProcess(*p, limits);
    a.clock.start();
    p->start(QIODevice::ReadOnly);
    p->waitForStarted(limits.timeoutMs);
}

} // namespace

void LimitProcess(QProcess& process, const ProcessLimits& limits)
{
    // The sanitizers report on standard error; elsewhere a decoder's complaints about a
    // broken file are of no use to anyone.
    if (kSanitized)
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    else
        process.setStandardErrorFile(QProcess::nullDevice());
    const qint64 memory = limits.memoryBytes;
    const rlim_t cpuSeconds = rlim_t(limits.timeoutMs / 1000 + 2);
    const int niceness = limits.niceness;
    process.setChildProcessModifier([memory, cpuSeconds, niceness] {
        // Between fork and exec: only calls that are safe there.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);   // never outlive the program
        const rlimit none{0, 0};
        ::setrlimit(RLIMIT_CORE, &none);
        // Also bounds a process whose parent cannot wait for it any more.
        const rlimit cpu{cpuSeconds, cpuSeconds};
        ::setrlimit(RLIMIT_CPU, &cpu);
        if (niceness > 0) ::setpriority(PRIO_PROCESS, 0, niceness);
        // AddressSanitizer reserves terabytes of address space for itself; its builds
        // run without this limit.
        if (!kSanitized) {
            const rlimit space{rlim_t(memory), rlim_t(memory)};
            ::setrlimit(RLIMIT_AS, &space);
        }
    });
}

void RunLimited(std::vector<LimitedRun>& runs, const ProcessLimits& limits)
{
    const size_t parallel = size_t(limits.parallel > 0 ? limits.parallel : 1);
    size_t next = 0;
    std::vector<Active> active;
    while (next < runs.size() || !active.empty()) {
        while (next < runs.size() && active.size() < parallel) {
            LimitedRun& run = runs[next++];
            run.ok = false;
            run.output.clear();
            Active a;
            a.run = &run;
            Start(a, limits);
            if (a.process->state() != QProcess::Running) continue;   // no such program, or no fork
            active.push_back(std::move(a));
        }
        for (auto it = active.begin(); it != active.end();) {
            QProcess& p = *it->process;
            LimitedRun& run = *it->run;
            if (p.state() != QProcess::NotRunning) p.waitForFinished(kSliceMs);
            run.output += p.readAllStandardOutput();
            const bool tooLong = it->clock.elapsed() > limits.timeoutMs;
            const bool tooMuch = run.output.size() > limits.outputBytes;
            if (p.state() == QProcess::NotRunning) {
                run.ok = !tooMuch && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
            } else if (tooLong || tooMuch) {
                p.kill();
                p.waitForFinished(1000);
                run.ok = false;
            } else {
                ++it;
                continue;
            }
            if (!run.ok) run.output.clear();
            it = active.erase(it);
        }
    }
}
