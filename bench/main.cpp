// The benchmark program: every workload at its sizes, the program's median time beside
// the floor's (the same statements run by isql-fb), and the program's peak memory.
//
//   kumobench [--quick] [--runs N] [--only W2[,W3...]] [--markdown FILE]
//
// Each workload and size runs in a child process of its own, so that its peak memory
// is its own. --quick runs the smallest size once and checks only that every workload
// did all its work.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <QApplication>
#include <QFile>

#include "workloads.h"

extern char** environ;

namespace {

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

// Child: prepares the workload, runs program and floor in turn, prints one line
// "RESULT program floor" or "FAILED why".
int RunChild(int argc, char* argv[], const std::string& key, int size, int runs)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_RUNTIME_DIR", QByteArray("/tmp/kumobench-runtime-") + QByteArray::number(getuid()));
    mkdir(qgetenv("XDG_RUNTIME_DIR").constData(), 0700);
    // The offscreen platform says at every window that it cannot pass size hints on.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (!text.contains(QLatin1String("propagateSizeHints"))) qt_message_output(type, context, text);
    });
    QApplication app(argc, argv);
    std::unique_ptr<Workload> w = MakeWorkload(key);
    if (!w) {
        std::printf("FAILED unknown workload %s\n", key.c_str());
        return 1;
    }
    if (!w->Prepare(size)) {
        std::printf("FAILED set-up of %s at %d\n", key.c_str(), size);
        return 1;
    }
    std::vector<double> program, floor, physical, extra;
    for (int r = 0; r < runs; ++r) {
        const double p = w->RunProgram();
        std::string why;
        if (p < 0 || !w->Check(why)) {
            std::printf("FAILED %s\n", p < 0 ? "program run failed" : why.c_str());
            return 1;
        }
        const double f = w->RunFloor();
        if (f < 0) {
            std::printf("FAILED floor run failed\n");
            return 1;
        }
        double least = w->RunPhysicalFloor();
        if (least == Workload::kSameAsFloor) least = f;
        if (least < 0) {
            std::printf("FAILED physical floor run failed\n");
            return 1;
        }
        program.push_back(p);
        extra.push_back(w->Extra());
        floor.push_back(f);
        physical.push_back(least);
        std::fprintf(stderr, "  %s %d run %d: program %.3f s, floor %.3f s, physical floor %.3f s\n", key.c_str(),
                     size, r + 1, p, f, least);
    }
    std::printf("RESULT %.6f %.6f %.6f %.6f\n", Median(program), Median(floor), Median(physical), Median(extra));
    return 0;
}

struct Row {
    std::string key, title;
    int size = 0;
    double program = -1, floor = -1, physical = -1, extra = -1;
    long peakKiB = 0;
    std::string failure;
};

// Runs this program as a child for one workload and size; its output and peak memory.
Row RunOne(const char* self, const WorkloadInfo& info, int size, int runs)
{
    Row row;
    row.key = info.key;
    row.title = info.title;
    row.size = size;
    char out[] = "/tmp/kumobench-out-XXXXXX";
    const int fd = mkstemp(out);
    if (fd < 0) {
        row.failure = "no temporary file";
        return row;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fd, 1);
    std::vector<std::string> args{self, "--child", info.key, std::to_string(size), std::to_string(runs)};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, self, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fd);
    if (rc != 0) {
        row.failure = "cannot start child";
        unlink(out);
        return row;
    }
    int status = 0;
    rusage usage{};
    // The child's own time limits (isql's) bound this wait; a workload that hangs in
    // the program is stopped after an hour.
    const time_t deadline = time(nullptr) + 3600;
    for (;;) {
        const pid_t done = wait4(pid, &status, WNOHANG, &usage);
        if (done == pid) break;
        if (time(nullptr) > deadline) {
            kill(pid, SIGKILL);
            wait4(pid, &status, 0, &usage);
            row.failure = "ran over an hour";
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    row.peakKiB = usage.ru_maxrss;
    QFile file(QString::fromLocal8Bit(out));
    QByteArray text;
    if (file.open(QIODevice::ReadOnly)) text = file.readAll();
    unlink(out);
    for (const QByteArray& line : text.split('\n')) {
        if (line.startsWith("RESULT ")) {
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() >= 4) {
                row.program = parts[1].toDouble();
                row.floor = parts[2].toDouble();
                row.physical = parts[3].toDouble();
                if (parts.size() >= 5) row.extra = parts[4].toDouble();
            }
        } else if (line.startsWith("FAILED ")) {
            row.failure = line.mid(7).toStdString();
        }
    }
    if (row.failure.empty() && row.program < 0) row.failure = "child ended without a result";
    return row;
}

std::string Fixed(double v, int digits)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", digits, v);
    return buf;
}

