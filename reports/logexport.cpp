#include "reports/logexport.h"

#include <QDate>

namespace qv {

namespace {

    const QString kTitle = QStringLiteral("门诊日志登记本");
    const std::array<QString, 9> kHeadings = {
        QStringLiteral("动物主人/饲养单位"),
        QStringLiteral("档案号"),
        QStringLiteral("动物种类"),
        QStringLiteral("动物性别"),
        QStringLiteral("体重/数量"),
        QStringLiteral("年(日)龄"),
        QStringLiteral("执业兽医"),
        QStringLiteral("开具日期"),
        QStringLiteral("备注"),
    };
    constexpr int kDateColumn = 7;
    constexpr int kRemarksColumn = 8;

} // namespace

QString logDateText(const QString& stored)
{
    const QString day = stored.trimmed().left(10);
    if (QDate::fromString(day, Qt::ISODate).isValid())
        return day;
    return stored;
}

Workbook logWorkbook(const std::vector<LogRow>& rows)
{
    const QString face = QStringLiteral("宋体");
    Workbook book(XlsFont { face, 10, false });
    const int titleFont = book.font(XlsFont { face, 20, true });
    const int headingFont = book.font(XlsFont { face, 10, true });
    const int recordFont = 0;
    Worksheet& sheet = book.addSheet(QStringLiteral("Sheet1"));

    sheet.setText(0, 3, kTitle, titleFont);
    sheet.setRowFont(0, titleFont);
    sheet.setRowHeight(0, 30);

    for (int column = 0; column < int(kHeadings.size()); ++column)
        sheet.setText(1, column, kHeadings[column], headingFont);
    sheet.setRowFont(1, headingFont);
    sheet.setRowHeight(1, 20);

    int r = 2;
    for (const LogRow& row : rows) {
        for (int column = 0; column < kRemarksColumn; ++column) {
            const QString& text = row.texts[column];
            if (text.isEmpty())
                continue; // an empty value leaves the cell empty, as typing nothing would
            sheet.setText(r, column, column == kDateColumn ? logDateText(text) : text, recordFont);
        }
        sheet.setRowFont(r, recordFont);
        sheet.setRowHeight(r, 20);
        ++r;
    }

    sheet.setColumnWidth(0, 15);
    sheet.setColumnWidth(1, 15);
    sheet.setColumnWidth(4, 10);
    sheet.setColumnWidth(5, 10);
    sheet.setColumnWidth(7, 10);
    return book;
}

QString withXlsSuffix(const QString& chosenPath)
{
    if (chosenPath.endsWith(QStringLiteral(".xls"), Qt::CaseInsensitive))
        return chosenPath;
    return chosenPath + QStringLiteral(".xls");
}

} // namespace qv
