// The filter's fold: what a user types finds a name however its width, case and kana
// were typed, and never half a double-byte character.
#include <QtTest>

#include "text/cp932.h"
#include "text/fold.h"

class TestFold : public QObject {
    Q_OBJECT
private slots:
    void foldedMatch_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("found");
        QTest::newRow("ascii case") << "ABC平面図.JWW" << "abc平面図.jww" << true;
        QTest::newRow("full-width letters") << "ＡＢＣ－１" << "abc-1" << true;
        QTest::newRow("typed full-width") << "genba12" << "ＧＥＮＢＡ１２" << true;
        QTest::newRow("full-width blank and signs") << "（株）　Ａ＆Ｂ" << "(株) a&b" << true;
        QTest::newRow("half-width kana") << "ｶﾞｽ配管" << "ガス" << true;
        QTest::newRow("typed half-width kana") << "ガス配管" << "ｶﾞｽ" << true;
        QTest::newRow("semi-voiced") << "ﾊﾟｲﾌﾟ" << "パイプ" << true;
        QTest::newRow("voiced u") << "ｳﾞｨﾗ" << "ヴィラ" << true;
        QTest::newRow("small kana and long vowel") << "ｼｮｯﾌﾟ･ｾﾝﾀｰ" << "ショップ・センター" << true;
        QTest::newRow("hiragana typed") << "ヘイメンズ" << "へいめんず" << true;
        QTest::newRow("hiragana stored") << "みむめも" << "ミムメモ" << true;
        QTest::newRow("voiced stays apart") << "ﾊﾞｽ" << "ハス" << false;
        QTest::newRow("no mark typed") << "ｶ" << "ｶﾞ" << false;
        QTest::newRow("second byte of 表") << "表.jww" << "\\" << false;
        QTest::newRow("second bytes of アイ") << "アイ" << "A" << false;
        QTest::newRow("empty finds all") << "x" << "" << true;
        QTest::newRow("longer than text") << "ab" << "abc" << false;
    }
    void foldedMatch()
    {
        QFETCH(QString, text);
        QFETCH(QString, typed);
        QFETCH(bool, found);
        const std::string stored = FromQ(text).value(), needle = FromQ(typed).value();
        QCOMPARE(FoldedContains(FoldText(stored), FoldText(needle)), found);
    }
};

QTEST_GUILESS_MAIN(TestFold)
#include "test_fold.moc"
