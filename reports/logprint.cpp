#include "reports/logprint.h"

#include "print/printsurface.h"

#include <QRegularExpression>

namespace qv {

namespace {

    const QString kFont = QStringLiteral("宋体");

    // Column bands of the book: x of the heading text, x of the record text (millimetres).
    struct Band {
        const char* heading;
        double headingX;
        double valueX;
    };
    const Band kBands[] = {
        { "动物主人/饲养单位", 2, 2 },
        { "档案号", 52, 52 },
        { "动物种类", 92, 95 },
        { "动物性别", 112, 118 },
        { "体重/数量", 131, 135 },
        { "年(日)龄", 152, 155 },
        { "执业兽医", 172, 172 },
        { "开具日期", 197, 197 },
        { "备注", 227, 227 },
    };
    const double kVerticalRules[] = { 0, 50, 90, 110, 130, 150, 170, 195, 225, 260 };

    void drawPageFrame(PrintSurface& s, int pageNumber)
    {
        s.setFontName(kFont);
        s.setFontBold(true);
        s.setFontSize(26);
        s.setCurrentX(90);
        s.setCurrentY(0);
        s.printText(QStringLiteral("门 诊 日 志 登 记 本"));

        s.line(90, 10, 182, 10);
        s.line(90, 11, 182, 11);
        for (int i = 0; i < 16; ++i)
            s.line(0, 15 + 10 * i, 260, 15 + 10 * i);
        for (double x : kVerticalRules)
            s.line(x, 15, x, 165);

        s.setFontBold(false);
        s.setFontSize(11);
        for (const Band& band : kBands) {
            s.setCurrentX(band.headingX);
            s.setCurrentY(18);
            s.printTextNoAdvance(QString::fromUtf8(band.heading));
        }
        s.setCurrentX(240);
        s.setCurrentY(166);
        s.printText(QStringLiteral("第 %1 页").arg(pageNumber));
    }

} // namespace

bool printLogBook(PrintSurface& surface, const LogRecords& records, double leftMm, double topMm,
    const LogPrintProgress& progress)
{
    if (records.empty())
        return true;
    surface.setScaleMode(ScaleMode::Millimetres);
    surface.setScaleLeft(-leftMm);
    surface.setScaleTop(10 - topMm);
    surface.setOrientation(Orientation::Landscape);

    const int pages = int((records.size() + kLogRecordsPerPage - 1) / kLogRecordsPerPage);
    int page = 1;
    drawPageFrame(surface, page);
    int rowsOnPage = 0;
    double y = 28;
    for (const LogRecord& record : records) {
        if (++rowsOnPage > kLogRecordsPerPage) {
            rowsOnPage = 1;
            if (progress)
                progress(page, pages);
            surface.newPage();
            drawPageFrame(surface, ++page);
            y = 28;
        }
        surface.setFontBold(false);
        for (int i = 0; i < LogRecord::kFieldCount; ++i) {
            surface.setCurrentX(kBands[i].valueX);
            surface.setCurrentY(y);
            surface.printTextNoAdvance(record.field(i));
        }
        y += 10;
    }
    if (progress)
        progress(page, pages);
    const bool printed = surface.endDocument();
    surface.setScaleMode(ScaleMode::Twips);
    return printed && surface.ok();
}

LogMarginTexts loadLogMargins(Database& db)
{
    const Result r = db.run(QStringLiteral("select \"左边距1\", \"上边距1\" from \"设置\" limit 1"));
    if (!r || r.rows.isEmpty())
        return {};
    return { r.rows.first().text(QStringLiteral("左边距1")), r.rows.first().text(QStringLiteral("上边距1")) };
}

Result storeLogMargins(Database& db, const QString& left, const QString& top)
{
    return db.transaction([&] {
        Result r
            = db.run(QStringLiteral("update \"设置\" set \"左边距1\" = ?1, \"上边距1\" = ?2"), { left, top });
        if (r && r.changes == 0) {
            r.ok = false;
            r.error = QStringLiteral("设置表中没有记录。");
        }
        return r;
    });
}

} // namespace qv
