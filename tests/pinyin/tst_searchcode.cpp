// Search codes of names and initials of characters, against the catalog's own examples and against the
// table-scan definition for every UTF-16 code unit.

#include "pinyin/gbk.h"
#include "pinyin/lettertables.h"
#include "pinyin/searchcode.h"

#include <QtTest>

using namespace qv;

class SearchCodeTest final : public QObject {
    Q_OBJECT

private slots:
    void namesCodeAsTheCatalogShows_data();
    void namesCodeAsTheCatalogShows();
    void charactersGiveTheirInitial_data();
    void charactersGiveTheirInitial();
    void fixedCharactersStandInTheirTablesOnly();
    void everyTableCharacterIsTwoByteInGbk();
    void gbkTestAsksTheConverterAfreshEachTime();
    void foldedLookupEqualsTableScanForEveryCharacter();
};

void SearchCodeTest::namesCodeAsTheCatalogShows_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("code");

    QTest::newRow("two characters") << u"肺炎"_qs << u"fy"_qs;
    QTest::newRow("不 only under f") << u"消化不良"_qs << u"xhfl"_qs;
    QTest::newRow("行 under h, cut at blank") << u"王不留行 10g"_qs << u"wflh"_qs;
    QTest::newRow("参 as can") << u"人参 10g"_qs << u"rc"_qs;
    QTest::newRow("薏苡 in no table") << u"薏苡仁 10g"_qs << u"r"_qs;
    QTest::newRow("digits stay, point and percent drop") << u"0.9%氯化钠注射液  250ml"_qs << u"09lhnzsy"_qs;
    QTest::newRow("full-width colon gives nothing") << u"用法：皮下注射 立即"_qs << u"yfpxzs"_qs;
    QTest::newRow("no blank: whole text") << u"10%葡萄糖注射液"_qs << u"10pttzsy"_qs;
    QTest::newRow("catalog drug") << u"阿莫西林胶囊 0.25g×24粒"_qs << u"amxljn"_qs;
    QTest::newRow("万 as wan") << u"京万红软膏  20g×1支"_qs << u"jwhrg"_qs;
    QTest::newRow("cut at the first of several blanks") << u"7剂 每日1剂 水煎400ml"_qs << u"7j"_qs;
    QTest::newRow("leading blank") << u" 肺炎"_qs << QString();
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("Latin words") << u"ABC def"_qs << u"abc"_qs;
    QTest::newRow("mixed case") << u"VitB12片"_qs << u"vitb12p"_qs;
    QTest::newRow("full-width Latin") << u"ＡＢＣ"_qs << QString();
    QTest::newRow("ideographic space does not cut") << u"肺　炎 10g"_qs << u"fy"_qs;
    QTest::newRow("tab does not cut") << u"肺\t炎"_qs << u"fy"_qs;
    QTest::newRow("character outside GBK") << u"肺가炎"_qs << u"fy"_qs;
    QTest::newRow("surrogate pair") << u"肺😀炎"_qs << u"fy"_qs;
}

void SearchCodeTest::namesCodeAsTheCatalogShows()
{
    QFETCH(QString, name);
    QFETCH(QString, code);
    QCOMPARE(searchCode(name), code);
    QCOMPARE(searchCodeByTableScan(name), code);
}

void SearchCodeTest::charactersGiveTheirInitial_data()
{
    QTest::addColumn<QChar>("character");
    QTest::addColumn<QString>("initial");

    QTest::newRow("digit") << QChar(u'7') << u"7"_qs;
    QTest::newRow("upper-case letter") << QChar(u'Q') << u"q"_qs;
    QTest::newRow("lower-case letter") << QChar(u'z') << u"z"_qs;
    QTest::newRow("blank") << QChar(u' ') << QString();
    QTest::newRow("point") << QChar(u'.') << QString();
    QTest::newRow("control") << QChar(u'\n') << QString();
    QTest::newRow("不") << QChar(u'不') << u"f"_qs;
    QTest::newRow("行: h before x") << QChar(u'行') << u"h"_qs;
    QTest::newRow("薏") << QChar(u'薏') << QString();
    QTest::newRow("石 by its common reading") << QChar(u'石') << u"s"_qs;
    QTest::newRow("万 by its mainland reading") << QChar(u'万') << u"w"_qs;
    QTest::newRow("适 by its mainland reading") << QChar(u'适') << u"s"_qs;
    QTest::newRow("traditional form") << QChar(u'藥') << u"y"_qs;
    QTest::newRow("full-width letter") << QChar(u'Ａ') << QString();
    QTest::newRow("full-width digit") << QChar(u'１') << QString();
    QTest::newRow("ideographic space") << QChar(u'　') << QString();
    QTest::newRow("Latin-1 letter") << QChar(u'é') << QString();
    QTest::newRow("Hangul") << QChar(u'가') << QString();
}

