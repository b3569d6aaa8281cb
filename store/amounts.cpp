#include "store/amounts.h"

#include <QByteArray>

namespace qv {

namespace {

    constexpr int kDecimals = 4;
    constexpr int kWholeDigits = 15;

    bool isDigit(char c) { return c >= '0' && c <= '9'; }

    QByteArrayView trimmed(QByteArrayView text)
    {
        qsizetype from = 0, to = text.size();
        while (from < to && (text[from] == ' ' || text[from] == '\t'))
            ++from;
        while (to > from && (text[to - 1] == ' ' || text[to - 1] == '\t'))
            --to;
        return text.sliced(from, to - from);
    }

} // namespace

ServerAmount serverAmount(QByteArrayView stored)
{
    ServerAmount amount;
    const QByteArrayView text = trimmed(stored);
    if (text.isEmpty()) {
        amount.form = ServerAmount::Empty;
        return amount;
    }
    // Digits and where the point falls among them: "-12.345e1" is digits 12345, point after 3.
    qsizetype at = 0;
    const bool negative = text[0] == '-';
    if (text[0] == '-' || text[0] == '+')
        ++at;
    QByteArray digits;
    qsizetype point = -1;
    for (; at < text.size() && (isDigit(text[at]) || (text[at] == '.' && point < 0)); ++at) {
        if (text[at] == '.')
            point = digits.size();
        else
            digits += text[at];
    }
    if (point < 0)
        point = digits.size();
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        const QByteArrayView exponent = text.sliced(at);
        bool ok = false;
        const int shift = exponent.toInt(&ok);
        if (!ok || exponent.isEmpty() || exponent[0] == ' ' || shift < -40 || shift > 40) {
            amount.form = ServerAmount::Invalid;
            return amount;
        }
        point += shift;
        at = text.size();
    }
    if (digits.isEmpty() || at != text.size()) {
        amount.form = ServerAmount::Invalid;
        return amount;
    }
    // Pad so that the point falls within the digits and four decimals follow it.
    if (point < 1) {
        digits.prepend(QByteArray(1 - point, '0'));
        point = 1;
    }
    if (digits.size() < point + kDecimals + 1)
        digits.append(QByteArray(point + kDecimals + 1 - digits.size(), '0'));
    // Rounding half away from zero looks at the first dropped digit; any dropped non-zero digit is a
    // rounding.
    const bool roundUp = digits[point + kDecimals] >= '5';
    bool dropped = false;
    for (qsizetype i = point + kDecimals; i < digits.size(); ++i)
        dropped = dropped || digits[i] != '0';
    digits.truncate(point + kDecimals);
    if (roundUp) {
        qsizetype i = digits.size() - 1;
        while (i >= 0 && digits[i] == '9')
            digits[i--] = '0';
        if (i < 0) {
            digits.prepend('1');
            ++point;
        } else {
            ++digits[i];
        }
    }
    QByteArray whole = digits.first(point);
    QByteArray fraction = digits.sliced(point);
    while (whole.size() > 1 && whole[0] == '0')
        whole.remove(0, 1);
    while (!fraction.isEmpty() && fraction.endsWith('0'))
        fraction.chop(1);
    if (whole.size() > kWholeDigits) {
        amount.form = ServerAmount::Invalid;
        return amount;
    }
    const bool zero = whole == "0" && fraction.isEmpty();
    amount.text = (negative && !zero ? QByteArray("-") : QByteArray()) + whole
        + (fraction.isEmpty() ? QByteArray() : '.' + fraction);
    amount.form = dropped ? ServerAmount::Rounded : ServerAmount::Kept;
    return amount;
}

} // namespace qv
