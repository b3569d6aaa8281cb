// The label grid view: which records the fixed rows show, the scroll bar's range, stripes, highlight, clicks.

#include "catalogs/labelgrid.h"
#include "platform/units.h"

#include <QImage>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace qv;

namespace {

LabelGridLayout threeColumns(int rows)
{
    LabelGridLayout layout;
    layout.rows = rows;
    layout.headers = { { 1, QStringLiteral("名称"), 0, 3555 }, { 5, QStringLiteral("用法"), 3540, 2115 },
        { 6, QStringLiteral("拼音"), 5640, 1275 } };
    layout.cells
        = { { 60, 3435, Qt::AlignLeft }, { 3600, 1995, Qt::AlignLeft }, { 5700, 1155, Qt::AlignHCenter } };
    return layout;
}

// n records whose texts name their record and column: "r7c1".
std::shared_ptr<ColumnLists> numbered(int n, int columns = 3)
{
    auto lists = std::make_shared<ColumnLists>(columns);
    for (int r = 0; r < n; ++r) {
        QStringList record;
        for (int c = 0; c < columns; ++c)
            record << QStringLiteral("r%1c%2").arg(r).arg(c);
        lists->append(record);
    }
    return lists;
}

QString shown(const LabelGrid& grid, int row) { return grid.cellText(row, 0); }

} // namespace

class TestLabelGrid final : public QObject {
    Q_OBJECT
private slots:
    void emptyResultLeavesEveryRowEmptyAndTheBarDisabled()
    {
        LabelGrid grid(threeColumns(14));
        grid.showResult(numbered(30));
        grid.scrollTo(5);
        grid.clear();
        grid.showResult(numbered(0));
        for (int j = 0; j < 14; ++j) {
            for (int c = 0; c < 3; ++c)
                QVERIFY2(grid.cellText(j, c).isEmpty(), qPrintable(QStringLiteral("row %1").arg(j)));
        }
        QVERIFY(!grid.scrollBar->isEnabled());
        QCOMPARE(grid.scrollValue(), 0);
    }

    void theBarIsEnabledOnlyWhenRecordsOutnumberRows()
    {
        LabelGrid grid(threeColumns(14));
        grid.showResult(numbered(14));
        QVERIFY(!grid.scrollBar->isEnabled());
        QCOMPARE(shown(grid, 0), QStringLiteral("r0c0"));
        QCOMPARE(shown(grid, 13), QStringLiteral("r13c0"));

        grid.clear();
        grid.showResult(numbered(15));
        QVERIFY(grid.scrollBar->isEnabled());
        QCOMPARE(grid.scrollBar->maximum(), 1);
        QCOMPARE(grid.scrollValue(), 0);
        QCOMPARE(shown(grid, 13), QStringLiteral("r13c0"));

        grid.clear();
        grid.showResult(numbered(5));
        QCOMPARE(shown(grid, 4), QStringLiteral("r4c0"));
        QVERIFY(shown(grid, 5).isEmpty());
    }

    void scrollingToTheEndShowsTheLastRecordInTheBottomRow()
    {
        LabelGrid grid(threeColumns(14));
        QSignalSpy scrolled(&grid, &LabelGrid::scrolled);
        grid.showResult(numbered(100));
        QCOMPARE(scrolled.count(), 0); // showing a result is not a scroll
        grid.scrollBar->setValue(grid.scrollBar->maximum());
        QCOMPARE(grid.scrollValue(), 86);
        QCOMPARE(shown(grid, 0), QStringLiteral("r86c0"));
        QCOMPARE(grid.cellText(13, 0), QStringLiteral("r99c0"));
        QCOMPARE(grid.cellText(13, 2), QStringLiteral("r99c2"));
        QCOMPARE(scrolled.count(), 1);
        QCOMPARE(scrolled.first().first().toInt(), 86);

        // A new result starts again at record 0, even when it is short enough to disable the bar.
        grid.clear();
        grid.showResult(numbered(3));
        QCOMPARE(grid.scrollValue(), 0);
        QCOMPARE(shown(grid, 0), QStringLiteral("r0c0"));
        grid.scrollTo(2); // a disabled bar cannot move away from the records its rows show
        QCOMPARE(grid.scrollValue(), 0);
        QCOMPARE(shown(grid, 0), QStringLiteral("r0c0"));
    }

    void cellArraysWithoutADataColumnStayEmpty()
    {
        LabelGrid grid(threeColumns(4));
        grid.showResult(numbered(2, 2));
        QCOMPARE(grid.cellText(1, 1), QStringLiteral("r1c1"));
        QVERIFY(grid.cellText(1, 2).isEmpty());
    }

    void stripesStayWithRowsAndAScrollRemovesTheHighlight()
    {
        LabelGrid grid(threeColumns(14));
        grid.showResult(numbered(40));
        grid.highlightRow(3);
        QCOMPARE(grid.rowColour(3), LabelGrid::kSelected);
        grid.scrollBar->setValue(1);
        QCOMPARE(grid.rowColour(3), LabelGrid::kOddRow);
        QCOMPARE(grid.rowColour(0), LabelGrid::kEvenRow);
        QCOMPARE(grid.rowColour(1), LabelGrid::kOddRow);

        grid.highlightRow(2);
        grid.clear();
        grid.showResult(numbered(40));
        QCOMPARE(grid.rowColour(2), LabelGrid::kEvenRow);
    }

