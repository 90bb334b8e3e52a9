#include "workloads.h"
#include "listworkloads.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <QTreeView>
#include <QLineEdit>
#include <QRadioButton>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QMap>
#include <QListView>
#include <QProcess>
#include <QTemporaryDir>

#include "benchdb.h"
#include "floor.h"
#include "textworkloads.h"
#include "db/schema.h"
#include "drawing/thumbcache.h"
#include "groupwin/entrybatch.h"
#include "groupwin/fingerprintworker.h"
#include "groupwin/filelistmodel.h"
#include "groupwin/grouptables.h"
#include "groupwin/groupwindow.h"
#include "search/searchresults.h"
#include "support/controls.h"
#include "search/searchwindow.h"
#include "platform/platform.h"
#include "settings/settingsfile.h"
#include "shell/mainwindow.h"
#include "shell/program.h"
#include "store/fingerprints.h"
#include "support/fakeplatform.h"
#include "text/cp932.h"
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
        QFile::link(QStringLiteral(KUMO_THUMBNAILER), dir_.path() + "/kumolist-thumbnailer");
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
    void Attach(DatabaseSession& session) { session.SetStatementLog(Log(), true); }
    // Also for the search's own attachment, on its thread: the statements are read only
    // once the work has ended.
    std::function<void(const std::string&)> Log()
    {
        return [this](const std::string& s) {
            if (recording_) statements_.push_back(s);
        };
    }
    void Start() { recording_ = statements_.empty(); }
    void Stop() { recording_ = false; }
    const std::vector<std::string>& Statements() const { return statements_; }

private:
    std::atomic<bool> recording_{false};
    std::vector<std::string> statements_;
};

// The real drawings of the shared test data, under distinct names in a folder of their
// own: count files, paths in CP932 as the file dialog hands them to the program.
std::vector<std::string> CopyDrawings(const QString& folder, int count, const QString& type = QStringLiteral("jww"),
                                      const QString& pattern = {})
{
    const QDir source(QStringLiteral(KUMO_TESTDATA) + "/" + type);
    const QStringList drawings = source.entryList({pattern.isEmpty() ? "*." + type : pattern}, QDir::Files, QDir::Name);
    std::vector<std::string> paths;
    if (drawings.isEmpty()) return paths;
    for (int i = 0; i < count; ++i) {
        const QString& from = drawings[i % drawings.size()];
        const QString to = folder + "/" + QString::asprintf("%05d-", i) + from;
        if (!QFile::copy(source.filePath(from), to)) return {};
        const std::optional<std::string> cp932 = FromQ(to);
        if (!cp932) return {};
        paths.push_back(*cp932);
    }
    return paths;
}

// What the workloads share: the benchmark's database, the program started on it, the
// statements recorded in the first timed run, and the floor that replays them.
class ReplayedWorkload : public Workload {
public:
    double RunFloor() override { return Replay(); }

protected:
    // Starts the program on the database that the set-up made; false when it could not
    // attach.
    bool StartProgram()
    {
        // The program's own tables made beforehand, as in an office's database, so that
        // the statements timed (and replayed for the floor) are those of the work itself.
        if (!EnsureFingerprintTable(db_.session)) return false;
        db_.session.CloseDatabase();
        program_ = std::make_unique<ProgramUnderTest>(db_.settings);
        if (!program_->Main().Session().Connected()) return false;
        recorder_.Attach(program_->Main().Session());
        return true;
    }

    // Ends the set-up: forced writes on again for all that is timed, isql's own start
    // and attach measured.
    bool EndSetUp()
    {
        if (!db_.SetForcedWrites(true)) return false;
        overhead_ = IsqlOverhead(db_.Name());
        return overhead_ >= 0;
    }

    // Seconds the work takes; its statements are recorded in the first run.
    template <class Work>
    double Timed(Work work)
    {
        recorder_.Start();
        const auto start = Clock::now();
        work();
        const double seconds = Since(start);
        recorder_.Stop();
        return seconds;
    }

    // isql-fb running the recorded statements, less its own start and attach.
    double Replay()
    {
        const double s = RunIsql(db_.Name(), IsqlScript(recorder_.Statements()), 600);
        return s < 0 ? s : std::max(0.0, s - overhead_);
    }

