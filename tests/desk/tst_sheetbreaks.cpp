// A prescription body that runs onto further sheets breaks between a drug line and the next, never between a
// drug line and its usage.

#include "desk/prescriptionprint.h"
#include "print/fonts.h"
#include "print/recordingprint.h"

#include <QtTest>

using namespace qv;

namespace {

// The body lines as printed, page by page.
QList<QStringList> printedPages(const QString& body)
{
    RecordingPrintSurface surface;
    if (!printPaper(surface, measuredPaper("青禾动物诊所", {}, body), 10, 10))
        return {};
    QList<QStringList> pages;
    for (const PrintedItem& item : surface.recording().texts()) {
        if (item.at.x() != kBodyLeft)
            continue;
        while (pages.size() < item.page)
            pages.append(QStringList());
        pages[item.page - 1] << item.text;
    }
    return pages;
}

QStringList joined(const QList<QStringList>& pages)
{
    QStringList all;
    for (const QStringList& page : pages)
        all << page;
    return all;
}

} // namespace

class SheetBreakTest final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { installFontSubstitutions(); }

    void aDrugLineStaysWithItsUsage()
    {
        // Sixteen drugs with their usage, as the picker writes them, and a formula whose usage follows its
        // last herb row.
        QStringList lines;
        for (int i = 1; i <= 16; ++i)
            lines << QString("阿莫西林胶囊 第%1组").arg(i) << QString("    用法：口服 每日3次 第%1组").arg(i)
                  << "";
        lines << "       丁香 10g     五倍子 10g"
              << "       黄连 6g"
              << "    用法：水煎服 每日1剂"
              << "";
        const QString body = lines.join("\r\n");
        const QList<QStringList> pages = printedPages(body);
        QVERIFY(pages.size() >= 3);
        QCOMPARE(pages, bodySheets(body));
        QCOMPARE(joined(pages), printedBodyLines(body));
        const int perSheet = int(bodySheets(QString("L\n").repeated(100)).first().size());
        for (int p = 0; p < pages.size(); ++p) {
            QVERIFY(!pages[p].first().trimmed().startsWith("用法"));
            // A sheet ends early only where the next group would not fit.
            if (p + 1 < pages.size())
                QVERIFY(pages[p].size() > perSheet - 2);
        }
    }

    void aGroupLongerThanASheetBreaksWhereItMust()
    {
        const int perSheet = int(bodySheets(QString("L\n").repeated(100)).first().size());
        QStringList lines { "葡萄糖注射液", "    用法：静脉滴注 每日1次" };
        for (int i = 1; i <= perSheet + 2; ++i)
            lines << QString("    用法：第%1天 加维生素C").arg(i);
        const QString body = "青霉素钠\r\n    用法：肌肉注射\r\n\r\n" + lines.join("\r\n");
        const QList<QStringList> pages = printedPages(body);
        QCOMPARE(joined(pages), printedBodyLines(body));
        // It goes on right after the group before it and fills the sheet.
        QCOMPARE(pages.size(), 2);
        QCOMPARE(pages[0].size(), perSheet);
        QCOMPARE(pages[0][2], QString("葡萄糖注射液"));
    }
};

QTEST_MAIN(SheetBreakTest)
#include "tst_sheetbreaks.moc"
