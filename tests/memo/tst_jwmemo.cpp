// The memo reader against the real drawings and against small files written here for
// what no real file shows.
#include <fstream>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "memo/jwmemo.h"
#include "text/cp932.h"

// Memos are bytes: show them as hex when a comparison fails.
namespace QTest {
template <>
char* toString(const std::string& bytes)
{
    return qstrdup(QByteArray::fromStdString(bytes).toHex(' ').constData());
}
} // namespace QTest

namespace {

// "93 fa 0d 0a" -> bytes, as the test data's README lists them.
std::string Hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', "")).toStdString();
}

std::string Utf16Le(std::u16string_view text)
{
    std::string out;
    for (char16_t c : text) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

std::string Le16(unsigned v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF)}; }
std::string Le32(std::uint32_t v) { return Le16(v & 0xFFFF) + Le16(v >> 16); }

// A 32-byte memo field of the old layouts.
std::string Field(const std::string& text) { return (text + std::string(32, '\0')).substr(0, 32); }

std::string OldFile(const char* magic, const std::string& part1, const std::string& part2)
{
    return std::string(magic) + std::string(20, 'x') + Field(part1) + Field(part2);
}
const char* const kJwc = "jw_cad(c)data.......";
const char* const kJwk = "jw_cad(c)sym........";

// A newer drawing whose memo is the given length-prefixed string, then some drawing data.
std::string JwwFile(const std::string& counted) { return "JwwData." + Le32(600) + counted + Hex("03 00 00 00 00"); }

std::string Counted(const std::string& text)
{
    if (text.size() < 255) return static_cast<char>(text.size()) + text;
    return "\xFF" + Le16(static_cast<unsigned>(text.size())) + text;
}

std::string UnicodeCounted(std::u16string_view text)
{
    std::string len = text.size() < 255 ? std::string(1, static_cast<char>(text.size()))
                                         : "\xFF" + Le16(static_cast<unsigned>(text.size()));
    return "\xFF" + Le16(0xFFFE) + len + Utf16Le(text);
}

int OpenDescriptors() { return static_cast<int>(QDir("/proc/self/fd").entryList(QDir::Files | QDir::System).size()); }

} // namespace

class TestJwMemo : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    // CP932 path, as the program stores it, of a name (UTF-8) in the temporary folder.
    std::string PathOf(const QString& name) const
    {
        return FromQ(dir_.path() + "/" + name).value();
    }
    std::string Write(const QString& name, const std::string& bytes) const
    {
        const std::string path = PathOf(name);
        std::ofstream(ToFsName(path), std::ios::binary | std::ios::trunc) << bytes;
        return path;
    }

