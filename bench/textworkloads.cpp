#include "textworkloads.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "benchdb.h"
#include "drawing/drawingfile.h"
#include "drawing/drawingrender.h"
#include "fulltext/textindex.h"
#include "fulltext/textsync.h"
#include "platform/escape.h"

namespace {

using Clock = std::chrono::steady_clock;
double Since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// The queries timed: one, two and four characters, and two words.
const char* const kQueries[] = {"図", "平面", "基準階平", "平面図 和室"};
constexpr size_t kHitsShown = 100;

// The texts of the real drawings of the tests, as the stored line holds them.
std::vector<QJsonObject> RealTexts()
{
    std::vector<QJsonObject> out;
    const QDir source(QStringLiteral(KUMO_TESTDATA) + "/jww");
    for (const QString& name : source.entryList({"*.jww"}, QDir::Files, QDir::Name)) {
        JwwDrawing d;
        if (!ReadDrawingFile(QFile::encodeName(source.filePath(name)).toStdString(), d)) continue;
        QJsonArray texts;
        const auto add = [&texts](const DrawingText& t) {
            texts.append(QJsonObject{{"text", DrawingStringText(t.content)},
                                     {"box_mm", QJsonArray{t.x1, t.y1, t.x2, t.y2 + t.sizeY}}});
        };
        for (const DrawingText& t : d.entities.texts) add(t);
        for (const DrawingBlock& b : d.blocks)
            for (const DrawingText& t : b.entities.texts) add(t);
        out.push_back(QJsonObject{{"memo", DrawingStringText(d.memo)}, {"texts", texts}});
    }
    return out;
}

// Drawing i: one of the real ones with a number, a client and a room of its own, so that
// no two are alike.
std::string Drawing(const std::vector<QJsonObject>& real, int i)
{
    static const char* const clients[] = {"岡田邸", "サンプル工業", "ﾐﾄﾞﾘ荘", "東京都立第三", "Kumo Bldg.", "山本ビル"};
    static const char* const rooms[] = {"和室", "リビング", "ＤＫ", "洋室", "EV", "倉庫", "ホール"};
    QJsonObject o = real[size_t(i) % real.size()];
    QJsonArray texts = o.value("texts").toArray();
    texts.append(QJsonObject{{"text", QString::asprintf("図番 A-%05d", i)}, {"box_mm", QJsonArray{0, 0, 40, 5}}});
    texts.append(QJsonObject{{"text", QString(clients[i % 6]) + " " + rooms[(i / 6) % 7]}, {"box_mm", QJsonArray{0, 10, 40, 15}}});
    o["texts"] = texts;
    return QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString();
}

DrawingTextRecord Record(const std::vector<QJsonObject>& real, int i)
{
    return {"D:\\drawings\\" + std::to_string(i / 1000) + "\\", std::to_string(i) + ".jww", i + 1, Drawing(real, i)};
}

// A load file and the engine's own command-line tool over it.
bool WriteGroongaLoad(const QString& path, const std::vector<QJsonObject>& real, int count)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    f.write("table_create Docs TABLE_HASH_KEY ShortText\n"
            "column_create Docs body COLUMN_SCALAR LongText\n"
            "table_create Terms TABLE_PAT_KEY ShortText --default_tokenizer TokenBigram --normalizer "
            "'NormalizerNFKC130(\"unify_kana\", true, \"unify_middle_dot\", true, "
            "\"unify_hyphen_and_prolonged_sound_mark\", true)'\n"
            "column_create Terms body COLUMN_INDEX|WITH_POSITION Docs body\n"
            "load --table Docs\n[\n");
    for (int i = 0; i < count; ++i) {
        const IndexedTexts t = ReadTextsJson(Drawing(real, i));
        f.write(QJsonDocument(QJsonObject{{"_key", QString::number(i)}, {"body", t.body}}).toJson(QJsonDocument::Compact));
        f.write(i + 1 < count ? ",\n" : "\n]\n");
    }
    return f.error() == QFile::NoError;
}

bool RunGroonga(const QStringList& args, const QString& input, QByteArray* output = nullptr)
{
    QProcess p;
    p.setStandardInputFile(input);
    p.start("groonga", args);
    if (!p.waitForFinished(30 * 60 * 1000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) return false;
    if (output) *output = p.readAllStandardOutput();
    return true;
}

struct Spread {
    double median = 0, p95 = 0;
};
Spread SpreadOf(std::vector<double> v)
{
    if (v.empty()) return {-1, -1};
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v[std::min(v.size() - 1, v.size() * 95 / 100)]};
}

// ---- W7B: the index built from nothing -----------------------------------------------------

