#include "fulltext/textindex.h"

#include <chrono>
#include <cmath>

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QUrl>

#include <groonga.h>

#include "fulltext/textfold.h"
#include "fulltext/textquery.h"

namespace {

// A process-wide library: initialised once, left to the process's end.
void InitLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] {
        grn_init();
        // A lock left by a process that died would stop a write for a quarter of an hour.
        grn_set_lock_timeout(3000);
    });
}

// The objects of one process take turns on the index files.
std::timed_mutex& Turn()
{
    static std::timed_mutex turn;
    return turn;
}
constexpr auto kTurnWait = std::chrono::seconds(20);

// Bounds on what a stored row may bring: the texts are cut at 1 MiB when read, their
// JSON with its escapes and boxes stays well below this.
constexpr qsizetype kMaxBodyChars = 2 * 1024 * 1024;
constexpr size_t kMaxJsonBytes = 8 * 1024 * 1024;
// The characters shown around a match, before and after it.
constexpr qsizetype kBefore = 16, kAfter = 40;

const char* const kSchema[] = {
    "table_create Docs TABLE_HASH_KEY ShortText",
    "column_create Docs body COLUMN_SCALAR LongText",
    "column_create Docs boxes COLUMN_SCALAR LongText",
    "column_create Docs stamp COLUMN_SCALAR Int64",
    "table_create Terms TABLE_PAT_KEY ShortText --default_tokenizer TokenBigram --normalizer "
    "'NormalizerNFKC130(\"unify_kana\", true, \"unify_middle_dot\", true, "
    "\"unify_hyphen_and_prolonged_sound_mark\", true)'",
    "column_create Terms body COLUMN_INDEX|WITH_POSITION Docs body",
};

// Keys of the engine's table: the CP932 bytes as hex, so that its JSON answers stay UTF-8.
std::string EngineKey(const std::string& folder, const std::string& file)
{
    return QByteArray::fromStdString(folder).toHex().toStdString() + "/" +
           QByteArray::fromStdString(file).toHex().toStdString();
}

bool SplitEngineKey(const std::string& key, std::string& folder, std::string& file)
{
    const size_t slash = key.find('/');
    if (slash == std::string::npos) return false;
    folder = QByteArray::fromHex(QByteArray::fromStdString(key.substr(0, slash))).toStdString();
    file = QByteArray::fromHex(QByteArray::fromStdString(key.substr(slash + 1))).toStdString();
    return true;
}

QString OneLine(QString s)
{
    for (QChar& c : s)
        if (c.category() == QChar::Other_Control || c == QChar(0x2028) || c == QChar(0x2029)) c = u' ';
    return s;
}

std::optional<PaperBox> BoxOf(const QJsonValue& v)
{
    const QJsonArray a = v.toArray();
    if (a.size() != 4) return std::nullopt;
    PaperBox box{};
    for (int i = 0; i < 4; ++i) {
        if (!a[i].isDouble() || !std::isfinite(a[i].toDouble())) return std::nullopt;
        box[static_cast<size_t>(i)] = a[i].toDouble();
    }
    return box;
}

std::string BoxesText(const std::vector<std::optional<PaperBox>>& boxes)
{
    std::string out;
    for (const auto& b : boxes) {
        if (b) out += QString("%1 %2 %3 %4").arg((*b)[0]).arg((*b)[1]).arg((*b)[2]).arg((*b)[3]).toStdString();
        out += '\n';
    }
    return out;
}

// The box of one line of the boxes column, without reading the others.
std::optional<PaperBox> BoxOfLine(std::string_view boxes, qsizetype line)
{
    size_t at = 0;
    for (qsizetype i = 0; i < line; ++i) {
        at = boxes.find('\n', at);
        if (at == std::string_view::npos) return std::nullopt;
        ++at;
    }
    const size_t end = std::min(boxes.find('\n', at), boxes.size());
    const QList<QByteArray> parts = QByteArray(boxes.data() + at, static_cast<qsizetype>(end - at)).split(' ');
    if (parts.size() != 4) return std::nullopt;
    PaperBox box{};
    for (size_t i = 0; i < 4; ++i) {
        bool ok = false;
        box[i] = parts[static_cast<qsizetype>(i)].toDouble(&ok);
        if (!ok) return std::nullopt;
    }
    return box;
}

} // namespace