    // isql-fb running a script of the workload's own, less its own start and attach.
    double RunScript(const std::string& script)
    {
        const double s = RunIsql(db_.Name(), script, 600);
        return s < 0 ? s : std::max(0.0, s - overhead_);
    }

    BenchDatabase db_;
    std::unique_ptr<ProgramUnderTest> program_;
    StatementRecorder recorder_;

private:
    double overhead_ = 0;
};

// The catalogue with the one group the window workloads open: the window reads the
// group's row again before it shows it, as it does for every write.
static bool CatalogueWithGroupOne(DatabaseSession& session)
{
    return CreateCatalogueTable(session) &&
           Exec(session, std::string("INSERT INTO ") + kCatalogueTable + " (N, GRPNAME, PNAME, X, Y) VALUES (1, 'bench', 'bench', 0, 0)");
}

// ---- W1: register drawings -------------------------------------------------------------

// The add command's work: the drawings registered as one batch into group 1, which
// holds `existing` entries before the batch (their numbers 1..existing).
class RegisterWorkload : public ReplayedWorkload {
public:
    // fixedCount > 0: that many drawings each run, the size being the entries already
    // there; else the size is the number of drawings and the group starts empty.
    // fingerprints: the files are hashed after the batch's commit, as the window does, on
    // a worker with an attachment of its own; Extra is the seconds from the commit until
    // every fingerprint is stored.
    explicit RegisterWorkload(int fixedCount = 0, bool fingerprints = false)
        : fixedCount_(fixedCount), fingerprints_(fingerprints)
    {
    }

    bool Prepare(int size) override
    {
        existing_ = fixedCount_ > 0 ? size : 0;
        const int count = fixedCount_ > 0 ? fixedCount_ : size;
        if (!db_.ok || !CatalogueWithGroupOne(db_.session) || !EnsureGroupTables(db_.session, 1)) return false;
        if (existing_ > 0 &&
            !Exec(db_.session, "EXECUTE BLOCK AS DECLARE i INTEGER = 1; BEGIN WHILE (i <= " + IntToStr(existing_) +
                                   ") DO BEGIN INSERT INTO " + FileTableName(1) +
                                   " (N, FILE_NAME, PATH_NAME, FILE_MEMO, PNAME, SN) VALUES (:i, 'old' || :i || "
                                   "'.jww', '/srv/old/', 'memo ' || :i, 'bench', 0); i = i + 1; END END"))
            return false;
        paths_ = CopyDrawings(files_.path(), count);
        if (int(paths_.size()) != count) return false;
        recorder_.Attach(db_.session);
        return EndSetUp();
    }

    double RunProgram() override
    {
        if (!RemoveBatch()) return -1;
        stored_ = 0;
        std::vector<int32_t> numbers;
        const double seconds = Timed([this, &numbers] {
            EntryBatch batch(db_.session, ReadShownGroup(db_.session, 1).value_or(ShownGroup{}), 0, db_.settings.userName);
            for (const std::string& path : paths_)
                if (!batch.Add(path)) break;
            if (batch.Finish()) stored_ = batch.StoredCount();
            for (const FileRow& row : batch.TakeStored()) numbers.push_back(StrToIntOrZero(row.cells[kCellNumber]));
        });
        if (fingerprints_) {
            const auto start = Clock::now();
            FingerprintWorker worker({db_.settings, {}, {1}, numbers});
            worker.start();
            worker.wait();
            after_ = worker.Result().end == FingerprintResult::End::Done ? Since(start) : -1;
        }
        return seconds;
    }

    double Extra() const override { return after_; }

    double RunFloor() override
    {
        if (!RemoveBatch()) return -1;
        return Replay();
    }

    // One transaction: one SELECT MAX, the program's inserts, one commit.
    double RunPhysicalFloor() override
    {
        if (!RemoveBatch()) return -1;
        std::string script = "SELECT MAX(N) FROM " + FileTableName(1) + ";\r\n";
        for (const std::string& s : recorder_.Statements())
            if (s.rfind("INSERT", 0) == 0) script += s;
        script += "COMMIT;\r\n";
        return RunScript(script);
    }

