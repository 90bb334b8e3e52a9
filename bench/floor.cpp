#include "floor.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <QFile>
#include <QTemporaryFile>

#include "db/session.h"

extern char** environ;

namespace {

bool IsWrite(const std::string& statement)
{
    const size_t start = statement.find_first_not_of(" \r\n\t");
    if (start == std::string::npos) return false;
    for (const char* verb : {"INSERT", "UPDATE", "DELETE"})
        if (statement.compare(start, std::char_traits<char>::length(verb), verb) == 0) return true;
    return false;
}

} // namespace

std::string IsqlScript(const std::vector<std::string>& statements)
{
    // A write outside a unit of work commits on its own, as the program's does.
    std::string script;
    bool inWork = false;
    for (const std::string& s : statements) {
        if (s == DatabaseSession::kLogBeginWork) {
            inWork = true;
            continue;
        }
        script += s;
        if (s == "COMMIT;" || s == "ROLLBACK;") {
            script += "\r\n";
            inWork = false;
        } else if (IsWrite(s) && !inWork) {
            script += "COMMIT;\r\n";
        }
    }
    return script;
}

double RunIsql(const std::string& database, const std::string& script, int timeoutSeconds)
{
    QTemporaryFile file;
    if (!file.open()) return -1;
    file.write(script.data(), qint64(script.size()));
    file.close();
    const std::string input = file.fileName().toStdString();

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> args{"isql-fb", "-q", "-b", "-user", "SYSDBA", "-password", "copperelk",
                                  "-i", input, database};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, "isql-fb", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;

    int status = 0;
    const auto deadline = start + std::chrono::seconds(timeoutSeconds);
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) return -1;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            std::fprintf(stderr, "kumobench: isql-fb ran over %d s\n", timeoutSeconds);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "kumobench: isql-fb failed on %s\n", database.c_str());
        return -1;
    }
    return seconds;
}

double IsqlOverhead(const std::string& database)
{
    std::vector<double> runs;
    for (int i = 0; i < 5; ++i) {
        const double s = RunIsql(database, "", 60);
        if (s < 0) return -1;
        runs.push_back(s);
    }
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}
