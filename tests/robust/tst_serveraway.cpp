// The practice's server stops in the middle of a desk's work and starts again (a server of this test's own):
// the desk keeps what it shows, a save is refused with the server's sentence and stays on screen, the catalog
// picker goes on with what it read, the settings show no stand-in values, and the next action after the
// server is back works without a restart, with nothing committed lost and nothing half written.

#include "app/backupwindow.h"
#include "desk/archivelist.h"
#include "desk/deskwidgets.h"
#include "desk/prescriptiondesk.h"
#include "desk/prescriptionrecord.h"
#include "maintenance/backupcopies.h"
#include "reports/logquery.h"
#include "settings/settingswindow.h"
#include "tests/robust/world.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTreeWidget>

using namespace qv;
using namespace qv::test;

// Copies are checked in the background (a Windows program's copy in a child process that reads it whole): on
// a busy machine, under the sanitizers, far longer than QTRY's five seconds. A bound, not a retry.
constexpr int kChecksWaitMs = 120000;

class ServerAwayTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_state;

    bool m_halted = false;

    bool server(const QString& action)
    {
        const bool done = QProcess::execute(QStringLiteral(QV_PGSERVER), { action, m_state }) == 0;
        if (done && action == QLatin1String("halt"))
            m_halted = true;
        if (done && action == QLatin1String("resume"))
            m_halted = false;
        return done;
    }

    static int stored(TestEnv& env, const QString& key)
    {
        return env.count(QStringLiteral("档案"), QStringLiteral("\"序号\" = ?"), { key });
    }

    static QString practiceName(TestEnv& env)
    {
        return env.rows(QStringLiteral("select \"单位名称\" from \"设置\""))
            .value(0)
            .text(QStringLiteral("单位名称"));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_state = m_dir.filePath(QStringLiteral("state"));
        QVERIFY2(server(QStringLiteral("start")), "the test's PostgreSQL server did not start");
        // Every TestEnv of this run works on this server.
        qputenv("QUORVELA_TEST_ENGINE", "server");
        qputenv("QUORVELA_TEST_SERVER_STATE", m_state.toUtf8());
    }

    // A case that failed half way leaves the server running for the next.
    void cleanup()
    {
        if (m_halted)
            server(QStringLiteral("resume"));
    }

    void cleanupTestCase() { server(QStringLiteral("stop")); }

    void theDeskKeepsItsWorkWhileTheServerIsAwayAndSavesItWhenBack()
    {
        World world;
        TestEnv& env = world.env;
        QVERIFY(env.db.run(QStringLiteral("update \"设置\" set \"执业兽医\" = '王医生'")));
        PrescriptionDesk desk(env.services);
        desk.newPrescription();
        QCOMPARE(desk.fieldEdits[kVeterinarianField]->text(), QStringLiteral("王医生"));
        desk.fieldEdits[0]->setText(QStringLiteral("张三"));
        QVERIFY(desk.savePrescription());
        const QString first = desk.recordKey();
        const QString practice = practiceName(env);
        const int listed = desk.archiveList->count();
        QVERIFY(listed >= 1);
        CatalogSearch all;
        all.excludeCategory = true;
        const int drugs = int(env.catalog.search(all).rows.size());
        QVERIFY(drugs > 0);

        // The next prescription is typed, and the server stops before it is saved.
        env.clock.advanceSeconds(5);
        desk.newPrescription();
        desk.fieldEdits[0]->setText(QStringLiteral("李四"));
        desk.setBodyText(QStringLiteral("阿莫西林 0.25g×10\r\n"));
        const PrescriptionRecord typed = desk.currentRecord();
        QVERIFY(server(QStringLiteral("halt")));

        QVERIFY(!desk.savePrescription());
        QVERIFY2(env.messages.last().startsWith(
                     notSavedMessage(serverFailureSentence(FailureKind::ServerGone)).section(u'（', 0, 0)),
            qPrintable(env.messages.last()));
        QVERIFY(env.messages.last().contains(QStringLiteral("诊所服务器")));
        QCOMPARE(desk.currentRecord().fields, typed.fields);
        QCOMPARE(desk.currentRecord().body, typed.body);
        QVERIFY(desk.hasUnsavedWork());

        // The archive list keeps its lines and says why it did not change (not that the dates are wrong).
        desk.runArchiveQuery();
        QCOMPARE(desk.archiveList->count(), listed);
        QVERIFY2(env.messages.last().contains(QStringLiteral("诊所服务器")), qPrintable(env.messages.last()));
        // The picker goes on with the catalog it read.
        QCOMPARE(int(env.catalog.search(all).rows.size()), drugs);
        // Settings loaded before stay as they were read; loaded now, they hand on no design text in place of
        // the stored values, and refuse to save over them.
        QCOMPARE(world.settings.veterinarian(), QStringLiteral("王医生"));
        world.settings.window()->cancel();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(world.settings.veterinarian(), QString());
        QCOMPARE(world.settings.practiceName(), QString());
        SettingsWindow* settings = world.settings.window();
        settings->practiceName->setText(QStringLiteral("新名称"));
        settings->saveSettings();
        QVERIFY(env.messages.last().startsWith(QStringLiteral("保存失败")));
        QVERIFY(!queryLog(env.db, { QDate(2026, 1, 1), QDate(2026, 12, 31) }).ok);

        QVERIFY(server(QStringLiteral("resume")));
        // Nothing committed was lost, nothing of the refused save was written.
        QCOMPARE(stored(env, first), 1);
        QCOMPARE(stored(env, typed.key), 0);
        // The same save, the same desk, no restart.
        QVERIFY2(desk.savePrescription(), qPrintable(env.messages.last()));
        QCOMPARE(stored(env, typed.key), 1);
        QCOMPARE(env.rows(QStringLiteral("select \"T1\" from \"档案\" where \"序号\" = ?"), { typed.key })
                     .value(0)
                     .text(QStringLiteral("T1")),
            typed.body);
        QCOMPARE(desk.archiveList->count(), listed + 1);
        QCOMPARE(practiceName(env), practice);
        QCOMPARE(world.settings.veterinarian(), QStringLiteral("王医生"));
        // A drug another desk adds once the server is back is picked.
        QVERIFY(env.db.run(
            QStringLiteral("insert into \"商品\" (\"ID号\", \"名称\", \"用法\", \"拼音\", \"分类\", "
                           "\"查询\") values ('90001', '回来药', '口服', 'hly', '西药', 'hly回来药')")));
        QCOMPARE(int(env.catalog.search(all).rows.size()), drugs + 1);
        QVERIFY(queryLog(env.db, { QDate(2026, 1, 1), QDate(2026, 12, 31) }).ok);
    }

    // While the server is away each look of the catalog's poll makes the connection again, which holds the
    // window for the connect timeout when the server cannot be reached: the poll rests instead, and the
    // listener still brings a change made once the server is back.
    void theCatalogWatchRestsWhileTheServerIsAway()
    {
        TestEnv env;
        CatalogIndex index(env.db);
        QVERIFY(index.load(nullptr));
        int woken = 0;
        index.setChangedCallback([&] { ++woken; });
        index.watch();
        QVERIFY(server(QStringLiteral("halt")));
        QTRY_VERIFY_WITH_TIMEOUT(index.pollResting(), 10000);
        QVERIFY(server(QStringLiteral("resume")));
        QVERIFY(env.db.run(
            QStringLiteral("insert into \"商品\" (\"ID号\", \"名称\", \"用法\", \"拼音\", \"分类\", "
                           "\"查询\") values ('90002', '歇后药', '口服', 'xhy', '西药', '歇后药xhy')")));
        QTRY_VERIFY_WITH_TIMEOUT(woken > 0, 10000);
        QVERIFY(index.pollResting());
    }

    // The backups window on the server: a backup now is a file in today's folder that opens and counts
    // without the server; restoring it over the archive every desk works on is refused, nothing changed.
    void aBackupOfTheServerIsAFileThatOpensWithoutIt()
    {
        World world;
        TestEnv& env = world.env;
        for (int i = 0; i < 30; ++i)
            QVERIFY(env.db.run(
                QStringLiteral(
                    "insert into \"档案\" (\"序号\", \"0\", \"6\") values (?, '王五', '2026-12-08')"),
                { QStringLiteral("B%1").arg(i) }));
        const int prescriptions = env.count(QStringLiteral("档案"));
        BackupWindow window(env.services);
        QTest::mouseClick(window.backUpNowButton, Qt::LeftButton);
        QVERIFY2(
            env.messages.last().startsWith(QStringLiteral("已备份到：")), qPrintable(env.messages.last()));
        const QList<BackupCopy> copies = listBackupCopies(window.backupRoot());
        QCOMPARE(copies.size(), 1);
        QCOMPARE(copies.first().day, QStringLiteral("8日"));
        const CopyFacts facts = inspectCopy(copies.first().path);
        QVERIFY2(facts.ok, qPrintable(facts.error));
        QCOMPARE(facts.prescriptions, qint64(prescriptions));
        // Readable by this user alone, as the file's copies are.
        const QFile::Permissions mine
            = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
        QCOMPARE(QFileInfo(copies.first().path).permissions(), mine);
        QCOMPARE(QFileInfo(QFileInfo(copies.first().path).path()).permissions(),
            mine | QFile::ExeOwner | QFile::ExeUser);
        QTRY_VERIFY_WITH_TIMEOUT(window.checksDone(), kChecksWaitMs);
        QCOMPARE(window.copyList->topLevelItem(0)->text(5), QStringLiteral("完好"));

        // Over the archive the desks work on, a copy is refused before any question and nothing changes.
        QVERIFY(!window.restoreButton->isEnabled());
        env.messages.clear();
        QVERIFY(!window.restoreFrom(copies.first().path));
        QCOMPARE(env.messages.shown().size(), 1);
        QVERIFY2(env.messages.last().startsWith(QStringLiteral("没有恢复，服务器上的数据没有任何改动。"))
                && env.messages.last().contains(
                    QStringLiteral("已经有档案（处方 %1 张）").arg(prescriptions)),
            qPrintable(env.messages.last()));
        QCOMPARE(env.count(QStringLiteral("档案")), prescriptions);

        // A database just set up (the server lost its archive) is filled from the copy, row for row.
        World fresh;
        BackupWindow restoring(fresh.env.services);
        fresh.env.messages.setNextAnswers({ true });
        QVERIFY2(restoring.restoreFrom(copies.first().path), qPrintable(fresh.env.messages.last()));
        // The day is the one the copy was written (by the file's time).
        const QString question = fresh.env.messages.shown().at(fresh.env.messages.shown().size() - 2).text;
        QVERIFY2(
            QRegularExpression(QStringLiteral("^用 \\d+月\\d+日 的备份（处方 %1 张）填入").arg(prescriptions))
                .match(question)
                .hasMatch(),
            qPrintable(question));
        QVERIFY2(QRegularExpression(QStringLiteral("^诊所服务器上的档案已从 \\d+月\\d+日 的备份恢复。"))
                     .match(fresh.env.messages.last())
                     .hasMatch(),
            qPrintable(fresh.env.messages.last()));
        for (const StoreTable& table : storeTables())
            QCOMPARE(tableRows(fresh.env.db, table), tableRows(env.db, table));
    }
};

QTEST_MAIN(ServerAwayTest)
#include "tst_serveraway.moc"
