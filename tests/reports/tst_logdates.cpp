// The date and margin rules of the report windows, without any window.

#include "reports/logdates.h"
#include "reports/logprint.h"

#include <QtTest>

using namespace qv;

class LogDatesTest final : public QObject {
    Q_OBJECT

private slots:
    void aMonthBackClampsToTheEarlierMonthsLastDay_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("start");
        QTest::newRow("31 March, leap year") << QDate(2024, 3, 31) << "2024-02-29";
        QTest::newRow("31 March, common year") << QDate(2023, 3, 31) << "2023-02-28";
        QTest::newRow("31 May") << QDate(2023, 5, 31) << "2023-04-30";
        QTest::newRow("15 January crosses the year") << QDate(2024, 1, 15) << "2023-12-15";
        QTest::newRow("day the earlier month has") << QDate(2026, 12, 8) << "2026-11-08";
    }
    void aMonthBackClampsToTheEarlierMonthsLastDay()
    {
        QFETCH(QDate, today);
        QFETCH(QString, start);
        QCOMPARE(isoDate(oneMonthBefore(today)), start);
    }

    void typedDatesAreReadOnlyWhenTheyAreRealDays_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("read"); // empty: refused
        QTest::newRow("iso") << "2016-01-03"
                             << "2016-01-03";
        QTest::newRow("one-digit month and day") << "2016-1-3"
                                                 << "2016-01-03";
        QTest::newRow("slashes") << "2016/01/03"
                                 << "2016-01-03";
        QTest::newRow("blanks around") << " 2016-01-03 "
                                       << "2016-01-03";
        QTest::newRow("29 February of a leap year") << "2024-02-29"
                                                    << "2024-02-29";
        QTest::newRow("29 February of a common year") << "2023-02-29"
                                                      << "";
        QTest::newRow("month 13") << "2016-13-01"
                                  << "";
        QTest::newRow("mixed separators") << "2016-01/03"
                                          << "";
        QTest::newRow("words") << "yesterday"
                               << "";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("quote that would break SQL") << "2016-01-03' or '1'='1"
                                                    << "";
    }
    void typedDatesAreReadOnlyWhenTheyAreRealDays()
    {
        QFETCH(QString, typed);
        QFETCH(QString, read);
        const auto day = parseTypedDate(typed);
        QCOMPARE(day ? isoDate(*day) : QString(), read);
    }

    void aRangeNeedsBothDaysAndMayRunBackwards()
    {
        QVERIFY(!parseDateRange("2016-01-03", "x"));
        QVERIFY(!parseDateRange("", "2016-01-03"));
        const auto backwards = parseDateRange("2016-02-01", "2016-01-01");
        QVERIFY(backwards);
        QCOMPARE(backwards->from, QDate(2016, 2, 1));
        QCOMPARE(backwards->to, QDate(2016, 1, 1));
    }

    void storedDatesShowWithoutTheirTimePart_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << "2017-04-17"
                               << "2017-04-17";
        QTest::newRow("with time") << "2017-04-17 18:27:45"
                                   << "2017-04-17";
        QTest::newRow("iso stamp") << "2017-04-17T18:27:45"
                                   << "2017-04-17";
        QTest::newRow("short form") << "2017-4-7"
                                    << "2017-04-07";
        QTest::newRow("null or empty") << ""
                                       << "";
        QTest::newRow("not a date stays as stored") << "昨天"
                                                    << "昨天";
        QTest::newRow("digits run on") << "2017-04-170"
                                       << "2017-04-170";
    }
    void storedDatesShowWithoutTheirTimePart()
    {
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        QCOMPARE(storedDateAsIso(stored), shown);
    }

    void marginsReadTheLeadingNumberOrZero_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("millimetres");
        QTest::newRow("whole") << "15" << 15.0;
        QTest::newRow("decimal") << "12.5" << 12.5;
        QTest::newRow("unit after") << " 20mm" << 20.0;
        QTest::newRow("negative") << "-3" << -3.0;
        QTest::newRow("no number") << "abc" << 0.0;
        QTest::newRow("empty") << "" << 0.0;
    }
    void marginsReadTheLeadingNumberOrZero()
    {
        QFETCH(QString, typed);
        QFETCH(double, millimetres);
        QCOMPARE(leadingNumber(typed), millimetres);
    }
};

QTEST_GUILESS_MAIN(LogDatesTest)
#include "tst_logdates.moc"
