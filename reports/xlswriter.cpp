#include "reports/xlswriter.h"

#include "platform/failures.h"
#include "reports/biff8.h"

#include <QDir>
#include <QSaveFile>

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <mutex>

namespace qv {

void Worksheet::setText(int row, int column, const QString& text, int font)
{
    XlsCell& cell = m_rows[row].cells[column];
    cell.kind = XlsCell::Kind::Text;
    cell.text = text;
    cell.font = font;
}

void Worksheet::setNumber(int row, int column, double value, int font)
{
    XlsCell& cell = m_rows[row].cells[column];
    cell.kind = XlsCell::Kind::Number;
    cell.text.clear();
    cell.number = value;
    cell.font = font;
}

void Worksheet::setRowHeight(int row, double points) { m_rows[row].heightPoints = points; }

void Worksheet::setRowFont(int row, int font) { m_rows[row].font = font; }

void Worksheet::setColumnWidth(int column, double characters) { m_columnWidths[column] = characters; }

Workbook::Workbook(const XlsFont& defaultFont) { m_fonts.push_back(defaultFont); }

int Workbook::font(const XlsFont& font)
{
    const auto found = std::find(m_fonts.begin(), m_fonts.end(), font);
    if (found != m_fonts.end())
        return int(found - m_fonts.begin());
    m_fonts.push_back(font);
    return int(m_fonts.size() - 1);
}

Worksheet& Workbook::addSheet(const QString& name) { return m_sheets.emplace_back(name); }

namespace {

    bool fail(QString* error, const QString& message)
    {
        if (error)
            *error = message;
        return false;
    }

    QString checkFonts(const std::vector<XlsFont>& fonts)
    {
        for (const XlsFont& font : fonts) {
            if (font.name.isEmpty() || font.name.size() > 31)
                return QStringLiteral("字体名称无效：“%1”").arg(font.name);
            if (!(font.points >= 1 && font.points <= 409))
                return QStringLiteral("字号无效：%1").arg(font.points);
        }
        return {};
    }

    QString checkSheetName(const QString& name, const QStringList& earlierNames)
    {
        static const QString forbidden = QStringLiteral(":\\/?*[]");
        const bool badCharacter
            = std::any_of(name.begin(), name.end(), [](QChar c) { return forbidden.contains(c); });
        if (name.isEmpty() || name.size() > 31 || badCharacter || name.startsWith(u'\'')
            || name.endsWith(u'\''))
            return QStringLiteral("工作表名称无效：“%1”").arg(name);
        if (earlierNames.contains(name, Qt::CaseInsensitive))
            return QStringLiteral("工作表名称重复：“%1”").arg(name);
        return {};
    }

    QString checkSheet(const Worksheet& sheet, int fontCount)
    {
        const QString where = QStringLiteral("工作表“%1”").arg(sheet.name());
        for (const auto& [r, row] : sheet.rows()) {
            if (r < 0 || r >= kBiff8Rows)
                return where + QStringLiteral("的行数超出 .xls 格式的上限 %1 行").arg(kBiff8Rows);
            if (row.heightPoints < 0 || row.heightPoints > kBiff8MaxRowPoints)
                return where + QStringLiteral("第 %1 行的行高无效").arg(r + 1);
            if (row.font < -1 || row.font >= fontCount)
                return where + QStringLiteral("第 %1 行的字体无效").arg(r + 1);
            for (const auto& [c, cell] : row.cells) {
                if (c < 0 || c >= kBiff8Columns)
                    return where + QStringLiteral("的列数超出 .xls 格式的上限 %1 列").arg(kBiff8Columns);
                if (cell.font < 0 || cell.font >= fontCount)
                    return where + QStringLiteral("第 %1 行第 %2 列的字体无效").arg(r + 1).arg(c + 1);
                if (cell.kind == XlsCell::Kind::Number && !std::isfinite(cell.number))
                    return where + QStringLiteral("第 %1 行第 %2 列不是有限的数值").arg(r + 1).arg(c + 1);
                if (cell.text.size() > kBiff8CellTextLength)
                    return where
                        + QStringLiteral("第 %1 行第 %2 列的文字超过 %3 个字符")
                              .arg(r + 1)
                              .arg(c + 1)
                              .arg(kBiff8CellTextLength);
            }
        }
        for (const auto& [c, characters] : sheet.columnWidths()) {
            if (c < 0 || c >= kBiff8Columns || !(characters >= 0 && characters <= kBiff8MaxColumnCharacters))
                return where + QStringLiteral("第 %1 列的列宽无效").arg(c + 1);
        }
        return {};
    }

    // Everything the format cannot hold is refused before any file is touched.
    QString checkWorkbook(const Workbook& workbook)
    {
        if (workbook.sheets().empty())
            return QStringLiteral("工作簿中没有工作表");
        if (QString problem = checkFonts(workbook.fonts()); !problem.isEmpty())
            return problem;
        QStringList names;
        for (const Worksheet& sheet : workbook.sheets()) {
            if (QString problem = checkSheetName(sheet.name(), names); !problem.isEmpty())
                return problem;
            names << sheet.name();
            if (QString problem = checkSheet(sheet, int(workbook.fonts().size())); !problem.isEmpty())
                return problem;
        }
        return {};
    }

    // The compound file holding one "Workbook" stream, built in memory.
    QByteArray compoundFile(const QByteArray& workbookStream)
    {
        static std::once_flag gsfReady;
        std::call_once(gsfReady, [] { gsf_init(); });

        GsfOutput* memory = gsf_output_memory_new();
        GsfOutfile* ole = gsf_outfile_msole_new(memory);
        GsfOutput* stream = gsf_outfile_new_child(ole, "Workbook", FALSE);
        bool ok = stream
            && gsf_output_write(stream, size_t(workbookStream.size()),
                reinterpret_cast<const guint8*>(workbookStream.constData()));
        if (stream) {
            ok = gsf_output_close(stream) && ok;
            g_object_unref(stream);
        }
        ok = gsf_output_close(GSF_OUTPUT(ole)) && ok;
        g_object_unref(ole);
        QByteArray bytes;
        if (ok) {
            const guint8* data = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory));
            bytes = QByteArray(reinterpret_cast<const char*>(data), qsizetype(gsf_output_size(memory)));
        }
        g_object_unref(memory);
        return bytes;
    }

} // namespace

bool writeXls(const Workbook& workbook, const QString& path, QString* error)
{
    if (QString problem = checkWorkbook(workbook); !problem.isEmpty())
        return fail(error, problem);

    const QByteArray bytes = compoundFile(biff8WorkbookStream(workbook));
    if (bytes.isEmpty())
        return fail(error, QStringLiteral("无法生成 .xls 文件内容"));

    // QSaveFile writes a temporary file beside the target and renames it only when all was written.
    QSaveFile file(path);
    auto refused = [&](int savedErrno) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(error,
            QStringLiteral("无法写入文件“%1”：%2")
                .arg(QDir::toNativeSeparators(path), explainFileFailure(path, reason, savedErrno)));
    };
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        return refused(errno);
    if (file.write(bytes) != bytes.size())
        return refused(errno);
    if (!file.commit())
        return refused(errno);
    return true;
}

} // namespace qv