class BuildWorkload : public Workload {
public:
    bool Prepare(int size) override
    {
        size_ = size;
        real_ = RealTexts();
        return !real_.empty() && WriteGroongaLoad(dir_.path() + "/load", real_, size);
    }

    double RunProgram() override
    {
        QDir(dir_.path() + "/index").removeRecursively();
        std::vector<DrawingTextRecord> records;
        for (int i = 0; i < size_; ++i) records.push_back(Record(real_, i));
        const auto start = Clock::now();
        TextIndex index(dir_.path() + "/index");
        if (!index.Open()) return -1;
        for (const DrawingTextRecord& r : records)
            if (!index.Put(r)) return -1;
        const double s = Since(start);
        std::fprintf(stderr, "  W7B: %.3f ms per drawing\n", 1000 * s / size_);
        count_ = index.Stamps().value_or(std::map<std::string, int64_t>{}).size();
        return s;
    }

    // The engine's tool loading the same texts.
    double RunFloor() override
    {
        QDir(dir_.path() + "/cli").removeRecursively();
        QDir().mkpath(dir_.path() + "/cli");
        const auto start = Clock::now();
        if (!RunGroonga({"-n", dir_.path() + "/cli/db"}, dir_.path() + "/load")) return -1;
        return Since(start);
    }

    bool Check(std::string& why) override
    {
        if (count_ == size_t(size_)) return true;
        why = "index holds " + std::to_string(count_) + " of " + std::to_string(size_) + " drawings";
        return false;
    }

private:
    QTemporaryDir dir_;
    std::vector<QJsonObject> real_;
    int size_ = 0;
    size_t count_ = 0;
};

// ---- W7Q: queries at a size ----------------------------------------------------------------

class QueryWorkload : public Workload {
public:
    bool Prepare(int size) override
    {
        real_ = RealTexts();
        if (real_.empty() || !WriteGroongaLoad(dir_.path() + "/load", real_, size)) return false;
        QDir().mkpath(dir_.path() + "/cli");
        if (!RunGroonga({"-n", dir_.path() + "/cli/db"}, dir_.path() + "/load")) return false;
        index_ = std::make_unique<TextIndex>(dir_.path() + "/index");
        if (!index_->Open()) return false;
        for (int i = 0; i < size; ++i) {
            const DrawingTextRecord r = Record(real_, i);
            if (!index_->Put(r)) return false;
            bodies_.push_back(ReadTextsJson(r.json).body.toUtf8().toStdString());
        }
        repeats_ = size >= 10000 ? 20 : 5;
        QFile q(dir_.path() + "/queries");
        if (!q.open(QIODevice::WriteOnly)) return false;
        // Answers computed afresh each time, as the program's are.
        q.write("cache_limit --max 0\n");
        for (int r = 0; r < repeats_; ++r)
            for (const char* query : kQueries)
                q.write(QByteArray("select Docs --match_columns body --query '") + query +
                        "' --output_columns _id,_key,_score --sort_keys -_score --limit " +
                        QByteArray::number(int(kHitsShown)) + "\n");
        return true;
    }

    // Each query as the search does it (the text around the match made for each hit);
    // the worst 95th percentile of the four.
    double RunProgram() override
    {
        std::vector<std::vector<double>> times(std::size(kQueries));
        hits_ = 0;
        for (int r = 0; r < repeats_; ++r)
            for (size_t q = 0; q < std::size(kQueries); ++q) {
                const auto start = Clock::now();
                const auto found = index_->Search(QString::fromUtf8(kQueries[q]), kHitsShown);
                times[q].push_back(Since(start));
                if (!found) return -1;
                hits_ += found->hits.size();
            }
        return Report("program", times);
    }

    // The engine's tool: the time it reports for each select, its start left out.
    double RunFloor() override
    {
        QByteArray out;
        if (!RunGroonga({dir_.path() + "/cli/db"}, dir_.path() + "/queries", &out)) return -1;
        std::vector<std::vector<double>> times(std::size(kQueries));
        size_t n = 0;
        for (const QByteArray& line : out.split('\n')) {
            if (!line.startsWith("[[0,") || !line.contains("\"_key\"")) continue;
            const QJsonArray header = QJsonDocument::fromJson(line).array().at(0).toArray();
            if (header.size() < 3) continue;
            times[n++ % std::size(kQueries)].push_back(header.at(2).toDouble());
        }
        if (n != std::size(kQueries) * size_t(repeats_)) return -1;
        return Report("groonga", times);
    }

