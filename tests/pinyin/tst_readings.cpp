// Search by everyday readings: the initials a name can be typed with, beside the one code that is stored.

#include "pinyin/readings.h"
#include "pinyin/searchcode.h"

#include <QtTest>

using namespace qv;

class ReadingsTest final : public QObject {
    Q_OBJECT

private slots:
    void herbsMatchTheirEverydayInitials_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("storedCode");
        QTest::addColumn<QString>("typed");
        // The stored code keeps the letter tables' rule; the readings add what people type.
        QTest::newRow("丹参") << u"丹参 10g"_qs << u"dc"_qs << u"ds"_qs;
        QTest::newRow("白术") << u"白术 10g"_qs << u"bs"_qs << u"bz"_qs;
        QTest::newRow("人参") << u"人参 10g"_qs << u"rc"_qs << u"rs"_qs;
        QTest::newRow("王不留行") << u"王不留行 10g"_qs << u"wflh"_qs << u"wblx"_qs;
        QTest::newRow("王不留行, part") << u"王不留行 10g"_qs << u"wflh"_qs << u"BLX"_qs;
        QTest::newRow("薏苡仁, in no letter table") << u"薏苡仁 10g"_qs << u"r"_qs << u"yyr"_qs;
        QTest::newRow("stored code still matches") << u"丹参 10g"_qs << u"dc"_qs << u"dc"_qs;
        QTest::newRow("digits and letters stand for themselves")
            << u"10%葡萄糖注射液  250ml"_qs << u"10pttzsy"_qs << u"10ptt"_qs;
    }
    void herbsMatchTheirEverydayInitials()
    {
        QFETCH(QString, name);
        QFETCH(QString, storedCode);
        QFETCH(QString, typed);
        QCOMPARE(searchCode(name), storedCode);
        QVERIFY(isInitialsText(typed));
        QVERIFY(readingsMatch(readingInitials(name), typed));
    }

    void initialsMustRunThroughConsecutiveCharacters()
    {
        const std::vector<InitialSet> sets = readingInitials(u"王不留行 10g"_qs);
        QCOMPARE(sets.size(), size_t(4)); // cut at the blank, as the stored code is
        QVERIFY(!readingsMatch(sets, u"wl"_qs)); // 王 and 留 are not neighbours
        QVERIFY(!readingsMatch(sets, u"wblxg"_qs)); // longer than the name
        QVERIFY(!readingsMatch(sets, u"10"_qs)); // after the blank
        QVERIFY(!readingsMatch(sets, u"z"_qs));
        QVERIFY(readingsMatch(sets, u"lh"_qs) && readingsMatch(sets, u"lx"_qs));
        // Characters that give no initial (the full-width colon) are left out, as in the code.
        QVERIFY(readingsMatch(readingInitials(u"用法：皮下注射"_qs), u"fp"_qs));
    }

    void onlyAsciiLettersAndDigitsAreMatchedByReadings()
    {
        QVERIFY(isInitialsText(u"Ds1"_qs));
        QVERIFY(!isInitialsText(QString()));
        QVERIFY(!isInitialsText(u"丹s"_qs));
        QVERIFY(!isInitialsText(u"d s"_qs));
        QVERIFY(!isInitialsText(u"0.9"_qs));
        QVERIFY(!isInitialsText(u"ｄｓ"_qs)); // full-width letters are not typed initials
        QVERIFY(!readingsMatch(readingInitials(u"丹参"_qs), u"d%"_qs));
    }

    void aNameOfManyPolyphonesIsMatchedWithoutTryingEveryCombination()
    {
        // 60 characters of three readings each: 3^60 combinations, tested position by position.
        const QString name = QString(u"行"_qs).repeated(60);
        const std::vector<InitialSet> sets = readingInitials(name);
        QCOMPARE(sets.size(), size_t(60));
        QString typed;
        for (int i = 0; i < 60; ++i)
            typed += i % 2 ? u'h' : u'x';
        QVERIFY(readingsMatch(sets, typed));
        typed[59] = u'b';
        QVERIFY(!readingsMatch(sets, typed));
    }

    void everyCharacterStandsForItsStoredInitialToo()
    {
        for (int unit = 0x80; unit <= 0xFFFF; ++unit) {
            const QChar c(static_cast<char16_t>(unit));
            const QString initial = pinyinInitial(c);
            if (initial.isEmpty())
                continue;
            if (!readingsMatch(readingInitials(QString(c)), initial))
                QFAIL(qPrintable(u"U+%1 does not match its own initial %2"_qs.arg(unit, 4, 16).arg(initial)));
        }
    }
};

QTEST_APPLESS_MAIN(ReadingsTest)
#include "tst_readings.moc"
