#include "platform/richtext/RtfReader.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

using namespace pantrio;

namespace {

QTextDocument* load(QTextDocument& doc, const QByteArray& rtf)
{
    RtfReader::read(rtf, doc);
    return &doc;
}

// Blocks joined by '\n'; unlike toPlainText() this keeps line separators and no-break spaces.
QString textOf(const QTextDocument& doc)
{
    QStringList blocks;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        blocks << b.text();
    return blocks.join(QLatin1Char('\n'));
}

// The format of the fragment holding `needle`; fails the test when no single fragment holds it.
bool formatOf(const QTextDocument& doc, const QString& needle, QTextCharFormat& out)
{
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            if (it.fragment().text().contains(needle)) {
                out = it.fragment().charFormat();
                return true;
            }
        }
    }
    return false;
}

QByteArray rtf(const char* body)
{
    return QByteArray("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\froman Times New Roman;}}"
                      "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green128\\blue0;}")
        + body + '}';
}

} // namespace

class TestRtfReader : public QObject
{
    Q_OBJECT
private slots:
    void text_data();
    void text();
    void encodings_data();
    void encodings();
    void skippedDestinations_data();
    void skippedDestinations();
    void damaged_data();
    void damaged();
    void characterFormat_data();
    void characterFormat();
    void fontTable();
    void symbolFontKeepsDefaultFamily();
    void paragraphFormat_data();
    void paragraphFormat();
    void lineSpacing();
    void hangingIndentGetsTabStop();
    void emptyParagraphKeepsFontSize();
    void replacesPreviousContent();
    void millionNestedGroups();
    void readFile();
    void introDocument();
};

void TestRtfReader::text_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("one paragraph") << rtf("Hello") << "Hello";
    QTest::newRow("par ends paragraph") << rtf("One\\par Two") << "One\nTwo";
    QTest::newRow("final par adds no empty block") << rtf("One\\par Two\\par") << "One\nTwo";
    QTest::newRow("empty paragraph kept") << rtf("One\\par\\par Two\\par") << "One\n\nTwo";
    QTest::newRow("raw line breaks ignored") << rtf("One\r\ntwo\nthree") << "Onetwothree";
    QTest::newRow("delimiting space eaten, second kept") << rtf("\\b  x") << " x";
    QTest::newRow("digit delimits parameter") << rtf("\\fs20x") << "x";
    QTest::newRow("line is a soft break") << rtf("a\\line b") << "a\u2028b";
    QTest::newRow("tab") << rtf("a\\tab b") << "a\tb";
    QTest::newRow("cell reads as tab, row as paragraph") << rtf("a\\cell b\\cell\\row c") << "a\tb\t\nc";
    QTest::newRow("quotes") << rtf("\\lquote a\\rquote  \\ldblquote b\\rdblquote") << "\u2018a\u2019 \u201Cb\u201D";
    QTest::newRow("dashes and bullet") << rtf("\\emdash\\endash\\bullet") << "\u2014\u2013\u2022";
    QTest::newRow("no-break space, soft and hard hyphen") << rtf("a\\~b\\-c\\_d") << "a\u00A0b\u00ADc\u2011d";
    QTest::newRow("escaped specials") << rtf("\\{x\\} \\\\") << "{x} \\";
    QTest::newRow("backslash-newline is par") << rtf("a\\\nb") << "a\nb";
    QTest::newRow("hidden text dropped") << rtf("a{\\v secret}b\\v  gone\\v0 c") << "abc";
    QTest::newRow("plain ends hidden") << rtf("\\v x\\plain y") << "y";
    QTest::newRow("unknown words ignored") << rtf("\\nosuchword a\\zz99 b") << "ab";
    QTest::newRow("field result kept, instruction dropped")
        << rtf("{\\field{\\*\\fldinst{HYPERLINK \"http://x\"}}{\\fldrslt{\\ul link}}}.") << "link.";
    QTest::newRow("field instruction without star") << rtf("{\\field{\\fldinst PAGE}{\\fldrslt 7}}") << "7";
    QTest::newRow("pntext shown once, pn template not")
        << rtf("{\\pntext\\f1\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf1{\\pntxtb\\'B7}}item") << "\u00B7\titem";
    QTest::newRow("pn group without star still skipped") << rtf("{\\pntext 1.\\tab}{\\pn\\pndec{\\pntxta .}}item")
                                                         << "1.\titem";
    QTest::newRow("listtext shown once") << rtf("{\\listtext\\pard\\plain \\u8226\\'95\\tab}item") << "\u2022\titem";
    QTest::newRow("upr shows the unicode version")
        << rtf("{\\upr{ansi}{\\*\\ud{uni \\u8364?}}}") << "uni \u20AC";
    QTest::newRow("text after the document is ignored") << QByteArray("{\\rtf1 in} out") << "in";
    QTest::newRow("leading white space allowed") << QByteArray("\r\n {\\rtf1 x}") << "x";
}

