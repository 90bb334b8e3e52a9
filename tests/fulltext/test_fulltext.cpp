// The index of the drawings' texts: what a query finds across widths, case and kana and
// through its grammar, with the match marked and its box; an index made again when its
// folder is gone or damaged; and the index brought up to date from the shared table.
#include <set>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <groonga.h>

#include "drawingtexttable.h"
#include "fulltext/textindex.h"
#include "fulltext/textsync.h"
#include "support/testdb.h"

namespace {

class NoEscape : public EscapeKey {
public:
    bool IsDown() const override { return false; }
};

std::string Json(const std::vector<std::pair<QString, PaperBox>>& texts, const QString& memo = {})
{
    QJsonArray list;
    for (const auto& [text, b] : texts) list.append(QJsonObject{{"text", text}, {"box_mm", QJsonArray{b[0], b[1], b[2], b[3]}}});
    return QJsonDocument(QJsonObject{{"memo", memo}, {"texts", list}}).toJson(QJsonDocument::Compact).toStdString();
}

QString Files(const TextSearchResult& r)
{
    std::set<QString> names;
    for (const TextHit& h : r.hits) names.insert(QString::fromStdString(h.file));
    QStringList list(names.begin(), names.end());
    return list.join(',');
}

std::optional<TextSearchResult> Find(TextIndex& index, const QString& text) { return index.Search(text, 100); }

} // namespace

class TestFulltext : public QObject {
    Q_OBJECT
private slots:
    void queries_data();
    void queries();
    void hostileRows_data();
    void hostileRows();
    void madeAgainWhenGoneOrDamaged();
    void updatedByStamp();
};

void TestFulltext::queries_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("files");
    QTest::addColumn<QString>("around");   // of the first hit; empty: not looked at

    QTest::newRow("kanji, two characters") << "和室" << "plan" << "《和室》";
    QTest::newRow("one character") << "図" << "elev,plan" << "";
    QTest::newRow("half-width katakana") << "ﾘﾋﾞﾝｸﾞ" << "plan" << "《リビング》ルーム";
    QTest::newRow("full-width letters") << "ＤＫ" << "plan" << "《ＤＫ》";
    QTest::newRow("lower case") << "dk" << "plan" << "《ＤＫ》";
    QTest::newRow("upper case, two letters") << "EV" << "cafe" << "《EV》";
    QTest::newRow("hiragana finds half-width katakana") << "かまぼこ" << "kama" << "《ｶﾏﾎﾞｺ》工場";
    QTest::newRow("katakana finds half-width") << "カマボコ" << "kama" << "";
    QTest::newRow("half-width middle dot") << "キッチン･ダイニング" << "cafe" << "《キッチン・ダイニング》";
    QTest::newRow("latin middle dot") << "キッチン·ダイニング" << "cafe" << "";
    QTest::newRow("long vowel mark") << "コーヒー" << "cafe" << "《ｺｰﾋｰ》";
    QTest::newRow("full-width hyphen for the mark") << "コ－ヒ－" << "cafe" << "";
    QTest::newRow("blanks: all must occur") << "和室 ホール" << "" << "";
    QTest::newRow("full-width blank") << "和室　リビング" << "plan" << "";
    QTest::newRow("OR") << "和室 OR ホール" << "elev,plan" << "";
    QTest::newRow("phrase OR word") << "\"平面図\" OR 立面" << "elev,plan" << "";
    QTest::newRow("phrase") << "\"基準階平面図\"" << "plan" << "《基準階平面図》";
    QTest::newRow("excluded") << "図 -和室" << "elev" << "";
    QTest::newRow("only excluded") << "-和室" << "" << "";
    QTest::newRow("OR alone is a word") << "OR" << "" << "";
    QTest::newRow("engine syntax is text") << "body:@和室" << "" << "";
    QTest::newRow("unbalanced") << "(和室 \"" << "" << "";
    QTest::newRow("backslash and quote") << "和室\\\" OR 立面" << "elev" << "";
    QTest::newRow("in the memo") << "岡田邸" << "kama" << "《岡田邸》";
}

