#include "desk/bodylayout.h"

#include "pinyin/gbk.h"

namespace qv {

int displayWidth(QStringView text)
{
    int width = 0;
    for (const QChar c : text)
        width += (c.unicode() >= 0x80 && isGbkDoubleByte(c)) ? 2 : 1;
    return width;
}

QString alignHerbEntry(const QString& text)
{
    const int width = displayWidth(text);
    if (width >= kHerbEntryColumns)
        return text;
    return QString(kHerbEntryColumns - width, QLatin1Char(' ')) + text;
}

int caretColumn(QStringView text, int position)
{
    position = qBound(0, position, int(text.size()));
    const int lineStart = int(text.left(position).lastIndexOf(QLatin1Char('\n'))) + 1;
    return displayWidth(text.mid(lineStart, position - lineStart)) + 1;
}

QString drugRowAppendText(const QString& row)
{
    const QString usageLine = QStringLiteral("\n") + QString::fromUtf16(kUsageLineStart);
    if (row.contains(QLatin1Char('\\')))
        return QString(row).replace(QLatin1Char('\\'), usageLine) + QStringLiteral("\n\n");
    if (row.contains(QStringLiteral("用法")))
        return QStringLiteral("    ") + row + QStringLiteral("\n\n");
    return row + QStringLiteral("\n");
}

QString herbInsertText(const QString& row, int caretColumn)
{
    const QString entry = alignHerbEntry(row);
    return caretColumn > kHerbRowLastColumn ? QStringLiteral("\n\n") + entry : entry;
}

QString prescriptionSetInsertText(const QString& content, int caretColumn)
{
    const QString text = content + QStringLiteral("\n\n");
    return caretColumn > 1 ? QStringLiteral("\n") + text : text;
}

QString quickInsertText(const QString& caption)
{
    return caption.contains(QStringLiteral("用法：")) ? caption + QStringLiteral("\n\n") : caption;
}

QString bodyToStored(const QString& editorText)
{
    return QString(editorText).replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

QString bodyFromStored(const QString& storedText)
{
    return QString(storedText)
        .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

} // namespace qv