private slots:
    void realFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("memo");
        QTest::newRow("Test1") << "Test1.jww"
                               << QByteArray::fromStdString(Hex("93 fa 89 65 90 7d 81 40 82 73 82 64 82 72 82 73 97 70 83 66 81 5b 83 5e 0d 0a 81 69 97 a4 89 ae 8d aa 81 6a"));
        QTest::newRow("Test2") << "Test2.jww"
                               << QByteArray::fromStdString(Hex("93 fa 89 65 90 7d 81 40 82 73 82 64 82 72 82 73 97 70 83 66 81 5b 83 5e 0d 0a 81 69 90 d8 8d c8 89 ae 8d aa 81 6a"));
        QTest::newRow("sample") << QString::fromUtf8("サンプル.jww")
                                << QByteArray::fromStdString(Hex("8e 96 96 b1 8f 8a 8a ee 8f 80 8a 4b 95 bd 96 ca 90 7d 0d 0a"));
        QTest::newRow("site") << QString::fromUtf8("敷地図.jww") << QByteArray::fromStdString(Hex("95 7e 92 6e 90 7d 0d 0a"));
        QTest::newRow("unicode empty") << "non_block.jww" << QByteArray();
    }
    void realFiles()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, memo);
        const std::string path = FromQ(QStringLiteral(KUMO_TESTDATA "/jww/") + name).value();
        QCOMPARE(QByteArray::fromStdString(ReadJwMemo(path)), memo);
        std::string direct = "junk";
        QVERIFY(ReadJwwMemo(path, direct));
        QCOMPARE(QByteArray::fromStdString(direct), memo);
    }

    void oldLayouts()
    {
        struct Case {
            const char* what;
            std::string part1, part2, memo;
        };
        const Case cases[] = {
            {"both empty", "", "", " "},
            {"full, no zero byte", std::string(32, 'A'), std::string(32, 'B'), std::string(32, 'A') + " " + std::string(32, 'B')},
            {"partly filled, text after the zero ignored", std::string("abc\0xyz", 7), "d", "abc d"},
            {"cleaned", "a'b\"c\td\r\n", "\x95\x5C\x8E\xA6", "abcd \x95\x5C\x8E\xA6"},   // 表示 stays whole
            {"lone lead byte at the field's end", std::string(31, 'a') + "\x95", "", std::string(31, 'a') + " "},
        };
        for (const Case& c : cases) {
            std::string memo;
            QVERIFY2(ReadJwcMemo(Write("plan.jwc", OldFile(kJwc, c.part1, c.part2)), memo), c.what);
            QCOMPARE(memo, c.memo);
            QVERIFY2(ReadJwkMemo(Write("sym.jwk", OldFile(kJwk, c.part1, c.part2)), memo), c.what);
            QCOMPARE(memo, c.memo);
            QCOMPARE(ReadJwMemo(Write("PLAN.JWC", OldFile(kJwc, c.part1, c.part2))), c.memo);
            QCOMPARE(ReadJwMemo(Write("sym.Jwk", OldFile(kJwk, c.part1, c.part2))), c.memo);
        }

        // Each reader wants its own magic, letter case included.
        std::string memo = "junk";
        QVERIFY(!ReadJwcMemo(Write("a.jwc", OldFile(kJwk, "m", "")), memo));
        QCOMPARE(memo, "");
        QVERIFY(!ReadJwkMemo(Write("a.jwk", OldFile(kJwc, "m", "")), memo));
        QVERIFY(!ReadJwcMemo(Write("a.jwc", OldFile("JW_CAD(c)data.......", "m", "")), memo));
        QVERIFY(!ReadJwcMemo(Write("a.jwc", OldFile("jw_cad(c)data......\0", "m", "")), memo));
        QCOMPARE(ReadJwMemo(Write("a.jwk", OldFile(kJwc, "m", ""))), "");
    }

    // Every cut, in the magic, the unused bytes and either part, gives false and no memo.
    void cutShort()
    {
        for (const char* magic : {kJwc, kJwk}) {
            const std::string whole = OldFile(magic, std::string(32, 'A'), std::string(32, 'B'));
            for (size_t size : {size_t(0), size_t(5), size_t(20), size_t(39), size_t(40), size_t(71), size_t(72), whole.size() - 1}) {
                const std::string path = Write("cut.jwc", whole.substr(0, size));
                std::string memo = "junk";
                QVERIFY(!(magic == kJwc ? ReadJwcMemo(path, memo) : ReadJwkMemo(path, memo)));
                QCOMPARE(memo, "");
            }
        }
        const std::string forms[] = {
            JwwFile(Counted("memo")),
            JwwFile(Counted(std::string(300, 'm'))),
            JwwFile("\xFF" + Le16(0xFFFF) + Le32(5) + "hello"),
            JwwFile(UnicodeCounted(u"図面")),
            JwwFile(UnicodeCounted(std::u16string(300, u'図'))),
        };
        for (const std::string& whole : forms) {
            const size_t end = whole.size() - 5;   // without the drawing data after the memo
            for (size_t size = 0; size < end; ++size) {
                const std::string path = Write("cut.jww", whole.substr(0, size));
                std::string memo = "junk";
                QVERIFY2(!ReadJwwMemo(path, memo), QByteArray::number(qulonglong(size)));
                QCOMPARE(memo, "");
                QCOMPARE(ReadJwMemo(path), "");
            }
            std::string memo;
            QVERIFY(ReadJwwMemo(Write("whole.jww", whole.substr(0, end)), memo));
        }
    }

    void plainLengthForms()
    {
        std::string memo = "junk";
        QVERIFY(ReadJwwMemo(Write("empty.jww", JwwFile(Counted(""))), memo));
        QCOMPARE(memo, "");

        // Stored bytes come back as they are; callers clean them.
        const std::string raw("a\0'b\r\n\x95\x5C", 8);
        QCOMPARE(ReadJwMemo(Write("raw.jww", JwwFile(Counted(raw)))), raw);

        std::string text300;
        for (int i = 0; i < 300; ++i) text300 += static_cast<char>('a' + i % 26);
        QCOMPARE(Counted(text300).substr(0, 3), Hex("ff 2c 01"));
        QCOMPARE(ReadJwMemo(Write("long.jww", JwwFile(Counted(text300)))), text300);
        QCOMPARE(ReadJwMemo(Write("max254.jww", JwwFile(Counted(std::string(254, 'q'))))), std::string(254, 'q'));

        // 0xFF 0xFFFF then a 32-bit length.
        QCOMPARE(ReadJwMemo(Write("d32.jww", JwwFile("\xFF" + Le16(0xFFFF) + Le32(5) + "hello"))), "hello");
        const std::string big(kMaxMemoRead, 'z');
        QCOMPARE(ReadJwMemo(Write("d32max.jww", JwwFile("\xFF" + Le16(0xFFFF) + Le32(kMaxMemoRead) + big))), big);
        // A length past the end of the file, however large, is a short read.
        QVERIFY(!ReadJwwMemo(Write("d32past.jww", "JwwData." + Le32(600) + "\xFF" + Le16(0xFFFF) + Le32(6) + "hello"), memo));
        QVERIFY(!ReadJwwMemo(Write("d32huge.jww", JwwFile("\xFF" + Le16(0xFFFF) + Le32(0xFFFFFFFF) + "hello")), memo));
        QCOMPARE(memo, "");

        // The plain 65 535-byte text that 0xFF 0xFFFF has always meant still reads, when
        // its first bytes are no 32-bit length of a memo.
        const std::string legacy(0xFFFF, 'L');
        QCOMPARE(ReadJwMemo(Write("legacy.jww", JwwFile("\xFF" + Le16(0xFFFF) + legacy))), legacy);
        const std::string pastCap = Le32(kMaxMemoRead + 1) + std::string(0xFFFF - 4, 'L');
        QCOMPARE(ReadJwMemo(Write("legacy2.jww", JwwFile("\xFF" + Le16(0xFFFF) + pastCap + std::string(10, 'x')))), pastCap);
    }

    void unicodeForm()
    {
        // 日影図 CR LF （陸屋根）
        const std::string expected = Hex("93 fa 89 65 90 7d 0d 0a 81 69 97 a4 89 ae 8d aa 81 6a");
        std::string memo;
        QVERIFY(ReadJwwMemo(Write("u.jww", JwwFile(UnicodeCounted(u"日影図\r\n（陸屋根）"))), memo));
        QCOMPARE(memo, expected);

        // Characters CP932 cannot hold become "?": Hangul, a pair of surrogates, a lone one.
        QCOMPARE(ReadJwMemo(Write("u2.jww", JwwFile(UnicodeCounted(u"a한b\U0001F600c\xD800" u"d")))), "a?b?c?d");

        QCOMPARE(ReadJwMemo(Write("u3.jww", JwwFile(UnicodeCounted(u"")))), "");

        // 16-bit and 32-bit lengths of code units.
        const std::u16string many(300, u'図');
        std::string many932;
        for (int i = 0; i < 300; ++i) many932 += "\x90\x7d";
        QCOMPARE(ReadJwMemo(Write("u4.jww", JwwFile(UnicodeCounted(many)))), many932);
        QCOMPARE(ReadJwMemo(Write("u5.jww", JwwFile("\xFF" + Le16(0xFFFE) + "\xFF" + Le16(0xFFFF) + Le32(3) + Utf16Le(u"abc")))), "abc");

        // A length past the end of the file, and one too long for a memo.
        QVERIFY(!ReadJwwMemo(Write("u6.jww", "JwwData." + Le32(700) + "\xFF" + Le16(0xFFFE) + "\x03" + Utf16Le(u"ab")), memo));
        QCOMPARE(memo, "");
        const std::uint32_t tooMany = kMaxMemoRead / 2 + 1;
        QVERIFY(!ReadJwwMemo(Write("u7.jww", JwwFile("\xFF" + Le16(0xFFFE) + "\xFF" + Le16(0xFFFF) + Le32(tooMany) +
                                                     Utf16Le(std::u16string(tooMany, u'a')))),
                             memo));
    }

    // The counted string takes exactly its own bytes, so a second one follows it.
    void countedStringsInARow()
    {
        const std::string bytes = Counted("one") + Counted(std::string(300, 't')) + UnicodeCounted(u"二") +
                                  "\xFF" + Le16(0xFFFF) + Le32(4) + "four" + Counted("");
        const std::string path = Write("row.bin", bytes);
        MemoFile file(path);
        QVERIFY(file.IsOpen());
        QCOMPARE(ReadCountedString(file), "one");
        QCOMPARE(ReadCountedString(file), std::string(300, 't'));
        QCOMPARE(ReadCountedString(file), "\x93\xf1");   // 二
        QCOMPARE(ReadCountedString(file), "four");
        QCOMPARE(ReadCountedString(file), "");
        QCOMPARE(file.Remaining(), 0u);
        QVERIFY_THROWS_EXCEPTION(MemoReadError, ReadCountedString(file));
    }

    void choiceByExtension()
    {
        const std::string jww = JwwFile(Counted("newer"));
        const std::string jwc = OldFile(kJwc, "old", "drawing");
        const std::string jwk = OldFile(kJwk, "old", "symbol");

        QCOMPARE(ReadJwMemo(Write("a.JW$", jww)), "newer");
        QCOMPARE(ReadJwMemo(Write("a.jw$", jww)), "newer");
        // Backups: the old drawing first, then the newer one; never the symbol.
        for (const char* name : {"a.BAK", "a.bak", "plan.bk3", "plan.BK", "plan.bkup"}) {
            QCOMPARE(ReadJwMemo(Write(name, jww)), "newer");
            QCOMPARE(ReadJwMemo(Write(name, jwc)), "old drawing");
            QCOMPARE(ReadJwMemo(Write(name, jwk)), "");
        }
        // Nothing is read for other extensions or for none.
        for (const char* name : {"a.JWS", "a.jws", "plain", "a.jw", "a.b", "a.", "a.jww.txt", "a.bk3.jws"}) {
            QCOMPARE(ReadJwMemo(Write(name, jww)), "");
            QCOMPARE(ReadJwMemo(Write(name, jwc)), "");
        }
        // Only the newer layout for .jww.
        QCOMPARE(ReadJwMemo(Write("old.jww", jwc)), "");
        QCOMPARE(ReadJwMemo(Write("old.jwc", jww)), "");

        // The extension is the name's, never a folder's.
        QVERIFY(QDir(dir_.path()).mkpath("a.jww"));
        QCOMPARE(ReadJwMemo(Write("a.jww/plan", jww)), "");
        QCOMPARE(ReadJwMemo(PathOf("a.jww")), "");
        QCOMPARE(ReadJwMemo(Write("a.jww/plan.jww", jww)), "newer");
    }

    // The program stores CP932 paths; the file system names them in UTF-8.
    void japaneseNames()
    {
        QVERIFY(QDir(dir_.path()).mkpath(QString::fromUtf8("図面フォルダ")));
        const std::string path = Write(QString::fromUtf8("図面フォルダ/表示.jww"), JwwFile(Counted("m")));
        QCOMPARE(path.substr(path.size() - 8), "\x95\x5c\x8e\xa6.jww");   // 表示: the second byte is a backslash
        QCOMPARE(ReadJwMemo(path), "m");
        QCOMPARE(ReadJwMemo(Write(QString::fromUtf8("旧図面.JWC"), OldFile(kJwc, "x", "y"))), "x y");
    }

    void unreadableFiles()
    {
        std::string memo = "junk";
        QVERIFY(!ReadJwwMemo(PathOf("missing.jww"), memo));
        QCOMPARE(memo, "");
        QCOMPARE(ReadJwMemo(PathOf("missing.jwc")), "");
        QCOMPARE(ReadJwMemo(""), "");
        // A zero byte in the path must not open the file named by the part before it.
        const std::string real = Write("zero.jww", JwwFile(Counted("m")));
        QVERIFY(!ReadJwwMemo(real + std::string("\0x.jww", 6), memo));
        // A FIFO under a drawing's name must not hang the reader.
        const std::string fifo = PathOf("pipe.jww");
        QCOMPARE(::mkfifo(ToFsName(fifo).c_str(), 0600), 0);
        QCOMPARE(ReadJwMemo(fifo), "");
        // No read permission.
        const std::string locked = Write("noaccess.jww", JwwFile(Counted("m")));
        ::chmod(ToFsName(locked).c_str(), 0);
        if (::geteuid() != 0) QCOMPARE(ReadJwMemo(locked), "");
    }

    // Another program writing the drawing, even holding a lock on it, does not keep the
    // memo from being read; and no reader leaves a file open, whatever its outcome.
    void sharingAndClosing()
    {
        const std::string path = Write("busy.jww", JwwFile(Counted("busy")));
        const int writer = ::open(ToFsName(path).c_str(), O_WRONLY | O_APPEND);
        QVERIFY(writer >= 0);
        QCOMPARE(::flock(writer, LOCK_EX), 0);
        QCOMPARE(ReadJwMemo(path), "busy");
        ::close(writer);

        const std::string files[] = {
            path,
            Write("c.jwc", OldFile(kJwc, "a", "b")),
            Write("cut.jwc", OldFile(kJwc, "a", "b").substr(0, 50)),
            Write("u.jww", JwwFile(UnicodeCounted(u"図"))),
            Write("cut.bak", "JwwData." + Le32(700) + "\x09" "abc"),
        };
        const int before = OpenDescriptors();
        for (int i = 0; i < 20; ++i)
            for (const std::string& f : files) ReadJwMemo(f);
        QCOMPARE(OpenDescriptors(), before);
    }
};

QTEST_GUILESS_MAIN(TestJwMemo)
#include "tst_jwmemo.moc"