    bool Check(std::string& why) override
    {
        const int rows = db_.session.CountRecords(FileTableName(1), "FILE_MEMO IS NOT NULL AND N > " + IntToStr(existing_));
        const int prints = fingerprints_ ? db_.session.CountRecords(kFingerprintTable, "HASH IS NOT NULL") : stored_;
        db_.session.EndRead();
        if (prints != stored_ || (fingerprints_ && after_ < 0)) {
            why = "fingerprints of " + IntToStr(prints) + " of " + IntToStr(stored_) + " files stored";
            return false;
        }
        if (stored_ == int(paths_.size()) && rows == stored_ - stored_ / 5) return true;
        // One drawing in five holds an empty memo, stored as NULL.
        why = "stored " + IntToStr(stored_) + " of " + IntToStr(long(paths_.size())) + " files, " + IntToStr(rows) +
              " with a memo";
        return false;
    }

private:
    // The last run's batch goes, the entries that were there stay.
    bool RemoveBatch()
    {
        bool ok = Exec(db_.session, "DELETE FROM " + FileTableName(1) + " WHERE N > " + IntToStr(existing_));
        if (ok && fingerprints_) ok = EnsureFingerprintTable(db_.session) && Exec(db_.session, std::string("DELETE FROM ") + kFingerprintTable);
        db_.session.EndRead();
        return ok;
    }

    int fixedCount_;
    bool fingerprints_;
    double after_ = -1;
    int existing_ = 0;
    int stored_ = 0;
    QTemporaryDir files_;
    std::vector<std::string> paths_;
};

// ---- W2: open a group, then each view style ------------------------------------------------------------------

class OpenGroupWorkload : public ReplayedWorkload {
public:
    bool Prepare(int size) override
    {
        size_ = size;
        if (!db_.ok || !CatalogueWithGroupOne(db_.session) || !EnsureGroupTables(db_.session, 1)) return false;
        // Small files of their own for every entry, so that each row probes a real file.
        const QString folder = files_.path();
        for (int i = 1; i <= size; ++i) {
            QFile f(folder + QString::asprintf("/f%05d.jww", i));
            if (!f.open(QIODevice::WriteOnly) || f.write("JwwData.") != 8) return false;
            fsPaths_.push_back(f.fileName().toStdString());
        }
        const std::string cp932Folder = folder.toStdString() + "/";
        if (!Exec(db_.session, "EXECUTE BLOCK AS DECLARE i INTEGER = 1; BEGIN WHILE (i <= " + IntToStr(size) +
                                   ") DO BEGIN INSERT INTO " + FileTableName(1) +
                                   " VALUES (:i, 'f' || LPAD(:i, 5, '0') || '.jww', '" + cp932Folder +
                                   "', 'memo ' || :i, 'bench', 0); i = i + 1; END END"))
            return false;
        if (!StartProgram()) return false;
        window_ = program_->Windows().groupWindow;
        if (!window_) return false;
        Control<QListView>(window_, "fileIconView")->viewport()->installEventFilter(&paints_);
        Control<QTreeView>(window_, "fileDetailView")->viewport()->installEventFilter(&paints_);
        return EndSetUp();
    }

    double RunProgram() override
    {
        window_->CloseWindow();
        window_->SetViewStyleIndex(0);
        QApplication::processEvents();
        unpainted_.clear();
        return Timed([this] {
            window_->currentGroupNumber = 1;
            window_->currentGroupName = "bench";
            window_->show();
            QApplication::processEvents();   // the first paint of the filled list
            // Each other view style, laid out and drawn once, as the user switches to it.
            for (int style : {1, 2, 0}) {
                window_->SetViewStyleIndex(style);
                paints_.count = 0;
                QApplication::processEvents();
                if (paints_.count == 0) unpainted_ += " " + IntToStr(style);
            }
        });
    }

    // The statements, and a look at every file as the list's probe takes it.
    double RunFloor() override
    {
        const double s = Replay();
        if (s < 0) return s;
        const auto start = Clock::now();
        int found = 0;
        for (const std::string& path : fsPaths_) {
            struct stat st {};
            if (stat(path.c_str(), &st) == 0) ++found;
        }
        const double probes = Since(start);
        return found == size_ ? s + probes : -1;
    }