struct TextIndex::Engine {
    grn_ctx ctx{};
    grn_obj* db = nullptr;
    grn_obj *docs = nullptr, *body = nullptr, *boxes = nullptr, *stamp = nullptr;
    bool contextUp = false;

    Engine()
    {
        contextUp = grn_ctx_init(&ctx, 0) == GRN_SUCCESS;
        // The engine's answer cache is the process's, keyed by the command alone: two
        // indexes (of two databases) would share answers.
        if (contextUp) grn_cache_set_max_n_entries(&ctx, grn_cache_current_get(&ctx), 0);
    }
    ~Engine()
    {
        if (db) grn_obj_close(&ctx, db);
        if (contextUp) grn_ctx_fin(&ctx);
    }

    // A command's answer; nullopt when the engine reports a failure.
    std::optional<QByteArray> Send(const std::string& command)
    {
        grn_ctx_send(&ctx, command.data(), static_cast<unsigned int>(command.size()), 0);
        char* out = nullptr;
        unsigned int len = 0;
        int flags = 0;
        grn_ctx_recv(&ctx, &out, &len, &flags);
        if (ctx.rc != GRN_SUCCESS) return std::nullopt;
        return QByteArray(out, static_cast<qsizetype>(len));
    }

    bool FindObjects()
    {
        docs = grn_ctx_get(&ctx, "Docs", -1);
        body = grn_ctx_get(&ctx, "Docs.body", -1);
        boxes = grn_ctx_get(&ctx, "Docs.boxes", -1);
        stamp = grn_ctx_get(&ctx, "Docs.stamp", -1);
        return docs && body && boxes && stamp && grn_ctx_get(&ctx, "Terms.body", -1);
    }
};

std::string TextKey(const std::string& folder, const std::string& file) { return folder + '\0' + file; }

QString TextIndex::FolderFor(const DatabaseSettings& settings)
{
    const QByteArray name = QByteArray::fromStdString(settings.serverName + "\n" + settings.dataFolder + "\n" +
                                                      settings.databaseFileName);
    const QString hash = QCryptographicHash::hash(name, QCryptographicHash::Sha256).toHex().left(24);
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + "/kumolist/texts-" + hash;
}

TextIndex::TextIndex(QString folder) : folder_(std::move(folder)), turn_(Turn(), std::defer_lock) {}

TextIndex::~TextIndex() { Close(); }

void TextIndex::Close() { engine_.reset(); }

bool TextIndex::Attach()
{
    engine_ = std::make_unique<Engine>();
    if (!engine_->contextUp) return false;
    const QString path = folder_ + "/index.db";
    if (!QFileInfo::exists(path)) return Create();
    engine_->db = grn_db_open(&engine_->ctx, QFile::encodeName(path).constData());
    return engine_->db && engine_->FindObjects();
}

bool TextIndex::Create()
{
    if (!QDir().mkpath(folder_)) return false;
    engine_->db = grn_db_create(&engine_->ctx, QFile::encodeName(folder_ + "/index.db").constData(), nullptr);
    if (!engine_->db) return false;
    for (const char* command : kSchema)
        if (!engine_->Send(command)) return false;
    return engine_->FindObjects();
}

bool TextIndex::Rebuild()
{
    if (!turn_.owns_lock()) return false;
    Close();
    rebuilt_ = true;
    if (!QDir(folder_).removeRecursively()) {
        error_ = "cannot remove " + folder_;
        return false;
    }
    engine_ = std::make_unique<Engine>();
    if (engine_->contextUp && Create()) return true;
    error_ = "cannot make the index in " + folder_;
    Close();
    return false;
}

bool TextIndex::Open()
{
    rebuilt_ = false;
    if (!turn_.owns_lock() && !turn_.try_lock_for(kTurnWait)) {
        error_ = "the index is in use";
        return false;
    }
    InitLibrary();
    if (Attach()) return true;
    // Damaged, cut short or of another make: it holds nothing the shared table does not.
    return Rebuild();
}