void TestRtfReader::text()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, expected);
    QTextDocument doc;
    load(doc, input);
    QCOMPARE(textOf(doc), expected);
}

void TestRtfReader::encodings_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("1252 by default") << rtf("caf\\'e9 \\'80 \\'93q\\'94") << "caf\u00E9 \u20AC \u201Cq\u201D";
    QTest::newRow("raw 8-bit byte") << QByteArray("{\\rtf1 caf\xe9}") << "caf\u00E9";
    QTest::newRow("ansicpg 1250") << QByteArray("{\\rtf1\\ansi\\ansicpg1250 \\'8a\\'e8\\'f8\\'b9}") << "\u0160\u010D\u0159\u0105";
    QTest::newRow("ansicpg 1251") << QByteArray("{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2}")
                                  << "\u041F\u0440\u0438\u0432\u0435\u0442";
    QTest::newRow("unknown code page reads as 1252") << QByteArray("{\\rtf1\\ansicpg437 \\'e9}") << "\u00E9";
    QTest::newRow("upper-case hex") << QByteArray("{\\rtf1 \\'E9\\'C9}") << "\u00E9\u00C9";
    QTest::newRow("fcharset 238 beats ansicpg")
        << QByteArray("{\\rtf1\\ansicpg1252{\\fonttbl{\\f0\\fcharset238 Arial CE;}}\\f0 \\'e8}") << "\u010D";
    QTest::newRow("fcharset 204")
        << QByteArray("{\\rtf1{\\fonttbl{\\f0\\fcharset0 A;}{\\f1\\fcharset204 B;}}\\f1 \\'e0{\\f0 \\'e0}}") << "\u0430\u00E0";
    QTest::newRow("fcharset 0 beats ansicpg 1251")
        << QByteArray("{\\rtf1\\ansicpg1251{\\fonttbl{\\f0\\fcharset0 A;}}\\f0 \\'e0}") << "\u00E0";
    QTest::newRow("fcharset 1 defers to ansicpg")
        << QByteArray("{\\rtf1\\ansicpg1250{\\fonttbl{\\f0\\fcharset1 A;}}\\f0 \\'e8}") << "\u010D";
    QTest::newRow("default font's charset")
        << QByteArray("{\\rtf1\\deff3{\\fonttbl{\\f3\\fcharset204 A;}}\\'e0}") << "\u0430";
    QTest::newRow("symbol bullet") << QByteArray("{\\rtf1{\\fonttbl{\\f1\\fcharset2 Symbol;}}{\\f1 \\'b7}}") << "\u2022";
    QTest::newRow("symbol bullet as private use unicode")
        << QByteArray("{\\rtf1{\\fonttbl{\\f1\\fcharset2 Symbol;}}{\\f1 \\u-3913\\'b7}}") << "\u2022";
    QTest::newRow("wingdings square") << QByteArray("{\\rtf1{\\fonttbl{\\f2\\fcharset2 Wingdings;}}{\\f2 \\'a7}}") << "\u25AA";
    QTest::newRow("b7 outside symbol font") << QByteArray("{\\rtf1 \\'b7}") << "\u00B7";
    QTest::newRow("undefined byte dropped") << QByteArray("{\\rtf1 a\\'81b}") << "ab";
    QTest::newRow("bad hex dropped") << QByteArray("{\\rtf1 a\\'zzb\\'4}") << "azzb";

    QTest::newRow("u skips one fallback char") << QByteArray("{\\rtf1 \\u945?b}") << "\u03B1b";
    QTest::newRow("u fallback as hex escape") << QByteArray("{\\rtf1 \\u233\\'e9b}") << "\u00E9b";
    QTest::newRow("uc0 skips nothing") << QByteArray("{\\rtf1\\uc0 \\u945 b}") << "\u03B1b";
    QTest::newRow("uc2 counts escapes as one") << QByteArray("{\\rtf1\\uc2 \\u8364\\'80\\'80b}") << "\u20ACb";
    QTest::newRow("uc2 counts control words") << QByteArray("{\\rtf1\\uc2 \\u8364\\bullet xb}") << "\u20ACb";
    QTest::newRow("negative u") << QByteArray("{\\rtf1 \\u-3913?}") << "\uF0B7";
    QTest::newRow("surrogate pair") << QByteArray("{\\rtf1 \\u-10179?\\u-8704?}") << "\U0001F600";
    QTest::newRow("lone surrogate replaced") << QByteArray("{\\rtf1 \\u-10179?x}") << "\uFFFDx";
    QTest::newRow("out of range u replaced") << QByteArray("{\\rtf1 \\u70000?x}") << "\uFFFDx";
    QTest::newRow("uc restored at group end") << QByteArray("{\\rtf1 {\\uc0 \\u945 }\\u946?x}") << "\u03B1\u03B2x";
    QTest::newRow("group end stops fallback skip") << QByteArray("{\\rtf1\\uc3 {\\u945 a}bc}") << "\u03B1bc";
    QTest::newRow("u in font name")
        << QByteArray("{\\rtf1{\\fonttbl{\\f0 \\u1040?rial;}}\\f0 x}") << "x";
}