    bool Check(std::string& why) override
    {
        if (!unpainted_.empty()) {
            why = "view styles not drawn:" + unpainted_;
            return false;
        }
        if (Control<FileListModel>(window_, "fileModel")->Count() == size_) return true;
        why = "list shows " + IntToStr(Control<FileListModel>(window_, "fileModel")->Count()) + " of " + IntToStr(size_) + " entries";
        return false;
    }

private:
    // Counts the paints of the list's views: each switch must draw the style it shows.
    struct PaintCounter : QObject {
        int count = 0;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Paint) ++count;
            return false;
        }
    };

    PaintCounter paints_;
    std::string unpainted_;
    int size_ = 0;
    QTemporaryDir files_;
    std::vector<std::string> fsPaths_;
    GroupWindow* window_ = nullptr;
};

// ---- W3: search every group --------------------------------------------------------------

class SearchWorkload : public ReplayedWorkload {
public:
    // Every group with `entries` entries, one in `hitEvery` of them with the memo searched for.
    SearchWorkload(int entries, int hitEvery) : entries_(entries), hitEvery_(hitEvery) {}

    bool Prepare(int size) override
    {
        groups_ = size;
        if (!db_.ok || !CreateCatalogueTable(db_.session)) return false;
        if (!Exec(db_.session, "EXECUTE BLOCK AS DECLARE i INTEGER = 1; BEGIN WHILE (i <= " + IntToStr(size) +
                                   ") DO BEGIN INSERT INTO " + kCatalogueTable +
                                   " (N, GRPNAME, PNAME, X, Y) VALUES (:i, "
                                   "'group ' || :i, 'bench', 0, 0); i = i + 1; END END"))
            return false;
        // Every group opened once: five sub-groups and its entries. The tables of all
        // groups in one unit and their rows in a second (a table takes rows once its
        // creation is committed): one commit per table would make the set-up of 2 000
        // groups take minutes.
        const bool tables = InOneUnit(db_.session, [&] {
            for (int g = 1; g <= size; ++g)
                if (!CreateFileTable(db_.session, FileTableName(g)) ||
                    !CreateSubGroupTable(db_.session, SubGroupTableName(g)))
                    return false;
            return true;
        });
        const bool rows = tables && InOneUnit(db_.session, [&] {
            for (int g = 1; g <= size; ++g)
                if (!Exec(db_.session, "INSERT INTO " + SubGroupTableName(g) +
                                           " WITH RECURSIVE r (i) AS (SELECT 1 FROM RDB$DATABASE UNION ALL "
                                           "SELECT i + 1 FROM r WHERE i < 5) "
                                           "SELECT i, 'sub ' || i, 'bench', 0 FROM r") ||
                    !Exec(db_.session, "EXECUTE BLOCK AS DECLARE i INTEGER = 1; BEGIN WHILE (i <= " +
                                           IntToStr(entries_) + ") DO BEGIN INSERT INTO " + FileTableName(g) +
                                           " VALUES (:i, 'f' || :i || '.jww', '/data/drawings/" + IntToStr(g) +
                                           "/', IIF(MOD(:i, " + IntToStr(hitEvery_) +
                                           ") = 0, 'plan revised', 'plan'), 'bench', MOD(:i, 6)); i = i + 1; END END"))
                    return false;
            return true;
        });
        if (!rows) return false;
        if (!StartProgram()) return false;
        window_ = program_->Windows().searchWindow;
        if (!window_) return false;
        window_->SetStatementLog(recorder_.Log());
        window_->show();
        window_->memoOption->setChecked(true);
        window_->searchEdit->setText("revised");
        return EndSetUp();
    }

    double RunProgram() override
    {
        return Timed([this] {
            window_->RunSearch();
            // It runs on its own thread: until its end has been shown (at most ten minutes).
            QEventLoop loop;
            QObject::connect(window_, &SearchWindow::SearchEnded, &loop, &QEventLoop::quit);
            QTimer::singleShot(600000, &loop, &QEventLoop::quit);
            if (window_->Searching()) loop.exec();
            QApplication::processEvents();   // the last lines painted
        });
    }

