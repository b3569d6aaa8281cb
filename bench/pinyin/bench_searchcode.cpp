// Search codes for a million catalog-like names: the folded lookup against the plain 23-table scan.
// Usage: bench_pinyin [names]   (default 1000000; the table scan codes a tenth of them, at least 1000)

#include "pinyin/lettertables.h"
#include "pinyin/searchcode.h"

#include <QElapsedTimer>
#include <QList>
#include <QRandomGenerator>
#include <QString>
#include <cstdio>

using namespace qv;

namespace {

// Names shaped like catalog rows: a drug or herb name, often a blank and a dose after it.
QList<QString> makeNames(qsizetype count)
{
    QString pool;
    for (int table = 0; table < kLetterTableCount; ++table)
        pool += letterTable(table);
    const QStringList stems = {u"注射液"_qs, u"胶囊"_qs, u"片"_qs, u"颗粒"_qs, u"软膏"_qs, QString()};
    const QStringList doses = {u" 10g"_qs, u"  0.25g×24粒"_qs, u" 250ml"_qs, QString()};
    const QStringList prefixes = {QString(), QString(), u"0.9%"_qs, u"10%"_qs};

    QRandomGenerator random(20170417);
    QList<QString> names;
    names.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        QString name = prefixes[random.bounded(prefixes.size())];
        const int length = 2 + random.bounded(5);
        for (int k = 0; k < length; ++k)
            name += pool[random.bounded(pool.size())];
        name += stems[random.bounded(stems.size())];
        name += doses[random.bounded(doses.size())];
        names.append(name);
    }
    return names;
}

struct Run {
    double seconds = 0;
    qint64 characters = 0; // characters coded (up to the first blank)
    qint64 codeLength = 0; // keeps the work from being optimised away
};

template <typename Coder>
Run codeAll(const QList<QString>& names, qsizetype count, Coder coder)
{
    Run run;
    QElapsedTimer timer;
    timer.start();
    for (qsizetype i = 0; i < count; ++i) {
        const QString& name = names[i];
        const qsizetype blank = name.indexOf(u' ');
        run.characters += blank < 0 ? name.size() : blank + 1;
        run.codeLength += coder(name).size();
    }
    run.seconds = timer.nsecsElapsed() / 1e9;
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    const qsizetype count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toLongLong() : 1000000;
    const qsizetype scanCount = qMax<qsizetype>(1000, count / 10);
    const QList<QString> names = makeNames(count);

    searchCode(names.first()); // fold the tables before timing
    const Run fast = codeAll(names, count, searchCode);
    const Run scan = codeAll(names, qMin(count, scanCount), searchCodeByTableScan);

    const double fastNames = count / fast.seconds;
    const double scanNames = qMin(count, scanCount) / scan.seconds;
    std::printf("folded lookup: %lld names in %.3f s: %.0f names/s, %.1f M characters/s (code chars %lld)\n",
                static_cast<long long>(count), fast.seconds, fastNames, fast.characters / fast.seconds / 1e6,
                static_cast<long long>(fast.codeLength));
    std::printf("table scan:    %lld names in %.3f s: %.0f names/s, %.3f M characters/s (code chars %lld)\n",
                static_cast<long long>(qMin(count, scanCount)), scan.seconds, scanNames,
                scan.characters / scan.seconds / 1e6, static_cast<long long>(scan.codeLength));
    std::printf("ratio: folded lookup is %.0fx faster\n", fastNames / scanNames);
    return 0;
}
