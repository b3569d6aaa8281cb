// The drug catalog window on a catalog of 100,000 rows: the program's one catalog index (its read and its
// memory), the time of a search keystroke (the window's handler for a change of the search text: search,
// grid fill, paint) beside SQLite searching the table itself, of one scroll step (handler and repaint), of a
// save (the index takes the one changed row), and the time the window takes to open. Prints medians in
// milliseconds. Runs headless (offscreen) unless QT_QPA_PLATFORM says otherwise.

#include "bench/barequery.h"
#include "bench/figures.h"
#include "catalogs/catalogindex.h"
#include "catalogs/drugcatalogwindow.h"
#include "pinyin/searchcode.h"
#include "platform/services.h"
#include "store/database.h"
#include "store/template/templatedb.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <malloc.h>

using namespace qv;

namespace {

class WallClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

class SilentMessages final : public Messages {
public:
    void inform(const QString&, Icon) override { }
    bool askYesNo(const QString&, Icon) override { return false; }
    bool askOkCancel(const QString&, Icon) override { return false; }
    Answer askYesNoCancel(const QString&, Icon) override { return Answer::Cancel; }
};

// n rows of category 西药 with names like the template's, each with its own strength and pack.
bool fill(Database& db, int n)
{
    const QStringList bases = { QStringLiteral("阿莫西林胶囊"), QStringLiteral("头孢氨苄颗粒"),
        QStringLiteral("甲硝唑片"), QStringLiteral("青霉素钠注射液"), QStringLiteral("庆大霉素注射液"),
        QStringLiteral("左氧氟沙星注射液"), QStringLiteral("氯化钠注射液"), QStringLiteral("葡萄糖注射液"),
        QStringLiteral("维生素C片"), QStringLiteral("地塞米松磷酸钠注射液"), QStringLiteral("伊维菌素注射液"),
        QStringLiteral("阿苯达唑片") };
    Result r = db.transaction([&]() -> Result {
        Result last;
        last.ok = true;
        for (int i = 0; i < n && last; ++i) {
            const QString name = bases[i % bases.size()] + QStringLiteral(" %1g×%2片").arg(i % 97).arg(i);
            const QString code = searchCode(name);
            const QString key = QStringLiteral("2%1").arg(i, 13, 10, QLatin1Char('0'));
            last = db.run(QStringLiteral("insert into \"商品\" (\"ID号\", \"名称\", \"用法\", \"拼音\", "
                                         "\"分类\", \"查询\", \"库存\") "
                                         "values (?, ?, ?, ?, ?, ?, 0)"),
                { key, name, QStringLiteral("0.5g 口服 每日3次"), code, QStringLiteral("西药"),
                    name + code });
        }
        return last;
    });
    if (!r)
        std::fprintf(stderr, "fill failed: %s\n", qPrintable(r.error));
    return r.ok;
}

double paintMs(QWidget* w)
{
    QImage image(w->size(), QImage::Format_ARGB32_Premultiplied);
    QElapsedTimer t;
    t.start();
    w->render(&image);
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("数据库.dat"));
    QString error;
    Database db;
    if (!writeTemplateDatabase(path, &error) || !db.open(path, &error)) {
        std::fprintf(stderr, "database: %s\n", qPrintable(error));
        return 1;
    }
    const int n = 100000;
    if (!fill(db, n))
        return 1;

    WallClock clock;
    SilentMessages messages;
    Services services;
    services.clock = &clock;
    services.messages = &messages;
    services.db = &db;

    // The one index of the program, as start-up makes it; the heap it takes is measured by malloc's count.
    QElapsedTimer t;
    std::vector<double> indexReads;
    double indexMegabytes = 0;
    std::unique_ptr<CatalogIndex> shared;
    for (int round = 0; round < 3; ++round) {
        shared.reset();
        const size_t heapBefore = mallinfo2().uordblks;
        shared = std::make_unique<CatalogIndex>(db);
        t.start();
        if (!shared->load(&error)) {
            std::fprintf(stderr, "catalog index: %s\n", qPrintable(error));
            return 1;
        }
        indexReads.push_back(t.nsecsElapsed() / 1e6);
        indexMegabytes = (mallinfo2().uordblks - heapBefore) / 1048576.0;
    }
    services.catalog = shared.get();
    bench::printFigure(QStringLiteral("catalog index read, %1 rows (one for the desk and the catalog window)")
                           .arg(shared->size()),
        QString(), bench::median(indexReads), QStringLiteral("ms"));
    bench::printFigure(QStringLiteral("catalog index memory, %1 rows").arg(shared->size()), QString(),
        indexMegabytes, QStringLiteral("MB"));