    // The catalogue, then one UNION ALL of the groups' matching entries joined with
    // their sub-group names for every 50 groups.
    double RunPhysicalFloor() override
    {
        std::string script = std::string("SELECT * FROM ") + kCatalogueTable + " ORDER BY N;\r\n";
        for (int from = 1; from <= groups_; from += 50) {
            for (int g = from; g < from + 50 && g <= groups_; ++g)
                script += std::string(g == from ? "" : "UNION ALL ") + "SELECT " + IntToStr(g) +
                          ", F.N, F.FILE_NAME, F.PATH_NAME, F.FILE_MEMO, F.PNAME, F.SN, S.N, S.SGRPNAME FROM " +
                          FileTableName(g) + " F LEFT JOIN " + SubGroupTableName(g) +
                          " S ON S.N = F.SN WHERE F.FILE_MEMO LIKE '%revised%'\r\n";
            script += "ORDER BY 1, 2;\r\n";
        }
        return RunScript(script);
    }

    bool Check(std::string& why) override
    {
        // A header and every hit of every group.
        const int lines = window_->resultModel->rowCount();
        if (lines == groups_ * (1 + entries_ / hitEvery_)) return true;
        why = "the search listed " + IntToStr(lines) + " lines for " + IntToStr(groups_) + " groups";
        return false;
    }

private:
    int entries_, hitEvery_;
    int groups_ = 0;
    SearchWindow* window_ = nullptr;
};

// ---- W4: the board ---------------------------------------------------------------------

class BoardWorkload : public ReplayedWorkload {
public:
    bool Prepare(int size) override
    {
        size_ = size;
        if (!db_.ok || !CreateCatalogueTable(db_.session)) return false;
        // Twenty icons a row, as tidy lays them out on a wide window.
        if (!Exec(db_.session, "EXECUTE BLOCK AS DECLARE i INTEGER = 1; BEGIN WHILE (i <= " + IntToStr(size) +
                                   ") DO BEGIN INSERT INTO " + kCatalogueTable +
                                   " (N, GRPNAME, PNAME, X, Y) VALUES (:i, "
                                   "'group ' || :i, 'bench', MOD(:i - 1, 20) * 64 + 16, ((:i - 1) / 20) * 64); "
                                   "i = i + 1; END END"))
            return false;
        return StartProgram() && EndSetUp();
    }

    double RunProgram() override
    {
        // The icons of the last build go when the event loop runs, as they do between
        // a user's commands.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
        // Until the user sees it: the build and the window's first paint after it.
        return Timed([this] {
            program_->Main().boardView->BuildBoard();
            program_->Main().repaint();
        });
    }

    bool Check(std::string& why) override
    {
        int present = 0;
        for (int n = 1; n <= size_; ++n)
            if (program_->Main().boardView->Board().PresentSlot(n)) ++present;
        if (present == size_) return true;
        why = "board shows " + IntToStr(present) + " of " + IntToStr(size_) + " groups";
        return false;
    }

private:
    int size_ = 0;
};

// ---- W5: thumbnails of drawings -------------------------------------------------------
// (W5P: of the PDF plot of the tests, first page; its floor is Poppler's own pdftoppm
// drawing the same page to the same size, one process a file.)

// The real drawings drawn as 256-pixel thumbnails by one thumbnailer process in batch
// mode, as the group window has them drawn: the CPU time of that process, its start
// included, for all of them (per drawing: divide by the size). The floor reads the same
// files and writes a blank PNG of the size for each, in this process. W5D: the same with
// the DXF drawings of the tests.
class ThumbnailWorkload : public Workload {
public:
    explicit ThumbnailWorkload(QString type = QStringLiteral("jww")) : type_(std::move(type)) {}

    bool Prepare(int size) override
    {
        size_ = size;
        // The plot alone: the encrypted copy beside it is there to fail.
        paths_ = type_ == "pdf" ? CopyDrawings(files_.path(), size, type_, "plans.pdf") : CopyDrawings(files_.path(), size, type_);
        if (int(paths_.size()) != size) return false;
        QFile requests(files_.path() + "/requests");
        if (!requests.open(QIODevice::WriteOnly)) return false;
        for (int i = 0; i < size; ++i)
            requests.write("256\t" + QByteArray::fromStdString(ToFsName(paths_[i])) + "\t" + Output(i) + "\n");
        return true;
    }

