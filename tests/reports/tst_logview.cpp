// The outpatient log window and the statistics window on a fresh template database.

#include "archiverows.h"
#include "reports/outpatientlogwindow.h"
#include "reports/statisticswindow.h"
#include "tests/support/testenv.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace qv;
using namespace qv::test;

namespace {

const QString kDateMessage = QStringLiteral("请填写正确格式的起止日期！日期格式为“2016-01-03”。");
const QString kTooMany = QStringLiteral("数据太多，请缩短查询时间范围！");

QStringList visibleRow(const OutpatientLogWindow& w, int row)
{
    QStringList cells;
    for (int c = 0; c < w.grid->columnCount(); ++c)
        cells << w.grid->cellText(row, c);
    return cells;
}

bool gridIsEmpty(const OutpatientLogWindow& w)
{
    for (int j = 0; j < w.grid->rowCount(); ++j)
        for (const QString& cell : visibleRow(w, j))
            if (!cell.isEmpty())
                return false;
    return true;
}

} // namespace

class LogViewTest final : public QObject {
    Q_OBJECT

private slots:
    void opensOnTheLastMonthWithItsPrescriptions()
    {
        TestEnv env;
        env.clock.set(QDateTime(QDate(2024, 3, 31), QTime(10, 0)));
        insertPrescription(env.db, { "K1", "2024-02-29", "张三", "A-1", "猫", "母", "3kg", "2岁", "李医生" });
        insertPrescription(env.db, { "K2", "2024-02-28", "OUTSIDE" });

        OutpatientLogWindow w(env.services);
        QCOMPARE(w.windowTitle(), QStringLiteral("日志报表"));
        QCOMPARE(w.fromDate->text(), QStringLiteral("2024-02-29"));
        QCOMPARE(w.toDate->text(), QStringLiteral("2024-03-31"));
        QCOMPARE(w.recordCount->text(), QStringLiteral("记录数：1"));
        QCOMPARE(visibleRow(w, 0),
            QStringList({ "张三", "A-1", "猫", "母", "3kg", "2岁", "李医生", "2024-02-29", "" }));
        QVERIFY(visibleRow(w, 1).join("").isEmpty());
        QVERIFY(!w.grid->scrollBar->isEnabled());
        QVERIFY(env.messages.texts().isEmpty());
    }

    void rowsComeInKeyOrderAndBothEndDaysCount()
    {
        TestEnv env;
        insertPrescription(env.db, { "K3", "2020-01-31 23:59:59", "LAST" });
        insertPrescription(env.db, { "K1", "2020-01-01", "FIRST" });
        insertPrescription(env.db, { "K2", "2020-01-15", "MIDDLE" });
        insertPrescription(env.db, { "K0", "2020-02-01", "AFTER" });
        OutpatientLogWindow w(env.services);
        w.fromDate->setText("2020-01-01");
        w.toDate->setText("2020-1-31");
        w.runQuery();
        QCOMPARE(w.recordCount->text(), QStringLiteral("记录数：3"));
        QCOMPARE(w.grid->cellText(0, 0), QStringLiteral("FIRST"));
        QCOMPARE(w.grid->cellText(1, 0), QStringLiteral("MIDDLE"));
        QCOMPARE(w.grid->cellText(2, 0), QStringLiteral("LAST"));
        // The time part of a stored date is not shown.
        QCOMPARE(w.grid->cellText(2, 7), QStringLiteral("2020-01-31"));
    }

    void nullsShowEmptyAndTheRemarksColumnStaysEmpty()
    {
        TestEnv env;
        insertPrescription(env.db,
            { "K1", "2020-05-01", QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(),
                QVariant() });
        insertPrescription(env.db, { "K2", "2020-05-02", "SECOND" });
        env.db.run("update \"档案\" set \"8\" = 'x', \"22\" = 'y', \"T1\" = 'z'");
        OutpatientLogWindow w(env.services);
        w.fromDate->setText("2020-05-01");
        w.toDate->setText("2020-05-31");
        w.runQuery();
        QVERIFY(env.messages.texts().isEmpty());
        QCOMPARE(w.recordCount->text(), QStringLiteral("记录数：2"));
        QCOMPARE(visibleRow(w, 0), QStringList({ "", "", "", "", "", "", "", "2020-05-01", "" }));
        QCOMPARE(w.grid->cellText(1, 0), QStringLiteral("SECOND"));
        QCOMPARE(w.grid->cellText(1, 8), QString());
    }

