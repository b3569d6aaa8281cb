// The backups a practice can restore: the list of copies and their check, backing up now and into a chosen
// folder, restoring a listed copy or a file, the offer at a start on a damaged database, the failed exit
// backup told to the user and the reminder of an old backup; two programs backing up into one day folder,
// the archive kept private, and the backup's bar gone before its message.

#include "app/backupwindow.h"
#include "app/mainwindow.h"
#include "app/windows.h"
#include "catalogs/catalogindex.h"
#include "desk/paperlayout.h"
#include "desk/prescriptionrecord.h"
#include "maintenance/backupcopies.h"
#include "maintenance/migration.h"
#include "maintenance/restore.h"
#include "maintenance/startoffers.h"
#include "maintenance/startup.h"
#include "platform/qtservices.h"
#include "settings/settingsreaders.h"
#include "tests/support/files.h"
#include "tests/support/testenv.h"

#include <QAction>
#include <QApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <csignal>
#include <fcntl.h>
#include <linux/fs.h>
#include <sqlcipher/sqlite3.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace qv;
using namespace qv::test;

// Copies are checked in the background (a Windows program's copy in a child process that reads it whole): on
// a busy machine, under the sanitizers, far longer than QTRY's five seconds. A bound, not a retry.
constexpr int kChecksWaitMs = 120000;

namespace {

bool setWritten(const QString& path, const QDateTime& when)
{
    QFile f(path);
    return f.open(QIODevice::ReadWrite) && f.setFileTime(when, QFileDevice::FileModificationTime);
}

void writeMakingFolder(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}

void savePrescriptions(Database& db, const QString& prefix, int count, const QString& date)
{
    QVERIFY(db.run("pragma synchronous = off").ok);
    for (int i = 0; i < count; ++i) {
        PrescriptionRecord r;
        r.key = prefix + QString::number(i);
        r.fields[0] = QStringLiteral("主人%1").arg(i);
        r.fields[kDateField] = date;
        r.body = QString(300, QLatin1Char('x'));
        QVERIFY2(saveRecord(db, r).ok, qPrintable(r.key));
    }
    QVERIFY(db.run("pragma synchronous = full").ok);
}

qint64 prescriptionsIn(const QString& path)
{
    Database db;
    QString error;
    if (!db.open(path, &error))
        return -1;
    const Result r = db.run("select count(*) from [档案]");
    return r ? r.rows.first().values().first().toLongLong() : -1;
}

// A page in the middle of the file overwritten: the file still opens (its first page is whole), but a page
// no longer authenticates.
void damageMiddle(const QString& path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    const qint64 size = f.size();
    QVERIFY(size > 8 * 4096);
    QVERIFY(f.seek((size / 4096 / 2) * 4096 + 100));
    QVERIFY(f.write(QByteArray(300, '\x5a')) == 300);
}

// A database file that SQLCipher opens only with another key.
void writeForeignKeyDatabase(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    QCOMPARE(sqlite3_key(db, "another", 7), SQLITE_OK);
    QCOMPARE(sqlite3_exec(db, "create table t (x); insert into t values (1);", nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(db);
}

QString rowText(QTreeWidget* list, const QString& day, int column)
{
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (list->topLevelItem(i)->text(0) == day)
            return list->topLevelItem(i)->text(column);
    }
    return QStringLiteral("(no row %1)").arg(day);
}

QString rowTip(QTreeWidget* list, const QString& day)
{
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (list->topLevelItem(i)->text(0) == day)
            return list->topLevelItem(i)->toolTip(5);
    }
    return {};
}

void chooseRow(QTreeWidget* list, const QString& day)
{
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        if (list->topLevelItem(i)->text(0) == day)
            list->setCurrentItem(list->topLevelItem(i));
    }
    QCOMPARE(list->currentItem()->text(0), day);
}

QString backupOf(TestEnv& env, int day)
{
    return env.dir.filePath(QStringLiteral("Quorvela数据库备份/%1日/数据库.dat").arg(day));
}

// Backs up as the program does on day `day` of December 2026, at that day's evening.
void backUpOn(TestEnv& env, int day)
{
    const QDate date(2026, 12, day);
    QCOMPARE(backUpDatabase(env.drives, date, env.db), QString());
    QVERIFY(setWritten(backupOf(env, day), QDateTime(date, QTime(18, 0))));
}