    double RunProgram() override
    {
        for (int i = 0; i < size_; ++i) QFile::remove(QFile::decodeName(Output(i)));
        const QByteArray in = QFile::encodeName(files_.path() + "/requests");
        const QByteArray out = QFile::encodeName(files_.path() + "/answers");
        const pid_t pid = fork();
        if (pid < 0) return -1;
        if (pid == 0) {
            const int input = ::open(in.constData(), O_RDONLY);
            const int output = ::open(out.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (input < 0 || output < 0 || dup2(input, 0) < 0 || dup2(output, 1) < 0) _exit(127);
            execl(KUMO_THUMBNAILER, KUMO_THUMBNAILER, "--batch", static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        rusage usage{};
        if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
        const double cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        std::fprintf(stderr, "  W5 (%s): %.1f ms of CPU per drawing\n", qPrintable(type_), 1000 * cpu / size_);
        return cpu;
    }

    double RunFloor() override
    {
        if (type_ == "pdf") return PdfFloor();
        const double start = CpuSeconds();
        for (int i = 0; i < size_; ++i) {
            QFile file(QString::fromStdString(ToFsName(paths_[i])));
            if (!file.open(QIODevice::ReadOnly) || file.readAll().isEmpty()) return -1;
            QImage blank(256, 160, QImage::Format_RGB32);
            blank.fill(Qt::white);
            if (!blank.save(QFile::decodeName(Output(i)), "PNG")) return -1;
        }
        return CpuSeconds() - start;
    }

    bool Check(std::string& why) override
    {
        QFile answers(files_.path() + "/answers");
        const int ok = answers.open(QIODevice::ReadOnly) ? int(answers.readAll().count("ok\t")) : 0;
        int drawn = 0;
        for (int i = 0; i < size_; ++i)
            if (QImage(QFile::decodeName(Output(i))).width() == 256) ++drawn;
        if (ok == size_ && drawn == size_) return true;
        why = "thumbnailer drew " + IntToStr(drawn) + " of " + IntToStr(size_) + " drawings";
        return false;
    }

private:
    QByteArray Output(int i) const { return QFile::encodeName(files_.path() + QString::asprintf("/%05d.png", i)); }

    // pdftoppm's CPU for the first page of each file at 256 pixels on its longer side.
    double PdfFloor()
    {
        double cpu = 0;
        for (int i = 0; i < size_; ++i) {
            const QByteArray in = QByteArray::fromStdString(ToFsName(paths_[i]));
            QByteArray prefix = Output(i);
            prefix.chop(4);   // pdftoppm adds .png
            const pid_t pid = fork();
            if (pid < 0) return -1;
            if (pid == 0) {
                execlp("pdftoppm", "pdftoppm", "-q", "-f", "1", "-l", "1", "-singlefile", "-scale-to", "256", "-png",
                       in.constData(), prefix.constData(), static_cast<char*>(nullptr));
                _exit(127);
            }
            int status = 0;
            rusage usage{};
            if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
            cpu += double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        }
        return cpu;
    }

    static double CpuSeconds()
    {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }

    QString type_;
    QTemporaryDir files_;
    std::vector<std::string> paths_;
    int size_ = 0;
};


// ---- W6: the icon view of a group whose thumbnails are cached ------------------------------

// The group window opened in its icon view on a group of real drawings whose thumbnails
// the desktop's cache holds already: the time until every drawing in view shows its
// thumbnail (the first paint, which comes with the list, is printed apart). The floor:
// the statements, and reading those thumbnails from the cache in this thread.
class CachedThumbnailsWorkload : public ReplayedWorkload {
public:
    bool Prepare(int size) override
    {
        size_ = size;
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cache_.path()));
        if (!db_.ok || !CatalogueWithGroupOne(db_.session) || !EnsureGroupTables(db_.session, 1)) return false;
        const std::vector<std::string> paths = CopyDrawings(files_.path(), size);
        if (int(paths.size()) != size) return false;
        for (int i = 0; i < size; ++i) {
            const std::string& p = paths[size_t(i)];
            const size_t slash = p.rfind('/');
            if (!db_.session.InsertRecord(FileTableName(1), kFileColumnCount, FileColumns(),
                                          {IntToStr(i + 1), TextLiteral(p.substr(slash + 1)),
                                           TextLiteral(p.substr(0, slash + 1)), "NULL", "'bench'", "0"}))
                return false;
        }
        if (!FillCache(paths)) return false;
        if (!StartProgram()) return false;
        window_ = program_->Windows().groupWindow;
        if (!window_) return false;
        window_->SetViewStyleIndex(0);
        return EndSetUp();
    }

    double RunProgram() override
    {
        window_->CloseWindow();
        // Nothing kept in the window from the run before: only the disk cache is warm.
        window_->SetThumbnailer({});
        window_->SetThumbnailer(thumbnailer_);
        QApplication::processEvents();
        double firstPaint = 0;
        const double seconds = Timed([&] {
            const auto start = Clock::now();
            window_->currentGroupNumber = 1;
            window_->currentGroupName = "bench";
            window_->show();
            QApplication::processEvents();   // the first paint of the filled list
            firstPaint = Since(start);
            while (!AllInViewShown() && Since(start) < 10) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        });
        std::fprintf(stderr, "  W6: first paint %.1f ms, %d thumbnails in view shown after %.1f ms\n", 1000 * firstPaint,
                     int(inView_.size()), 1000 * seconds);
        return seconds;
    }

    double RunFloor() override
    {
        const double s = Replay();
        if (s < 0) return s;
        const ThumbnailCache cache;
        const auto start = Clock::now();
        for (const QString& file : inView_) {
            QImage image;
            if (cache.Find(file, FileMTime(file), 128, &image) != ThumbnailCache::State::Valid) return -1;
        }
        return s + Since(start);
    }

    bool Check(std::string& why) override
    {
        if (Control<FileListModel>(window_, "fileModel")->Count() == size_ && !inView_.isEmpty() && AllInViewShown()) return true;
        why = "of " + IntToStr(long(inView_.size())) + " drawings in view, not every one shows its thumbnail";
        return false;
    }

private:
    // Each of the five drawings drawn once by the thumbnailer, and its picture stored in
    // the cache for every copy, keyed as the thumbnailer keys it.
    bool FillCache(const std::vector<std::string>& paths)
    {
        const ThumbnailCache cache;
        if (!cache.MakeFolders(128)) return false;
        QMap<QString, QImage> drawn;
        for (const std::string& p : paths) {
            const QString file = QFile::decodeName(QByteArray::fromStdString(ToFsName(p)));
            const QString drawing = file.mid(file.lastIndexOf('-') + 1);
            if (!drawn.contains(drawing)) {
                const QString png = files_.path() + "/" + QString::number(drawn.size()) + ".png";
                if (QProcess::execute(QStringLiteral(KUMO_THUMBNAILER), {"-s", "128", file, png}) != 0) return false;
                drawn.insert(drawing, QImage(png));
            }
            if (!WriteThumbnailPng(cache.ThumbnailPath(file, 128), drawn[drawing], FileUri(file), FileMTime(file)))
                return false;
        }
        thumbnailer_ = QStringLiteral(KUMO_THUMBNAILER);
        return true;
    }

    // Every drawing in the icon view's viewport shows a thumbnail; notes which they are.
    bool AllInViewShown()
    {
        QListView* view = Control<QListView>(window_, "fileIconView");
        const FileSortModel* sorted = Control<FileSortModel>(window_, "fileSortModel");
        inView_.clear();
        bool all = true;
        for (int r = 0; r < sorted->rowCount(); ++r) {
            const QModelIndex index = sorted->index(r, 0);
            if (!view->visualRect(index).intersects(view->viewport()->rect())) continue;
            inView_ << QFile::decodeName(QByteArray::fromStdString(ToFsName(sorted->Row(r).FullPath())));
            const QList<QSize> sizes = index.data(Qt::DecorationRole).value<QIcon>().availableSizes();
            // The type icon is smaller than the 96-pixel thumbnails on both sides.
            all = all && !sizes.isEmpty() && std::max(sizes.first().width(), sizes.first().height()) > 48;
        }
        return all;
    }

    int size_ = 0;
    QTemporaryDir files_, cache_;
    QString thumbnailer_;
    QStringList inView_;
    GroupWindow* window_ = nullptr;
};

// ---- W7: the content hash ------------------------------------------------------------------

double ThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// One file read from the page cache and hashed; its floor is the same file only read.
// Extra: the throughput in GB/s of the CPU time it took (reading included).
class HashWorkload : public Workload {
public:
    bool Prepare(int mebibytes) override
    {
        path_ = dir_.path().toStdString() + "/data";
        QFile f(QString::fromStdString(path_));
        if (!f.open(QIODevice::WriteOnly)) return false;
        QByteArray chunk(1 << 20, '\0');
        for (int i = 0; i < chunk.size(); ++i) chunk[i] = char((i * 2654435761u) >> 24);
        for (int m = 0; m < mebibytes; ++m)
            if (f.write(chunk) != chunk.size()) return false;
        bytes_ = double(mebibytes) * (1 << 20);
        f.close();
        return HashFile(path_).has_value();   // in the page cache from here on
    }

