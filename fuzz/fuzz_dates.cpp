// Typed dates: whatever is typed, a date that is accepted is a real calendar day that reads back the same
// through "yyyy-mm-dd", and carries the numbers that were typed; every real day is accepted in every
// written form the boxes allow.

#include "fuzz/fuzzinput.h"
#include "platform/typedvalues.h"
#include "reports/logdates.h"

#include <QStringList>

#include <cmath>

using namespace qv;

namespace {

bool isIsoShape(const QString& text)
{
    if (text.size() != 10 || text[4] != u'-' || text[7] != u'-')
        return false;
    for (int i : { 0, 1, 2, 3, 5, 6, 8, 9 })
        if (text[i] < u'0' || text[i] > u'9')
            return false;
    return true;
}

void checkTypedText(const QString& typed)
{
    const auto day = parseTypedDate(typed);
    if (day) {
        QV_FUZZ_CHECK(day->isValid());
        const QString iso = isoDate(*day);
        QV_FUZZ_CHECK(isIsoShape(iso));
        QV_FUZZ_CHECK(parseTypedDate(iso) == day);
        // The numbers typed are the day's numbers, whichever separator was used.
        const QString trimmed = typed.trimmed();
        const QStringList parts = trimmed.split(trimmed.contains(u'/') ? u'/' : u'-');
        QV_FUZZ_CHECK(parts.size() == 3);
        QV_FUZZ_CHECK(parts[0].size() == 4 && parts[1].size() <= 2 && parts[2].size() <= 2);
        QV_FUZZ_CHECK(parts[0].toInt() == day->year() && parts[1].toInt() == day->month()
            && parts[2].toInt() == day->day());
    }
    // What Qt reads as an ISO day is accepted too.
    const QDate qtDay = QDate::fromString(typed.trimmed(), QStringLiteral("yyyy-MM-dd"));
    if (qtDay.isValid() && isIsoShape(typed.trimmed()))
        QV_FUZZ_CHECK(day == qtDay);

    // A stored value is shown as stored, or as a day the boxes accept.
    const QString shown = storedDateAsIso(typed);
    QV_FUZZ_CHECK(shown == typed || (isIsoShape(shown) && parseTypedDate(shown)));

    const double number = leadingNumber(typed);
    QV_FUZZ_CHECK(!std::isnan(number));
}

void checkDay(QDate day)
{
    QV_FUZZ_CHECK(parseTypedDate(isoDate(day)) == day);
    const QString y = QString::number(day.year()), m = QString::number(day.month()),
                  d = QString::number(day.day());
    QV_FUZZ_CHECK(parseTypedDate(y + u'/' + m + u'/' + d) == day);
    QV_FUZZ_CHECK(parseTypedDate(QStringLiteral(" %1-%2-%3\t").arg(y, m, d)) == day);
    QV_FUZZ_CHECK(storedDateAsIso(isoDate(day) + QStringLiteral(" 08:30:00")) == isoDate(day));

    const QDate before = oneMonthBefore(day);
    QV_FUZZ_CHECK(before.isValid() && before < day);
    QV_FUZZ_CHECK((day.year() * 12 + day.month()) - (before.year() * 12 + before.month()) == 1);
    QV_FUZZ_CHECK(before.day() == std::min(day.day(), before.daysInMonth()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The first bytes choose a day of the years 1000–9999 that the boxes can show.
    if (size >= 3) {
        const qint64 first = QDate(1000, 1, 1).toJulianDay(), last = QDate(9999, 12, 31).toJulianDay();
        const qint64 offset = (data[0] | data[1] << 8 | data[2] << 16) % (last - first + 1);
        checkDay(QDate::fromJulianDay(first + offset));
    }

    const QString text = fuzz::textFromBytes(data, size);
    checkTypedText(text);

    // Two boxes: the text up to the first line break and the rest.
    const qsizetype cut = text.indexOf(u'\n');
    const QString start = cut < 0 ? text : text.left(cut), end = cut < 0 ? QString() : text.mid(cut + 1);
    const auto range = parseDateRange(start, end);
    const auto from = parseTypedDate(start), to = parseTypedDate(end);
    QV_FUZZ_CHECK(range.has_value() == (from && to));
    if (range)
        QV_FUZZ_CHECK(range->from == *from && range->to == *to);
    return 0;
}