// A folder nobody may write into while it lives: no write permission, and for a user who may write anyway
// (root), the immutable flag.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const QString& path)
        : m_path(path)
    {
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY);
        if (fd >= 0) {
            int flags = 0;
            if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
                flags |= FS_IMMUTABLE_FL;
                m_immutable = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
            }
            ::close(fd);
        }
    }
    ~ReadOnlyFolder()
    {
        if (m_immutable) {
            const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_DIRECTORY);
            int flags = 0;
            if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
                flags &= ~FS_IMMUTABLE_FL;
                ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
            }
            if (fd >= 0)
                ::close(fd);
        }
        QFile::setPermissions(
            m_path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    // True when a file really cannot be made in the folder.
    bool holds() const
    {
        QFile probe(m_path + QStringLiteral("/probe"));
        if (!probe.open(QIODevice::WriteOnly))
            return true;
        probe.remove();
        return false;
    }

private:
    QString m_path;
    bool m_immutable = false;
};

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// The access bits of a file or folder ("755"), as stat reports them.
QString modeOf(const QString& path)
{
    struct stat info { };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return QStringLiteral("missing");
    return QString::number(info.st_mode & 0777, 8);
}

} // namespace

class BackupsTest final : public QObject {
    Q_OBJECT

private slots:
    void theListShowsEveryKindOfCopyAndLookingChangesNothing()
    {
        TestEnv env;
        savePrescriptions(env.db, QStringLiteral("A"), 40, QStringLiteral("2026-12-03"));
        backUpOn(env, 3); // good
        savePrescriptions(env.db, QStringLiteral("B"), 60, QStringLiteral("2026-12-05"));
        backUpOn(env, 5); // good, newer
        backUpOn(env, 6);
        damageMiddle(backupOf(env, 6)); // damaged
        writeMakingFolder(backupOf(env, 7), QByteArray()); // empty
        writeForeignKeyDatabase(backupOf(env, 8)); // another key
        QDir().mkpath(QFileInfo(backupOf(env, 9)).path()); // a day folder without its copy
        QDir().mkpath(env.dir.filePath(QStringLiteral("Quorvela数据库备份/旧的")));
        QMap<QString, QByteArray> before;
        for (const int day : { 3, 5, 6, 7, 8 })
            before.insert(backupOf(env, day), contentsOf(backupOf(env, day)));

        BackupWindow window(env.services);
        QTreeWidget* list = window.findChild<QTreeWidget*>(QStringLiteral("List1"));
        QVERIFY(list);
        QCOMPARE(list->topLevelItemCount(), 6); // the folder that is not a day is not a copy
        QTRY_VERIFY_WITH_TIMEOUT(window.checksDone(), kChecksWaitMs);

        // Newest written first, the folder without a copy last.
        QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("8日"));
        QCOMPARE(list->topLevelItem(5)->text(0), QStringLiteral("9日"));
        QCOMPARE(rowText(list, "5日", 5), QStringLiteral("完好"));
        QCOMPARE(rowText(list, "5日", 3), QStringLiteral("101")); // and the template's sample
        QCOMPARE(rowText(list, "5日", 4), QStringLiteral("2026-12-05"));
        QCOMPARE(rowText(list, "5日", 1), QStringLiteral("2026-12-05 18:00"));
        QCOMPARE(rowText(list, "3日", 3), QStringLiteral("41"));
        QCOMPARE(rowText(list, "3日", 4), QStringLiteral("2026-12-03"));
        for (const char* bad : { "6日", "7日", "8日" }) {
            QVERIFY2(rowText(list, bad, 5) == QStringLiteral("已损坏，不能使用"),
                qPrintable(QString::fromUtf8(bad) + ": " + rowText(list, bad, 5) + ": " + rowTip(list, bad)));
            QCOMPARE(rowText(list, bad, 3), QString());
        }
        QCOMPARE(rowText(list, "9日", 5), QStringLiteral("没有备份文件"));
        QCOMPARE(rowText(list, "7日", 2), QStringLiteral("0 KB"));

        // Restoring needs a copy: the folder without one cannot be restored.
        chooseRow(list, QStringLiteral("9日"));
        QVERIFY(!window.restoreButton->isEnabled());
        chooseRow(list, QStringLiteral("5日"));
        QVERIFY(window.restoreButton->isEnabled());

