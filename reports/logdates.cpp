#include "reports/logdates.h"

#include <QDateTime>
#include <QRegularExpression>

namespace qv {

QString dateFormatMessage() { return QStringLiteral("请填写正确格式的起止日期！日期格式为“2016-01-03”。"); }

QDate oneMonthBefore(QDate day)
{
    // QDate::addMonths keeps the day when it can and otherwise takes the last day of the month.
    return day.addMonths(-1);
}

std::optional<DateRange> parseDateRange(const QString& start, const QString& end)
{
    const auto from = parseTypedDate(start);
    const auto to = parseTypedDate(end);
    if (!from || !to)
        return std::nullopt;
    return DateRange { *from, *to };
}

QString storedDateAsIso(const QString& stored)
{
    // The usual case, already "yyyy-mm-dd", costs no parsing; anything else is read below.
    auto digits = [&](int from, int to) {
        for (int i = from; i < to; ++i)
            if (!stored[i].isDigit())
                return false;
        return true;
    };
    if (stored.size() == 10 && stored[4] == u'-' && stored[7] == u'-' && digits(0, 4) && digits(5, 7)
        && digits(8, 10))
        return stored;
    const QString text = stored.trimmed();
    const QDate day = QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd"));
    if (day.isValid() && (text.size() == 10 || !text.at(10).isDigit()))
        return isoDate(day);
    if (const auto typed = parseTypedDate(text))
        return isoDate(*typed);
    const QDateTime stamp = QDateTime::fromString(text, Qt::ISODate);
    if (stamp.isValid())
        return isoDate(stamp.date());
    return stored;
}

} // namespace qv