    void thePaintedRowsCarryTheirColours()
    {
        LabelGrid grid(threeColumns(14));
        grid.showResult(numbered(40));
        grid.highlightRow(4);
        const QImage image = grid.grab().toImage();
        auto colourAtRow = [&](int row) {
            const int y = grid.findChild<QWidget*>(QStringLiteral("Pt2"))->y()
                + twips(LabelGrid::backgroundTop(row) + 150);
            return QColor(image.pixel(twips(3000), y));
        };
        QCOMPARE(colourAtRow(0), LabelGrid::kEvenRow);
        QCOMPARE(colourAtRow(1), LabelGrid::kOddRow);
        QCOMPARE(colourAtRow(4), LabelGrid::kSelected);
        QCOMPARE(colourAtRow(13), LabelGrid::kOddRow);
    }

    void aScrolledGridPaintsWhatAFreshGridPaints()
    {
        // Texts of every alignment, wider than their cells, with a line break, Latin and Chinese.
        auto lists = std::make_shared<ColumnLists>(3);
        for (int r = 0; r < 40; ++r)
            lists->append({ QStringLiteral("阿莫西林胶囊 0.25g×24粒 第%1行，名称长得超出了它的格子").arg(r),
                QStringLiteral("0.5g 口服\n每日%1次").arg(r % 4 + 1), QStringLiteral("amx%1").arg(r) });
        LabelGrid scrolled(threeColumns(14));
        scrolled.showResult(lists);
        scrolled.grab(); // laid out once at the top
        scrolled.scrollBar->setValue(26);
        scrolled.grab();
        scrolled.scrollBar->setValue(7);
        LabelGrid fresh(threeColumns(14));
        fresh.showResult(lists);
        fresh.scrollBar->setValue(7);
        const QImage image = scrolled.grab().toImage();
        QCOMPARE(image, fresh.grab().toImage());
        if (qEnvironmentVariableIsSet("QV_SAVE_GRID"))
            image.save(qEnvironmentVariable("QV_SAVE_GRID"));
        // Not blank: the first row shows its record's text in black.
        int dark = 0;
        for (int x = 0; x < twips(3435); ++x)
            dark += qGray(image.pixel(x, fresh.findChild<QWidget*>(QStringLiteral("Pt2"))->y() + twips(400)))
                < 100;
        QVERIFY(dark > 0);
    }

    void clickingARowReportsItsNumber()
    {
        LabelGrid grid(threeColumns(14));
        grid.show();
        QSignalSpy clicked(&grid, &LabelGrid::rowClicked);
        QWidget* body = grid.findChild<QWidget*>(QStringLiteral("Pt2"));
        QVERIFY(body);
        auto clickAt = [&](double xTwips, double yTwips) {
            QTest::mouseClick(body, Qt::LeftButton, {}, QPoint(twips(xTwips), twips(yTwips)));
        };
        clickAt(1000, 400); // row 0, in a cell
        clickAt(6500, 225 + 315 * 5 + 150); // row 5, right of the last cell: the background
        clickAt(1000, 225 + 315 * 13 + 200); // bottom row
        QCOMPARE(clicked.count(), 3);
        QCOMPARE(clicked.at(0).first().toInt(), 0);
        QCOMPARE(clicked.at(1).first().toInt(), 5);
        QCOMPARE(clicked.at(2).first().toInt(), 13);

        // The header buttons take the click and do nothing with it.
        auto* header = grid.findChild<QPushButton*>(QStringLiteral("Cm2(5)"));
        QVERIFY(header);
        QCOMPARE(header->text(), QStringLiteral("用法"));
        QTest::mouseClick(header, Qt::LeftButton);
        QCOMPARE(clicked.count(), 3);
    }

    void rowGeometryFollowsTheRowPitch()
    {
        QCOMPARE(LabelGrid::innerHeight(14), 4635);
        QCOMPARE(LabelGrid::innerHeight(20), 6525);
        QCOMPARE(LabelGrid::rowAt(100, 14), -1); // header
        QCOMPARE(LabelGrid::rowAt(550, 14), 0); // row 0 lies in front of the top of row 1
        QCOMPARE(LabelGrid::rowAt(560, 14), 1);
        QCOMPARE(LabelGrid::rowAt(225 + 315 * 7 + 1, 14), 7);
        QCOMPARE(LabelGrid::rowAt(4634, 14), 13);
        QCOMPARE(LabelGrid::rowAt(4635, 14), -1);

        LabelGrid grid(threeColumns(14));
        QCOMPARE(grid.scrollBar->height(), twips(4635));
        QCOMPARE(grid.scrollBar->width(), twips(255));
    }
};

QTEST_MAIN(TestLabelGrid)
#include "tst_labelgrid.moc"
