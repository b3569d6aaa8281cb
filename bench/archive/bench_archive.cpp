// Ten years of a busy practice: a database of 400,000 prescriptions (about 110 a day) and a drug catalog of
// 100,000 rows, as an earlier version of the program left it (no index on the date of issue). Measures the
// first start on that file (which adds the index), then every action that reads the archive: the desk's
// open with its month of archive lines, Save with the list refresh, "查   询" for a month, the owner filter
// over ten years, the log of a month and of 30,000 records, a year's count, the exit backup, and the peak
// memory of the process. Where the work is one statement, SQLite stepping that statement bare on the same
// connection is the baseline, and the same statement on the file before the index is shown beside it.
// Usage: bench_archive [prescriptions]   (default 400000). The server's part runs in a process of its own
// (bench_archive --server-part <connection> <prescriptions>), so each engine's peak memory is its own.

#include "bench/barequery.h"
#include "bench/benchserver.h"
#include "bench/figures.h"
#include "catalogs/catalogindex.h"
#include "desk/archivelist.h"
#include "desk/deskwidgets.h"
#include "desk/prescriptiondesk.h"
#include "maintenance/startup.h"
#include "pinyin/searchcode.h"
#include "reports/logdates.h"
#include "reports/logquery.h"
#include "reports/outpatientlogwindow.h"
#include "reports/statisticswindow.h"
#include "store/copystore.h"
#include "store/file/fileengine.h"
#include "store/file/schema.h"
#include "store/server/serverschema.h"
#include "store/template/templatedb.h"
#include "tests/support/fakes.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <sqlcipher/sqlite3.h>
#include <vector>

using namespace qv;

