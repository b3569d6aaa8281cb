// The prescription desk's two hot paths:
//  - one keystroke in the drug search box (search + list refill) on a catalog of 100,000 商品 rows,
//    beside the same statement stepped bare through SQLite on the same connection (the desk answers from
//    the catalog index; here the desk reads it itself when it loads, and that load is reported too: the
//    program reads it in the background from start-up, see bench_archive);
//  - a herb inserted into a body of 500 lines.
// Usage: bench_desk [rows]   (default 100000)

#include "bench/barequery.h"
#include "bench/figures.h"
#include "desk/bodylayout.h"
#include "desk/pickerqueries.h"
#include "desk/prescriptiondesk.h"
#include "pinyin/lettertables.h"
#include "pinyin/searchcode.h"
#include "store/database.h"
#include "store/template/templatedb.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

using namespace qv;

namespace {

class BenchClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

struct Figures {
    double median = 0, p90 = 0, max = 0;
};

Figures summarise(QList<double> ms)
{
    std::sort(ms.begin(), ms.end());
    if (ms.isEmpty())
        return {};
    return { ms[ms.size() / 2], ms[qMin(ms.size() - 1, ms.size() * 9 / 10)], ms.last() };
}

// Catalog rows shaped like real ones: Chinese names of 2 to 6 characters with a form and a dose, a usage line
// on most non-herb rows, categories in the proportions of a practice's catalog.
bool fillCatalog(Database& db, int count)
{
    QString pool;
    for (int table = 0; table < kLetterTableCount; ++table)
        pool += letterTable(table);
    const QStringList forms = { u"注射液"_qs, u"胶囊"_qs, u"片"_qs, u"颗粒"_qs, u"软膏"_qs, QString() };
    const QStringList doses = { u" 10g"_qs, u"  0.25g×24粒"_qs, u" 250ml"_qs, u"  3.0g"_qs };
    const QStringList categories
        = { u"中药"_qs, u"中药"_qs, u"西药"_qs, u"西药"_qs, u"西药"_qs, u"西药"_qs, u"其他"_qs, u"用法"_qs };
    QRandomGenerator random(20170417);
    const Result r = db.transaction([&] {
        for (int i = 0; i < count; ++i) {
            QString name;
            const int length = 2 + random.bounded(5);
            for (int k = 0; k < length; ++k)
                name += pool[random.bounded(pool.size())];
            name += forms[random.bounded(forms.size())] + doses[random.bounded(doses.size())];
            const QString category = categories[random.bounded(categories.size())];
            const QString usage = category == u"中药"_qs ? QString() : u"静脉滴注  每日1次"_qs;
            const QString code = searchCode(name);
            Result row
                = db.run(u"insert into \"商品\" (\"ID号\", \"分类\", \"名称\", \"用法\", \"拼音\", \"查询\") "
                         u"values (?, ?, ?, ?, ?, ?)"_qs,
                    { QStringLiteral("B%1").arg(i), category, name, usage, code, name + code });
            if (!row)
                return row;
        }
        return Result { true };
    });
    if (!r)
        std::fprintf(stderr, "catalog fill failed: %s\n", qPrintable(r.error));
    return r.ok;
}

double bareQueryMs(Database& db, const PickerQuery& query)
{
    return bench::bareQueryMs(db, query.sql, query.params);
}

void print(const char* what, const Figures& f)
{
    std::printf("  %-46s median %7.2f ms   p90 %7.2f ms   max %7.2f ms\n", what, f.median, f.p90, f.max);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv(
        "QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;

    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(u"数据库.dat"_qs);
    QString error;
    Database db;
    if (!writeTemplateDatabase(path, &error) || !db.open(path, &error)) {
        std::fprintf(stderr, "database: %s\n", qPrintable(error));
        return 1;
    }
    QElapsedTimer fillTimer;
    fillTimer.start();
    if (!fillCatalog(db, rows))
        return 1;
    std::printf("bench_desk: %d catalog rows added in %.1f s\n", rows, fillTimer.elapsed() / 1000.0);

    BenchClock clock;
    AppContext context;
    context.dataFolder = dir.path();
    context.databasePath = path;
    Services services;
    services.clock = &clock;
    services.db = &db;
    services.context = &context;
    QElapsedTimer loadTimer;
    loadTimer.start();
    PrescriptionDesk desk(services);
    bench::printFigure(QStringLiteral("desk load, reading the catalog index itself"), QString(),
        loadTimer.nsecsElapsed() / 1e6, QStringLiteral("ms"));
    desk.show();
    app.processEvents();

    // Keystrokes as a user types them: initials, then Chinese, each word typed and erased again.
    const QStringList words
        = { u"amx"_qs, u"zsy"_qs, u"qms"_qs, u"黄芪"_qs, u"注射液"_qs, u"xq"_qs, u"10g"_qs };
    QList<double> keystroke, bare;
    QElapsedTimer timer;
    for (int category : { int(Western), int(Herbs), int(Usage) }) {
        desk.switchCategory(category);
        for (const QString& word : words) {
            for (int pass = 0; pass < 2; ++pass) {
                for (qsizetype n = 1; n <= word.size(); ++n) {
                    timer.start();
                    desk.searchBox->insert(word.mid(n - 1, 1));
                    keystroke << timer.nsecsElapsed() / 1e6;
                    bare << bareQueryMs(db, searchListQuery(category, desk.searchBox->text()));
                }
                for (qsizetype n = word.size(); n > 0; --n) {
                    timer.start();
                    desk.searchBox->backspace();
                    keystroke << timer.nsecsElapsed() / 1e6;
                    bare << bareQueryMs(db, searchListQuery(category, desk.searchBox->text()));
                }
            }
        }
    }
    if (std::any_of(bare.begin(), bare.end(), [](double ms) { return ms < 0; })) {
        std::fprintf(stderr, "SQLite refused the picker's statement\n");
        return 1;
    }
    std::printf(
        "search box keystroke on %d 商品 rows (%lld keystrokes):\n", rows, qlonglong(keystroke.size()));
    const Figures typing = summarise(keystroke), bareTyping = summarise(bare);
    print("keystroke: search + list refill", typing);
    print("bare SQLite, same statement, same connection", bareTyping);
    bench::printFigure(QStringLiteral("desk search keystroke, %1 商品 rows (query + list refill)").arg(rows),
        QStringLiteral("< 15 ms"), typing.median, QStringLiteral("ms"),
        bench::againstBareSqlite(typing.median, bareTyping.median));

    // A herb into a body of 500 lines, at its end.
    QStringList lines;
    for (int i = 0; i < 500; ++i)
        lines << ((i % 3 == 2) ? QString() : u"     黄芪 10g     当归 10g     白术 10g"_qs);
    const QString body = bodyToStored(lines.join(QLatin1Char('\n')));
    desk.switchCategory(Herbs);
    QList<double> herb;
    for (int i = 0; i < 100; ++i) {
        desk.setBodyText(body);
        desk.body->moveCursor(QTextCursor::End);
        desk.resultList->setCurrentRow(i % desk.resultList->count());
        timer.start();
        desk.addChosenRow();
        herb << timer.nsecsElapsed() / 1e6;
    }
    std::printf("herb insert into a body of 500 lines (%lld inserts):\n", qlonglong(herb.size()));
    const Figures inserting = summarise(herb);
    print("insert at the caret", inserting);
    bench::printFigure(QStringLiteral("desk herb insert into a body of 500 lines"), QStringLiteral("< 5 ms"),
        inserting.median, QStringLiteral("ms"));
    return 0;
}