    double RunProgram() override
    {
        // The throughput in CPU time: the machine's other work does not count against it.
        const double cpu = ThreadCpuSeconds();
        const auto start = Clock::now();
        hashed_ = HashFile(path_).has_value();
        const double s = Since(start);
        const double used = ThreadCpuSeconds() - cpu;
        gbPerSecond_ = used > 0 ? bytes_ / used / 1e9 : -1;
        return s;
    }

    double RunFloor() override
    {
        const auto start = Clock::now();
        const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return -1;
        std::vector<char> buffer(1 << 20);
        while (::read(fd, buffer.data(), buffer.size()) > 0) {
        }
        ::close(fd);
        return Since(start);
    }

    bool Check(std::string& why) override
    {
        if (!hashed_) why = "the file was not hashed";
        return hashed_;
    }
    double Extra() const override { return gbPerSecond_; }

private:
    QTemporaryDir dir_;
    std::string path_;
    double bytes_ = 0, gbPerSecond_ = -1;
    bool hashed_ = false;
};

} // namespace

const std::vector<WorkloadInfo>& Workloads()
{
    static const std::vector<WorkloadInfo> all{
        {"W1", "register drawings", {250, 1000, 4000}},
        {"W1F", "register 100 drawings in a group holding this many entries", {0, 40000}},
        {"W1P", "register drawings, their fingerprints taken after", {250, 1000}},
        {"W1H", "hash a file of this many MiB in the page cache (CPU)", {64, 256}},
        {"W2", "open a group, switch its view", {1000, 10000, 100000}},
        {"W3", "search", {100, 500, 2000}},
        {"W3L", "search by memo, 2 000 entries a group, every second a hit", {300}, false},
        {"W4", "board", {1000, 5000}},
        {"W5", "thumbnails at 256 px (CPU)", {100, 500}},
        {"W5P", "thumbnails of PDF plots at 256 px (CPU)", {100}},
        {"W5D", "DXF thumbnails at 256 px (CPU; target 50 ms each)", {100}},
        {"W6", "icon view, thumbnails cached", {1000}},
        {"W7B", "drawing texts: index built (floor: groonga CLI load)", {1000, 10000, 100000}},
        {"W7Q", "drawing texts: worst p95 of 4 queries (floors: groonga CLI, scan)", {1000, 100000}},
        {"W7U", "drawing texts: index brought up to date from the table", {1000}},
        {"W9", "drawing list to PDF, pictures at 300 dpi", {20, 1000}},
        {"W10", "filter typed in a group's list (slowest keystroke)", {10000, 100000}},
    };
    return all;
}

std::unique_ptr<Workload> MakeWorkload(const std::string& key)
{
    if (key == "W1") return std::make_unique<RegisterWorkload>();
    if (key == "W1F") return std::make_unique<RegisterWorkload>(100);
    if (key == "W1P") return std::make_unique<RegisterWorkload>(0, true);
    if (key == "W1H") return std::make_unique<HashWorkload>();
    if (key == "W2") return std::make_unique<OpenGroupWorkload>();
    if (key == "W3") return std::make_unique<SearchWorkload>(100, 10);
    if (key == "W3L") return std::make_unique<SearchWorkload>(2000, 2);
    if (key == "W4") return std::make_unique<BoardWorkload>();
    if (key == "W5") return std::make_unique<ThumbnailWorkload>();
    if (key == "W5P") return std::make_unique<ThumbnailWorkload>(QStringLiteral("pdf"));
    if (key == "W5D") return std::make_unique<ThumbnailWorkload>(QStringLiteral("dxf"));
    if (key == "W6") return std::make_unique<CachedThumbnailsWorkload>();
    if (key == "W9") return MakeDrawingListWorkload();
    if (key == "W10") return MakeFilterWorkload();
    return MakeTextWorkload(key);
}