namespace {

const QDate kToday(2026, 12, 8);
const QDate kFirstDay = kToday.addYears(-10).addDays(1);

double msOf(const std::function<void()>& work)
{
    QElapsedTimer t;
    t.start();
    work();
    return t.nsecsElapsed() / 1e6;
}

std::vector<double> samples(int n, const std::function<double()>& one)
{
    std::vector<double> out;
    for (int i = 0; i < n; ++i)
        out.push_back(one());
    return out;
}

// One prepared insert stepped many times: the generator must not take longer than the measurements.
class Inserter {
public:
    Inserter(Database& db, const char* sql)
        : m_db(fileHandleOf(db))
    {
        sqlite3_prepare_v2(m_db, sql, -1, &m_stmt, nullptr);
    }
    ~Inserter() { sqlite3_finalize(m_stmt); }
    bool insert(const QStringList& values)
    {
        for (int i = 0; i < values.size(); ++i) {
            const QByteArray utf8 = values[i].toUtf8();
            sqlite3_bind_text(m_stmt, i + 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        }
        const int rc = sqlite3_step(m_stmt);
        sqlite3_reset(m_stmt);
        return rc == SQLITE_DONE;
    }

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

// Owners come back again and again: a pool of families and farms, some far more often than others.
QStringList ownerPool(QRandomGenerator& random)
{
    const QString surnames
        = QStringLiteral("王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗郑梁谢宋唐许韩冯邓曹彭曾肖田董");
    const QString given
        = QStringLiteral("建国军华明伟芳秀英丽强磊洋勇艳杰娟涛超敏霞平刚桂兰红梅海燕春生志福");
    const QStringList farms = { QStringLiteral("养殖场"), QStringLiteral("养猪场"), QStringLiteral("鸡场"),
        QStringLiteral("牧场"), QStringLiteral("家庭农场") };
    QStringList owners;
    for (int i = 0; i < 9000; ++i) {
        QString name = surnames[random.bounded(surnames.size())];
        for (int k = 0, n = 1 + random.bounded(2); k < n; ++k)
            name += given[random.bounded(given.size())];
        if (i % 5 == 0)
            name = QStringLiteral("%1%2村%3")
                       .arg(name)
                       .arg(random.bounded(40) + 1)
                       .arg(farms[i % farms.size()]);
        owners << name;
    }
    return owners;
}

// A body as the desk writes it: drug groups with their indented usage line, a blank line after each group.
QString bodyText(QRandomGenerator& random)
{
    static const QStringList drugs = { QStringLiteral("阿莫西林胶囊 0.25g×24粒"),
        QStringLiteral("头孢曲松注射液粉  3.0g"), QStringLiteral("0.9%氯化钠注射液  250ml"),
        QStringLiteral("地塞米松磷酸钠注射液  5mg"), QStringLiteral("庆大霉素注射液  24万单位"),
        QStringLiteral("甲硝唑片  0.2g×18片"), QStringLiteral("伊维菌素注射液 10ml") };
    static const QStringList usages = { QStringLiteral("    用法：肌肉注射 每日1次"),
        QStringLiteral("    用法：静脉滴注 每日1次"), QStringLiteral("    用法：0.5g 口服 每日3次") };
    QStringList lines;
    for (int g = 0, n = 1 + random.bounded(3); g < n; ++g) {
        lines << drugs[random.bounded(drugs.size())] << usages[random.bounded(usages.size())] << QString();
    }
    return lines.join(QStringLiteral("\r\n"));
}

bool fillArchive(Database& db, int count)
{
    QRandomGenerator random(20161209);
    const QStringList owners = ownerPool(random);
    const QStringList species = { QStringLiteral("猪"), QStringLiteral("狗"), QStringLiteral("鸡"),
        QStringLiteral("牛"), QStringLiteral("猫"), QStringLiteral("羊") };
    const QStringList diagnoses
        = { QStringLiteral("肺炎"), QStringLiteral("肠炎"), QStringLiteral("消化不良"),
              QStringLiteral("感冒"), QStringLiteral("皮肤病"), QStringLiteral("寄生虫病") };
    Inserter row(db,
        "insert into \"档案\" (\"0\", \"1\", \"2\", \"3\", \"4\", \"5\", \"6\", \"7\", \"8\", \"9\", \"10\", "
        "\"11\", \"T1\", \"序号\") "
        "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    const int days = int(kFirstDay.daysTo(kToday)) + 1;
    const Result r = db.transaction([&] {
        for (int i = 0; i < count; ++i) {
            // Spread evenly over the days, each day's prescriptions between 8:00 and 18:00.
            const qint64 slot = qint64(i) * days;
            const QDate day = kFirstDay.addDays(slot / count);
            const int second = 8 * 3600 + int((slot % count) * 36000 / count);
            const QString time = QDateTime(day, QTime(0, 0).addSecs(second)).toString("yyyyMMddHHmmss");
            const QString owner = owners[int(random.bounded(owners.size()) * random.generateDouble())];
            const bool herd = random.bounded(3) == 0;
            if (!row.insert({ owner, time, species[random.bounded(species.size())],
                    random.bounded(2) ? QStringLiteral("公") : QStringLiteral("母"),
                    herd ? QStringLiteral("%1头").arg(random.bounded(200) + 1)
                         : QStringLiteral("%1kg").arg(random.bounded(80) + 1),
                    herd ? QStringLiteral("60天") : QStringLiteral("%1岁").arg(random.bounded(12) + 1),
                    day.toString(Qt::ISODate), QStringLiteral("王兽医"), QStringLiteral("37010219800101"),
                    QStringLiteral("李发药"), diagnoses[random.bounded(diagnoses.size())],
                    random.bounded(3) ? QString() : diagnoses[random.bounded(diagnoses.size())],
                    bodyText(random), time + QStringLiteral("-7C1F9A03B2D4E6") }))
                return Result { false, QString::fromUtf8(sqlite3_errmsg(fileHandleOf(db))) };
        }
        return Result { true };
    });
    if (!r)
        std::fprintf(stderr, "archive fill failed: %s\n", qPrintable(r.error));
    return r.ok;
}

bool fillCatalog(Database& db, int count)
{
    const QStringList bases = { QStringLiteral("阿莫西林胶囊"), QStringLiteral("头孢氨苄颗粒"),
        QStringLiteral("甲硝唑片"), QStringLiteral("青霉素钠注射液"), QStringLiteral("庆大霉素注射液"),
        QStringLiteral("左氧氟沙星注射液"), QStringLiteral("氯化钠注射液"), QStringLiteral("葡萄糖注射液"),
        QStringLiteral("维生素C片"), QStringLiteral("地塞米松磷酸钠注射液"), QStringLiteral("伊维菌素注射液"),
        QStringLiteral("黄芪"), QStringLiteral("当归"), QStringLiteral("白术") };
    const QStringList categories
        = { QStringLiteral("西药"), QStringLiteral("西药"), QStringLiteral("中药"), QStringLiteral("其他") };
    Inserter row(db,
        "insert into \"商品\" (\"ID号\", \"名称\", \"用法\", \"拼音\", \"分类\", \"查询\", \"库存\") values "
        "(?, ?, ?, ?, ?, "
        "?, 0)");
    const Result r = db.transaction([&] {
        for (int i = 0; i < count; ++i) {
            const QString name = bases[i % bases.size()] + QStringLiteral(" %1g×%2片").arg(i % 97).arg(i);
            const QString code = searchCode(name);
            if (!row.insert({ QStringLiteral("2%1").arg(i, 13, 10, QLatin1Char('0')), name,
                    QStringLiteral("0.5g 口服 每日3次"), code, categories[i % categories.size()],
                    name + code }))
                return Result { false, QString::fromUtf8(sqlite3_errmsg(fileHandleOf(db))) };
        }
        return Result { true };
    });
    return r.ok;
}

// The database as an earlier version left it: the template without the date index, filled.
bool makeOlderFile(const QString& path, int prescriptions)
{
    QString error;
    Database db;
    if (!writeTemplateDatabase(path, &error) || !db.open(path, &error)) {
        std::fprintf(stderr, "database: %s\n", qPrintable(error));
        return false;
    }
    db.run(QStringLiteral("drop index if exists \"档案.日期\""));
    if (!fillArchive(db, prescriptions) || !fillCatalog(db, 100000))
        return false;
    db.run(QStringLiteral("pragma wal_checkpoint(truncate)"));
    return true;
}

const QString kArchiveSql = QStringLiteral(
    "select \"序号\", \"0\", \"2\", \"3\", \"5\", \"6\" from \"档案\" where lower(\"0\") like ? "
    "escape '\\' and \"6\" between ? and ? order by \"序号\" desc");
const QString kLogSql = QStringLiteral("select \"0\", \"1\", \"2\", \"3\", \"4\", \"5\", \"7\", \"6\" from "
                                       "\"档案\" where \"6\" >= ?1 and \"6\" < ?2 order by \"序号\"");
const QString kCountSql = QStringLiteral("select count(*) from \"档案\" where \"6\" >= ?1 and \"6\" < ?2");

QVariantList archiveParams(const QString& owner, QDate from, QDate to)
{
    return { containsPattern(owner), from.toString(Qt::ISODate), to.toString(Qt::ISODate) };
}
QVariantList rangeParams(QDate from, QDate to)
{
    return { from.toString(Qt::ISODate), to.addDays(1).toString(Qt::ISODate) };
}

double bareMedian(const std::function<double(const QString&, const QVariantList&)>& bare, const QString& sql,
    const QVariantList& params, int n)
{
    return bench::median(samples(n, [&] { return bare(sql, params); }));
}

// The dates and the owner every engine is measured with.
struct Ranges {
    QDate monthStart, yearStart, tenYearsStart, logStart;
    QString owner;
};
// The dates of a ten-year archive that ends today, and an owner of it, one of the families that come again
// and again.
Ranges rangesOf(Database& db, int prescriptions)
{
    Ranges r;
    r.monthStart = oneMonthBefore(kToday);
    r.yearStart = kToday.addYears(-1).addDays(1);
    r.tenYearsStart = kToday.addYears(-10);
    // A range of at most 30,000 prescriptions, ending today: the log window's limit.
    r.logStart = kToday.addDays(-int(30000.0 / prescriptions * 3652) + 1);
    r.owner = db.run(QStringLiteral("select \"0\" from \"档案\" where rowid = ?"), { prescriptions / 3 })
                  .rows.value(0)
                  .text(QStringLiteral("0"));
    return r;
}

// The same statements on the file before this version added the date index.
struct OlderFile {
    double month, owner, log, count;
};
using BareQuery = std::function<double(const QString&, const QVariantList&)>;

QString on(const QString& engine) { return engine.isEmpty() ? QString() : engine + QStringLiteral(": "); }

void measureActions(Database& db, AppContext& context, const QString& engine, const Ranges& r,
    const BareQuery& bare, const OlderFile* older)
{
    const QDate& monthStart = r.monthStart;
    const QDate& yearStart = r.yearStart;
    const QDate& tenYearsStart = r.tenYearsStart;
    const QDate& logStart = r.logStart;
    const QString& owner = r.owner;
    const auto against = [&](double ms, double bareMs, double withoutIndex) {
        const QString base = engine.isEmpty()
            ? bench::againstBareSqlite(ms, bareMs)
            : bench::againstBareSqlite(ms, bareMs)
                  .replace(QStringLiteral("bare SQLite"), QStringLiteral("bare libpq"));
        return withoutIndex < 0 ? base
                                : base
                + QStringLiteral("; the same statement before the index %1 ms")
                      .arg(bench::number(withoutIndex));
    };
    test::FixedClock clock(QDateTime(kToday, QTime(17, 30 + (engine.isEmpty() ? 0 : 15))));
    test::ScriptedMessages messages;
    Services services;
    services.clock = &clock;
    services.messages = &messages;
    services.db = &db;
    services.context = &context;

    // Desk open. The program reads the catalog in the background from start-up on, while the login waits;
    // after a login that took longer than that read, the desk only makes its window, its month of archive
    // lines and its first list. Right after start-up (a login quicker than the read) it waits for the rest.
    int listed = 0;
    const auto openDesk = [&](CatalogIndex& catalog) {
        services.catalog = &catalog;
        PrescriptionDesk desk(services);
        desk.show();
        QApplication::processEvents();
        listed = desk.archiveList->count();
        services.catalog = nullptr;
    };
    std::vector<double> reads;
    const std::vector<double> opens = samples(5, [&] {
        CatalogIndex catalog(db);
        reads.push_back(msOf([&] {
            catalog.startReading();
            catalog.load(nullptr);
        }));
        return msOf([&] { openDesk(catalog); });
    });
    const std::vector<double> opensAtOnce = samples(5, [&] {
        CatalogIndex catalog(db);
        return msOf([&] {
            catalog.startReading();
            openDesk(catalog);
        });
    });
    bench::printFigure(on(engine) + QStringLiteral("catalog read in the background from start-up"), QString(),
        bench::median(reads), QStringLiteral("ms"));
    bench::printFigure(on(engine)
            + QStringLiteral("desk open after the login, with its month of %1 archive lines").arg(listed),
        QStringLiteral("< 300 ms"), bench::median(opens), QStringLiteral("ms"));
    bench::printFigure(
        on(engine) + QStringLiteral("desk open at once after start-up (waits for the catalog's read)"),
        QString(), bench::median(opensAtOnce), QStringLiteral("ms"));

    PrescriptionDesk desk(services);
    desk.show();
    QApplication::processEvents();

    // Save with the list refresh: a new prescription of today, typed and saved, again and again.
    std::vector<double> saves;
    for (int i = 0; i < 30; ++i) {
        clock.advanceSeconds(60);
        desk.newPrescription();
        desk.fieldEdits[0]->setText(QStringLiteral("测试主人%1").arg(i));
        desk.setBodyText(QStringLiteral("阿莫西林胶囊 0.25g×24粒\r\n    用法：0.5g 口服 每日3次\r\n"));
        saves.push_back(msOf([&] { desk.savePrescription(); }));
    }
    bench::printFigure(on(engine)
            + QStringLiteral("desk Save with the list refresh (%1 lines)").arg(desk.archiveList->count()),
        QStringLiteral("< 20 ms"), bench::median(saves), QStringLiteral("ms"));

    // "查   询" for the month.
    desk.fromDate->setText(monthStart.toString(Qt::ISODate));
    desk.toDate->setText(kToday.toString(Qt::ISODate));
    const std::vector<double> month = samples(15, [&] { return msOf([&] { desk.runArchiveQuery(); }); });
    bench::printFigure(
        on(engine) + QStringLiteral("desk \"查   询\" for a month (%1 lines)").arg(desk.archiveList->count()),
        QStringLiteral("< 20 ms"), bench::median(month), QStringLiteral("ms"),
        against(bench::median(month),
            bareMedian(bare, kArchiveSql, archiveParams({}, monthStart, kToday), 15),
            older ? older->month : -1));

    // The owner filter over ten years.
    desk.ownerFilter->setText(owner);
    desk.fromDate->setText(tenYearsStart.toString(Qt::ISODate));
    const std::vector<double> byOwner = samples(7, [&] { return msOf([&] { desk.runArchiveQuery(); }); });
    bench::printFigure(on(engine)
            + QStringLiteral("desk owner filter over ten years (%1 lines)").arg(desk.archiveList->count()),
        QStringLiteral("< 300 ms"), bench::median(byOwner), QStringLiteral("ms"),
        against(bench::median(byOwner),
            bareMedian(bare, kArchiveSql, archiveParams(owner, tenYearsStart, kToday), 7),
            older ? older->owner : -1));

    // The log window: a month, and the most it shows.
    OutpatientLogWindow log(services);
    log.show();
    QApplication::processEvents();
    log.fromDate->setText(monthStart.toString(Qt::ISODate));
    log.toDate->setText(kToday.toString(Qt::ISODate));
    const std::vector<double> logMonth = samples(9, [&] { return msOf([&] { log.runQuery(); }); });
    bench::printFigure(on(engine) + QStringLiteral("log of a month (%1 records)").arg(log.records().size()),
        QStringLiteral("< 300 ms"), bench::median(logMonth), QStringLiteral("ms"));
    log.fromDate->setText(logStart.toString(Qt::ISODate));
    const std::vector<double> logMost = samples(5, [&] { return msOf([&] { log.runQuery(); }); });
    bench::printFigure(on(engine) + QStringLiteral("log of %1 records").arg(log.records().size()),
        QStringLiteral("< 300 ms"), bench::median(logMost), QStringLiteral("ms"),
        against(bench::median(logMost), bareMedian(bare, kLogSql, rangeParams(logStart, kToday), 5),
            older ? older->log : -1));

    // The statistics of a year.
    StatisticsWindow statistics(services);
    statistics.fromDate->setText(yearStart.toString(Qt::ISODate));
    statistics.toDate->setText(kToday.toString(Qt::ISODate));
    const std::vector<double> count = samples(15, [&] { return msOf([&] { statistics.runCount(); }); });
    bench::printFigure(
        on(engine) + QStringLiteral("statistics for a year (%1)").arg(statistics.resultLabel->text()),
        QStringLiteral("< 20 ms"), bench::median(count), QStringLiteral("ms"),
        against(bench::median(count), bareMedian(bare, kCountSql, rangeParams(yearStart, kToday), 15),
            older ? older->count : -1));
}

// The same archive on a throw-away PostgreSQL server of the benchmark's own (tests/support/pgserver.sh), and
// the same actions on it; bare libpq on its own connection is the baseline. The program is started on the
// server as a desk of the practice starts: no local file is open.
bool measureOnServer(const QString& connection, const Ranges& ranges)
{
    AppContext context;
    context.serverConnection = connection;
    test::FolderDrives drives;
    QTemporaryDir dir; // the data folder a desk still has, and the server's backup written into it
    drives.c = dir.path();
    Database server;
    const StartupResult started = startUp(drives, context, server);
    if (!started.ok) {
        std::fprintf(stderr, "server: %s\n", qPrintable(started.error));
        return false;
    }
    pg::Connection bare(PQconnectdb(connection.toUtf8().constData()));
    measureActions(
        server, context, QStringLiteral("server"), ranges,
        [&](const QString& sql, const QVariantList& params) {
            return bench::bareServerQueryMs(bare.get(), sql, params);
        },
        nullptr);
    // The exit backup on the server: one snapshot of the archive written as the encrypted file and checked.
    const QString snapshot = dir.filePath(QStringLiteral("snapshot.dat"));
    int progressCalls = 0;
    Result written;
    const std::vector<double> backups = samples(2, [&] {
        QFile::remove(snapshot);
        return msOf([&] {
            written = server.backupTo(snapshot, [&](qint64, qint64) { return ++progressCalls > 0; });
        });
    });
    if (!written)
        std::fprintf(stderr, "server backup failed: %s\n", qPrintable(written.error));
    bench::printFigure(
        QStringLiteral("server: backup as 数据库.dat (one snapshot, written and checked, %1 MB)")
            .arg(QFileInfo(snapshot).size() / 1048576),
        QStringLiteral("< 10000 ms"), bench::median(backups), QStringLiteral("ms"),
        QStringLiteral("%1 progress reports").arg(progressCalls / 2));
    return written.ok;
}

// The server's part, in a process of its own so that its peak memory is the server engine's alone.
int measureServerPart(const QString& connection, int prescriptions)
{
    Ranges ranges;
    {
        Database server;
        QString error;
        if (!server.openServer(connection, &error)) {
            std::fprintf(stderr, "server: %s\n", qPrintable(error));
            return 1;
        }
        ranges = rangesOf(server, prescriptions);
    }
    if (!measureOnServer(connection, ranges))
        return 1;
    bench::printFigure(QStringLiteral("server: peak memory of its part (a process of its own)"),
        QStringLiteral("< 200 MB"), bench::peakMegabytes(), QStringLiteral("MB"));
    return 0;
}

// The archive copied from the file onto the server, as "迁移到服务器" does; beside it, the same rows copied
// into a new file, what the server's backup is compared with.
bool fillServer(Database& file, const QString& connection)
{
    Database server;
    QString error;
    double copied = 0;
    Result prepared;
    if (server.openServer(connection, &error)) {
        copied = msOf([&] {
            prepared
                = prepareServerDatabase(server, [&](Database& empty) { return copyStoreRows(file, empty); });
        });
        if (prepared)
            prepared = server.run(QStringLiteral("analyze"));
        error = prepared.error;
    }
    if (!prepared) {
        std::fprintf(stderr, "server: %s\n", qPrintable(error));
        return false;
    }
    bench::printFigure(QStringLiteral("server: the ten-year file copied onto the server"),
        QStringLiteral("< 60000 ms"), copied, QStringLiteral("ms"));
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("rows.dat"));
    const double fileCopy = msOf([&] {
        Database target;
        QString rowsError;
        if (target.create(copy, &rowsError) && createSchema(target))
            target.transaction([&] { return copyStoreRows(file, target); });
    });
    bench::printFigure(QStringLiteral("the archive's rows copied file to file (beside the server's backup)"),
        QString(), fileCopy, QStringLiteral("ms"));
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.value(1) == QStringLiteral("--server-part"))
        return measureServerPart(arguments.value(2), arguments.value(3).toInt());
    const int prescriptions = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 400000;

    QTemporaryDir dir;
    test::FolderDrives drives;
    drives.c = dir.path();
    const QString dataFolder = dataFolderFor(dir.path());
    const QString path = dataFolder + QStringLiteral("/数据库.dat");
    QDir().mkpath(dataFolder);
    QElapsedTimer fillTimer;
    fillTimer.start();
    if (!makeOlderFile(path, prescriptions))
        return 1;
    const double megabytes = QFileInfo(path).size() / 1048576.0;
    std::printf(
        "bench_archive: %d prescriptions over ten years and 100000 catalog rows, %.0f MB, made in %.1f s\n",
        prescriptions, megabytes, fillTimer.elapsed() / 1000.0);

    Ranges ranges;
    {
        Database any;
        QString error;
        if (!any.open(path, &error))
            return 1;
        ranges = rangesOf(any, prescriptions);
    }
    const QDate& monthStart = ranges.monthStart;
    const QDate& yearStart = ranges.yearStart;
    const QDate& tenYearsStart = ranges.tenYearsStart;
    const QDate& logStart = ranges.logStart;
    const QString& owner = ranges.owner;

    // The older file: the statements as they ran before the index.
    double oldMonth, oldOwner, oldLog, oldCount;
    {
        Database old;
        QString error;
        if (!old.open(path, &error))
            return 1;
        const auto bare = [&](const QString& sql, const QVariantList& params) {
            return bench::bareQueryMs(old, sql, params);
        };
        oldMonth = bareMedian(bare, kArchiveSql, archiveParams({}, monthStart, kToday), 3);
        oldOwner = bareMedian(bare, kArchiveSql, archiveParams(owner, tenYearsStart, kToday), 3);
        oldLog = bareMedian(bare, kLogSql, rangeParams(logStart, kToday), 3);
        oldCount = bareMedian(bare, kCountSql, rangeParams(yearStart, kToday), 3);
    }

    // The first start of this version on that file: the date index is added.
    AppContext context;
    Database db;
    const double firstStart = msOf([&] {
        if (!startUp(drives, context, db).ok)
            std::fprintf(stderr, "start-up failed\n");
    });
    if (!db.isOpen())
        return 1;
    bench::printFigure(QStringLiteral("first start on a ten-year file (adds the date index)"), QString(),
        firstStart, QStringLiteral("ms"));
    AppContext later;
    Database again;
    const double laterStart = msOf([&] { startUp(drives, later, again); });
    again.close();
    bench::printFigure(QStringLiteral("later start on that file"), QStringLiteral("< 300 ms"), laterStart,
        QStringLiteral("ms"));

    // Every action that reads the archive, on the file; then the same on the practice's server.
    const OlderFile before { oldMonth, oldOwner, oldLog, oldCount };
    measureActions(
        db, context, QString(), ranges,
        [&](const QString& sql, const QVariantList& params) { return bench::bareQueryMs(db, sql, params); },
        &before);

    // The exit backup, beside a plain copy of the file.
    QString backupError;
    const std::vector<double> backups
        = samples(3, [&] { return msOf([&] { backupError = backUpDatabase(drives, kToday, db); }); });
    if (!backupError.isEmpty())
        std::fprintf(stderr, "backup failed: %s\n", qPrintable(backupError));
    const QString copy = dir.filePath(QStringLiteral("plain-copy.dat"));
    const std::vector<double> copies = samples(3, [&] {
        QFile::remove(copy);
        return msOf([&] { QFile::copy(db.path(), copy); });
    });
    // The page copy of SQLite's online backup into a new encrypted file with a rollback journal, as the
    // backup was made before and still is when the write-ahead log cannot be folded back.
    const std::vector<double> pageCopies = samples(3, [&] {
        QFile::remove(copy);
        return msOf([&] {
            Database target;
            QString error;
            if (!target.create(copy, &error) || !target.run(QStringLiteral("pragma journal_mode = delete")))
                return;
            sqlite3_backup* backup
                = sqlite3_backup_init(fileHandleOf(target), "main", fileHandleOf(db), "main");
            sqlite3_backup_step(backup, -1);
            sqlite3_backup_finish(backup);
        });
    });
    // What proving the copy costs: opening it with the key and reading every page of it back.
    const QString backupFile = backupRootFor(chooseDriveRoot(drives)) + QLatin1Char('/')
        + backupFolderName(kToday) + QStringLiteral("/数据库.dat");
    const std::vector<double> readBacks = samples(3, [&] {
        return msOf([&] {
            Database copy;
            QString error;
            if (copy.open(backupFile, &error))
                copy.run(QStringLiteral("pragma quick_check"));
        });
    });
    bench::printFigure(QStringLiteral("exit backup of %1 MB (copy + every page read back)")
                           .arg(QFileInfo(path).size() / 1048576),
        QStringLiteral("< 3000 ms"), bench::median(backups), QStringLiteral("ms"),
        QStringLiteral(
            "of which the copy read back %1 ms; plain file copy %2 ms; SQLite page-by-page backup %3 ms")
            .arg(bench::number(bench::median(readBacks)), bench::number(bench::median(copies)),
                bench::number(bench::median(pageCopies))));

    bench::printFigure(QStringLiteral("peak memory of the ten-year run on the file"),
        QStringLiteral("< 200 MB"), bench::peakMegabytes(), QStringLiteral("MB"));

    const bench::BenchServer practiceServer;
    if (!practiceServer.started() || !fillServer(db, practiceServer.connection()))
        return 1;
    db.close();
    std::fflush(stdout);
    QProcess serverPart;
    serverPart.setProcessChannelMode(QProcess::ForwardedChannels);
    serverPart.start(QCoreApplication::applicationFilePath(),
        { QStringLiteral("--server-part"), practiceServer.connection(), QString::number(prescriptions) });
    if (!serverPart.waitForFinished(-1) || serverPart.exitStatus() != QProcess::NormalExit) {
        std::fprintf(stderr, "the server's part did not run: %s\n", qPrintable(serverPart.errorString()));
        return 1;
    }
    return serverPart.exitCode();
}