        // The checks read private copies: every backup is byte for byte as it was, nothing lies beside it.
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            QVERIFY2(contentsOf(it.key()) == it.value(), qPrintable(it.key()));
            QCOMPARE(filesIn(QFileInfo(it.key()).path()), QStringList { QStringLiteral("数据库.dat") });
        }
    }

    void backUpNowAndIntoAChosenFolder()
    {
        TestEnv env;
        savePrescriptions(env.db, QStringLiteral("A"), 12, QStringLiteral("2026-12-08"));
        BackupWindow window(env.services);
        QTRY_VERIFY_WITH_TIMEOUT(window.checksDone(), kChecksWaitMs);
        QCOMPARE(window.copyList->topLevelItemCount(), 0);

        QTest::mouseClick(window.backUpNowButton, Qt::LeftButton);
        QCOMPARE(prescriptionsIn(backupOf(env, 8)), env.count("档案"));
        QVERIFY2(
            env.messages.last().startsWith(QStringLiteral("已备份到：")), qPrintable(env.messages.last()));
        QCOMPARE(window.copyList->topLevelItemCount(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(window.checksDone(), kChecksWaitMs);
        QCOMPARE(window.copyList->topLevelItem(0)->text(5), QStringLiteral("完好"));

        // Into a folder on a stick: a new file each time, never over one already there.
        QTemporaryDir stick;
        env.fileDialogs.next = stick.path();
        window.backUpToFolder();
        env.clock.advanceSeconds(60);
        window.backUpToFolder();
        const QStringList written = filesIn(stick.path());
        QCOMPARE(written,
            (QStringList { QStringLiteral("数据库-20261208-093000.dat"),
                QStringLiteral("数据库-20261208-093100.dat") }));
        QCOMPARE(prescriptionsIn(stick.filePath(written.first())), env.count("档案"));
        // The same second again (a second click): the copy already there keeps its bytes.
        const QString first = stick.filePath(written.last());
        QFile::resize(first, 4096);
        window.backUpToFolder();
        QCOMPARE(QFileInfo(first).size(), 4096);
        QCOMPARE(prescriptionsIn(stick.filePath(QStringLiteral("数据库-20261208-093100-2.dat"))),
            env.count("档案"));

        // Cancelling the folder choice writes nothing.
        env.fileDialogs.next.clear();
        window.backUpToFolder();
        QCOMPARE(filesIn(stick.path()).size(), 3);
    }

    void restoringPutsTheCopyInPlaceAndEveryWindowShowsIt()
    {
        TestEnv env;
        savePrescriptions(env.db, QStringLiteral("A"), 30, QStringLiteral("2026-12-07"));
        backUpOn(env, 7);
        const int copied = env.count("档案");
        // After the backup: more prescriptions, a drug and another practice name.
        savePrescriptions(env.db, QStringLiteral("B"), 5, QStringLiteral("2026-12-08"));
        QVERIFY(env.db
                    .run("insert into [商品] ([ID号], [名称], [查询], [拼音], [分类]) values "
                         "('20261208093000', '后来的药', '后来的药hldy', 'hldy', '后来的类')")
                    .ok);
        QVERIFY(env.db.run("update [设置] set [单位名称] = '后来的名称'").ok);
        const int before = env.count("档案");
        const QByteArray currentBytes = contentsOf(env.context.databasePath);

        ProgramWindows windows(env.services);
        MainWindow main(env.services, windows.factories());
        env.services.windows = &main;
        main.show();
        main.openDrugCatalog();
        QCOMPARE(env.services.settings->practiceName(), QStringLiteral("后来的名称"));
        CatalogSearch late;
        late.typed = QStringLiteral("后来的药");
        late.category = QStringLiteral("后来的类");
        const CatalogHits found = env.catalog.search(late);
        QVERIFY2(found.ok && found.rows.size() == 1, qPrintable(found.error));
        const QPointer<QWidget> deskBefore = main.childWindow("desk");
        const QPointer<QWidget> drugsBefore = main.childWindow("drugs");
        QVERIFY(deskBefore && drugsBefore);

        main.menuAction(QStringLiteral("备份与恢复…"))->trigger();
        auto* window = qobject_cast<BackupWindow*>(main.childWindow("backups"));
        QVERIFY(window);
        QTRY_VERIFY_WITH_TIMEOUT(window->checksDone(), kChecksWaitMs);
        chooseRow(window->copyList, QStringLiteral("7日"));
        env.messages.setNextAnswers({ true });
        QTest::mouseClick(window->restoreButton, Qt::LeftButton);

        const QString question
            = QStringLiteral("用 12月7日 的备份（处方 %1 张）替换当前数据库（处方 %2 张）？")
                  .arg(copied)
                  .arg(before);
        QVERIFY2(env.messages.texts().contains(question), qPrintable(env.messages.texts().join(" | ")));
        QVERIFY2(env.messages.last().startsWith(QStringLiteral("数据库已恢复为 12月7日 的备份。")),
            qPrintable(env.messages.last()));
        // The store reads the restored file.
        QCOMPARE(env.count("档案"), copied);
        QCOMPARE(env.count("档案", "[序号] like 'B%'"), 0);
        // The previous file is kept whole under its second name.
        const QStringList aside = QDir(env.dataFolder()).entryList({ QStringLiteral("数据库.dat.恢复前-*") });
        QCOMPARE(aside, QStringList { QStringLiteral("数据库.dat.恢复前-20261208093000") });
        const QString asidePath = env.dataFolder() + QLatin1Char('/') + aside.first();
        QCOMPARE(prescriptionsIn(asidePath), qint64(before));
        QVERIFY(!QFile::exists(env.context.databasePath + QStringLiteral(".恢复中")));

        // The windows open again on the restored data; the backup window stays in front.
        QVERIFY(deskBefore.isNull() && drugsBefore.isNull());
        QVERIFY(main.childWindow("desk") && main.childWindow("drugs"));
        QCOMPARE(main.childWindow("backups"), window);
        QCOMPARE(env.catalog.search(late).rows.size(), size_t(0));
        QVERIFY(env.services.settings->practiceName() != QStringLiteral("后来的名称"));
        // The file set aside is the file as it was before, byte for byte once its log was folded back in.
        QVERIFY(contentsOf(asidePath).size() >= currentBytes.size());
    }

    // The Windows program's exit backup in a day folder: listed as its copy with its counts, not as damaged,
    // and imported with "导入" into the store that holds no archive yet; every window then shows its data.
    // Imported once, the store has an archive: the menu's import is refused before any window closes.
    void aCopyOfTheWindowsProgramIsListedAndImported()
    {
        TestEnv env;
        QProcess xz;
        xz.start(QStringLiteral("xz"), { QStringLiteral("-dc"), QStringLiteral(QV_JET_SAMPLE) });
        QVERIFY2(xz.waitForFinished(60000) && xz.exitCode() == 0, "xz (./setup.sh --test installs it)");
        const QByteArray jet = xz.readAllStandardOutput();
        writeMakingFolder(backupOf(env, 4), jet);

        ProgramWindows windows(env.services);
        MainWindow main(env.services, windows.factories());
        env.services.windows = &main;
        main.show();
        // The drug window's catalog is read in a thread of its own while the copies are checked.
        main.openDrugCatalog();
        const QString templateName = env.services.settings->practiceName();
        const QPointer<QWidget> drugsBefore = main.childWindow("drugs");
        main.menuAction(QStringLiteral("备份与恢复…"))->trigger();
        auto* window = qobject_cast<BackupWindow*>(main.childWindow("backups"));
        QVERIFY(window);
        QTRY_VERIFY_WITH_TIMEOUT(window->checksDone(), kChecksWaitMs);
        QCOMPARE(rowText(window->copyList, "4日", 5), QStringLiteral("Windows 版程序的副本，可导入"));
        QCOMPARE(rowText(window->copyList, "4日", 3), QStringLiteral("2,000"));
        chooseRow(window->copyList, QStringLiteral("4日"));
        QCOMPARE(window->restoreButton->text(), QStringLiteral("导入"));

        // "取消" on the bar as soon as it runs: everything stays as it was, the drug picker included.
        CatalogSearch all;
        all.category = QStringLiteral("没有的分类");
        all.excludeCategory = true; // every listed drug: the template's 241, the file's 541
        const size_t templateDrugs = env.catalog.search(all).rows.size();
        QList<TableTally> before, after;
        QVERIFY(tallyStore(env.db, &before));
        bool cancelled = false;
        QTimer canceller;
        connect(&canceller, &QTimer::timeout, [&] {
            if (auto* bar = main.findChild<QProgressDialog*>(QStringLiteral("ImportProgress"));
                bar && !cancelled) {
                bar->cancel();
                cancelled = true;
            }
        });
        canceller.start(0);
        env.messages.setNextAnswers({ true });
        QTest::mouseClick(window->restoreButton, Qt::LeftButton);
        canceller.stop();
        QVERIFY(cancelled);
        QVERIFY2(env.messages.last().contains(QStringLiteral("导入已取消")), qPrintable(env.messages.last()));
        QVERIFY(tallyStore(env.db, &after));
        QCOMPARE(after.size(), before.size());
        for (int i = 0; i < before.size(); ++i)
            QVERIFY2(after[i].checksum == before[i].checksum, qPrintable(before[i].table));
        QCOMPARE(env.catalog.search(all).rows.size(), templateDrugs);
        QVERIFY(drugsBefore.isNull() && main.childWindow("drugs"));

        env.messages.setNextAnswers({ true });
        QTest::mouseClick(window->restoreButton, Qt::LeftButton);
        QVERIFY2(env.messages.last().startsWith(QStringLiteral("旧版数据库已导入到")),
            qPrintable(env.messages.last()));
        QCOMPARE(env.count("档案"), 2000);
        QVERIFY(env.services.settings->practiceName() != templateName);
        QCOMPARE(contentsOf(backupOf(env, 4)), jet);
        QVERIFY(env.catalog.search(all).rows.size() > 500);

        // The menu opens on the backups folder; the store now has an archive and is refused untouched.
        const QPointer<QWidget> drugsAfter = main.childWindow("drugs");
        env.fileDialogs.next = backupOf(env, 4);
        const int shown = int(env.messages.texts().size());
        main.menuAction(QStringLiteral("从旧版数据库导入…"))->trigger();
        QCOMPARE(env.fileDialogs.lastDirectory, env.dir.filePath(QStringLiteral("Quorvela数据库备份")));
        QCOMPARE(env.messages.texts().size(), shown + 1);
        QVERIFY2(env.messages.last().contains(QStringLiteral("已经有档案（处方 2000 张）")),
            qPrintable(env.messages.last()));
        QVERIFY(drugsAfter);
        QCOMPARE(env.count("档案"), 2000);
    }

    void aCopyThatFailsItsProofIsRefusedAndNothingChanges()
    {
        TestEnv env;
        savePrescriptions(env.db, QStringLiteral("A"), 30, QStringLiteral("2026-12-07"));
        backUpOn(env, 7);
        damageMiddle(backupOf(env, 7));
        writeForeignKeyDatabase(backupOf(env, 6));
        const QString database = env.context.databasePath;
        QVERIFY(env.db.run("pragma wal_checkpoint(truncate)").ok);
        const QByteArray current = contentsOf(database);
        const QStringList folderBefore = filesIn(env.dataFolder());

        BackupWindow window(env.services);
        for (const int day : { 7, 6 }) {
            env.messages.clear();
            env.messages.setNextAnswers({ true });
            QVERIFY(!window.restoreFrom(backupOf(env, day)));
            QCOMPARE(env.messages.shown().size(), 1); // no question: the refusal only
            QVERIFY2(env.messages.last().startsWith(
                         QStringLiteral("这份备份不能用来恢复，当前数据库没有任何改动。")),
                qPrintable(env.messages.last()));
            // The copy is what is damaged: no advice to restore a backup, which is what the user is doing.
            QVERIFY2(env.messages.last().contains(QStringLiteral("这份副本已损坏"))
                    && !env.messages.last().contains(failureSentence(FailureKind::Damaged)),
                qPrintable(env.messages.last()));
        }
        // A file that is not there at all.
        env.messages.clear();
        QVERIFY(!window.restoreFrom(env.dir.filePath("nowhere.dat")));
        QVERIFY(env.messages.last().contains(QStringLiteral("找不到备份文件")));

        QVERIFY(env.db.isOpen());
        QCOMPARE(env.count("档案"), 31);
        QCOMPARE(contentsOf(database), current);
        QCOMPARE(filesIn(env.dataFolder()), folderBefore);
    }

    void aCopyFromAStickRestoresAndDecliningKeepsEverything()
    {
        TestEnv env;
        savePrescriptions(env.db, QStringLiteral("A"), 10, QStringLiteral("2026-12-08"));
        QTemporaryDir stick;
        env.fileDialogs.next = stick.path();
        BackupWindow window(env.services);
        window.backUpToFolder();
        const QString onStick = stick.filePath(filesIn(stick.path()).value(0));
        const QByteArray stickBytes = contentsOf(onStick);
        savePrescriptions(env.db, QStringLiteral("B"), 3, QStringLiteral("2026-12-08"));

        env.fileDialogs.next = onStick;
        env.messages.setNextAnswers({ false });
        window.restoreFromFile();
        const QString question = env.messages.last();
        QVERIFY2(question.startsWith(QStringLiteral("用 ")), qPrintable(question));
        QVERIFY2(question.endsWith(QStringLiteral(" 的备份（处方 11 张）替换当前数据库（处方 14 张）？")),
            qPrintable(question));
        QCOMPARE(env.count("档案"), 14);
        QVERIFY(QDir(env.dataFolder()).entryList({ QStringLiteral("*恢复*") }).isEmpty());

        env.messages.setNextAnswers({ true });
        window.restoreFromFile();
        QCOMPARE(env.count("档案"), 11);
        // The copy on the stick is read, never written.
        QCOMPARE(contentsOf(onStick), stickBytes);
        QCOMPARE(filesIn(stick.path()).size(), 1);
    }

    void aDamagedDatabaseAtStartIsRestoredFromTheNewestGoodCopy()
    {
        TestEnv env;
        savePrescriptions(env.db, QStringLiteral("A"), 50, QStringLiteral("2026-12-04"));
        backUpOn(env, 4);
        savePrescriptions(env.db, QStringLiteral("B"), 10, QStringLiteral("2026-12-06"));
        backUpOn(env, 6);
        backUpOn(env, 7);
        damageMiddle(backupOf(env, 7)); // the newest copy is damaged: the one before it is offered
        env.db.close();
        const QString database = env.context.databasePath;
        // The current file: not this program's database any more.
        QByteArray damaged = contentsOf(database);
        damaged.replace(0, 64, QByteArray(64, '\x11'));
        writeMakingFolder(database, damaged);
        QFile::remove(database + "-wal");
        QFile::remove(database + "-shm");

        StartupResult started = startUp(env.drives, env.context, env.db);
        QVERIFY(!started.ok);

        // Declining ends the program as before: nothing changed.
        env.messages.setNextAnswers({ false });
        QVERIFY(!offerRestoreOfDamaged(env.services, started.error));
        const QString offer = env.messages.last();
        QVERIFY2(offer.contains(QStringLiteral(
                     "最近一份完好的备份是 12月6日 的（处方 61 张，最新一张是 2026-12-06 的）")),
            qPrintable(offer));
        QCOMPARE(contentsOf(database), damaged);

        env.messages.setNextAnswers({ true });
        QVERIFY(offerRestoreOfDamaged(env.services, started.error));
        started = startUp(env.drives, env.context, env.db);
        QVERIFY2(started.ok, qPrintable(started.error));
        QCOMPARE(env.count("档案"), 61);
        // The damaged file is kept as it was.
        const QStringList aside = QDir(env.dataFolder()).entryList({ QStringLiteral("数据库.dat.恢复前-*") });
        QCOMPARE(aside.size(), 1);
        QCOMPARE(contentsOf(env.dataFolder() + QLatin1Char('/') + aside.first()), damaged);
    }

    void noOfferWithoutAGoodCopyOrForAnotherFailure()
    {
        TestEnv env;
        backUpOn(env, 5);
        damageMiddle(backupOf(env, 5));
        const QString damagedError
            = QStringLiteral("无法打开数据库文件：x\n") + explainFailure(FailureKind::Damaged, "x");
        env.messages.setNextAnswers({ true });
        QVERIFY(!offerRestoreOfDamaged(env.services, damagedError));
        QVERIFY(env.messages.shown().isEmpty());
        // A good copy, but the file failed for a reason a copy does not cure.
        backUpOn(env, 6);
        QVERIFY(!offerRestoreOfDamaged(env.services, explainFailure(FailureKind::NoWriteAccess, "x")));
        QVERIFY(env.messages.shown().isEmpty());
    }

    void aFileWhosePagesFailTheCheckIsFoundWhileTheLoginWaits()
    {
        TestEnv env;
        savePrescriptions(env.db, QStringLiteral("A"), 80, QStringLiteral("2026-12-04"));
        QVERIFY(env.db.run("pragma wal_checkpoint(truncate)").ok);
        QCOMPARE(checkInBackground(env.db, env.context.databasePath).get(), QString());
        env.db.close();
        damageMiddle(env.context.databasePath);
        QString error;
        QVERIFY2(env.db.open(env.context.databasePath, &error), qPrintable(error)); // it still opens
        const QString found = checkInBackground(env.db, env.context.databasePath).get();
        QVERIFY(found.startsWith(QStringLiteral("无法打开数据库文件：")));
        QVERIFY(found.contains(failureSentence(FailureKind::Damaged)));
    }

    void aFailedExitBackupIsToldAndTheProgramStillEnds_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<int>("kind");
        QTest::newRow("read-only folder") << true << int(FailureKind::NoWriteAccess);
        QTest::newRow("full disk") << false << int(FailureKind::DiskFull);
    }
    void aFailedExitBackupIsToldAndTheProgramStillEnds()
    {
        QFETCH(bool, readOnly);
        QFETCH(int, kind);
        TestEnv env;
        backUpOn(env, 8);
        const QByteArray previous = contentsOf(backupOf(env, 8));
        const QString folder = QFileInfo(backupOf(env, 8)).path();
        MainWindow main(env.services, {});
        QSignalSpy exited(&main, &MainWindow::exitRequested);
        main.show();
        if (readOnly) {
            ReadOnlyFolder locked(folder);
            if (!locked.holds())
                QSKIP("this file system lets the test's user write into any folder");
            main.close();
        } else {
            // Files stop growing at half the copy's size, as on a disk with that much space left.
            rlimit before {};
            QVERIFY(::getrlimit(RLIMIT_FSIZE, &before) == 0);
            const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            rlimit limited = before;
            limited.rlim_cur = rlim_t(previous.size() / 2);
            QVERIFY(::setrlimit(RLIMIT_FSIZE, &limited) == 0);
            main.close();
            ::setrlimit(RLIMIT_FSIZE, &before);
            std::signal(SIGXFSZ, oldHandler);
        }
        QCOMPARE(exited.count(), 1);
        QCOMPARE(env.messages.shown().size(), 1);
        const QString told = env.messages.last();
        QCOMPARE(env.messages.shown().first().icon, Messages::Icon::Warning);
        QVERIFY2(told.startsWith(QStringLiteral("数据库没有备份成功。")), qPrintable(told));
        QVERIFY2(told.contains(QDir::toNativeSeparators(folder)), qPrintable(told));
        QVERIFY2(told.contains(QStringLiteral("所在磁盘：")), qPrintable(told));
        QVERIFY2(told.contains(failureSentence(FailureKind(kind))), qPrintable(told));
        // The day's earlier copy stays, and nothing half-written lies beside it.
        QCOMPARE(contentsOf(backupOf(env, 8)), previous);
        QCOMPARE(filesIn(folder), QStringList { QStringLiteral("数据库.dat") });
    }

    void twoProgramsBackingUpIntoOneDayFolderAtOnceEachWriteAWholeCopy()
    {
        // Two programs of one computer on the practice's server (no one-program-per-folder lock there) end at
        // the same moment, again and again, after a power cut left an empty lock: nothing is refused, and the
        // day's copy is whole whenever looked at.
        TestEnv env;
        savePrescriptions(env.db, QStringLiteral("A"), 300, QStringLiteral("2026-12-08"));
        env.db.close();
        const QString databases[2]
            = { env.context.databasePath, env.dir.filePath(QStringLiteral("另一个.dat")) };
        QVERIFY(QFile::copy(databases[0], databases[1]));
        const QString copy = backupOf(env, 8);
        writeMakingFolder(QFileInfo(copy).path() + QStringLiteral("/备份.lock"), {});
        QVERIFY(setWritten(QFileInfo(copy).path() + QStringLiteral("/备份.lock"),
            QDateTime::currentDateTime().addSecs(-60)));
        QProcess programs[2];
        for (int i = 0; i < 2; ++i)
            programs[i].start(
                QStringLiteral(QV_BACKUP_RACER), { databases[i], env.dir.path(), QStringLiteral("12") });
        for (QDeadlineTimer deadline(180000); programs[0].state() || programs[1].state(); QTest::qWait(10)) {
            QVERIFY2(!deadline.hasExpired(), "the two programs did not end");
            const CopyFacts facts = QFile::exists(copy) ? inspectCopy(copy) : CopyFacts { true };
            QVERIFY2(facts.ok, qPrintable(facts.error));
        }
        for (QProcess& program : programs)
            QVERIFY2(program.exitCode() == 0, program.readAllStandardError().constData());
        QCOMPARE(inspectCopy(copy).prescriptions, qint64(301));
        QCOMPARE(filesIn(QFileInfo(copy).path()), QStringList { QStringLiteral("数据库.dat") });
    }

    void theArchiveAndItsCopiesAreThisUsersAlone()
    {
        // A first start, backups and a copy into a chosen folder (which stays as the user has it): folders
        // 0700, files 0600; a layout open to everyone, with files set aside, is made so at the next start.
        QTemporaryDir c;
        FolderDrives drives;
        drives.c = c.path();
        AppContext context;
        Database db;
        QVERIFY(startUp(drives, context, db).ok);
        QCOMPARE(
            backUpDatabase(drives, QDate(2026, 12, 7), db) + backUpDatabase(drives, QDate(2026, 12, 8), db),
            QString());
        QTemporaryDir stick;
        QVERIFY(::chmod(QFile::encodeName(stick.path()).constData(), 0755) == 0);
        QCOMPARE(writeBackupFile(db, stick.filePath(QStringLiteral("x.dat"))), QString());
        QCOMPARE(
            modeOf(stick.filePath(QStringLiteral("x.dat"))) + modeOf(stick.path()), QStringLiteral("600755"));
        const QString backups = c.filePath(QStringLiteral("Quorvela数据库备份"));
        const QStringList folders = { context.dataFolder, backups, backups + QStringLiteral("/7日"),
            backups + QStringLiteral("/8日") };
        const auto open = [&] {
            QStringList found;
            for (const QString& folder : folders) {
                found << folder + QLatin1Char(' ') + modeOf(folder);
                for (const QString& file : filesIn(folder))
                    found << file + QLatin1Char(' ') + modeOf(folder + QLatin1Char('/') + file);
            }
            return found.filter(QRegularExpression(QStringLiteral(" (?!700$|600$)"))).join(QLatin1Char('\n'));
        };
        QVERIFY2(open().isEmpty(), qPrintable(open()));
        db.close();
        for (const char* aside : { "数据库.dat.恢复前-20261201090000", "数据库.dat.旧版", "数据库.dat.导入中",
                 "数据库.dat.导入中-wal", "数据库.dat.恢复中" })
            writeMakingFolder(context.dataFolder + QLatin1Char('/') + QString::fromUtf8(aside), "x");
        for (const QString& folder : folders) {
            QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
            for (const QString& file : filesIn(folder))
                QVERIFY(::chmod(QFile::encodeName(folder + QLatin1Char('/') + file).constData(), 0644) == 0);
        }
        QVERIFY(startUp(drives, context, db).ok);
        QVERIFY2(open().isEmpty(), qPrintable(open()));
        // What an import or restore killed half way left is gone; what was set aside stays.
        QCOMPARE(filesIn(context.dataFolder).filter(QStringLiteral("数据库.dat.")),
            (QStringList {
                QStringLiteral("数据库.dat.恢复前-20261201090000"), QStringLiteral("数据库.dat.旧版") }));
    }

    void theBackupsBarIsGoneBeforeAnyMessageAboutTheBackup()
    {
        // The exit backup and "立即备份" fail at once (a file has the day folder's name), told in real
        // message boxes: no bar of the backup is left behind a box, to come up modal over it and block its
        // button.
        TestEnv env;
        BoxMessages boxes;
        env.services.messages = &boxes;
        writeMakingFolder(env.dir.filePath(QStringLiteral("Quorvela数据库备份/8日")), "a file");
        QStringList told;
        int barsLeft = 0;
        QTimer answerer;
        connect(&answerer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            for (QWidget* any : QApplication::allWidgets())
                barsLeft += qobject_cast<QProgressDialog*>(any) ? 1 : 0;
            told << box->text();
            box->button(QMessageBox::Ok)->click();
        });
        answerer.start(20);
        BackupWindow(env.services).backUpNow();
        MainWindow main(env.services, {});
        main.show();
        main.close();
        QCOMPARE(barsLeft, 0);
        QCOMPARE(told.size(), 2);
        QVERIFY2(told.join(u'|').count(QStringLiteral("备份文件夹的位置上是一个同名的文件")) == 2,
            qPrintable(told.join(u'|')));
    }

    void theReminderComesAfterAWeekWithoutAGoodCopy()
    {
        const QDateTime now(QDate(2026, 12, 20), QTime(9, 0));
        QCOMPARE(backupReminder(now, now.addDays(-7), now.addDays(-300)), QString());
        QVERIFY(
            backupReminder(now, now.addDays(-8), now.addDays(-300))
                .startsWith(QStringLiteral("最近一份完好的备份是 12月12日 写入的，已经 8 天没有备份了。")));
        QVERIFY(!backupReminder(now, QDateTime(), now.addDays(-30)).isEmpty());
        QCOMPARE(backupReminder(now, QDateTime(), now.addDays(-2)), QString()); // a new installation
        QCOMPARE(backupReminder(now, QDateTime(), QDateTime()), QString());

        // In the program: the newest good copy is nine days old (a newer one is damaged); yes backs up now.
        TestEnv env;
        backUpOn(env, 1);
        backUpOn(env, 5);
        damageMiddle(backupOf(env, 5));
        env.clock.set(QDateTime(QDate(2026, 12, 10), QTime(8, 0)));
        env.messages.setNextAnswers({ true });
        BackupReminder reminder(env.services);
        reminder.start();
        QTRY_VERIFY_WITH_TIMEOUT(reminder.finished(), kChecksWaitMs);
        QVERIFY2(env.messages.texts().value(0).contains(QStringLiteral("12月1日 写入的，已经 9 天")),
            qPrintable(env.messages.texts().join(" | ")));
        QCOMPARE(prescriptionsIn(backupOf(env, 10)), env.count("档案"));
        QVERIFY(setWritten(backupOf(env, 10), env.clock.now()));

        // Once there is a recent good copy, nothing is asked.
        env.messages.clear();
        BackupReminder again(env.services);
        again.start();
        QTRY_VERIFY_WITH_TIMEOUT(again.finished(), kChecksWaitMs);
        QVERIFY(env.messages.shown().isEmpty());
    }
};

QTEST_MAIN(BackupsTest)
#include "tst_backups.moc"
