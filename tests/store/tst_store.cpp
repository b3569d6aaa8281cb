// The encrypted store and the template database it starts from.

#include "pinyin/searchcode.h"
#include "store/amounts.h"
#include "store/database.h"
#include "store/file/schema.h"
#include "store/file/upgrade.h"
#include "store/template/templatedb.h"
#include "tests/support/failingvfs.h"
#include "tests/support/testenv.h"

#include <sqlcipher/sqlite3.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace qv;

class StoreTest final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_n = 0;

    QString freshTemplate(Database& db)
    {
        const QString path = m_dir.filePath(QStringLiteral("db%1.dat").arg(++m_n));
        QString error;
        if (!writeTemplateDatabase(path, &error))
            qFatal("%s", qPrintable(error));
        if (!db.open(path, &error))
            qFatal("%s", qPrintable(error));
        return path;
    }
    int count(Database& db, const QString& sql, const QVariantList& params = {})
    {
        const Result r = db.run(sql, params);
        return r && !r.rows.isEmpty() ? r.rows.first().values().first().toInt() : -1;
    }
    // A file as an earlier version made it: the template without what the upgrade steps add, with archive
    // rows of its own.
    QString olderFile()
    {
        Database db;
        const QString path = freshTemplate(db);
        QList<UpgradeStep> steps = upgradeSteps();
        std::reverse(steps.begin(), steps.end()); // the triggers before their table
        for (const UpgradeStep& step : steps) {
            const Result type
                = db.run(QStringLiteral("select type from sqlite_master where name = ?"), { step.name });
            db.run(QStringLiteral("drop %1 \"%2\"")
                       .arg(type.rows.value(0).text(QStringLiteral("type")), step.name));
        }
        for (int i = 0; i < 50; ++i)
            db.run("insert into \"档案\" (\"0\", \"6\", \"序号\") values ('主人', ?, ?)",
                { QDate(2020, 1, 1).addDays(i).toString(Qt::ISODate), QStringLiteral("k%1").arg(i) });
        return path;
    }
    // Every row of every table and every schema entry that the upgrade does not add, as one text.
    QString contents(Database& db)
    {
        QStringList out;
        QStringList added;
        for (const UpgradeStep& step : upgradeSteps())
            added << step.name;
        for (const Row& entry : db.run("select type, name, sql from sqlite_master order by name").rows) {
            if (!added.contains(entry.text("name")))
                out << entry.values().first().toString() + entry.text("name") + entry.text("sql");
        }
        for (const QString table : { "档案", "商品", "设置", "个人模板", "诊断", "动物种类" }) {
            for (const Row& row :
                db.run(QStringLiteral("select * from \"%1\" order by rowid").arg(table)).rows) {
                QStringList values;
                for (const QVariant& v : row.values())
                    values << (v.isNull() ? QStringLiteral("<null>") : v.toString());
                out << values.join(QLatin1Char('|'));
            }
        }
        return out.join(QLatin1Char('\n'));
    }
    bool hasIndex(Database& db, const QString& name)
    {
        return count(db, "select count(*) from sqlite_master where type = 'index' and name = ?", { name })
            == 1;
    }