void TestFulltext::queries()
{
    QFETCH(QString, query);
    QFETCH(QString, files);
    QFETCH(QString, around);
    QTemporaryDir dir;
    TextIndex index(dir.path() + "/index");
    QVERIFY(index.Open());
    QVERIFY(index.Put({"F/", "plan", 1, Json({{"基準階平面図　Ｓ＝１／１００", {0, 0, 100, 10}}, {"和室", {10, 20, 30, 28}},
                                              {"リビングルーム", {40, 20, 80, 28}}, {"ＤＫ", {1, 2, 3, 4}}})}));
    QVERIFY(index.Put({"F/", "kama", 2, Json({{"ｶﾏﾎﾞｺ工場", {}}, {"2LDK", {}}, {"A-101", {}}}, "岡田邸\n増築")}));
    QVERIFY(index.Put({"F/", "cafe", 3, Json({{"キッチン・ダイニング", {}}, {"ｺｰﾋｰ", {}}, {"EV", {}}})}));
    QVERIFY(index.Put({"F/", "elev", 4, Json({{"立面図", {}}, {"ホール", {}}})}));
    const auto found = Find(index, query);
    QVERIFY(found);
    QCOMPARE(Files(*found), files);
    QCOMPARE(found->total, static_cast<int>(found->hits.size()));
    if (!around.isEmpty()) QVERIFY2(found->hits.front().around.contains(around), qPrintable(found->hits.front().around));
    if (query == "和室") QCOMPARE(found->hits.front().box, std::optional<PaperBox>({10, 20, 30, 28}));
}

void TestFulltext::hostileRows_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("around");
    QTest::addColumn<bool>("boxed");

    const QString longText = QString(64 * 1024, QChar(u'壁')) + "特記";
    QTest::newRow("not JSON") << QByteArray("{\"texts\": [{\"text\": \"和室") << "和室" << false << "" << false;
    QTest::newRow("control characters keep one line")
        << QByteArray::fromStdString(Json({{"和\x01室\n\r洋室\t", {1, 2, 3, 4}}})) << "洋室" << true << "和 室  《洋室》 " << true;
    QTest::newRow("64 KiB text, the word at its end") << QByteArray::fromStdString(Json({{longText, {1, 2, 3, 4}}})) << "特記" << true
                                                      << "…" + QString(16, QChar(u'壁')) + "《特記》" << true;
    QTest::newRow("box of strings and too few numbers")
        << QByteArray(R"({"texts": [{"text": "和室", "box_mm": ["a", 1, 2, 3]}, {"text": "洋室", "box_mm": [1, 2]}]})")
        << "和室 OR 洋室" << true << "《和室》" << false;
    QTest::newRow("texts not an array") << QByteArray(R"({"memo": "岡田邸", "texts": {"text": "和室"}})") << "岡田" << true
                                        << "《岡田》邸" << false;
    QTest::newRow("lone surrogate escaped") << QByteArray(R"({"texts": [{"text": "\ud800和室"}]})") << "和室" << true << "" << false;
}

void TestFulltext::hostileRows()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, query);
    QFETCH(bool, found);
    QFETCH(QString, around);
    QFETCH(bool, boxed);
    QTemporaryDir dir;
    TextIndex index(dir.path() + "/index");
    QVERIFY(index.Open());
    QVERIFY(index.Put({"F/", "x", 1, json.toStdString()}));
    const auto r = Find(index, query);
    QVERIFY(r);
    QCOMPARE(r->hits.size(), size_t(found ? 1 : 0));
    if (!found) return;
    if (!around.isEmpty()) QCOMPARE(r->hits.front().around, around);
    QCOMPARE(r->hits.front().box.has_value(), boxed);
}