    t.start();
    DrugCatalogWindow window(services);
    const double openMs = t.nsecsElapsed() / 1e6;
    window.show();
    QApplication::processEvents();
    LabelGrid* grid = window.grid();
    std::printf("catalog of %d rows (%d listed in 西药)\n", n, grid->recordCount());
    bench::printFigure(QStringLiteral("catalog window open (index read before, first search)"), QString(),
        openMs, QStringLiteral("ms"));

    // Typing "amxl", erasing it, then typing "阿莫" and "头孢", and a text that finds nothing.
    const QStringList typed = { QStringLiteral("a"), QStringLiteral("am"), QStringLiteral("amx"),
        QStringLiteral("amxl"), QStringLiteral("amx"), QStringLiteral("am"), QStringLiteral("a"), QString(),
        QStringLiteral("阿"), QStringLiteral("阿莫"), QString(), QStringLiteral("头"), QStringLiteral("头孢"),
        QStringLiteral("头孢x"), QString() };
    // The straightforward answer the window's index replaces: the table searched by SQLite at every
    // keystroke.
    const QString bareSql
        = QStringLiteral("select \"ID号\", \"名称\", \"用法\", \"拼音\" from \"商品\" where \"分类\" = ? and "
                         "lower(\"查询\") like ? escape '\\' order by \"ID号\" desc");
    std::vector<double> keystrokeMs, bareMs;
    for (int round = 0; round < 5; ++round) {
        for (const QString& text : typed) {
            t.start();
            window.searchBox->setText(text); // runs the search-text change handler
            const double handler = t.nsecsElapsed() / 1e6;
            keystrokeMs.push_back(handler + paintMs(grid));
            bareMs.push_back(
                bench::bareQueryMs(db, bareSql, { QStringLiteral("西药"), containsPattern(text) }));
            if (bareMs.back() < 0) {
                std::fprintf(stderr, "SQLite refused the search statement\n");
                return 1;
            }
        }
    }
    const double keystroke = bench::median(keystrokeMs);
    std::printf("search keystroke: worst %.2f ms over %zu keystrokes\n",
        *std::max_element(keystrokeMs.begin(), keystrokeMs.end()), keystrokeMs.size());
    bench::printFigure(
        QStringLiteral("catalog search keystroke, %1 rows (search + grid fill + paint)").arg(n),
        QStringLiteral("< 30 ms"), keystroke, QStringLiteral("ms"),
        bench::againstBareSqlite(keystroke, bench::median(bareMs)));

    window.searchBox->setText(QString());
    QApplication::processEvents();
    std::vector<double> scrollMs, scrollPaintMs, scrollRepaintMs;
    const int maximum = grid->scrollBar->maximum();
    for (int step = 1; step <= 5000; ++step) {
        t.start();
        grid->scrollBar->setValue((step * 7919) % maximum);
        scrollMs.push_back(t.nsecsElapsed() / 1e6);
        if (step % 25 == 0)
            scrollPaintMs.push_back(scrollMs.back() + paintMs(grid));
        if (step % 25 == 1) {
            // What the window really paints: the dirty part of the grid, into the window's backing store.
            t.start();
            grid->scrollBar->setValue((step * 7919) % maximum);
            QApplication::processEvents();
            scrollRepaintMs.push_back(t.nsecsElapsed() / 1e6);
        }
    }
    bench::printFigure(
        QStringLiteral("catalog scroll step over %1 records (handler)").arg(grid->recordCount()),
        QStringLiteral("< 1 ms"), bench::median(scrollMs), QStringLiteral("ms"));
    bench::printFigure(QStringLiteral("catalog scroll step over %1 records (handler + whole grid rendered)")
                           .arg(grid->recordCount()),
        QStringLiteral("< 1 ms"), bench::median(scrollPaintMs), QStringLiteral("ms"));
    bench::printFigure(
        QStringLiteral("catalog scroll step over %1 records (handler + repaint)").arg(grid->recordCount()),
        QStringLiteral("< 1 ms"), bench::median(scrollRepaintMs), QStringLiteral("ms"));

    // A save in the window: the index re-reads the one row written, the list is searched again.
    std::vector<double> saveMs;
    window.searchBox->setText(QStringLiteral("amx"));
    const int refreshedBefore = shared->rowsRefreshed();
    for (int i = 0; i < 20; ++i) {
        window.selectRow(i % 5);
        window.usageBox->setText(QStringLiteral("0.5g 口服 每日%1次").arg(i % 4 + 1));
        t.start();
        window.saveRecord();
        saveMs.push_back(t.nsecsElapsed() / 1e6);
    }
    bench::printFigure(QStringLiteral("catalog save, index kept current (%1 rows re-read, %2 whole reads)")
                           .arg(shared->rowsRefreshed() - refreshedBefore)
                           .arg(shared->loads()),
        QString(), bench::median(saveMs), QStringLiteral("ms"));
    return 0;
}
