#include "tests/reports/xlsreadback.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace qv::test {

namespace {

    quint64 cellKey(int row, int column) { return quint64(row) << 16 | quint64(column); }

} // namespace

XlsReadBack::XlsReadBack(const QString& path)
{
    QProcess reader;
    // Debian's interpreter: the one on PATH may not see python3-xlrd.
    reader.start(QStringLiteral("/usr/bin/python3"), { QStringLiteral(XLSDUMP_PY), path });
    if (!reader.waitForFinished(300000)) {
        m_error = QStringLiteral("xlrd did not finish: ") + reader.errorString();
        return;
    }
    const QByteArray out = reader.readAllStandardOutput();
    if (reader.exitStatus() != QProcess::NormalExit || reader.exitCode() != 0) {
        m_error = QString::fromUtf8(reader.readAllStandardError());
        return;
    }
    QJsonParseError parse;
    const QJsonObject book = QJsonDocument::fromJson(out, &parse).object();
    if (parse.error != QJsonParseError::NoError) {
        m_error = QStringLiteral("unreadable reader output: ") + parse.errorString();
        return;
    }

    for (const QJsonValue f : book[u"fonts"].toArray())
        m_fonts.push_back({ f[u"name"].toString(), f[u"points"].toDouble(), f[u"bold"].toBool() });
    for (const QJsonValue s : book[u"sheets"].toArray()) {
        Sheet sheet;
        sheet.name = s[u"name"].toString();
        sheet.rows = s[u"nrows"].toInt();
        sheet.columns = s[u"ncols"].toInt();
        const QJsonObject cells = s[u"cells"].toObject();
        for (auto it = cells.begin(); it != cells.end(); ++it) {
            const QStringList at = it.key().split(u',');
            const QJsonObject c = it.value().toObject();
            sheet.cells.insert(cellKey(at[0].toInt(), at[1].toInt()),
                { c[u"kind"].toString(), c[u"value"].toVariant(), c[u"font"].toInt() });
        }
        const QJsonObject rows = s[u"rows"].toObject();
        for (auto it = rows.begin(); it != rows.end(); ++it) {
            const QJsonObject r = it.value().toObject();
            sheet.rowInfo.insert(
                it.key().toInt(), { r[u"twips"].toInt(), r[u"custom"].toBool(), r[u"font"].toInt() });
        }
        const QJsonObject columns = s[u"columns"].toObject();
        for (auto it = columns.begin(); it != columns.end(); ++it)
            sheet.widths.insert(it.key().toInt(), it.value().toInt());
        m_sheets.push_back(std::move(sheet));
    }
}

XlsReadBack::Cell XlsReadBack::cell(int row, int column, int sheet) const
{
    return m_sheets.at(sheet).cells.value(cellKey(row, column));
}

ReadFont XlsReadBack::fontAt(int index) const
{
    return index >= 0 && index < int(m_fonts.size()) ? m_fonts[index] : ReadFont();
}

int XlsReadBack::sheetCount() const { return int(m_sheets.size()); }
QString XlsReadBack::sheetName(int sheet) const { return m_sheets.at(sheet).name; }
int XlsReadBack::rowCount(int sheet) const { return m_sheets.at(sheet).rows; }
int XlsReadBack::columnCount(int sheet) const { return m_sheets.at(sheet).columns; }
int XlsReadBack::cellCount(int sheet) const { return int(m_sheets.at(sheet).cells.size()); }

QString XlsReadBack::kind(int row, int column, int sheet) const { return cell(row, column, sheet).kind; }
QString XlsReadBack::text(int row, int column, int sheet) const
{
    return cell(row, column, sheet).value.toString();
}
double XlsReadBack::number(int row, int column, int sheet) const
{
    return cell(row, column, sheet).value.toDouble();
}
ReadFont XlsReadBack::font(int row, int column, int sheet) const
{
    return fontAt(cell(row, column, sheet).font);
}

int XlsReadBack::rowTwips(int row, int sheet) const { return m_sheets.at(sheet).rowInfo.value(row).twips; }
bool XlsReadBack::rowHeightIsCustom(int row, int sheet) const
{
    return m_sheets.at(sheet).rowInfo.value(row).custom;
}
ReadFont XlsReadBack::rowFont(int row, int sheet) const
{
    return fontAt(m_sheets.at(sheet).rowInfo.value(row).font);
}
int XlsReadBack::columnWidth(int column, int sheet) const
{
    return m_sheets.at(sheet).widths.value(column, -1);
}

} // namespace qv::test