private slots:
    // What a file may hold in an amount column, as the server's four-decimal amount keeps it.
    void amountsTakeTheServersForm()
    {
        const struct {
            const char* stored;
            ServerAmount::Form form;
            const char* text;
        } cases[] = { { "12", ServerAmount::Kept, "12" }, { "0.35", ServerAmount::Kept, "0.35" },
            { "12.34567", ServerAmount::Rounded, "12.3457" }, { "9.99995", ServerAmount::Rounded, "10" },
            { "-2.00005", ServerAmount::Rounded, "-2.0001" }, { "-0.00004", ServerAmount::Rounded, "0" },
            { "1.5e-05", ServerAmount::Rounded, "0" }, { "1.25e+3", ServerAmount::Kept, "1250" },
            { " 007.50 ", ServerAmount::Kept, "7.5" }, { "999999999999999.99999", ServerAmount::Invalid, "" },
            { "1.0e+20", ServerAmount::Invalid, "" }, { "", ServerAmount::Empty, "" },
            { "  ", ServerAmount::Empty, "" }, { "十元", ServerAmount::Invalid, "" },
            { "12元", ServerAmount::Invalid, "" }, { "1.2.3", ServerAmount::Invalid, "" },
            { "-", ServerAmount::Invalid, "" }, { "1e", ServerAmount::Invalid, "" } };
        for (const auto& c : cases) {
            const ServerAmount amount = serverAmount(QByteArrayView(c.stored));
            QVERIFY2(amount.form == c.form, c.stored);
            QCOMPARE(amount.text, QByteArray(c.text));
        }
    }

    void templateHoldsTheSeedRows()
    {
        Database db;
        freshTemplate(db);
        QCOMPARE(count(db, "select count(*) from \"商品\""), 241);
        QCOMPARE(count(db, "select count(*) from \"商品\" where \"分类\" = '中药'"), 196);
        QCOMPARE(count(db, "select count(*) from \"商品\" where \"分类\" = '西药'"), 36);
        QCOMPARE(count(db, "select count(*) from \"商品\" where \"分类\" = '用法'"), 6);
        QCOMPARE(count(db, "select count(*) from \"商品\" where \"分类\" = '其他'"), 3);
        QCOMPARE(count(db, "select count(*) from \"设置\""), 1);
        QCOMPARE(count(db, "select count(*) from \"诊断\""), 3);
        QCOMPARE(count(db, "select count(*) from \"动物种类\""), 5);
        QCOMPARE(count(db, "select count(*) from \"个人模板\""), 3);
        QCOMPARE(count(db, "select count(*) from \"个人模板\" where \"分类\" = '中药方剂'"), 1);
        QCOMPARE(count(db, "select count(*) from \"档案\""), 1);
        // Every catalog row looks itself up by name followed by code.
        QCOMPARE(count(db, "select count(*) from \"商品\" where \"查询\" is not \"名称\" || \"拼音\""), 0);
        QCOMPARE(
            count(db, "select count(*) from \"个人模板\" where \"查询\" is not \"名称\" || \"拼音\""), 0);
        QCOMPARE(count(db, "select count(*) from \"诊断\" where \"序号\" is not \"名称\" || \"拼音\""), 0);
    }

    void seedRowsKeepTheirExactTexts()
    {
        Database db;
        freshTemplate(db);
        Result r = db.run("select * from \"商品\" where \"ID号\" = ?", { QStringLiteral("20170417175506") });
        QVERIFY(r && r.rows.size() == 1);
        QCOMPARE(r.rows[0].text("名称"), QStringLiteral("0.9%氯化钠注射液  250ml"));
        QCOMPARE(r.rows[0].text("拼音"), QStringLiteral("09lhnzsy"));
        QCOMPARE(r.rows[0].text("用法"), QString());
        r = db.run("select * from \"商品\" where \"ID号\" = '20170417175825'");
        QCOMPARE(r.rows[0].text("用法"), QStringLiteral("滴眼   每日3次"));
        QCOMPARE(r.rows[0].text("分类"), QStringLiteral("其他"));
        r = db.run("select * from \"商品\" where \"ID号\" = '20170417174702'");
        QCOMPARE(r.rows[0].text("拼音"), QStringLiteral("tmxzsy")); // as stored, not recomputed

        // The herb block: ID号 10000-10195 in order, codes from the generator.
        r = db.run("select * from \"商品\" where \"ID号\" in ('10000', '10072', '10195') order by \"ID号\"");
        QCOMPARE(r.rows.size(), 3);
        QCOMPARE(r.rows[0].text("名称"), QStringLiteral("桂枝 10g"));
        QCOMPARE(r.rows[1].text("名称"), QStringLiteral("王不留行 10g"));
        QCOMPARE(r.rows[1].text("拼音"), QStringLiteral("wflh"));
        QCOMPARE(r.rows[2].text("名称"), QStringLiteral("巴戟天 10g"));
        QCOMPARE(r.rows[2].text("拼音"), searchCode(QStringLiteral("巴戟天 10g")));

        r = db.run("select * from \"设置\"");
        QCOMPARE(r.rows[0].text("密码"), QStringLiteral("947"));
        QCOMPARE(r.rows[0].text("左边距"), QStringLiteral("20"));
        QCOMPARE(r.rows[0].text("上边距1"), QStringLiteral("20"));
        QCOMPARE(r.rows[0].text("默认打印机"), QStringLiteral("HP LaserJet P1007"));
        QVERIFY(r.rows[0].isNull("备用1"));

        r = db.run("select * from \"档案\"");
        const Row sample = r.rows[0];
        QCOMPARE(sample.text("6"), QStringLiteral("2017-04-17"));
        QCOMPARE(sample.text("序号").size(), 29);
        QVERIFY(sample.text("序号").startsWith(sample.text("1")));
        QVERIFY(sample.isNull("13") && sample.isNull("T2"));
        QCOMPARE(sample.columns().size(), 27);
        QCOMPARE(sample.columns().first(), QStringLiteral("1"));
        QCOMPARE(sample.columns().mid(22), (QStringList { "T1", "T2", "T3", "0", "序号" }));
    }

    void uniqueIndexesRefuseDuplicates()
    {
        Database db;
        freshTemplate(db);
        Result r
            = db.run("insert into \"诊断\" (\"名称\", \"拼音\", \"序号\") values ('肺炎', 'fy', '肺炎fy')");
        QVERIFY(!r.ok);
        QVERIFY(!r.error.isEmpty());
        QVERIFY(!db.run("insert into \"动物种类\" (\"序号\") values ('猪z')").ok);
        QVERIFY(!db.run("insert into \"商品\" (\"ID号\") values ('10000')").ok);
        QVERIFY(db.run("insert into \"档案\" (\"序号\") values ('k1')").ok);
        QVERIFY(!db.run("insert into \"档案\" (\"序号\") values ('k1')").ok);
        QCOMPARE(count(db, "select count(*) from \"诊断\""), 3);
    }

    void nameKeysAreUniqueWhateverTheirLetterCase()
    {
        Database db;
        freshTemplate(db);
        for (const char* table : { "诊断", "动物种类" }) {
            const QString insert
                = QStringLiteral("insert into \"%1\" (\"名称\", \"序号\") values (?, ?)").arg(table);
            QVERIFY(db.run(insert, { "Catcat", "Catcatcatcat" }).ok);
            QVERIFY(!db.run(insert, { "catcat", "catcatcatcat" }).ok);
            QVERIFY(!db.run(insert, { "CATCAT", "CATCATCATCAT" }).ok);
            // Only ASCII letters fold: other characters stay distinct.
            QVERIFY(db.run(insert, { "Ｃatcat", "Ｃatcatcatcat" }).ok);
        }
        // Archive keys keep comparing exactly.
        QVERIFY(db.run("insert into \"档案\" (\"序号\") values ('k1a')").ok);
        QVERIFY(db.run("insert into \"档案\" (\"序号\") values ('K1A')").ok);
    }

    void olderFileGainsCaseBlindNameKeysUnlessItsRowsClash()
    {
        Database db;
        freshTemplate(db);
        // An older file: no case-blind indexes; its species already hold two names that differ only in case.
        QVERIFY(db.script("drop index \"诊断.序号不分大小写\"; drop index \"动物种类.序号不分大小写\";").ok);
        QVERIFY(
            db.run("insert into \"动物种类\" (\"名称\", \"序号\") values ('Cat', 'Catc'), ('cat', 'catc')")
                .ok);
        QVERIFY(db.run("insert into \"诊断\" (\"名称\", \"序号\") values ('Cat', 'Catc')").ok);

        const UpgradeReport first = upgradeExistingFile(db);
        QVERIFY(first.applied.contains("诊断.序号不分大小写"));
        QVERIFY(!db.run("insert into \"诊断\" (\"名称\", \"序号\") values ('cat', 'catc')").ok);
        QVERIFY(db.run("insert into \"诊断\" (\"名称\", \"序号\") values ('狐', '狐h')").ok);
        // The species keep both rows and work on as before: an exact duplicate is still refused.
        QCOMPARE(first.failed.size(), 1);
        QVERIFY(first.failed.first().startsWith("动物种类.序号不分大小写"));
        QCOMPARE(count(db, "select count(*) from \"动物种类\" where \"名称\" in ('Cat', 'cat')"), 2);
        QVERIFY(!db.run("insert into \"动物种类\" (\"名称\", \"序号\") values ('cat', 'catc')").ok);
        QVERIFY(db.run("insert into \"动物种类\" (\"名称\", \"序号\") values ('兔', '兔t')").ok);
        QCOMPARE(count(db, "select count(*) from \"诊断\""), 5);

        // Once the clash is gone (a name deleted in the species window), the next open makes the index.
        QVERIFY(db.run("delete from \"动物种类\" where \"序号\" = 'catc'").ok);
        const UpgradeReport second = upgradeExistingFile(db);
        QCOMPARE(second.applied, QStringList { "动物种类.序号不分大小写" });
        QVERIFY(second.failed.isEmpty());
        QVERIFY(!db.run("insert into \"动物种类\" (\"名称\", \"序号\") values ('cat', 'catc')").ok);
    }

    void typedTextIsMatchedLiterally()
    {
        Database db;
        freshTemplate(db);
        const QString like
            = QStringLiteral("select count(*) from \"商品\" where lower(\"查询\") like ? escape '\\'");
        QCOMPARE(count(db, like, { containsPattern("0.9%") }), 3);
        QCOMPARE(count(db, like, { containsPattern("%") }), 11);
        QCOMPARE(count(db, like, { containsPattern("_") }), 0);
        QCOMPARE(count(db, like, { containsPattern("\\") }), 0);
        QCOMPARE(count(db, like, { containsPattern("' or '1'='1") }), 0);
        QCOMPARE(count(db, like, { containsPattern("LHNZSY") }), 5); // ASCII case is ignored
        // Values go in as they are, quotes and all.
        QVERIFY(
            db.run("insert into \"诊断\" (\"名称\", \"序号\") values (?, ?)", { "O'Brien", "O'Brien" }).ok);
        QCOMPARE(count(db, "select count(*) from \"诊断\" where \"名称\" = ?", { "O'Brien" }), 1);
    }

    void failedTransactionLeavesNothingBehind()
    {
        Database db;
        freshTemplate(db);
        const Result r = db.transaction([&] {
            db.run("insert into \"档案\" (\"序号\") values ('t1')");
            return db.run("insert into \"诊断\" (\"序号\") values ('肺炎fy')"); // duplicate: fails
        });
        QVERIFY(!r.ok);
        QCOMPARE(count(db, "select count(*) from \"档案\" where \"序号\" = 't1'"), 0);
    }

    void fileIsEncryptedAndNeedsTheKey()
    {
        Database db;
        const QString path = freshTemplate(db);
        const QString secret = QStringLiteral("独一无二的主人名字XYZZY");
        QVERIFY(db.run("insert into \"档案\" (\"0\", \"序号\") values (?, 'enc')", { secret }).ok);
        db.close();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(!bytes.startsWith("SQLite format 3"));
        QVERIFY(!bytes.contains(secret.toUtf8()));
        QVERIFY(!bytes.contains("XYZZY"));
        QVERIFY(!bytes.contains(QStringLiteral("阿莫西林").toUtf8()));

        // An independent reader: the sqlcipher shell opens it with the key, and not without.
        QProcess shell;
        shell.start("sqlcipher", { path });
        QVERIFY(shell.waitForStarted());
        shell.write("PRAGMA key = 'kq7315';\nselect \"0\" from \"档案\" where \"序号\" = 'enc';\n");
        shell.closeWriteChannel();
        QVERIFY(shell.waitForFinished());
        QVERIFY(QString::fromUtf8(shell.readAllStandardOutput()).contains(secret));
        shell.start("sqlcipher", { path });
        shell.write("select count(*) from sqlite_master;\n");
        shell.closeWriteChannel();
        QVERIFY(shell.waitForFinished());
        QVERIFY(QString::fromUtf8(shell.readAllStandardError()).contains("not a database"));
    }

    void damagedFileIsRefusedWithAReason()
    {
        const QString path = m_dir.filePath("damaged.dat");
        QVERIFY(writeTemplateDatabase(path, nullptr));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.resize(1000);
        file.close();
        Database db;
        QString error;
        QVERIFY(!db.open(path, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!db.isOpen());
        QVERIFY(!db.open(m_dir.filePath("missing.dat"), &error));
        QVERIFY(!QFile::exists(m_dir.filePath("missing.dat")));
    }

    void failingDiskIsReportedAndKeepsEarlierData()
    {
        QV_FILE_ENGINE_ONLY();
        test::TestEnv env;
        env.reopenOnFailingDisk();
        QVERIFY(env.db.run("insert into \"档案\" (\"序号\") values ('before')").ok);
        test::failWritesAfter(0);
        const Result r = env.db.run("insert into \"档案\" (\"序号\") values ('after')");
        QVERIFY(!r.ok);
        QVERIFY(!r.error.isEmpty());
        test::failWritesAfter(-1);
        env.db.close();
        QString error;
        QVERIFY(env.db.open(env.context.databasePath, &error));
        QCOMPARE(env.count("档案", "\"序号\" = 'before'"), 1);
        QCOMPARE(env.count("档案", "\"序号\" = 'after'"), 0);
        QCOMPARE(
            env.rows("pragma integrity_check").first().values().first().toString(), QStringLiteral("ok"));
    }

    // Each kind of store failure reaches the user as its own sentence, with the store's reason after it.
    void eachStoreFailureSaysWhatHappened_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("sentence");
        QTest::newRow("full disk") << "full" << int(FailureKind::DiskFull) << SQLITE_FULL << "磁盘已满";
        QTest::newRow("failing disk")
            << "io" << int(FailureKind::DiskError) << SQLITE_IOERR_WRITE << "读写磁盘时出错";
        QTest::newRow("read-only medium")
            << "readonly" << int(FailureKind::NoWriteAccess) << SQLITE_READONLY << "文件或文件夹是只读的";
        QTest::newRow("locked by another program")
            << "busy" << int(FailureKind::Busy) << SQLITE_BUSY << "文件正被其他程序使用";
        QTest::newRow("name already stored") << "duplicate" << int(FailureKind::KeyTaken)
                                             << SQLITE_CONSTRAINT_UNIQUE << "已经存在一条相同的记录";
        QTest::newRow("a trigger refuses")
            << "trigger" << int(FailureKind::Other) << SQLITE_CONSTRAINT_TRIGGER << "操作没有完成";
    }

    void eachStoreFailureSaysWhatHappened()
    {
        QFETCH(QString, fault);
        QFETCH(int, kind);
        QFETCH(int, code);
        QFETCH(QString, sentence);
        test::TestEnv env;
        env.reopenOnFailingDisk();
        Database other; // a second program (another desk on the server) holding the write lock
        QString error;
        const QString insert = QStringLiteral("insert into \"诊断\" (\"名称\", \"序号\") values ('肺炎', ?)");
        QString key = QStringLiteral("新诊断");
        const bool server = test::onServer();
        if (fault == "full")
            server ? test::refuseServerWrites(env.db, SQLITE_FULL) : test::failWritesAfter(0, SQLITE_FULL);
        else if (fault == "io")
            server ? test::refuseServerWrites(env.db, SQLITE_IOERR) : test::failWritesAfter(0);
        else if (fault == "readonly")
            server ? test::refuseServerWrites(env.db, SQLITE_READONLY)
                   : test::failWritesAfter(0, SQLITE_READONLY);
        else if (fault == "busy" && server)
            QVERIFY(other.open(env.db.opener(), &error) && other.run("begin").ok
                && other.run("lock table \"诊断\" in exclusive mode").ok
                && env.db.run("set lock_timeout = 200").ok);
        else if (fault == "busy")
            QVERIFY(other.open(env.context.databasePath, &error) && other.run("begin immediate").ok);
        else if (fault == "duplicate")
            key = QStringLiteral("肺炎fy");
        else if (fault == "trigger" && server)
            QVERIFY(env.db
                        .script("create function refuse() returns trigger language plpgsql as $$ begin "
                                "raise exception 'refused by trigger'; end $$; create trigger refuse before "
                                "insert on \"诊断\" for each row execute function refuse();")
                        .ok);
        else if (fault == "trigger")
            QVERIFY(env.db
                        .run("create trigger refuse before insert on \"诊断\" "
                             "begin select raise(abort, 'refused by trigger'); end")
                        .ok);
        const Result r = env.db.run(insert, { key });
        test::failWritesAfter(-1);
        QVERIFY(!r.ok);
        QCOMPARE(int(r.failure), kind);
        QCOMPARE(r.code, server ? 0 : code);
        QVERIFY2(r.error.startsWith(server ? serverFailureSentence(FailureKind(kind)) : sentence),
            qPrintable(r.error));
        QVERIFY2(r.error.contains(QRegularExpression("（.+）$")), qPrintable(r.error)); // the reason follows
    }

    void damagedOrForeignFilesAreCalledDamaged()
    {
        const QString path = m_dir.filePath("short.dat");
        QVERIFY(writeTemplateDatabase(path, nullptr));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.resize(1000);
        file.close();
        const QString empty = m_dir.filePath("empty.dat");
        QVERIFY(QFile(empty).open(QIODevice::WriteOnly));
        for (const QString& damaged : { path, empty }) {
            Database db;
            QString error;
            QVERIFY(!db.open(damaged, &error));
            QVERIFY2(error.startsWith(QStringLiteral("数据库文件已损坏，或者不是本程序的数据库")),
                qPrintable(error));
        }
    }

    void newFileFindsTheArchiveByDateThroughAnIndex()
    {
        Database db;
        freshTemplate(db);
        QVERIFY(hasIndex(db, "档案.日期"));
        // Each shape the screens send reads the date range from the index, not the whole archive.
        for (const QString sql :
            { "select \"序号\" from \"档案\" where lower(\"0\") like ? escape '\\' and \"6\" between ? and ? "
              "order by \"序号\" desc",
                "select \"0\" from \"档案\" where \"6\" >= ? and \"6\" < ? order by \"序号\"",
                "select count(*) from \"档案\" where \"6\" >= ? and \"6\" < ?" }) {
            const Result plan = db.run("explain query plan " + sql,
                sql.count('?') == 3 ? QVariantList { "%%", "2020-01-01", "2020-02-01" }
                                    : QVariantList { "2020-01-01", "2020-02-01" });
            QVERIFY2(plan, qPrintable(plan.error));
            QString steps;
            for (const Row& row : plan.rows)
                steps += row.text("detail") + "; ";
            QVERIFY2(steps.contains("档案.日期"), qPrintable(sql + " → " + steps));
        }
        // The owner filter is answered from the index alone; only the matching rows are read.
        const Result plan
            = db.run("explain query plan select \"序号\" from \"档案\" where rowid in (select rowid from "
                     "\"档案\" where lower(\"0\") like ? escape '\\' and \"6\" between ? and ?) order by "
                     "\"序号\" desc",
                { "%张%", "2016-01-01", "2026-01-01" });
        QString steps;
        for (const Row& row : plan.rows)
            steps += row.text("detail") + "; ";
        QVERIFY2(steps.contains("COVERING INDEX 档案.日期"), qPrintable(steps));
    }

    void olderFileGainsTheIndexOnceAndNothingElse()
    {
        const QString path = olderFile();
        Database db;
        QString error;
        QVERIFY(db.open(path, &error));
        QVERIFY(!hasIndex(db, "档案.日期"));
        const QString before = contents(db);

        const UpgradeReport first = upgradeExistingFile(db);
        // An older file lacks everything added since: the archive's date index, the case-blind names and the
        // catalog's change notes.
        QCOMPARE(first.applied,
            (QStringList { "档案.日期", "诊断.序号不分大小写", "动物种类.序号不分大小写",
                "qv_catalog_changed", "qv_catalog_row_inserted", "qv_catalog_row_updated",
                "qv_catalog_row_deleted" }));
        QVERIFY(first.failed.isEmpty());
        QVERIFY(hasIndex(db, "档案.日期"));
        QCOMPARE(contents(db), before);
        QCOMPARE(
            count(db, "select count(*) from \"档案\" where \"6\" between '2020-01-10' and '2020-01-19'"), 10);

        // A second open finds nothing to do and writes nothing.
        db.close();
        QVERIFY(db.open(path, &error));
        const int changesBefore = count(db, "select total_changes()");
        const UpgradeReport second = upgradeExistingFile(db);
        QVERIFY(second.applied.isEmpty());
        QVERIFY(second.failed.isEmpty());
        QCOMPARE(count(db, "select total_changes()"), changesBefore);
        QCOMPARE(contents(db), before);
        QCOMPARE(db.run("pragma integrity_check").rows.first().values().first().toString(), QString("ok"));
    }

    void upgradeThatCannotWriteLeavesTheFileAsItWas()
    {
        test::installFailingVfs();
        const QString path = olderFile();
        Database db;
        QString error;
        QVERIFY(db.open(path, &error, test::kFailingVfs));
        const QString before = contents(db);
        test::failWritesAfter(0);
        const UpgradeReport report = upgradeExistingFile(db);
        QVERIFY(report.applied.isEmpty());
        QCOMPARE(report.failed.size(), upgradeSteps().size());
        QVERIFY(report.failed.first().startsWith("档案.日期: "));
        QVERIFY(report.failed.last().startsWith("qv_catalog_row_deleted: "));
        // The program goes on working on the file as it is.
        QCOMPARE(
            count(db, "select count(*) from \"档案\" where \"6\" between '2020-01-10' and '2020-01-19'"), 10);
        test::failWritesAfter(-1);
        db.close();

        QVERIFY(db.open(path, &error));
        QVERIFY(!hasIndex(db, "档案.日期"));
        QCOMPARE(contents(db), before);
        QCOMPARE(db.run("pragma integrity_check").rows.first().values().first().toString(), QString("ok"));
        // The next start tries again, and succeeds on a healthy disk.
        QCOMPARE(upgradeExistingFile(db).applied.size(), upgradeSteps().size());
        QVERIFY(hasIndex(db, "档案.日期"));
    }

    void templateIsNeverWrittenOverAFile()
    {
        const QString path = m_dir.filePath("existing.dat");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("keep me");
        file.close();
        QString error;
        QVERIFY(!writeTemplateDatabase(path, &error));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("keep me"));
    }
};

QTEST_GUILESS_MAIN(StoreTest)
#include "tst_store.moc"
