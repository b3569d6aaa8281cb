// Where a computer keeps the archive: the kept choice and its file's mode, the connection test's sentences,
// the start-up on the chosen server, and moving a file's archive onto the server, on a PostgreSQL server of
// this test's own that asks for a password.

#include "app/mainwindow.h"
#include "app/storagewindow.h"
#include "maintenance/migration.h"
#include "maintenance/startup.h"
#include "maintenance/storagechoice.h"
#include "store/server/serverschema.h"
#include "store/tables.h"
#include "store/template/templatedb.h"
#include "tests/support/testenv.h"
#include "tests/support/testserver.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace qv;
using qv::test::tableRows;

namespace {

// A quote, a backslash and a space: the connection string must carry them as typed.
const QString kPassword = QStringLiteral("qv '9\\47");

QByteArray fileHash(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

} // namespace

class StorageTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_state;
    int m_made = 0;

    QString folder() const
    {
        QFile f(m_state);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
    }

    StorageChoice choiceFor(const QString& database, const QString& password = kPassword) const
    {
        StorageChoice c;
        c.onServer = true;
        c.host = folder();
        c.database = database;
        c.user = QStringLiteral("postgres");
        c.password = password;
        c.sslMode = QStringLiteral("disable"); // a Unix socket
        return c;
    }

    // A new database with nothing in it; its name.
    QString emptyDatabase()
    {
        const QString name = QStringLiteral("qv_m_%1").arg(++m_made);
        Database admin;
        QString error;
        if (!admin.openServer(choiceFor(QStringLiteral("postgres")).connectionString(), &error)
            || !admin.run(QStringLiteral("create database %1").arg(name)))
            qFatal("new database: %s", qPrintable(error));
        return name;
    }

    // A new database set up as the first desk starting on it would: the template's rows.
    QString newArchiveDatabase()
    {
        const QString name = emptyDatabase();
        Database db;
        QString error;
        if (!db.openServer(choiceFor(name).connectionString(), &error) || !prepareServerFromTemplate(db))
            qFatal("new archive: %s", qPrintable(error));
        return name;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QStandardPaths::setTestModeEnabled(true);
        QFile::remove(storageConfigPath());
        m_state = m_dir.filePath(QStringLiteral("state"));
        QCOMPARE(
            QProcess::execute(QStringLiteral(QV_PGSERVER), { QStringLiteral("start"), m_state, kPassword }),
            0);
    }

    void cleanupTestCase()
    {
        QProcess::execute(QStringLiteral(QV_PGSERVER), { QStringLiteral("stop"), m_state });
    }

