#include "store/jet/jetvalues.h"

#include <QDate>

#include <cmath>

namespace qv {

bool jet4Text(QByteArrayView bytes, QString* text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    if (n < 2 || p[0] != 0xff || p[1] != 0xfe) {
        if (n % 2)
            return false;
        text->resize(n / 2);
        char16_t* out = reinterpret_cast<char16_t*>(text->data());
        for (qsizetype i = 0; i < n / 2; ++i)
            out[i] = char16_t(p[2 * i] | (p[2 * i + 1] << 8));
        return true;
    }
    // Compressed: never longer than one character per byte.
    text->resize(n - 2);
    char16_t* out = reinterpret_cast<char16_t*>(text->data());
    qsizetype length = 0;
    bool oneByte = true;
    for (qsizetype i = 2; i < n;) {
        if (p[i] == 0) {
            oneByte = !oneByte;
            ++i;
        } else if (oneByte) {
            out[length++] = p[i++];
        } else {
            if (i + 1 >= n)
                return false;
            out[length++] = char16_t(p[i] | (p[i + 1] << 8));
            i += 2;
        }
    }
    text->truncate(length);
    return true;
}

QString jetAmountText(qint64 tenThousandths)
{
    // Unsigned, so that the lowest amount has a magnitude too.
    const bool negative = tenThousandths < 0;
    const quint64 magnitude = negative ? 0 - quint64(tenThousandths) : quint64(tenThousandths);
    QString text = QString::number(magnitude / 10000);
    quint64 fraction = magnitude % 10000;
    if (fraction) {
        int digits = 4;
        while (fraction % 10 == 0) {
            fraction /= 10;
            --digits;
        }
        text += QLatin1Char('.') + QStringLiteral("%1").arg(fraction, digits, 10, QLatin1Char('0'));
    }
    if (negative)
        text.prepend(QLatin1Char('-'));
    return text;
}

namespace {

    constexpr qint64 kDayMs = 86400000;

    void twoDigits(char16_t* at, int value)
    {
        at[0] = char16_t(u'0' + value / 10);
        at[1] = char16_t(u'0' + value % 10);
    }

} // namespace

QString jetDateText(double days)
{
    // 100-01-01 and the end of 9999-12-31, the range Access keeps.
    if (!std::isfinite(days) || days < -657434.0 || days >= 2958466.0)
        return QString::number(days, 'g', 17);
    const double whole = std::trunc(days);
    // A double of days holds the time to a few microseconds: milliseconds keep every time Access can write.
    qint64 ms = std::llround(std::fabs(days - whole) * double(kDayMs));
    qint64 day = qint64(whole);
    if (ms >= kDayMs) {
        ms -= kDayMs;
        ++day;
    }
    int year = 0, month = 0, dayOfMonth = 0;
    QDate(1899, 12, 30).addDays(day).getDate(&year, &month, &dayOfMonth);
    // Written by hand: a ten-year archive has hundreds of thousands of dates.
    const bool withMs = ms % 1000 != 0;
    QString text(ms == 0 ? 10 : withMs ? 23 : 19, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    twoDigits(out, year / 100);
    twoDigits(out + 2, year % 100);
    out[4] = u'-';
    twoDigits(out + 5, month);
    out[7] = u'-';
    twoDigits(out + 8, dayOfMonth);
    if (ms == 0)
        return text;
    const qint64 seconds = ms / 1000;
    out[10] = u' ';
    twoDigits(out + 11, int(seconds / 3600));
    out[13] = u':';
    twoDigits(out + 14, int(seconds / 60 % 60));
    out[16] = u':';
    twoDigits(out + 17, int(seconds % 60));
    if (withMs) {
        out[19] = u'.';
        out[20] = char16_t(u'0' + ms % 1000 / 100);
        twoDigits(out + 21, int(ms % 100));
    }
    return text;
}

} // namespace qv
