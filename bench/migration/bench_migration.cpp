// "迁移到服务器" on a ten-year archive: a file of 400,000 prescriptions (about 110 a day, each with its body
// of drug groups) moved onto an empty database of a throw-away PostgreSQL server of the benchmark's own
// (tests/support/pgserver.sh), copied, counted and checksummed on both sides in one transaction.
// Usage: bench_migration [prescriptions]   (default 400000)

#include "bench/benchserver.h"
#include "bench/figures.h"
#include "maintenance/migration.h"
#include "store/file/fileengine.h"
#include "store/template/templatedb.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <sqlcipher/sqlite3.h>

using namespace qv;

namespace {

// The archive written with one prepared insert: the generator must not take longer than the measurement.
bool fillArchive(Database& db, int count)
{
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(fileHandleOf(db),
        "insert into \"档案\" (\"0\", \"1\", \"2\", \"3\", \"4\", \"5\", \"6\", \"7\", \"8\", \"9\", \"10\", "
        "\"T1\", "
        "\"序号\") values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        -1, &insert, nullptr);
    const QStringList species = { "猪", "狗", "鸡", "牛", "猫", "羊" };
    const QStringList diagnoses = { "肺炎", "肠炎", "消化不良", "感冒", "皮肤病", "寄生虫病" };
    const QString body = QStringLiteral("阿莫西林胶囊 0.25g×24粒\r\n    用法：0.5g 口服 每日3次\r\n\r\n"
                                        "地塞米松磷酸钠注射液  5mg\r\n    用法：肌肉注射 每日1次\r\n");
    const QDate first(2016, 12, 9);
    const Result r = db.transaction([&] {
        for (int i = 0; i < count; ++i) {
            const QDate day = first.addDays(qint64(i) * 3652 / count);
            const QString time = day.toString(QStringLiteral("yyyyMMdd"))
                + QStringLiteral("%1").arg(80000 + i % 100000, 6, 10, QLatin1Char('0'));
            const QStringList values = { QStringLiteral("王%1家庭农场").arg(i % 9000), time, species[i % 6],
                QStringLiteral("公"), QStringLiteral("%1kg").arg(i % 80 + 1), QStringLiteral("2岁"),
                day.toString(Qt::ISODate), QStringLiteral("王兽医"), QStringLiteral("37010219800101"),
                QStringLiteral("李发药"), diagnoses[i % 6], body, time + QStringLiteral("-%1").arg(i) };
            for (int k = 0; k < values.size(); ++k) {
                const QByteArray utf8 = values[k].toUtf8();
                sqlite3_bind_text(insert, k + 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
            }
            const int rc = sqlite3_step(insert);
            sqlite3_reset(insert);
            if (rc != SQLITE_DONE)
                return Result { false, QString::fromUtf8(sqlite3_errmsg(fileHandleOf(db))) };
        }
        return Result { true };
    });
    sqlite3_finalize(insert);
    if (!r)
        std::fprintf(stderr, "archive fill failed: %s\n", qPrintable(r.error));
    return r.ok;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int prescriptions = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 400000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("数据库.dat"));
    Database file;
    QString error;
    QElapsedTimer timer;
    timer.start();
    if (!writeTemplateDatabase(path, &error) || !file.open(path, &error)) {
        std::fprintf(stderr, "database: %s\n", qPrintable(error));
        return 1;
    }
    if (!fillArchive(file, prescriptions))
        return 1;
    file.run(QStringLiteral("pragma wal_checkpoint(truncate)"));
    std::printf("bench_migration: %d prescriptions, %.0f MB, made in %.1f s\n", prescriptions,
        QFileInfo(path).size() / 1048576.0, timer.elapsed() / 1000.0);

    const bench::BenchServer practiceServer;
    if (!practiceServer.started())
        return 1;
    int code = 1;
    {
        Database server;
        if (server.openServer(practiceServer.connection(), &error)) {
            MigrationReport report;
            int steps = 0;
            timer.restart();
            const Result moved = migrateToServer(file, server, &report, [&](qint64, qint64) { ++steps; });
            const double ms = timer.nsecsElapsed() / 1e6;
            if (moved) {
                std::printf("%s\n(%d progress reports)\n", qPrintable(report.text()), steps);
                bench::printFigure(
                    QStringLiteral("迁移到服务器: %1 prescriptions copied, counted and checksummed")
                        .arg(prescriptions),
                    QStringLiteral("< 60000 ms"), ms, QStringLiteral("ms"));
                code = 0;
            } else {
                std::fprintf(stderr, "migration: %s\n", qPrintable(moved.error));
            }
        } else {
            std::fprintf(stderr, "server: %s\n", qPrintable(error));
        }
    }
    return code;
}