    // A scan of the same UTF-8 texts in memory for the query's words, unfolded.
    double RunPhysicalFloor() override
    {
        std::vector<std::vector<double>> times(std::size(kQueries));
        for (int r = 0; r < repeats_; ++r)
            for (size_t q = 0; q < std::size(kQueries); ++q) {
                const QStringList words = QString::fromUtf8(kQueries[q]).split(' ');
                std::vector<std::string> w;
                for (const QString& s : words) w.push_back(s.toStdString());
                const auto start = Clock::now();
                size_t found = 0;
                for (const std::string& b : bodies_)
                    found += std::all_of(w.begin(), w.end(), [&b](const std::string& x) { return b.find(x) != std::string::npos; });
                times[q].push_back(Since(start));
                if (found == size_t(-1)) return -1;
            }
        return Report("scan", times);
    }

    bool Check(std::string& why) override
    {
        if (hits_ > 0) return true;
        why = "no query found anything";
        return false;
    }

private:
    double Report(const char* who, const std::vector<std::vector<double>>& times) const
    {
        double worst = 0;
        for (size_t q = 0; q < times.size(); ++q) {
            const Spread s = SpreadOf(times[q]);
            std::fprintf(stderr, "  W7Q %s \"%s\": median %.2f ms, p95 %.2f ms\n", who, kQueries[q], 1000 * s.median, 1000 * s.p95);
            worst = std::max(worst, s.p95);
        }
        return worst;
    }

    QTemporaryDir dir_;
    std::vector<QJsonObject> real_;
    std::unique_ptr<TextIndex> index_;
    std::vector<std::string> bodies_;
    int repeats_ = 5;
    size_t hits_ = 0;
};

// ---- W7U: the index brought up to date after new drawings ---------------------------------

class NoEscape : public EscapeKey {
public:
    bool IsDown() const override { return false; }
};

class UpdateWorkload : public Workload {
public:
    bool Prepare(int size) override
    {
        size_ = size;
        const std::vector<QJsonObject> real = RealTexts();
        if (real.empty() || !db_.ok) return false;
        if (!Exec(db_.session, "CREATE TABLE KUMO_DRAWINGTEXT (FOLDER VARCHAR(255) NOT NULL, FNAME VARCHAR(255) NOT NULL, "
                               "FSIZE BIGINT, FTIME BIGINT, STATE SMALLINT, TEXTS BLOB SUB_TYPE 0, STAMP BIGINT, "
                               "PRIMARY KEY (FOLDER, FNAME))"))
            return false;
        return InOneUnit(db_.session, [&] {
            for (int i = 0; i < size; ++i) {
                const DrawingTextRecord r = Record(real, i);
                std::string json;
                for (char c : r.json) json += c == '\'' ? std::string("''") : std::string(1, c);
                // A statement holds at most 64 KiB; longer drawings are cut for the benchmark.
                if (json.size() > 30000) json = Drawing({QJsonObject{}}, i);
                if (!Exec(db_.session, "INSERT INTO KUMO_DRAWINGTEXT VALUES ('" + r.folder + "', '" + r.file + "', 1, 1, 0, '" +
                                           json + "', " + std::to_string(r.stamp) + ")"))
                    return false;
            }
            return true;
        });
    }

    double RunProgram() override
    {
        QDir(dir_.path() + "/index").removeRecursively();
        const auto start = Clock::now();
        TextIndex index(dir_.path() + "/index");
        TextSyncCounts counts;
        if (!index.Open() || UpdateTextIndex(db_.session, index, NoEscape(), &counts) != TextSyncEnd::Finished) return -1;
        read_ = counts.read;
        return Since(start);
    }

    // The rows themselves, read once.
    double RunFloor() override
    {
        const auto start = Clock::now();
        std::vector<TextRow> rows;
        if (!db_.session.SelectStatement({"SELECT FOLDER, FNAME, STAMP, CAST(SUBSTRING(TEXTS FROM 1 FOR 32000) AS "
                                          "VARCHAR(32000) CHARACTER SET OCTETS) FROM KUMO_DRAWINGTEXT",
                                          ";"},
                                         rows))
            return -1;
        db_.session.EndRead();
        return Since(start);
    }

    bool Check(std::string& why) override
    {
        if (read_ == size_) return true;
        why = "read " + std::to_string(read_) + " of " + std::to_string(size_);
        return false;
    }

private:
    BenchDatabase db_;
    QTemporaryDir dir_;
    int size_ = 0, read_ = 0;
};

} // namespace

std::unique_ptr<Workload> MakeTextWorkload(const std::string& key)
{
    if (key == "W7B") return std::make_unique<BuildWorkload>();
    if (key == "W7Q") return std::make_unique<QueryWorkload>();
    if (key == "W7U") return std::make_unique<UpdateWorkload>();
    return nullptr;
}