void TestRtfReader::encodings()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, expected);
    QTextDocument doc;
    load(doc, input);
    QCOMPARE(textOf(doc), expected);
}

void TestRtfReader::skippedDestinations_data()
{
    QTest::addColumn<QByteArray>("input");

    // Each must read as "AB": nothing of the group between may leak.
    const char* groups[] = {
        "{\\fonttbl{\\f5 Leak;}}",
        "{\\colortbl;\\red1\\green2\\blue3;}",
        "{\\stylesheet{\\s0 Normal;}{\\s1 Heading 1;}}",
        "{\\info{\\title Leak}{\\author Leak}}",
        "{\\pict\\pngblip 89504e47}",
        "{\\*\\shppict{\\pict 00ff}}",
        "{\\nonshppict{\\pict 00ff}}",
        "{\\object{\\*\\objdata 0105}{\\result Leak}}",
        "{\\*\\themedata 504b0304}",
        "{\\*\\colorschememapping 3c3f}",
        "{\\*\\latentstyles{\\lsdlockedexcept Normal;}}",
        "{\\*\\datastore 0105}",
        "{\\*\\xmlnstbl{\\xmlns1 http://x}}",
        "{\\*\\listtable{\\list{\\listlevel{\\leveltext\\'01\\u-3913 ?;}}}}",
        "{\\*\\listoverridetable{\\listoverride\\ls1}}",
        "{\\*\\rsidtbl \\rsid1}",
        "{\\*\\generator Riched20 10.0;}",
        "{\\header Leak}",
        "{\\footer Leak}",
        "{\\headerl Leak}",
        "{\\footerf Leak}",
        "{\\footnote Leak}",
        "{\\*\\bkmkstart Leak}",
        "{\\*\\unknowndestination Leak}",
        "{\\*\\pn\\pnlvlblt{\\pntxtb Leak}}",
        "{\\*\\fldinst Leak}",
        "{\\*\\ud{}}{\\upr{Leak}{\\*\\ud{}}}",
        "{\\*\\pict{\\b Leak}}",
        "{\\pict\\bin4 {}}}}",
    };
    for (const char* g : groups)
        QTest::newRow(g) << (QByteArray("{\\rtf1\\ansi A") + g + "B}");
}

void TestRtfReader::skippedDestinations()
{
    QFETCH(QByteArray, input);
    QTextDocument doc;
    load(doc, input);
    QCOMPARE(textOf(doc), QStringLiteral("AB"));
}

