#pragma once
// The index of the drawings' texts on this PC: a Groonga database under the user's cache
// folder, one per shared database, holding for each drawing its texts as lines (the memo
// first), the paper box of each text, and the stamp of the stored row it was made from.
// Bigram tokens with NFKC folding, case and kana made one: one- and two-character words
// are found, and ＤＫ, DK and dk, かまぼこ and カマボコ, ﾘﾋﾞﾝｸﾞ and リビング are the same.
//
// One index object is used by one thread; the objects of one process take turns (the
// engine's context is not shared), each waiting a bounded time for the one before.
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <QString>

#include "settings/settings.h"

// A stored row of drawing texts.
struct DrawingTextRecord {
    std::string folder, file;   // CP932, as the entries name the file
    int64_t stamp = 0;
    std::string json;           // the stored line (UTF-8 JSON)
};

using PaperBox = std::array<double, 4>;   // x0, y0, x1, y1 in mm on the paper

struct TextHit {
    std::string folder, file;   // CP932
    int score = 0;
    // The text around the match, the match between kMarkOpen and kMarkClose; "…" where cut.
    QString around;
    std::optional<PaperBox> box;   // of the text that holds the match
};
inline const QString kMarkOpen = QStringLiteral("《");
inline const QString kMarkClose = QStringLiteral("》");

struct TextSearchResult {
    int total = 0;                // drawings that match; only the first `limit` are in hits
    std::vector<TextHit> hits;    // by relevance
};

// Every index key: folder and file joined by a NUL byte.
std::string TextKey(const std::string& folder, const std::string& file);

class TextIndex {
public:
    // Where the index of the database the settings name lies: under $XDG_CACHE_HOME/kumolist/.
    static QString FolderFor(const DatabaseSettings& settings);

    explicit TextIndex(QString folder);
    ~TextIndex();
    TextIndex(const TextIndex&) = delete;
    TextIndex& operator=(const TextIndex&) = delete;

    // Opens the index, made when missing and made again (empty) when it cannot be opened
    // or lacks a part; false when neither works.
    bool Open();
    // The index made again, empty, once open: a write or search that failed (a lock left
    // by a process that died, damage in its files) is no reason to search without it.
    bool Rebuild();
    // Whether the index was made again over a damaged one.
    bool Rebuilt() const { return rebuilt_; }

    // The stamp of every drawing indexed, by TextKey; nullopt when it could not be read.
    std::optional<std::map<std::string, int64_t>> Stamps();
    // A drawing's texts put in, replacing those before; false when not stored (the stamp
    // is written last, so a drawing half written is read again at the next update).
    bool Put(const DrawingTextRecord& record);
    bool Remove(const std::string& key);
    // The drawings whose texts match what the user typed (ParseTextQuery), the best
    // `limit` of them with the text around the match; nullopt when the engine failed.
    // A text without a word that must occur matches nothing.
    std::optional<TextSearchResult> Search(const QString& typed, size_t limit);

    QString LastError() const { return error_; }

private:
    bool Create();
    bool Attach();
    void Close();

    const QString folder_;
    std::unique_lock<std::timed_mutex> turn_;
    struct Engine;
    std::unique_ptr<Engine> engine_;
    bool rebuilt_ = false;
    QString error_;
};

// The lines and boxes of a stored line of texts: line 0 the memo, then one per text.
struct IndexedTexts {
    QString body;                              // lines joined by '\n'
    std::vector<std::optional<PaperBox>> boxes;   // per line
};
IndexedTexts ReadTextsJson(const std::string& json);

// The text around the first match of the folded words in the body (lines joined by
// '\n'); line: the line that holds it, -1 when none does.
QString AroundMatch(const QString& body, const QStringList& foldedWords, qsizetype& line);
