// Search codes for a million catalog-like names: the folded lookup against the plain 23-table scan.
// Usage: bench_pinyin [names]   (default 1000000; the table scan codes a tenth of them, at least 1000)

#include "bench/figures.h"
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
    const QStringList stems = { u"注射液"_qs, u"胶囊"_qs, u"片"_qs, u"颗粒"_qs, u"软膏"_qs, QString() };
    const QStringList doses = { u" 10g"_qs, u"  0.25g×24粒"_qs, u" 250ml"_qs, QString() };
    const QStringList prefixes = { QString(), QString(), u"0.9%"_qs, u"10%"_qs };

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

template <typename Coder> Run codeAll(const QList<QString>& names, qsizetype count, Coder coder)
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
    const qsizetype scanCount = qMin(count, qMax<qsizetype>(1000, count / 10));
    const QList<QString> names = makeNames(count);

    searchCode(names.first()); // fold the tables before timing
    std::vector<double> fastRates, scanRates; // M characters per second, one per run
    qint64 fastCode = 0, scanCode = 0;
    for (int run = 0; run < 5; ++run) {
        const Run fast = codeAll(names, count, searchCode);
        fastRates.push_back(fast.characters / fast.seconds / 1e6);
        fastCode = fast.codeLength;
    }
    for (int run = 0; run < 3; ++run) {
        const Run scan = codeAll(names, scanCount, searchCodeByTableScan);
        scanRates.push_back(scan.characters / scan.seconds / 1e6);
        scanCode = scan.codeLength;
    }
    const double fastRate = bench::median(fastRates);
    const double scanRate = bench::median(scanRates);
    std::printf("folded lookup: %lld names, 5 runs; table scan: %lld names, 3 runs (code chars %lld, %lld)\n",
        static_cast<long long>(count), static_cast<long long>(scanCount), static_cast<long long>(fastCode),
        static_cast<long long>(scanCode));
    bench::printFigure(QStringLiteral("search codes, catalog-like names"), QStringLiteral("> 20 M chars/s"),
        fastRate, QStringLiteral("M chars/s"),
        QStringLiteral("23-table scan %1 M chars/s").arg(bench::number(scanRate)));
    bench::printFigure(QStringLiteral("search codes, speed-up over the 23-table scan"),
        QStringLiteral("≥ 50 ×"), fastRate / scanRate, QStringLiteral("×"));
    return 0;
}