std::string Table(const std::vector<Row>& rows)
{
    std::string t = "| workload | size | program (s) | replayed floor (s) | physical floor (s) | ratio to physical "
                    "floor | peak RSS (MiB) |\n"
                    "|---|---:|---:|---:|---:|---:|---:|\n";
    for (const Row& r : rows) {
        t += "| " + r.key + " " + r.title + " | " + std::to_string(r.size) + " | ";
        if (!r.failure.empty()) {
            t += "failed: " + r.failure + " | | | | |\n";
            continue;
        }
        const std::string ratio = r.physical > 0 ? Fixed(r.program / r.physical, 2) : "–";
        t += Fixed(r.program, 3) + " | " + Fixed(r.floor, 3) + " | " + Fixed(r.physical, 3) + " | " + ratio + " | " +
             Fixed(double(r.peakKiB) / 1024.0, 1) + " |\n";
    }
    // The board grows with its groups: its time per group tells whether it stays linear.
    std::string perGroup;
    for (const Row& r : rows)
        if (r.key == "W4" && r.failure.empty() && r.size > 0)
            perGroup += (perGroup.empty() ? "" : ", ") + std::to_string(r.size) + " groups " +
                        Fixed(1000.0 * r.program / r.size, 3) + " ms";
    if (!perGroup.empty()) t += "\nW4, time per group: " + perGroup + ".\n";
    // A batch must not grow dearer with the entries already in its group.
    const Row* empty = nullptr;
    const Row* full = nullptr;
    for (const Row& r : rows)
        if (r.key == "W1F" && r.failure.empty()) (r.size == 0 ? empty : full) = &r;
    // Fingerprints: the registration no dearer than without them, the hashes stored soon
    // after it, the hash itself faster than a disk.
    for (const Row& p : rows) {
        if (p.key != "W1P" || !p.failure.empty()) continue;
        for (const Row& w : rows)
            if (w.key == "W1" && w.size == p.size && w.failure.empty() && w.program > 0)
                t += "\nW1P, " + std::to_string(p.size) + " drawings: registered in " + Fixed(p.program / w.program, 2) +
                     " × W1 (target ≤ 1.1), fingerprints stored " + Fixed(p.extra, 3) + " s after (target ≤ 1 s).\n";
    }
    for (const Row& h : rows)
        if (h.key == "W1H" && h.failure.empty())
            t += "\nW1H, content hash: " + Fixed(h.extra, 2) + " GB/s of CPU on a file in the page cache (target ≥ 1 GB/s).\n";
    if (empty && full && empty->program > 0)
        t += "\nW1F, 100 drawings into a group of " + std::to_string(full->size) + " entries: " +
             Fixed(full->program / empty->program, 2) + " × the same into an empty group.\n";
    return t;
}

} // namespace

int main(int argc, char* argv[])
{
    bool quick = false;
    int runs = 5;
    std::string only, markdown;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--child" && i + 3 < argc)
            return RunChild(argc, argv, argv[i + 1], std::atoi(argv[i + 2]), std::atoi(argv[i + 3]));
        if (a == "--quick")
            quick = true;
        else if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (a == "--only" && i + 1 < argc)
            only = argv[++i];
        else if (a == "--markdown" && i + 1 < argc)
            markdown = argv[++i];
        else {
            std::fprintf(stderr, "usage: %s [--quick] [--runs N] [--only W1] [--markdown FILE]\n", argv[0]);
            return 2;
        }
    }
    if (quick) runs = 1;

    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return 1;
    self[n] = '\0';

    std::vector<Row> rows;
    bool failed = false;
    for (const WorkloadInfo& info : Workloads()) {
        // --only W1,W1P: several workloads, compared in one report.
        if (!only.empty() && ("," + only + ",").find("," + info.key + ",") == std::string::npos) continue;
        if (quick && !info.quick) continue;
        for (int size : info.sizes) {
            Row row = RunOne(self, info, size, runs);
            failed = failed || !row.failure.empty();
            std::fprintf(stderr, "%s %s %d: %s\n", info.key.c_str(), info.title.c_str(), size,
                         row.failure.empty() ? (Fixed(row.program, 3) + " s, floor " + Fixed(row.floor, 3) + " s, physical floor " +
                                                        Fixed(row.physical, 3) + " s")
                                                           .c_str()
                                             : row.failure.c_str());
            rows.push_back(row);
            if (quick) break;
        }
    }
    const std::string table = Table(rows);
    std::printf("%s", table.c_str());

    if (!markdown.empty()) {
        char date[32];
        const time_t now = time(nullptr);
        std::strftime(date, sizeof date, "%Y-%m-%d", std::localtime(&now));
        std::string doc = "# Benchmarks\n\n";
        doc += "Made by `bash scripts/bench.sh` on " + std::string(date) + ", on a machine with " +
               std::to_string(std::thread::hardware_concurrency()) + " cores; each time is the median of " +
               std::to_string(runs) + " runs.\n\n";
        doc += table;
        QFile file(QString::fromStdString(markdown));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(doc.data(), qint64(doc.size())) != qint64(doc.size())) {
            std::fprintf(stderr, "kumobench: cannot write %s\n", markdown.c_str());
            return 1;
        }
    }
    return failed ? 1 : 0;
}