    void theChoiceIsKeptForThisUserOnly()
    {
        const QString path = m_dir.filePath(QStringLiteral("config/Quorvela/storage.conf"));
        QCOMPARE(loadStorageChoice(path).onServer, false); // nothing kept: this computer's file
        StorageChoice c = choiceFor(QStringLiteral("诊所档案"));
        c.port = 5433;
        c.sslMode = QStringLiteral("verify-full");
        QCOMPARE(saveStorageChoice(c, path), QString());
        QCOMPARE(QFile::permissions(path) & 0x7077, QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(QFile::permissions(m_dir.filePath(QStringLiteral("config/Quorvela"))) & 0x7077,
            QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const StorageChoice back = loadStorageChoice(path);
        QVERIFY(back.onServer);
        QCOMPARE(back.connectionString(), c.connectionString());
        QCOMPARE(back.password, kPassword);
        QCOMPARE(back.port, 5433);

        // A file someone opened up to the other users is closed again when read.
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        loadStorageChoice(path);
        QCOMPARE(QFile::permissions(path) & 0x7077, QFile::ReadOwner | QFile::WriteOwner);

        // The variable wins over the kept choice; the file choice names no server.
        QCOMPARE(
            chosenServerConnection(QStringLiteral("host=elsewhere"), back), QStringLiteral("host=elsewhere"));
        QCOMPARE(chosenServerConnection(QString(), back), back.connectionString());
        c.onServer = false;
        QCOMPARE(chosenServerConnection(QString(), c), QString());
    }

    void theConnectionTestSaysWhatItFound()
    {
        ConnectionVerdict v = testServerConnection(choiceFor(newArchiveDatabase()).connectionString());
        QVERIFY2(v.ok && !v.empty && v.prescriptions == 1, qPrintable(v.message)); // the sample prescription
        QVERIFY(v.message.startsWith(QStringLiteral("连接成功")));

        v = testServerConnection(choiceFor(emptyDatabase()).connectionString());
        QVERIFY2(v.ok && v.empty && v.message.contains(QStringLiteral("空的")), qPrintable(v.message));

        v = testServerConnection(
            choiceFor(QStringLiteral("postgres"), QStringLiteral("wrong")).connectionString());
        QVERIFY(!v.ok);
        QCOMPARE(v.failure, FailureKind::LoginRefused);
        QVERIFY2(
            v.message.startsWith(serverFailureSentence(FailureKind::LoginRefused)), qPrintable(v.message));

        StorageChoice away = choiceFor(QStringLiteral("postgres"));
        away.host = m_dir.filePath(QStringLiteral("no-server-here"));
        v = testServerConnection(away.connectionString());
        QCOMPARE(v.failure, FailureKind::ServerGone);
        QVERIFY2(v.message.startsWith(serverFailureSentence(FailureKind::ServerGone)), qPrintable(v.message));

        const QString foreign = emptyDatabase();
        const QString newer = newArchiveDatabase();
        {
            Database db;
            QString error;
            QVERIFY(db.openServer(choiceFor(foreign).connectionString(), &error));
            QVERIFY(db.run(QStringLiteral("create table invoices (n integer)")));
            QVERIFY(db.openServer(choiceFor(newer).connectionString(), &error));
            QVERIFY(db.run(QStringLiteral("update \"qv_schema\" set \"version\" = 99")));
        }
        v = testServerConnection(choiceFor(foreign).connectionString());
        QVERIFY2(!v.ok && v.message.contains(QStringLiteral("不是本程序的数据库")), qPrintable(v.message));
        v = testServerConnection(choiceFor(newer).connectionString());
        QVERIFY2(!v.ok && v.message.contains(QStringLiteral("较新版本")), qPrintable(v.message));
    }

    // A server that cannot be reached at start is offered again and again, never replaced by the file.
    void anUnreachableServerIsOfferedNeverTheLocalFile()
    {
        QTemporaryDir c;
        test::FolderDrives drives;
        drives.c = c.path();
        AppContext context;
        StorageChoice away = choiceFor(QStringLiteral("postgres"));
        away.host = m_dir.filePath(QStringLiteral("no-server-here"));
        context.serverConnection = away.connectionString();
        Database db;
        QStringList told;
        ServerStartHooks hooks;
        hooks.offer = [&](const QString& why) {
            told << why;
            return told.size() < 2 ? ServerOffer::Retry : ServerOffer::Quit;
        };
        StartupResult r = startUpOnServer(drives, context, db, hooks);
        QVERIFY(!r.ok && !db.isOpen());
        QCOMPARE(told.size(), 2);
        QVERIFY2(told.first().startsWith(serverFailureSentence(FailureKind::ServerGone)),
            qPrintable(told.first()));
        QVERIFY(!QFile::exists(context.databasePath));

        // Changing the connection to a server that answers starts on it.
        const QString reachable = choiceFor(newArchiveDatabase()).connectionString();
        told.clear();
        hooks.offer = [&](const QString& why) {
            told << why;
            return ServerOffer::ChangeConnection;
        };
        hooks.changeConnection = [&] { return reachable; };
        r = startUpOnServer(drives, context, db, hooks);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(told.size(), 1);
        QCOMPARE(db.kind(), StoreKind::Server);
        QCOMPARE(context.heldPassword, QStringLiteral("947"));
        QVERIFY(!QFile::exists(context.databasePath));
    }

    void migrationCopiesEveryRowAndChecksThem_data()
    {
        QTest::addColumn<bool>("emptyServer");
        QTest::newRow("an empty database") << true;
        QTest::newRow("a new archive set up by a desk") << false;
    }

    void migrationCopiesEveryRowAndChecksThem()
    {
        QFETCH(bool, emptyServer);
        QTemporaryDir files;
        const QString path = files.filePath(QStringLiteral("数据库.dat"));
        Database file;
        QString error;
        QVERIFY(writeTemplateDatabase(path, &error) && file.open(path, &error));
        // Every kind of row, with empty values, nulls, line breaks, quotes and amounts with decimals.
        for (const char* sql :
            { "insert into \"档案\" (\"0\", \"1\", \"2\", \"6\", \"T1\", \"序号\") values ('张三''s 狗', "
              "'20261208093000', '狗', '2026-12-08', '阿莫西林\r\n    用法：口服\r\n', '20261208093000-X')",
                "insert into \"档案\" (\"0\", \"1\", \"6\", \"序号\") values ('', '20261208093001', "
                "'2026-12-08', "
                "'20261208093001-X')",
                "insert into \"商品\" (\"ID号\", \"名称\", \"拼音\", \"进价\", \"售价\", \"库存\", \"分类\") "
                "values "
                "('29990001', '头孢 \\ 注射液', 'tb', 12.5, 0.35, 3, '西药')",
                "update \"设置\" set \"单位名称\" = '城东动物诊所', \"默认打印机\" = null",
                "insert into \"个人模板\" (\"序号\", \"名称\", \"内容\", \"分类\") values ('m1', '感冒方', "
                "'板蓝根\r\n', '中药')",
                "insert into \"诊断\" (\"名称\", \"拼音\", \"序号\") values ('腹泻', 'fx', '腹泻fx')",
                "insert into \"动物种类\" (\"名称\", \"拼音\", \"序号\") values ('羊驼', 'yt', '羊驼yt')" })
            QVERIFY2(file.run(QString::fromUtf8(sql)), sql);
        file.run(QStringLiteral("pragma wal_checkpoint(truncate)"));
        const QByteArray before = fileHash(path);

        const QString name = emptyServer ? emptyDatabase() : newArchiveDatabase();
        Database server;
        QVERIFY(server.openServer(choiceFor(name).connectionString(), &error));
        MigrationReport report;
        qint64 lastDone = 0, lastTotal = 0;
        const Result moved = migrateToServer(file, server, &report, [&](qint64 done, qint64 total) {
            QVERIFY(done >= lastDone && done <= total);
            lastDone = done;
            lastTotal = total;
        });
        QVERIFY2(moved, qPrintable(moved.error));
        QVERIFY(report.matches());
        QCOMPARE(lastDone, lastTotal);
        QCOMPARE(report.local.size(), storeTables().size());
        QVERIFY2(report.text().contains(QStringLiteral("档案：本机 3 行，服务器 3 行")),
            qPrintable(report.text()));
        for (const StoreTable& table : storeTables())
            QCOMPARE(tableRows(server, table, true), tableRows(file, table, true));
        file.close();
        QCOMPARE(fileHash(path), before); // the file stays as it was
        // Rows saved on the server afterwards continue after the moved ones; a desk starts on it as it is.
        QVERIFY(
            server.run(QStringLiteral("insert into \"诊断\" (\"名称\", \"拼音\", \"序号\") values ('咳嗽', "
                                      "'ks', '咳嗽ks')")));
        QVERIFY(prepareServerFromTemplate(server));
        QCOMPARE(testServerConnection(choiceFor(name).connectionString()).prescriptions, 3);
    }

    void aServerThatHoldsAnArchiveIsRefusedUntouched()
    {
        QTemporaryDir files;
        const QString path = files.filePath(QStringLiteral("数据库.dat"));
        Database file;
        QString error;
        QVERIFY(writeTemplateDatabase(path, &error) && file.open(path, &error));
        QVERIFY(file.run(QStringLiteral("insert into \"档案\" (\"0\", \"序号\") values ('本机', 'k1')")));

        // Any prescription; or no prescription but a drug a desk added.
        const QString withArchive = newArchiveDatabase();
        const QString withDrug = newArchiveDatabase();
        const QString foreign = emptyDatabase();
        Database server;
        QVERIFY(server.openServer(choiceFor(withArchive).connectionString(), &error));
        QVERIFY(server.run(QStringLiteral("insert into \"档案\" (\"0\", \"序号\") values ('服务器', 's1')")));
        QVERIFY(server.openServer(choiceFor(withDrug).connectionString(), &error));
        QVERIFY(
            server.run(QStringLiteral("insert into \"商品\" (\"ID号\", \"名称\") values ('2001', '新药')")));
        QVERIFY(server.openServer(choiceFor(foreign).connectionString(), &error));
        QVERIFY(server.run(QStringLiteral("create table invoices (n integer)")));

        const struct {
            QString database, says;
        } cases[] = { { withArchive, QStringLiteral("已经有档案（处方 2 张）") },
            { withDrug, QStringLiteral("“商品”表") }, { foreign, QStringLiteral("不是本程序的数据库") } };
        for (const auto& c : cases) {
            QVERIFY(server.openServer(choiceFor(c.database).connectionString(), &error));
            const QList<QStringList> rowsBefore = [&] {
                QList<QStringList> all;
                if (c.database != foreign)
                    for (const StoreTable& t : storeTables())
                        all << tableRows(server, t, true);
                return all;
            }();
            MigrationReport report;
            const Result r = migrateToServer(file, server, &report);
            QVERIFY(!r);
            QVERIFY2(r.error.contains(c.says), qPrintable(r.error));
            QList<QStringList> rowsAfter;
            if (c.database != foreign)
                for (const StoreTable& t : storeTables())
                    rowsAfter << tableRows(server, t, true);
            QCOMPARE(rowsAfter, rowsBefore);
        }
    }

    // Amounts the file holds that the server's four-decimal amounts cannot: rounded or emptied and counted,
    // or, for a word, refused by table, key and column with nothing kept.
    void oddAmountsMoveAsTheServerKeepsThem()
    {
        QTemporaryDir files;
        const QString path = files.filePath(QStringLiteral("数据库.dat"));
        Database file;
        QString error;
        QVERIFY(writeTemplateDatabase(path, &error) && file.open(path, &error));
        QVERIFY(
            file.run(QStringLiteral("insert into \"商品\" (\"ID号\", \"名称\", \"进价\", \"售价\", \"库存\") "
                                    "values ('2001', '碘酊', 12.34567, '', 0.00005)")));
        const QString name = emptyDatabase();
        Database server;
        QVERIFY(server.openServer(choiceFor(name).connectionString(), &error));
        MigrationReport report;
        const Result moved = migrateToServer(file, server, &report);
        QVERIFY2(moved, qPrintable(moved.error));
        QVERIFY2(report.text().contains(QStringLiteral("商品：2 个金额超过四位小数"))
                && report.text().contains(QStringLiteral("商品：1 个金额是空白的文字")),
            qPrintable(report.text()));
        const QList<Row> drug = server
                                    .run(QStringLiteral("select \"进价\", \"售价\", \"库存\" from \"商品\" "
                                                        "where \"ID号\" = '2001'"))
                                    .rows;
        QCOMPARE(drug.size(), 1);
        QCOMPARE(drug[0].value(QStringLiteral("进价")).toString(), QStringLiteral("12.3457"));
        QVERIFY(drug[0].value(QStringLiteral("售价")).isNull());
        QCOMPARE(drug[0].value(QStringLiteral("库存")).toDouble(), 0.0001);

        QVERIFY(file.run(QStringLiteral("insert into \"商品\" (\"ID号\", \"名称\", \"售价\") "
                                        "values ('2002', '酒精', '十元')")));
        const QString second = emptyDatabase();
        QVERIFY(server.openServer(choiceFor(second).connectionString(), &error));
        const Result refused = migrateToServer(file, server, &report);
        QVERIFY(!refused);
        QVERIFY2(refused.error.contains(
                     QStringLiteral("“商品”表中ID号为“2002”的一行的“售价”不是一个金额（“十元”）")),
            qPrintable(refused.error));
        QCOMPARE(server.run(QStringLiteral("select count(*) as n from pg_tables where schemaname = 'public'"))
                     .rows.value(0)
                     .value(QStringLiteral("n"))
                     .toInt(),
            0);
    }

    // The window as the main menu opens it: the connection tested, this desk's archive moved, and the server
    // kept as this computer's choice.
    void theWindowTestsMovesAndKeepsTheChoice()
    {
        test::TestEnv env;
        MainWindow main(env.services, {});
        QMenu* upkeep = nullptr;
        for (QAction* a : main.menuBar()->actions())
            if (a->text() == QStringLiteral("数据维护(D)"))
                upkeep = a->menu();
        QVERIFY(upkeep);
        QCOMPARE(upkeep->actions().value(0)->text(), QStringLiteral("数据存储…"));
        main.menuAction(QStringLiteral("数据存储…"))->trigger();
        auto* window = qobject_cast<StorageWindow*>(main.childWindow(QStringLiteral("storage")));
        QVERIFY(window);
        QVERIFY(window->fileOption->isChecked() && !window->hostBox->isEnabled());
        window->serverOption->setChecked(true);
        const QString name = emptyDatabase();
        window->hostBox->setText(folder());
        window->databaseBox->setText(name);
        window->userBox->setText(QStringLiteral("postgres"));
        window->passwordBox->setText(kPassword);
        window->sslModeBox->setCurrentIndex(3); // disable: a Unix socket
        window->testButton->click();
        QVERIFY2(window->statusLabel->text().contains(QStringLiteral("是空的")),
            qPrintable(window->statusLabel->text()));

        env.messages.setNextAnswers({ true, true }); // move it; then use the server from the next start
        window->migrateButton->click();
        QVERIFY2(window->statusLabel->text().startsWith(QStringLiteral("迁移完成")),
            qPrintable(window->statusLabel->text()));
        QVERIFY(env.messages.last().contains(QStringLiteral("下次启动程序时生效")));
        const StorageChoice kept = loadStorageChoice();
        QVERIFY(kept.onServer);
        QCOMPARE(kept.connectionString(), choiceFor(name).connectionString());
        QCOMPARE(
            testServerConnection(kept.connectionString()).prescriptions, env.count(QStringLiteral("档案")));
        QFile::remove(storageConfigPath());
    }
};

QTEST_MAIN(StorageTest)
#include "tst_storage.moc"