void TestRtfReader::damaged_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty input") << QByteArray() << "";
    QTest::newRow("not rtf") << QByteArray("Just text") << "";
    QTest::newRow("binary junk") << QByteArray("\x00\xff\x7b\x5c", 4) << "";
    QTest::newRow("header only") << QByteArray("{\\rtf") << "";
    QTest::newRow("truncated inside text") << QByteArray("{\\rtf1 Hello\\par Wor") << "Hello\nWor";
    QTest::newRow("truncated inside font table") << QByteArray("{\\rtf1{\\fonttbl{\\f0 Ari") << "";
    QTest::newRow("truncated after backslash") << QByteArray("{\\rtf1 a\\") << "a";
    QTest::newRow("truncated in parameter") << QByteArray("{\\rtf1 a\\fs2") << "a";
    QTest::newRow("truncated after minus") << QByteArray("{\\rtf1 a\\li-") << "a-";
    QTest::newRow("truncated after u") << QByteArray("{\\rtf1 a\\u945") << "a\u03B1";
    QTest::newRow("unclosed groups") << QByteArray("{\\rtf1 a{\\b b{\\i c") << "abc";
    QTest::newRow("extra closing brace ends") << QByteArray("{\\rtf1 a}}b") << "a";
    QTest::newRow("nul bytes dropped") << QByteArray("{\\rtf1 a\x00" "b}", 11) << "ab";
    QTest::newRow("control characters dropped") << QByteArray("{\\rtf1 a\x01\x1f\x7f" "b}") << "ab";
    QTest::newRow("frame markers from u dropped") << QByteArray("{\\rtf1 a\\u-560?\\u-559?\\u-4?b}") << "ab";
    QTest::newRow("paragraph separator from u is soft") << QByteArray("{\\rtf1 a\\u8233?b}") << "a\u2028b";
    QTest::newRow("huge parameter") << QByteArray("{\\rtf1\\fs999999999999999999999 \\li-99999999999999999999 a}") << "a";
    QTest::newRow("huge uc") << QByteArray("{\\rtf1\\uc99999999999999 \\u945 abcdefghijklmnopqrstu}") << "\u03B1qrstu";
    QTest::newRow("huge bin") << QByteArray("{\\rtf1 a\\bin99999999999999 bc}") << "a";
    QTest::newRow("negative bin") << QByteArray("{\\rtf1 a\\bin-5 bc}") << "abc";
    QTest::newRow("bin hides braces") << QByteArray("{\\rtf1 a\\bin3 }}}b}") << "ab";
    QTest::newRow("long control word") << (QByteArray("{\\rtf1 a\\") + QByteArray(5000, 'x') + " b}") << "ab";
    QTest::newRow("lone star") << QByteArray("{\\rtf1 a\\*b}") << "ab";
    QTest::newRow("star before group") << QByteArray("{\\rtf1 a{\\*{x}}b}") << "axb";
    QTest::newRow("colour index out of range") << QByteArray("{\\rtf1\\cf99\\highlight-3 a}") << "a";
    QTest::newRow("font table without groups") << QByteArray("{\\rtf1{\\fonttbl\\f0 A;\\f1 B;}x}") << "x";
    // Found by the fuzzer: Qt shrinks sub- and superscript by a third, to nothing below 2 pt.
    QTest::newRow("tiny superscript") << QByteArray("{\\rtf1\\fs1\\super x\\sub y}") << "xy";
}

void TestRtfReader::damaged()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, expected);
    // The result must be a document Qt can lay out without complaint.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("QFont|QTextDocument|QTextCursor")));
    QTextDocument doc;
    load(doc, input);
    QCOMPARE(textOf(doc), expected);
    QVERIFY(doc.size().height() >= 0);
}