std::optional<std::map<std::string, int64_t>> TextIndex::Stamps()
{
    if (!engine_ || !engine_->docs) return std::nullopt;
    grn_ctx* ctx = &engine_->ctx;
    grn_table_cursor* cursor = grn_table_cursor_open(ctx, engine_->docs, nullptr, 0, nullptr, 0, 0, -1, GRN_CURSOR_ASCENDING);
    if (!cursor) return std::nullopt;
    std::map<std::string, int64_t> stamps;
    grn_obj value;
    GRN_INT64_INIT(&value, 0);
    for (grn_id id; (id = grn_table_cursor_next(ctx, cursor)) != GRN_ID_NIL;) {
        void* key = nullptr;
        const int length = grn_table_cursor_get_key(ctx, cursor, &key);
        std::string folder, file;
        if (length <= 0 || !SplitEngineKey(std::string(static_cast<const char*>(key), static_cast<size_t>(length)), folder, file))
            continue;
        GRN_BULK_REWIND(&value);
        grn_obj_get_value(ctx, engine_->stamp, id, &value);
        stamps[TextKey(folder, file)] = GRN_INT64_VALUE(&value);
    }
    GRN_OBJ_FIN(ctx, &value);
    grn_table_cursor_close(ctx, cursor);
    if (ctx->rc != GRN_SUCCESS) return std::nullopt;
    return stamps;
}

bool TextIndex::Put(const DrawingTextRecord& record)
{
    if (!engine_ || !engine_->docs) return false;
    grn_ctx* ctx = &engine_->ctx;
    const std::string key = EngineKey(record.folder, record.file);
    if (key.size() > GRN_TABLE_MAX_KEY_SIZE) return false;
    const IndexedTexts texts = ReadTextsJson(record.json);
    const QByteArray body = texts.body.toUtf8();
    const std::string boxes = BoxesText(texts.boxes);
    int added = 0;
    const grn_id id = grn_table_add(ctx, engine_->docs, key.data(), static_cast<unsigned int>(key.size()), &added);
    if (id == GRN_ID_NIL) return false;
    grn_obj value;
    GRN_TEXT_INIT(&value, 0);
    GRN_TEXT_SET(ctx, &value, body.constData(), body.size());
    bool ok = grn_obj_set_value(ctx, engine_->body, id, &value, GRN_OBJ_SET) == GRN_SUCCESS;
    GRN_TEXT_SET(ctx, &value, boxes.data(), boxes.size());
    ok = ok && grn_obj_set_value(ctx, engine_->boxes, id, &value, GRN_OBJ_SET) == GRN_SUCCESS;
    GRN_OBJ_FIN(ctx, &value);
    grn_obj stamp;
    GRN_INT64_INIT(&stamp, 0);
    GRN_INT64_SET(ctx, &stamp, record.stamp);
    ok = ok && grn_obj_set_value(ctx, engine_->stamp, id, &stamp, GRN_OBJ_SET) == GRN_SUCCESS;
    GRN_OBJ_FIN(ctx, &stamp);
    return ok;
}

bool TextIndex::Remove(const std::string& key)
{
    if (!engine_ || !engine_->docs) return false;
    const size_t nul = key.find('\0');
    if (nul == std::string::npos) return false;
    const std::string engineKey = EngineKey(key.substr(0, nul), key.substr(nul + 1));
    const grn_rc rc = grn_table_delete(&engine_->ctx, engine_->docs, engineKey.data(), static_cast<unsigned int>(engineKey.size()));
    return rc == GRN_SUCCESS || rc == GRN_INVALID_ARGUMENT;   // the latter: not there
}