    void anEmptyRangeShowsZeroAndNoScrolling()
    {
        TestEnv env;
        insertPrescriptions(env.db, 25, "2020-03-01");
        OutpatientLogWindow w(env.services);
        w.fromDate->setText("2020-03-01");
        w.toDate->setText("2020-03-01");
        w.runQuery();
        QVERIFY(w.grid->scrollBar->isEnabled());
        w.fromDate->setText("2021-01-01");
        w.toDate->setText("2021-12-31");
        w.runQuery();
        QCOMPARE(w.recordCount->text(), QStringLiteral("记录数：0"));
        QVERIFY(gridIsEmpty(w));
        QVERIFY(!w.grid->scrollBar->isEnabled());
        QVERIFY(env.messages.texts().isEmpty());
    }

    void scrollingShowsTheLaterRecords()
    {
        TestEnv env;
        insertPrescriptions(env.db, 25, "2020-03-01");
        OutpatientLogWindow w(env.services);
        w.fromDate->setText("2020-03-01");
        w.toDate->setText("2020-03-01");
        w.runQuery();
        QCOMPARE(w.grid->scrollBar->maximum(), 5);
        w.grid->scrollBar->setValue(5);
        QCOMPARE(w.grid->cellText(0, 0), QStringLiteral("OWNER000006"));
        QCOMPARE(w.grid->cellText(19, 0), QStringLiteral("OWNER000025"));
        QCOMPARE(w.grid->cellText(19, 8), QString());
    }