void TestRtfReader::characterFormat_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("fragment");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");
    QTest::addColumn<bool>("underline");
    QTest::addColumn<double>("points");
    QTest::addColumn<QColor>("foreground"); // invalid: none set
    QTest::addColumn<QColor>("background");

    const QColor none;
    const QColor red(255, 0, 0);
    const QColor green(0, 128, 0);
    QTest::newRow("defaults") << rtf("x") << "x" << false << false << false << 12.0 << none << none;
    QTest::newRow("bold") << rtf("\\b x") << "x" << true << false << false << 12.0 << none << none;
    QTest::newRow("bold off with b0") << rtf("\\b a\\b0 x") << "x" << false << false << false << 12.0 << none << none;
    QTest::newRow("b1 is on") << rtf("\\b1 x") << "x" << true << false << false << 12.0 << none << none;
    QTest::newRow("italic") << rtf("\\i x") << "x" << false << true << false << 12.0 << none << none;
    QTest::newRow("underline") << rtf("\\ul x") << "x" << false << false << true << 12.0 << none << none;
    QTest::newRow("double underline") << rtf("\\uldb x") << "x" << false << false << true << 12.0 << none << none;
    QTest::newRow("ulnone") << rtf("\\ul a\\ulnone x") << "x" << false << false << false << 12.0 << none << none;
    QTest::newRow("ul0") << rtf("\\ul a\\ul0 x") << "x" << false << false << false << 12.0 << none << none;
    QTest::newRow("group scopes bold") << rtf("{\\b a}x") << "x" << false << false << false << 12.0 << none << none;
    QTest::newRow("inner group inherits") << rtf("\\b\\i {\\ul x}") << "x" << true << true << true << 12.0 << none << none;
    QTest::newRow("inner group turns off") << rtf("\\b {\\b0 x}y") << "x" << false << false << false << 12.0 << none << none;
    QTest::newRow("outer restored") << rtf("\\b {\\b0 x}y") << "y" << true << false << false << 12.0 << none << none;
    QTest::newRow("plain resets") << rtf("\\b\\i\\ul\\fs40\\cf1 a\\plain x") << "x" << false << false << false << 12.0 << none << none;
    QTest::newRow("half points") << rtf("\\fs21 x") << "x" << false << false << false << 10.5 << none << none;
    QTest::newRow("fs without value is 12 pt") << rtf("\\fs40 a\\fs x") << "x" << false << false << false << 12.0 << none << none;
    QTest::newRow("huge size clamped") << rtf("\\fs99999999 x") << "x" << false << false << false << 1638.0 << none << none;
    QTest::newRow("tiny size clamped") << rtf("\\fs1 x") << "x" << false << false << false << 2.0 << none << none;
    QTest::newRow("colour") << rtf("\\cf1 x") << "x" << false << false << false << 12.0 << red << none;
    QTest::newRow("cf0 is automatic") << rtf("\\cf1 a\\cf0 x") << "x" << false << false << false << 12.0 << none << none;
    QTest::newRow("colour out of table") << rtf("\\cf7 x") << "x" << false << false << false << 12.0 << none << none;
    QTest::newRow("highlight") << rtf("\\highlight2 x") << "x" << false << false << false << 12.0 << none << green;
    QTest::newRow("cb") << rtf("\\cb1 x") << "x" << false << false << false << 12.0 << none << red;
    QTest::newRow("colour scoped") << rtf("{\\cf2 a}x") << "x" << false << false << false << 12.0 << none << none;
    QTest::newRow("properties survive pard") << rtf("\\b\\fs30 a\\par\\pard x") << "x" << true << false << false << 15.0 << none << none;
}

void TestRtfReader::characterFormat()
{
    QFETCH(QByteArray, input);
    QFETCH(QString, fragment);
    QFETCH(bool, bold);
    QFETCH(bool, italic);
    QFETCH(bool, underline);
    QFETCH(double, points);
    QFETCH(QColor, foreground);
    QFETCH(QColor, background);

    QTextDocument doc;
    load(doc, input);
    QTextCharFormat f;
    QVERIFY2(formatOf(doc, fragment, f), qPrintable(textOf(doc)));
    QCOMPARE(f.fontWeight() >= QFont::Bold, bold);
    QCOMPARE(f.fontItalic(), italic);
    QCOMPARE(f.fontUnderline(), underline);
    QCOMPARE(f.fontPointSize(), points);
    QCOMPARE(f.hasProperty(QTextFormat::ForegroundBrush), foreground.isValid());
    if (foreground.isValid())
        QCOMPARE(f.foreground().color(), foreground);
    QCOMPARE(f.hasProperty(QTextFormat::BackgroundBrush), background.isValid());
    if (background.isValid())
        QCOMPARE(f.background().color(), background);
}

