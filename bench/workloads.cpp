#include "workloads.h"

#include <chrono>
#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "benchdb.h"
#include "floor.h"
#include "platform/platform.h"
#include "settings/settingsfile.h"
#include "shell/mainwindow.h"
#include "shell/program.h"
#include "text/textutil.h"

namespace {

using Clock = std::chrono::steady_clock;
double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The program as a user starts it: its folder with img/ and a settings file naming the
// benchmark's database, all eight windows, message boxes answered by the test double.
class ProgramUnderTest {
public:
    explicit ProgramUnderTest(const DatabaseSettings& database)
    {
        QDir(dir_.path()).mkdir("img");
        QFile::copy(QStringLiteral(KUMO_SOURCE_DIR) + "/img/icon1.ico", dir_.path() + "/img/icon1.ico");
        SettingsNumbers numbers{0,   0,   800, 600, 192, 107, 0,   0,   1000, 700, 192,
                                107, 192, 107, 192, 107, 202, 186, 197, 107,  460, 348,
                                120, 160, 80,  50,  100, 50,  50,  50,  50,   2,   161};
        SaveSettings(dir_.path() + "/kumolist.dat", database, numbers);
        main_ = std::make_unique<MainWindow>(fake_.platform, dir_.path() + "/kumolist");
        windows_ = CreateProgramWindows(*main_, fake_.platform);
        main_->show();
        QApplication::processEvents();
    }
    ~ProgramUnderTest()
    {
        if (main_) main_->close();
    }
    MainWindow& Main() { return *main_; }
    const ProgramWindows& Windows() const { return windows_; }
    FakePlatform& Fake() { return fake_; }
    QString Folder() const { return dir_.path() + "/"; }

private:
    QTemporaryDir dir_;
    FakePlatform fake_;
    std::unique_ptr<MainWindow> main_;
    ProgramWindows windows_;
};

// Records the statements the program sends during the first timed run: the floor
// replays exactly those.
class StatementRecorder {
public:
    void Attach(DatabaseSession& session)
    {
        session.SetStatementLog([this](const std::string& s) {
            if (recording_) statements_.push_back(s);
        });
    }
    void Start() { recording_ = statements_.empty(); }
    void Stop() { recording_ = false; }
    const std::vector<std::string>& Statements() const { return statements_; }

private:
    bool recording_ = false;
    std::vector<std::string> statements_;
};

// ---- W4: the board ---------------------------------------------------------------------

class BoardWorkload : public Workload {
public:
    bool Prepare(int size) override
    {
        size_ = size;
        if (!db_.ok || !db_.session.CreateCatalogueTable()) return false;
        // Twenty icons a row, as tidy lays them out on a wide window.
        if (!Exec(db_.session, "EXECUTE BLOCK AS DECLARE i INTEGER = 1; BEGIN WHILE (i <= " + IntToStr(size) +
                                   ") DO BEGIN INSERT INTO GRPJWW (N, GRPNAME, PNAME, X, Y) VALUES (:i, "
                                   "'group ' || :i, 'bench', MOD(:i - 1, 20) * 64 + 16, ((:i - 1) / 20) * 64); "
                                   "i = i + 1; END END"))
            return false;
        db_.session.CloseDatabase();
        program_ = std::make_unique<ProgramUnderTest>(db_.settings);
        if (!program_->Main().Session().Connected()) return false;
        recorder_.Attach(program_->Main().Session());
        overhead_ = IsqlOverhead(db_.Name());
        return overhead_ >= 0;
    }

    double RunProgram() override
    {
        recorder_.Start();
        const auto start = Clock::now();
        program_->Main().BuildBoard();
        const double seconds = Since(start);
        recorder_.Stop();
        return seconds;
    }

    double RunFloor() override
    {
        const double s = RunIsql(db_.Name(), IsqlScript(recorder_.Statements()), 600);
        return s < 0 ? s : std::max(0.0, s - overhead_);
    }

    bool Check(std::string& why) override
    {
        int present = 0;
        for (int n = 1; n <= size_; ++n)
            if (program_->Main().Board().PresentSlot(n)) ++present;
        if (present == size_) return true;
        why = "board shows " + IntToStr(present) + " of " + IntToStr(size_) + " groups";
        return false;
    }

private:
    int size_ = 0;
    double overhead_ = 0;
    BenchDatabase db_;
    std::unique_ptr<ProgramUnderTest> program_;
    StatementRecorder recorder_;
};

} // namespace

const std::vector<WorkloadInfo>& Workloads()
{
    static const std::vector<WorkloadInfo> all{
        {"W4", "board", {1000, 5000}},
    };
    return all;
}

std::unique_ptr<Workload> MakeWorkload(const std::string& key)
{
    if (key == "W4") return std::make_unique<BoardWorkload>();
    return nullptr;
}