    void aBadDateGivesTheMessageAndAnEmptyGrid_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::newRow("start is no date") << "2020-13-01"
                                          << "2020-03-31";
        QTest::newRow("end is no date") << "2020-03-01"
                                        << "三月";
        QTest::newRow("typed quote") << "2020-03-01'"
                                     << "2020-03-31";
    }
    void aBadDateGivesTheMessageAndAnEmptyGrid()
    {
        QFETCH(QString, start);
        QFETCH(QString, end);
        TestEnv env;
        insertPrescriptions(env.db, 3, "2020-03-10");
        OutpatientLogWindow w(env.services);
        w.fromDate->setText("2020-03-01");
        w.toDate->setText("2020-03-31");
        w.runQuery();
        QCOMPARE(w.grid->cellText(0, 0), QStringLiteral("OWNER000001"));

        w.fromDate->setText(start);
        w.toDate->setText(end);
        w.runQuery();
        QCOMPARE(env.messages.last(), kDateMessage);
        QCOMPARE(env.messages.shown().last().icon, Messages::Icon::Warning);
        QVERIFY(gridIsEmpty(w));
        QVERIFY(w.records().empty());
        QVERIFY(!w.grid->scrollBar->isEnabled());
    }

    void thirtyThousandAreShownAndOneMoreIsRefused()
    {
        TestEnv env;
        insertPrescriptions(env.db, 30000, "2020-06-01");
        OutpatientLogWindow w(env.services);
        w.fromDate->setText("2020-06-01");
        w.toDate->setText("2020-06-01");
        w.runQuery();
        QCOMPARE(w.recordCount->text(), QStringLiteral("记录数：30000"));
        QCOMPARE(w.grid->scrollBar->maximum(), 30000 - 20);
        w.grid->scrollBar->setValue(w.grid->scrollBar->maximum());
        QCOMPARE(w.grid->cellText(19, 0), QStringLiteral("OWNER030000"));
        QVERIFY(env.messages.texts().isEmpty());

        insertPrescription(env.db, { "Z", "2020-06-01" });
        w.runQuery();
        QCOMPARE(env.messages.texts(), QStringList { kTooMany });
        QVERIFY(gridIsEmpty(w));
        QVERIFY(!w.grid->scrollBar->isEnabled());
        QCOMPARE(w.recordCount->text(),
            QStringLiteral("记录数：30000")); // the count of the last query shown stays
    }

    void aQueryTheStoreRefusesIsReportedAndShowsNothing()
    {
        TestEnv env;
        insertPrescriptions(env.db, 3, "2026-12-01");
        OutpatientLogWindow w(env.services);
        QCOMPARE(w.recordCount->text(), QStringLiteral("记录数：3"));
        QVERIFY(env.db.run("drop table \"档案\""));
        w.runQuery();
        QCOMPARE(env.messages.texts().size(), 1);
        QVERIFY(env.messages.last().startsWith(QStringLiteral("查询失败")));
        QVERIFY(gridIsEmpty(w));
    }

    void queryButtonRunsTheQuery()
    {
        TestEnv env;
        OutpatientLogWindow w(env.services);
        insertPrescription(env.db, { "K1", "2026-12-08", "TODAY" });
        QTest::mouseClick(w.queryButton, Qt::LeftButton);
        QCOMPARE(w.grid->cellText(0, 0), QStringLiteral("TODAY"));
    }

    void marginsAreLoadedOnOpenAndStoredOnClose()
    {
        TestEnv env;
        {
            OutpatientLogWindow w(env.services);
            QCOMPARE(w.leftMargin->text(), QStringLiteral("15"));
            QCOMPARE(w.topMargin->text(), QStringLiteral("20"));
            w.leftMargin->setText("7");
            w.topMargin->setText("12.5");
            // Typed margins stay in the window until it closes.
            QCOMPARE(
                env.rows("select \"左边距1\" from \"设置\"").first().text("左边距1"), QStringLiteral("15"));
            w.close();
        }
        const Row settings = env.rows("select \"左边距1\", \"上边距1\" from \"设置\"").first();
        QCOMPARE(settings.text("左边距1"), QStringLiteral("7"));
        QCOMPARE(settings.text("上边距1"), QStringLiteral("12.5"));
        OutpatientLogWindow again(env.services);
        QCOMPARE(again.leftMargin->text(), QStringLiteral("7"));
        QCOMPARE(again.topMargin->text(), QStringLiteral("12.5"));
    }

    void marginsThatCannotBeReadLeaveTheDefaults()
    {
        TestEnv env;
        env.db.run("update \"设置\" set \"左边距1\" = null, \"上边距1\" = null");
        OutpatientLogWindow w(env.services);
        QCOMPARE(w.leftMargin->text(), QStringLiteral("10"));
        QCOMPARE(w.topMargin->text(), QStringLiteral("10"));
    }

    void aRefusedMarginStoreIsReported()
    {
        TestEnv env;
        OutpatientLogWindow w(env.services);
        env.db.run("drop table \"设置\"");
        QVERIFY(!w.storeMargins());
        QVERIFY(env.messages.last().startsWith(QStringLiteral("打印边距未能保存")));
    }

    // Statistics window

    void statisticsOpenOnTheLastMonthWithoutCounting()
    {
        TestEnv env;
        env.clock.set(QDateTime(QDate(2023, 3, 31), QTime(8, 0)));
        StatisticsWindow w(env.services);
        QCOMPARE(w.windowTitle(), QStringLiteral("统计"));
        QCOMPARE(w.workloadFrame->title(), QStringLiteral("工作量统计"));
        QCOMPARE(w.fromDate->text(), QStringLiteral("2023-02-28"));
        QCOMPARE(w.toDate->text(), QStringLiteral("2023-03-31"));
        QCOMPARE(w.resultLabel->text(), QString());
    }

    void statisticsCountTheInclusiveRange()
    {
        TestEnv env;
        insertPrescription(env.db, { "K1", "2020-01-01" });
        insertPrescription(env.db, { "K2", "2020-01-31 17:00:00" });
        insertPrescription(env.db, { "K3", "2019-12-31" });
        insertPrescription(env.db, { "K4", "2020-02-01" });
        StatisticsWindow w(env.services);
        w.fromDate->setText("2020-01-01");
        w.toDate->setText("2020-01-31");
        QTest::mouseClick(w.countButton, Qt::LeftButton);
        QCOMPARE(w.resultLabel->text(), QStringLiteral("处方数：2张"));

        w.fromDate->setText("2020-01-02");
        w.toDate->setText("2020-01-30");
        w.runCount();
        QCOMPARE(w.resultLabel->text(), QStringLiteral("处方数：0张"));

        w.fromDate->setText("2020-02-01");
        w.toDate->setText("2019-12-31");
        w.runCount();
        QCOMPARE(w.resultLabel->text(), QStringLiteral("处方数：0张"));
        QVERIFY(env.messages.texts().isEmpty());
    }

    void statisticsKeepTheLastResultOnABadDate()
    {
        TestEnv env;
        insertPrescriptions(env.db, 1234, "2020-01-10");
        StatisticsWindow w(env.services);
        w.fromDate->setText("2020-01-01");
        w.toDate->setText("2020-01-31");
        w.runCount();
        QCOMPARE(w.resultLabel->text(), QStringLiteral("处方数：1234张"));
        w.fromDate->setText("2020-01-32");
        w.runCount();
        QCOMPARE(env.messages.texts(), QStringList { kDateMessage });
        QCOMPARE(env.messages.shown().last().icon, Messages::Icon::Warning);
        QCOMPARE(w.resultLabel->text(), QStringLiteral("处方数：1234张"));
    }

    void todayCountsOnlyToday()
    {
        TestEnv env; // the clock says 2026-12-08
        insertPrescription(env.db, { "K1", "2026-12-08" });
        insertPrescription(env.db, { "K2", "2026-12-07" });
        StatisticsWindow w(env.services);
        QTest::mouseClick(w.todayButton, Qt::LeftButton);
        QCOMPARE(w.fromDate->text(), QStringLiteral("2026-12-08"));
        QCOMPARE(w.toDate->text(), QStringLiteral("2026-12-08"));
        QCOMPARE(w.resultLabel->text(), QStringLiteral("处方数：1张"));
    }
};

QTEST_MAIN(LogViewTest)
#include "tst_logview.moc"