void TestRtfReader::fontTable()
{
    QTextDocument doc;
    load(doc, QByteArray("{\\rtf1\\deff1{\\fonttbl{\\f0\\froman Times New Roman;}{\\f1\\fswiss Arial{\\*\\falt Helv};}"
                         "{\\f2\\fmodern Courier New}}"
                         "d\\f0 t\\f2 c\\plain p{\\f9 u}\\strike s\\strike0\\super e\\nosupersub\\sub b}"));
    QTextCharFormat f;
    QVERIFY(formatOf(doc, QStringLiteral("d"), f));
    QCOMPARE(f.fontFamilies().toStringList(), QStringList{"Arial"});
    QCOMPARE(f.fontStyleHint(), QFont::SansSerif);
    QVERIFY(formatOf(doc, QStringLiteral("t"), f));
    QCOMPARE(f.fontFamilies().toStringList(), QStringList{"Times New Roman"});
    QCOMPARE(f.fontStyleHint(), QFont::Serif);
    QVERIFY(formatOf(doc, QStringLiteral("c"), f)); // name closed by the group, not by ';'
    QCOMPARE(f.fontFamilies().toStringList(), QStringList{"Courier New"});
    QCOMPARE(f.fontStyleHint(), QFont::TypeWriter);
    QVERIFY(formatOf(doc, QStringLiteral("p"), f)); // \plain returns to \deff
    QCOMPARE(f.fontFamilies().toStringList(), QStringList{"Arial"});
    QVERIFY(formatOf(doc, QStringLiteral("u"), f)); // not in the table: no family
    QVERIFY(!f.hasProperty(QTextFormat::FontFamilies));
    QVERIFY(formatOf(doc, QStringLiteral("s"), f));
    QVERIFY(f.fontStrikeOut());
    QVERIFY(formatOf(doc, QStringLiteral("e"), f));
    QCOMPARE(f.verticalAlignment(), QTextCharFormat::AlignSuperScript);
    QVERIFY(!f.fontStrikeOut());
    QVERIFY(formatOf(doc, QStringLiteral("b"), f));
    QCOMPARE(f.verticalAlignment(), QTextCharFormat::AlignSubScript);
}

void TestRtfReader::symbolFontKeepsDefaultFamily()
{
    // The bullet is mapped to Unicode, so it must not ask for the Symbol font's own encoding.
    QTextDocument doc;
    load(doc, QByteArray("{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset2 Symbol;}}{\\f1 \\'b7}x}"));
    QTextCharFormat f;
    QVERIFY(formatOf(doc, QStringLiteral("\u2022"), f));
    QVERIFY(!f.hasProperty(QTextFormat::FontFamilies));
    QVERIFY(formatOf(doc, QStringLiteral("x"), f));
    QCOMPARE(f.fontFamilies().toStringList(), QStringList{"Arial"});
}

void TestRtfReader::paragraphFormat_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("block");
    QTest::addColumn<int>("alignment");
    QTest::addColumn<double>("left"); // pixels: twips / 15
    QTest::addColumn<double>("right");
    QTest::addColumn<double>("indent");
    QTest::addColumn<double>("top");
    QTest::addColumn<double>("bottom");

    const int l = Qt::AlignLeft, c = Qt::AlignHCenter, r = Qt::AlignRight, j = Qt::AlignJustify;
    QTest::newRow("defaults") << rtf("a\\par") << 0 << l << 0.0 << 0.0 << 0.0 << 0.0 << 0.0;
    QTest::newRow("centred") << rtf("\\qc a\\par") << 0 << c << 0.0 << 0.0 << 0.0 << 0.0 << 0.0;
    QTest::newRow("right") << rtf("\\qr a\\par") << 0 << r << 0.0 << 0.0 << 0.0 << 0.0 << 0.0;
    QTest::newRow("justified") << rtf("\\qj a\\par") << 0 << j << 0.0 << 0.0 << 0.0 << 0.0 << 0.0;
    QTest::newRow("left again") << rtf("\\qc\\ql a\\par") << 0 << l << 0.0 << 0.0 << 0.0 << 0.0 << 0.0;
    QTest::newRow("indents and spacing")
        << rtf("\\li720\\ri300\\fi150\\sb120\\sa240 a\\par") << 0 << l << 48.0 << 20.0 << 10.0 << 8.0 << 16.0;
    QTest::newRow("hanging indent") << rtf("\\li720\\fi-360 a\\par") << 0 << l << 48.0 << 0.0 << -24.0 << 0.0 << 0.0;
    QTest::newRow("hanging indent limited by left") << rtf("\\li150\\fi-720 a\\par") << 0 << l << 10.0 << 0.0 << -10.0 << 0.0 << 0.0;
    QTest::newRow("negative left clamped") << rtf("\\li-720 a\\par") << 0 << l << 0.0 << 0.0 << 0.0 << 0.0 << 0.0;
    QTest::newRow("huge indent clamped") << rtf("\\li99999999999 a\\par") << 0 << l << 2112.0 << 0.0 << 0.0 << 0.0 << 0.0;
    QTest::newRow("properties continue without pard") << rtf("\\qc a\\par b\\par") << 1 << c << 0.0 << 0.0 << 0.0 << 0.0 << 0.0;
    QTest::newRow("pard resets") << rtf("\\qc\\li300\\sa90 a\\par\\pard b\\par") << 1 << l << 0.0 << 0.0 << 0.0 << 0.0 << 0.0;
    QTest::newRow("pard keeps the ended paragraph") << rtf("\\qc a\\par\\pard b\\par") << 0 << c << 0.0 << 0.0 << 0.0 << 0.0 << 0.0;
    QTest::newRow("properties at par win") << rtf("a\\qr\\par") << 0 << r << 0.0 << 0.0 << 0.0 << 0.0 << 0.0;
    QTest::newRow("last paragraph without par") << rtf("a\\par\\qc b") << 1 << c << 0.0 << 0.0 << 0.0 << 0.0 << 0.0;
    QTest::newRow("pandoc group paragraph") << rtf("{\\pard \\qc \\sa180 a\\par}{\\pard \\ql b\\par}") << 0 << c << 0.0 << 0.0 << 0.0 << 0.0 << 12.0;
    QTest::newRow("group restores paragraph properties") << rtf("{\\pard \\qc \\sa180 a\\par}b\\par") << 1 << l << 0.0 << 0.0 << 0.0 << 0.0 << 0.0;
    QTest::newRow("pard in list text stays there")
        << rtf("\\qr\\li300 {\\listtext\\pard\\plain 1.\\tab}a\\par") << 0 << r << 20.0 << 0.0 << 0.0 << 0.0 << 0.0;
}