void TestFulltext::madeAgainWhenGoneOrDamaged()
{
    QTemporaryDir dir;
    const QString folder = dir.path() + "/index";
    for (const char* harm : {"removed", "overwritten"}) {
        {
            TextIndex index(folder);
            QVERIFY(index.Open());
            QVERIFY(index.Put({"F/", "a", 7, Json({{"和室", {}}})}));
            QCOMPARE(Find(index, "和室")->hits.size(), size_t(1));
        }
        if (QByteArray(harm) == "removed") {
            QVERIFY(QDir(folder).removeRecursively());
        } else {
            QFile file(folder + "/index.db");
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(QByteArray(4096, 'x'));
        }
        TextIndex index(folder);
        QVERIFY2(index.Open(), harm);
        QCOMPARE(index.Rebuilt(), QByteArray(harm) == "overwritten");
        QVERIFY(index.Stamps()->empty());
        QVERIFY(index.Put({"F/", "b", 8, Json({{"洋室", {}}})}));
        QCOMPARE(Find(index, "洋室")->hits.size(), size_t(1));
        QVERIFY(QDir(folder).removeRecursively());
    }
    // A lock that a process left as it died: writes fail within seconds, and the index
    // made again works.
    {
        TextIndex index(folder);
        QVERIFY(index.Open());
    }
    {
        grn_ctx ctx;
        QCOMPARE(grn_ctx_init(&ctx, 0), GRN_SUCCESS);
        grn_obj* db = grn_db_open(&ctx, QFile::encodeName(folder + "/index.db").constData());
        QVERIFY(db);
        QCOMPARE(grn_obj_lock(&ctx, grn_ctx_get(&ctx, "Docs", -1), GRN_ID_NIL, 0), GRN_SUCCESS);
        grn_obj_close(&ctx, db);
        grn_ctx_fin(&ctx);
    }
    TextIndex index(folder);
    QVERIFY(index.Open());
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!index.Put({"F/", "c", 9, Json({{"和室", {}}})}));
    QVERIFY(clock.elapsed() < 20000);
    QVERIFY(index.Rebuild());
    QVERIFY(index.Put({"F/", "c", 9, Json({{"和室", {}}})}));
    QCOMPARE(Find(index, "和室")->hits.size(), size_t(1));
}

void TestFulltext::updatedByStamp()
{
    FreshSession fresh;
    QVERIFY(fresh.ok);
    DatabaseSession& db = fresh.session;
    QTemporaryDir dir;
    TextIndex index(dir.path() + "/index");
    QVERIFY(index.Open());
    const NoEscape escape;
    struct Step {
        const char* what;
        std::function<bool()> change;
        int read, removed;
        QString query, files;
    };
    // A line longer than one chunk of the read, its word at the end.
    std::vector<TestText> longTexts(1500, TestText{"あいうえおかきくけこ"});
    longTexts.push_back({"末尾の特記事項"});
    const std::vector<Step> steps = {
        {"no table yet", [] { return true; }, 0, 0, "和室", ""},
        {"first rows", [&] {
             return CreateDrawingTextTable(db) && StoreDrawingTexts(db, "C:\\\x90\x7d\\", "a.jww", {{"和室"}}) &&
                    StoreDrawingTexts(db, "C:\\\x90\x7d\\", "b.jww", {{"洋室 和室"}}) &&
                    StoreDrawingTexts(db, "C:\\\x90\x7d\\", "c.jww", {{"和室"}}, 1) &&
                    StoreDrawingTexts(db, "C:\\\x90\x7d\\", "long.jww", longTexts);
         }, 3, 0, "和室", "a.jww,b.jww"},
        {"nothing changed", [] { return true; }, 0, 0, "特記事項", "long.jww"},
        {"changed and removed", [&] {
             return StoreDrawingTexts(db, "C:\\\x90\x7d\\", "a.jww", {{"洋室"}}) &&
                    db.ExecuteStatement({"DELETE FROM KUMO_DRAWINGTEXT WHERE FNAME = 'b.jww'"}) &&
                    db.ExecuteStatement({"UPDATE KUMO_DRAWINGTEXT SET STATE = 2, STAMP = NEXT VALUE FOR KUMO_DRAWINGTEXT_STAMP WHERE FNAME = 'long.jww'"});
         }, 1, 2, "洋室 OR 特記", "a.jww"},
        {"a row committed late under a lower stamp", [&] {
             return db.ExecuteStatement({"UPDATE KUMO_DRAWINGTEXT SET STATE = 0, STAMP = 1 WHERE FNAME = 'c.jww'"});
         }, 1, 0, "和室", "c.jww"},
    };
    for (const Step& s : steps) {
        QVERIFY2(s.change(), s.what);
        TextSyncCounts counts;
        QCOMPARE(UpdateTextIndex(db, index, escape, &counts), TextSyncEnd::Finished);
        QVERIFY2(counts.read == s.read && counts.removed == s.removed,
                 qPrintable(QString("%1: read %2, removed %3").arg(s.what).arg(counts.read).arg(counts.removed)));
        const auto found = Find(index, s.query);
        QVERIFY(found);
        QVERIFY2(Files(*found) == s.files, qPrintable(QString(s.what) + ": " + Files(*found)));
        for (const TextHit& h : found->hits) QCOMPARE(h.folder, std::string("C:\\\x90\x7d\\"));
    }
    QCOMPARE(db.Transaction(), DatabaseSession::TransactionState::None);
}

QTEST_GUILESS_MAIN(TestFulltext)
#include "test_fulltext.moc"
