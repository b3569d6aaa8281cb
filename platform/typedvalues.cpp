#include "platform/typedvalues.h"

#include <QRegularExpression>

namespace qv {

QString isoDate(QDate day) { return day.toString(QStringLiteral("yyyy-MM-dd")); }

std::optional<QDate> parseTypedDate(const QString& typed)
{
    static const QRegularExpression shape(QStringLiteral("^(\\d{4})([-/])(\\d{1,2})\\2(\\d{1,2})$"));
    const QRegularExpressionMatch m = shape.match(typed.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    const QDate day(m.captured(1).toInt(), m.captured(3).toInt(), m.captured(4).toInt());
    if (!day.isValid())
        return std::nullopt;
    return day;
}

double leadingNumber(const QString& typed)
{
    static const QRegularExpression number(QStringLiteral("^\\s*([+-]?(\\d+\\.?\\d*|\\.\\d+))"));
    const QRegularExpressionMatch m = number.match(typed);
    return m.hasMatch() ? m.captured(1).toDouble() : 0;
}

} // namespace qv