std::optional<TextSearchResult> TextIndex::Search(const QString& typed, size_t limit)
{
    if (!engine_ || !engine_->docs) return std::nullopt;
    const TextQuery query = ParseTextQuery(typed);
    TextSearchResult result;
    if (query.engineQuery.isEmpty() || limit == 0) return result;
    // Only the keys through the command; the texts, which may be long, straight from
    // their columns rather than escaped into the answer and parsed back.
    const std::string command =
        "/d/select?table=Docs&match_columns=body&query_flags=NONE&query=" +
        QUrl::toPercentEncoding(query.engineQuery).toStdString() +
        "&output_columns=_id,_key,_score&sort_keys=-_score&limit=" + std::to_string(limit);
    const std::optional<QByteArray> answer = engine_->Send(command);
    if (!answer) {
        error_ = QString::fromUtf8(engine_->ctx.errbuf);
        return std::nullopt;
    }
    // [[[total], [columns…], [row]…]]
    const QJsonArray set = QJsonDocument::fromJson(*answer).array().at(0).toArray();
    if (set.isEmpty()) {
        error_ = "the engine's answer could not be read";
        return std::nullopt;
    }
    result.total = set.at(0).toArray().at(0).toInt();
    grn_ctx* ctx = &engine_->ctx;
    grn_obj value;
    GRN_TEXT_INIT(&value, 0);
    const auto text = [&](grn_obj* column, grn_id id) {
        GRN_BULK_REWIND(&value);
        grn_obj_get_value(ctx, column, id, &value);
        return std::string_view(GRN_TEXT_VALUE(&value), GRN_TEXT_LEN(&value));
    };
    for (qsizetype i = 2; i < set.size(); ++i) {
        const QJsonArray row = set.at(i).toArray();
        if (row.size() < 3) continue;
        const auto id = static_cast<grn_id>(row.at(0).toInteger());
        TextHit hit;
        const std::string_view body = text(engine_->body, id);
        qsizetype line = -1;
        hit.around = AroundMatch(QString::fromUtf8(body.data(), static_cast<qsizetype>(body.size())), query.words, line);
        if (line >= 0) hit.box = BoxOfLine(text(engine_->boxes, id), line);
        if (!SplitEngineKey(row.at(1).toString().toStdString(), hit.folder, hit.file)) continue;
        hit.score = row.at(2).toInt();
        result.hits.push_back(std::move(hit));
    }
    GRN_OBJ_FIN(ctx, &value);
    return result;
}

IndexedTexts ReadTextsJson(const std::string& json)
{
    IndexedTexts out;
    if (json.size() > kMaxJsonBytes) return out;
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
    QStringList lines{OneLine(o.value("memo").toString())};
    out.boxes.push_back(std::nullopt);
    qsizetype chars = lines.front().size();
    for (const QJsonValue& v : o.value("texts").toArray()) {
        const QJsonObject t = v.toObject();
        const QString text = OneLine(t.value("text").toString());
        if (text.trimmed().isEmpty()) continue;
        chars += text.size() + 1;
        if (chars > kMaxBodyChars) break;
        lines << text;
        out.boxes.push_back(BoxOf(t.value("box_mm")));
    }
    out.body = lines.join(u'\n');
    return out;
}

QString AroundMatch(const QString& body, const QStringList& foldedWords, qsizetype& line)
{
    // Line by line into one buffer: the match is mostly in the first lines, and a long
    // drawing is then not folded whole.
    FoldedText folded;
    line = 0;
    for (qsizetype start = 0; start <= body.size(); ++line) {
        qsizetype end = body.indexOf(u'\n', start);
        if (end < 0) end = body.size();
        const QStringView text = QStringView(body).mid(start, end - start);
        FoldInto(folded, text);
        const SourceRange r = FindFirst(folded, foldedWords);
        if (r.begin >= 0) {
            const qsizetype from = std::max<qsizetype>(0, r.begin - kBefore);
            const qsizetype to = std::min(text.size(), r.end + kAfter);
            return (from > 0 ? "…" : "") + text.mid(from, r.begin - from).toString() + kMarkOpen +
                   text.mid(r.begin, r.end - r.begin).toString() + kMarkClose + text.mid(r.end, to - r.end).toString() +
                   (to < text.size() ? "…" : "");
        }
        start = end + 1;
    }
    line = -1;
    // A phrase the engine found across two texts: the first text stands for the drawing.
    for (const QString& text : body.split(u'\n'))
        if (!text.trimmed().isEmpty()) return text.left(kBefore + kAfter) + (text.size() > kBefore + kAfter ? "…" : "");
    return {};
}
