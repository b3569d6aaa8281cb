// The one line format every benchmark prints its figures in, so that bench/run_all can gather them into a
// table:
//     FIGURE<TAB>what was measured<TAB>target<TAB>measured<TAB>against the baseline
// The target reads "< 15 ms" or "> 20 M chars/s" (empty where there is none), the measured value "12.3 ms" in
// the target's unit, so that run_all can say whether the target is met. Fields hold no tabs.
#pragma once

#include <QFile>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace qv::bench {

// Peak resident memory of this process so far, in MB (VmHWM); -1 where the system does not tell.
inline double peakMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    return -1;
}

inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A value with as many decimals as its size deserves: 0.0123, 0.456, 4.56, 45.6, 456.
inline QString number(double value)
{
    const double size = value < 0 ? -value : value;
    return QString::number(value, 'f', size < 0.1 ? 4 : size < 1 ? 3 : size < 10 ? 2 : size < 100 ? 1 : 0);
}

inline void printFigure(const QString& what, const QString& target, double value, const QString& unit,
    const QString& baseline = {})
{
    std::printf("FIGURE\t%s\t%s\t%s %s\t%s\n", qPrintable(what), qPrintable(target),
        qPrintable(number(value)), qPrintable(unit), qPrintable(baseline));
    std::fflush(stdout);
}

// The baseline column for a time set against the bare-SQLite time of the same work:
// "12.1× faster than bare SQLite (83.5 ms)" or "1.50× slower than bare SQLite (0.420 ms)".
inline QString againstBareSqlite(double ms, double bareMs)
{
    if (ms <= 0 || bareMs <= 0)
        return QStringLiteral("bare SQLite %1 ms").arg(number(bareMs));
    const bool faster = ms <= bareMs;
    return QStringLiteral("%1× %2 than bare SQLite (%3 ms)")
        .arg(number(faster ? bareMs / ms : ms / bareMs),
            faster ? QStringLiteral("faster") : QStringLiteral("slower"), number(bareMs));
}

} // namespace qv::bench