void TestRtfReader::paragraphFormat()
{
    QFETCH(QByteArray, input);
    QFETCH(int, block);
    QFETCH(int, alignment);
    QFETCH(double, left);
    QFETCH(double, right);
    QFETCH(double, indent);
    QFETCH(double, top);
    QFETCH(double, bottom);

    QTextDocument doc;
    load(doc, input);
    QVERIFY2(block < doc.blockCount(), qPrintable(textOf(doc)));
    const QTextBlockFormat f = doc.findBlockByNumber(block).blockFormat();
    QCOMPARE(int(f.alignment() & Qt::AlignHorizontal_Mask), alignment);
    QCOMPARE(f.leftMargin(), left);
    QCOMPARE(f.rightMargin(), right);
    QCOMPARE(f.textIndent(), indent);
    QCOMPARE(f.topMargin(), top);
    QCOMPARE(f.bottomMargin(), bottom);
}

void TestRtfReader::lineSpacing()
{
    QTextDocument doc;
    load(doc, rtf("\\sl276\\slmult1 a\\par\\pard\\sl360 b\\par\\pard\\sl-300 c\\par\\pard d\\par"));
    QCOMPARE(doc.blockCount(), 4);
    QTextBlockFormat f = doc.findBlockByNumber(0).blockFormat();
    QCOMPARE(f.lineHeightType(), int(QTextBlockFormat::ProportionalHeight));
    QCOMPARE(f.lineHeight(), 115.0);
    f = doc.findBlockByNumber(1).blockFormat();
    QCOMPARE(f.lineHeightType(), int(QTextBlockFormat::MinimumHeight));
    QCOMPARE(f.lineHeight(), 24.0);
    f = doc.findBlockByNumber(2).blockFormat();
    QCOMPARE(f.lineHeightType(), int(QTextBlockFormat::FixedHeight));
    QCOMPARE(f.lineHeight(), 20.0);
    f = doc.findBlockByNumber(3).blockFormat();
    QCOMPARE(f.lineHeightType(), int(QTextBlockFormat::SingleHeight));
}

void TestRtfReader::hangingIndentGetsTabStop()
{
    // Stops count from where the first line starts (here 360 twips in), not from the margin.
    QTextDocument doc;
    load(doc, rtf("\\li720\\fi-360\\tx2880\\tx1440\\tx720\\tx300 {\\listtext \\'b7\\tab}a\\par"
                  "\\pard\\li720 b\\par"
                  "\\pard\\tx720 c\\par"));
    QCOMPARE(doc.blockCount(), 3);
    const QList<QTextOption::Tab> tabs = doc.firstBlock().blockFormat().tabPositions();
    QCOMPARE(tabs.size(), 3); // \tx720 is the hanging indent's own stop; \tx300 lies behind the start
    QCOMPARE(tabs.at(0).position, 24.0);
    QCOMPARE(tabs.at(1).position, 72.0);
    QCOMPARE(tabs.at(2).position, 168.0);
    QVERIFY(doc.findBlockByNumber(1).blockFormat().tabPositions().isEmpty());
    const QList<QTextOption::Tab> plain = doc.lastBlock().blockFormat().tabPositions();
    QCOMPARE(plain.size(), 1);
    QCOMPARE(plain.at(0).position, 48.0);
}