void SearchCodeTest::charactersGiveTheirInitial()
{
    QFETCH(QChar, character);
    QFETCH(QString, initial);
    QCOMPARE(pinyinInitial(character), initial);
    QCOMPARE(pinyinInitialByTableScan(character), initial);
}

void SearchCodeTest::fixedCharactersStandInTheirTablesOnly()
{
    auto tablesOf = [](QChar c) {
        QString letters;
        for (int table = 0; table < kLetterTableCount; ++table) {
            if (letterTable(table).contains(c))
                letters += QLatin1Char(kTableLetters[table]);
        }
        return letters;
    };
    QCOMPARE(tablesOf(u'不'), u"f"_qs);
    QCOMPARE(tablesOf(u'行'), u"hx"_qs);
    QCOMPARE(tablesOf(u'薏'), QString());
    QCOMPARE(tablesOf(u'苡'), QString());
}

void SearchCodeTest::everyTableCharacterIsTwoByteInGbk()
{
    // The generator chose its characters with its own GBK codec; a character the program's converter
    // disagrees on would sit in a table and never be found.
    for (int table = 0; table < kLetterTableCount; ++table) {
        QVERIFY2(!letterTable(table).isEmpty(), kTableLetters + table);
        for (QChar c : letterTable(table)) {
            if (!isGbkDoubleByte(c))
                QFAIL(qPrintable(u"%1 (U+%2) in table %3 is not a GBK two-byte character"_qs.arg(c)
                                     .arg(c.unicode(), 4, 16, QLatin1Char('0'))
                                     .arg(QLatin1Char(kTableLetters[table]))));
        }
    }
}

void SearchCodeTest::gbkTestAsksTheConverterAfreshEachTime()
{
    QVERIFY(isGbkDoubleByte(u'肺'));
    QVERIFY(isGbkDoubleByte(u'　'));
    QVERIFY(isGbkDoubleByte(u'Ａ'));
    QVERIFY(!isGbkDoubleByte(u'A'));
    QVERIFY(!isGbkDoubleByte(QChar(0)));
    // GBK cannot write these; the character after each must still be judged on its own.
    QVERIFY(!isGbkDoubleByte(u'가'));
    QVERIFY(isGbkDoubleByte(u'炎'));
    QVERIFY(!isGbkDoubleByte(QChar(0xD83D)));
    QVERIFY(isGbkDoubleByte(u'炎'));
}

void SearchCodeTest::foldedLookupEqualsTableScanForEveryCharacter()
{
    // Every UTF-16 code unit, so every character of every table and everything around them.
    int inTables = 0;
    for (int unit = 0; unit <= 0xFFFF; ++unit) {
        const QChar c(static_cast<char16_t>(unit));
        const QString expected = pinyinInitialByTableScan(c);
        if (pinyinInitial(c) != expected)
            QFAIL(qPrintable(u"U+%1: folded '%2', table scan '%3'"_qs.arg(unit, 4, 16, QLatin1Char('0'))
                                 .arg(pinyinInitial(c), expected)));
        if (!expected.isEmpty() && unit >= 0x80)
            ++inTables;
    }
    QVERIFY(inTables > 20000);
}

QTEST_APPLESS_MAIN(SearchCodeTest)
#include "tst_searchcode.moc"