void TestRtfReader::emptyParagraphKeepsFontSize()
{
    QTextDocument doc;
    load(doc, rtf("\\fs48 a\\par\\par\\fs16 b\\par"));
    QCOMPARE(doc.blockCount(), 3);
    QCOMPARE(doc.findBlockByNumber(1).charFormat().fontPointSize(), 24.0);
    QCOMPARE(doc.findBlockByNumber(2).charFormat().fontPointSize(), 8.0);
}

void TestRtfReader::replacesPreviousContent()
{
    QTextDocument doc;
    doc.setPlainText(QStringLiteral("RichTextBox1"));
    load(doc, rtf("new"));
    QCOMPARE(textOf(doc), QStringLiteral("new"));
    load(doc, QByteArray("not rtf"));
    QVERIFY(doc.isEmpty());
}

void TestRtfReader::millionNestedGroups()
{
    // No recursion per group: a million levels read like a few, and what is too deep to
    // keep is dropped without upsetting the groups around it.
    const int depth = 1'000'000;
    QByteArray input = "{\\rtf1 a";
    input += QByteArray(depth, '{');
    input += "\\b deep";
    input += QByteArray(depth, '}');
    input += "b\\par c}";
    QTextDocument doc;
    load(doc, input);
    QVERIFY(textOf(doc).startsWith(QLatin1Char('a')));
    QVERIFY(textOf(doc).endsWith(QStringLiteral("b\nc")));
    QTextCharFormat f;
    QVERIFY(formatOf(doc, QStringLiteral("b"), f));
    QVERIFY(f.fontWeight() < QFont::Bold);

    // Unclosed, too.
    load(doc, QByteArray("{\\rtf1 x") + QByteArray(depth, '{'));
    QCOMPARE(textOf(doc), QStringLiteral("x"));
}

void TestRtfReader::readFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QTextDocument doc;
    doc.setPlainText(QStringLiteral("old"));
    QVERIFY(!RtfReader::readFile(dir.filePath(QStringLiteral("missing.rtf")), doc));
    QVERIFY(doc.isEmpty());

    doc.setPlainText(QStringLiteral("old"));
    QVERIFY(!RtfReader::readFile(dir.path(), doc)); // a folder is not a readable file
    QVERIFY(doc.isEmpty());

    QFile file(dir.filePath(QStringLiteral("a.rtf")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("{\\rtf1 {\\b Hi}\\par}");
    file.close();
    QVERIFY(RtfReader::readFile(file.fileName(), doc));
    QCOMPARE(textOf(doc), QStringLiteral("Hi"));
}

void TestRtfReader::introDocument()
{
    QFile file(QStringLiteral(PANTRIO_INTRO_RTF));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QTextDocument doc;
    RtfReader::read(file.readAll(), doc);
    const QString text = textOf(doc);

    for (const char* caption : {"Add New", "Update", "Delete", "Find Recipe", "Find Next", "Print",
                                "Recipe Number"})
        QVERIFY2(text.contains(QLatin1String(caption)), caption);
    QVERIFY(!text.contains(QLatin1Char('&')));
    QVERIFY(!text.contains(QLatin1Char('\\')));
    QVERIFY(!text.contains(QLatin1Char('{')));

    int headings = 0, bullets = 0, coloured = 0, bold = 0;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (b.text().startsWith(QChar(0x2022)) && b.blockFormat().textIndent() < 0)
            ++bullets;
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            if (f.fontWeight() >= QFont::Bold)
                ++bold;
            if (f.hasProperty(QTextFormat::ForegroundBrush))
                ++coloured;
            if (f.fontWeight() >= QFont::Bold && f.fontPointSize() > 12 && it == b.begin())
                ++headings;
        }
    }
    QVERIFY2(headings >= 2, qPrintable(QString::number(headings)));
    QVERIFY(bullets >= 3);
    QVERIFY(bold > headings);
    QVERIFY(coloured > 0);
}

QTEST_MAIN(TestRtfReader)
#include "tst_rtfreader.moc"
