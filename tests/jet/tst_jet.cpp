// The Windows program's database read through libmdb: every table against mdbtools' own mdb-export of the
// same file, the quirks mdb-export prints alike, the value forms, and damaged or foreign files.

#include "store/jet/jetcheck.h"
#include "store/jet/jetdesign.h"
#include "store/jet/jetfile.h"
#include "store/jet/jetvalues.h"
#include "tests/support/files.h"
#include "tests/support/mdbexport.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace qv;
using test::contentsOf;
using test::mdbExport;
using test::writeFile;

namespace {

// A value in the form mdb-export prints it: a null like an empty text, a date with its time of day.
QString asExported(const QVariant& value, JetType type)
{
    return type == JetType::DateTime ? test::dateAsExported(value.toString()) : value.toString();
}

// Every row of the table, or the failure.
QList<QVariantList> rowsOf(JetFile& file, const QString& table, QString* error)
{
    QList<QVariantList> rows;
    file.forEachRow(
        table,
        [&](const QVariantList& values) {
            rows << values;
            return true;
        },
        error);
    return rows;
}

// Opens the file and reads every table: the first failure, or empty.
QString readFailure(const QString& path)
{
    JetFile file;
    QString error;
    if (!file.open(path, &error))
        return error;
    for (const JetTable& table : file.tables())
        if (!file.forEachRow(
                table.name, [](const QVariantList&) { return true; }, &error))
            return error;
    return {};
}

// Where the text's UTF-16 bytes stand in the file (the design's names and the bodies are stored so), when
// they stand there once.
qsizetype onlyPlaceOf(const QByteArray& file, const QString& text)
{
    const QByteArray bytes(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    const qsizetype at = file.indexOf(bytes);
    return at >= 0 && file.indexOf(bytes, at + 1) < 0 ? at : -1;
}

} // namespace

class JetTest final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_path;
    QByteArray m_bytes;

    // A copy of the sample with some bytes changed.
    QString changedCopy(const QString& name, const std::function<void(QByteArray&)>& change)
    {
        QByteArray bytes = m_bytes;
        change(bytes);
        const QString path = m_dir.filePath(name);
        writeFile(path, bytes);
        return path;
    }

    // The same number of characters in place of a stored name.
    QString renamed(const QString& name, const QList<QPair<QString, QString>>& names)
    {
        return changedCopy(name, [&](QByteArray& bytes) {
            for (const auto& [from, to] : names) {
                const qsizetype at = onlyPlaceOf(bytes, from);
                QVERIFY2(at >= 0 && from.size() == to.size(), qPrintable(from));
                bytes.replace(
                    at, to.size() * 2, QByteArray(reinterpret_cast<const char*>(to.utf16()), to.size() * 2));
            }
        });
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QProcess xz;
        xz.start(QStringLiteral("xz"), { QStringLiteral("-dc"), QStringLiteral(QV_JET_SAMPLE) });
        QVERIFY2(xz.waitForFinished(60000) && xz.exitCode() == 0, "xz (./setup.sh --test installs it)");
        m_bytes = xz.readAllStandardOutput();
        m_path = m_dir.filePath(QStringLiteral("数据库.dat"));
        QVERIFY(writeFile(m_path, m_bytes));
        // An hour back, so that a read which touched the file would show in its time.
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::ReadWrite)
            && file.setFileTime(
                QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    }

    void everyTableReadsAsMdbExportReadsIt()
    {
        const QDateTime touched = QFileInfo(m_path).lastModified();
        JetFile file;
        QString error;
        QVERIFY2(file.open(m_path, &error), qPrintable(error));
        QCOMPARE(file.format(), JetFormat::Jet4);
        QCOMPARE(jetFormatOfFile(m_path), JetFormat::Jet4);
        QVERIFY2(compareWithDesign(file).matches(), qPrintable(compareWithDesign(file).lines().join(u'\n')));
        QStringList names;
        for (const JetTable& table : file.tables())
            names << table.name;
        QCOMPARE(names, QStringList({ "档案", "商品", "设置", "个人模板", "诊断", "动物种类" }));

        for (const JetTable& table : file.tables()) {
            const QList<QStringList> exported = mdbExport(m_path, table.name);
            QVERIFY2(!exported.isEmpty(), "mdb-export");
            QStringList header;
            for (const JetColumn& column : table.columns)
                header << column.name;
            QCOMPARE(exported.value(0), header);

            const QList<QVariantList> rows = rowsOf(file, table.name, &error);
            QVERIFY2(error.isEmpty(), qPrintable(error));
            QCOMPARE(rows.size(), exported.size() - 1);
            QCOMPARE(qint64(rows.size()), table.rows);
            for (int r = 0; r < rows.size(); ++r) {
                for (int c = 0; c < header.size(); ++c) {
                    const JetType type = table.columns[c].type;
                    const QString theirs = exported[r + 1].value(c);
                    const QString ours = asExported(rows[r][c], type);
                    if (type == JetType::Currency ? ours != test::amountAsStored(theirs) : ours != theirs)
                        QFAIL(qPrintable(QStringLiteral("%1 row %2 column %3: “%4”, mdb-export “%5”")
                                             .arg(table.name)
                                             .arg(r + 1)
                                             .arg(header[c], ours, theirs)));
                }
            }
        }
        file.close();
        QString apart;
        QVERIFY2(checkJetFileApart(m_path, 30000, &apart), qPrintable(apart));
        // Read, never written.
        QCOMPARE(contentsOf(m_path), m_bytes);
        QCOMPARE(QFileInfo(m_path).lastModified(), touched);
    }

    void quirksThatMdbExportPrintsAlike()
    {
        JetFile file;
        QString error;
        QVERIFY2(file.open(m_path, &error), qPrintable(error));
        const QList<QVariantList> archive = rowsOf(file, QStringLiteral("档案"), &error);
        const QList<QVariantList> drugs = rowsOf(file, QStringLiteral("商品"), &error);
        const QList<QVariantList> settings = rowsOf(file, QStringLiteral("设置"), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(archive.size(), 2000);
        QCOMPARE(drugs.size(), 541);

        // The archive: T3 empty in some rows and null in the others; dates missing, the rest in 2017 to 2026;
        // 45-line bodies with their CR LF; keys of 14 digits beside keys with a tail; the owner with quotes.
        int emptyT3 = 0, nullT3 = 0, noDate = 0, shortKeys = 0, longestBody = 0;
        bool quotedOwner = false;
        for (const QVariantList& row : archive) {
            const QVariant t3 = row[24];
            emptyT3 += !t3.isNull() && t3.toString().isEmpty();
            nullT3 += t3.isNull();
            const QVariant date = row[5];
            noDate += date.isNull();
            QVERIFY2(date.isNull()
                    || (date.toString() >= QStringLiteral("2017-04-17")
                        && date.toString() <= QStringLiteral("2026-11-30") && date.toString().size() == 10),
                qPrintable(date.toString()));
            const QString body = row[22].toString();
            longestBody = qMax(longestBody, int(body.split(QStringLiteral("\r\n")).size()));
            QVERIFY(!body.contains(QRegularExpression(QStringLiteral("\r(?!\n)|(?<!\r)\n"))));
            const QString key = row[26].toString();
            QVERIFY2(key.size() == 14 || key.size() == 29, qPrintable(key));
            shortKeys += key.size() == 14;
            QVERIFY(key.left(14).contains(QRegularExpression(QStringLiteral("^\\d{14}$"))));
            quotedOwner = quotedOwner || row[25].toString() == QStringLiteral("O'Brien \"小白\" 宠物店");
        }
        QVERIFY(emptyT3 > 0 && nullT3 > 0);
        QVERIFY(noDate > 0);
        QCOMPARE(longestBody, 45); // split at CR LF: 44 lines, each ending in one, and the caret's line after
        QVERIFY(shortKeys > 0 && shortKeys < 2000);
        QVERIFY(quotedOwner);

        // The catalog: the herbs' empty 用法 (not null) beside null spare columns; prices to four decimals;
        // negative stock; full-width characters kept.
        const QVariantList herb = drugs.first();
        QCOMPARE(herb[0].toString(), QStringLiteral("10000"));
        QVERIFY(!herb[2].isNull() && herb[2].toString().isEmpty());
        QVERIFY(herb[8].isNull());
        bool fourDecimals = false, negativeStock = false, fullWidth = false;
        for (const QVariantList& row : drugs) {
            const QString price = row[6].toString();
            fourDecimals = fourDecimals || price.section(u'.', 1).size() == 4;
            negativeStock = negativeStock || row[13].toString().startsWith(u'-');
            fullWidth = fullWidth || row[3].toString().contains(u'×') || row[2].toString().contains(u'：');
            QVERIFY2(!price.endsWith(u'0') || !price.contains(u'.'), qPrintable(price));
        }
        QVERIFY(fourDecimals && negativeStock && fullWidth);
        QCOMPARE(settings.value(0).value(0).toString(), QStringLiteral("1234"));
    }

    void valueForms()
    {
        // Dates: midnight as the day alone, a time of day kept to the millisecond, days before 1899-12-30
        // with their time forward, a value out of Access's range kept as its number.
        QCOMPARE(jetDateText(42842.0), QStringLiteral("2017-04-17"));
        QCOMPARE(jetDateText(42842.0 + (18 * 3600 + 27 * 60 + 45) / 86400.0),
            QStringLiteral("2017-04-17 18:27:45"));
        QCOMPARE(jetDateText(42842.0 + 0.5 + 0.25 / 86400.0), QStringLiteral("2017-04-17 12:00:00.250"));
        QCOMPARE(jetDateText(42842.0 + 86399.9996 / 86400.0), QStringLiteral("2017-04-18"));
        QCOMPARE(jetDateText(0.0), QStringLiteral("1899-12-30"));
        QCOMPARE(jetDateText(-1.25), QStringLiteral("1899-12-29 06:00:00"));
        QCOMPARE(jetDateText(2958465.0), QStringLiteral("9999-12-31"));
        QCOMPARE(jetDateText(1e300), QStringLiteral("1.0000000000000001e+300"));
        // Amounts exact at every size, the lowest one too.
        QCOMPARE(jetAmountText(96583), QStringLiteral("9.6583"));
        QCOMPARE(jetAmountText(-40000), QStringLiteral("-4"));
        QCOMPARE(jetAmountText(1), QStringLiteral("0.0001"));
        QCOMPARE(jetAmountText(135200), QStringLiteral("13.52"));
        QCOMPARE(jetAmountText(0), QStringLiteral("0"));
        QCOMPARE(jetAmountText(std::numeric_limits<qint64>::min()), QStringLiteral("-922337203685477.5808"));
        // Texts: plain UTF-16, compressed runs switching between one and two bytes, and bytes no text has.
        QString text;
        QVERIFY(jet4Text(QByteArrayView("\x60\x4f\x7d\x59", 4), &text) && text == QStringLiteral("你好"));
        QVERIFY(jet4Text(QByteArrayView("\xff\xfe"
                                        "ab\0\x60\x4f\0 c",
                             10),
            &text));
        QCOMPARE(text, QStringLiteral("ab你 c"));
        QVERIFY(jet4Text(QByteArrayView("\xff\xfe", 2), &text) && text.isEmpty());
        QVERIFY(!jet4Text(QByteArrayView("\x4f\x60\x7d", 3), &text));
        QVERIFY(!jet4Text(QByteArrayView("\xff\xfe"
                                         "a\0\x4f",
                              5),
            &text));
        // Headers: Jet 3, Jet 4, the Access 2007 engine; anything else is none.
        QByteArray header = m_bytes.left(kJetHeaderBytes);
        QCOMPARE(jetFormatOf(header), JetFormat::Jet4);
        header[0x14] = 0;
        QCOMPARE(jetFormatOf(header), JetFormat::Jet3);
        header.replace(4, 16, QByteArray("Standard ACE DB\0", 16));
        header[0x14] = 3;
        QCOMPARE(jetFormatOf(header), JetFormat::Ace);
        QCOMPARE(jetFormatOf(header.left(kJetHeaderBytes - 1)), JetFormat::None);
        QCOMPARE(jetFormatOf(QByteArray("SQLite format 3\0\0\0\0\0\0\0", 22)), JetFormat::None);
    }

    void differencesFromTheDesignAreNamed()
    {
        // A table, a column of the archive and one of the catalog renamed in place.
        const QString other
            = renamed(QStringLiteral("改名.dat"), { { "诊断", "诊疗" }, { "T3", "T9" }, { "厂家", "产地" } });
        JetFile file;
        QString error;
        QVERIFY2(file.open(other, &error), qPrintable(error));
        const JetDesignReport report = compareWithDesign(file);
        QVERIFY(!report.matches() && !report.noDesignTable());
        QCOMPARE(report.lines(),
            QStringList({ "“档案”表缺少列：T3。", "“档案”表多出列：T9。", "“商品”表缺少列：厂家。",
                "“商品”表多出列：产地。", "缺少“诊断”表。", "多出的表：诊疗。" }));
        QCOMPARE(report.tables[0].fileColumns.value(24), -1);
        QCOMPARE(report.tables[0].fileColumns.value(26), 26);

        const QString foreign = renamed(QStringLiteral("别的.dat"),
            { { "档案", "档册" }, { "商品", "商户" }, { "设置", "设定" }, { "个人模板", "个人资料" },
                { "诊断", "诊疗" }, { "动物种类", "动物名称" } });
        QVERIFY2(file.open(foreign, &error), qPrintable(error));
        QVERIFY(compareWithDesign(file).noDesignTable());
        QVERIFY(notTheProgramsDatabaseMessage(foreign).contains(QStringLiteral("不是旧版程序的数据库")));
    }

    void damagedAndForeignFilesGetTheirSentence()
    {
        // A usage line, indented under its drug, lives only in bodies: on long-value pages.
        const QString usage = QStringLiteral("\r\n    用法：");
        const qsizetype body
            = m_bytes.indexOf(QByteArray(reinterpret_cast<const char*>(usage.utf16()), usage.size() * 2));
        const qsizetype key = onlyPlaceOf(m_bytes, QStringLiteral("20170417080000-DS2019-0000000"));
        QVERIFY(body > 0 && key > 0);
        auto zeroPage = [](qsizetype at) {
            return [at](QByteArray& bytes) { bytes.replace(at - at % 4096, 4096, QByteArray(4096, '\0')); };
        };
        QDir(m_dir.path()).mkdir(QStringLiteral("文件夹.dat"));
        const struct {
            QString path;
            QString says;
        } cases[] = {
            { changedCopy(QStringLiteral("半截.dat"), [](QByteArray& b) { b.truncate(b.size() / 2 + 1000); }),
                QStringLiteral("不是完整的 4096 字节的页") },
            { changedCopy(QStringLiteral("整页截断.dat"), [](QByteArray& b) { b.truncate(10 * 4096); }),
                QStringLiteral("表目录无法读取") },
            { changedCopy(
                  QStringLiteral("截去尾部.dat"), [](QByteArray& b) { b.truncate(b.size() - 40 * 4096); }),
                QStringLiteral("已损坏或不完整") },
            { changedCopy(QStringLiteral("处方页.dat"), zeroPage(key)),
                QStringLiteral("“档案”应有 2000 行") },
            { changedCopy(QStringLiteral("备注页.dat"), zeroPage(body)), QStringLiteral("列已损坏") },
            { changedCopy(QStringLiteral("只有文件头.dat"), [](QByteArray& b) { b.truncate(4096); }),
                QStringLiteral("文件不完整") },
            { changedCopy(QStringLiteral("文件头和空页.dat"),
                  [](QByteArray& b) { b = b.left(4096) + QByteArray(8 * 4096, '\0'); }),
                QStringLiteral("表目录无法读取") },
            { changedCopy(
                  QStringLiteral("文本.dat"), [](QByteArray& b) { b = "姓名,日期\r\n张三,2017-04-17\r\n"; }),
                QStringLiteral("不是 Access 数据库文件") },
            { m_dir.filePath(QStringLiteral("文件夹.dat")), QStringLiteral("是一个文件夹") },
            { m_dir.filePath(QStringLiteral("没有.dat")), QStringLiteral("找不到文件") },
        };
        for (const auto& bad : cases) {
            const QString said = readFailure(bad.path);
            QVERIFY2(said.contains(bad.says) && said.contains(QFileInfo(bad.path).fileName()),
                qPrintable(bad.path + QStringLiteral(": ") + said));
            QString apart;
            QVERIFY2(!checkJetFileApart(bad.path, 30000, &apart) && apart == said, qPrintable(apart));
        }

        // A block of the catalog's property list that says it is 0 bytes long (the sample's 110 at this
        // offset) sends libmdb round a loop for good: only the reading apart, stopped in time, can tell.
        QCOMPARE(int(m_bytes[98102]), 110);
        const QString looping = changedCopy(QStringLiteral("循环.dat"), [](QByteArray& b) { b[98102] = 0; });
        QString apart;
        QVERIFY(!checkJetFileApart(looping, 3000, &apart));
        QVERIFY2(apart.contains(QStringLiteral("仍未结束")) && apart.contains(QStringLiteral("循环.dat")),
            qPrintable(apart));
        // The one who waits can stop the reading long before its time is up: no sentence then.
        int asked = 0;
        QVERIFY(!checkJetFileApart(looping, 600000, &apart, [&] { return ++asked < 3; }));
        QVERIFY2(apart.isEmpty() && asked == 3, qPrintable(apart));
    }

    void anUnreadableFileIsSaidSo()
    {
        const QString path = changedCopy(QStringLiteral("无权限.dat"), [](QByteArray&) {});
        QFile(path).setPermissions({});
        if (QFile(path).open(QIODevice::ReadOnly))
            QSKIP("the tests run as root here, who reads a file without read permission");
        QCOMPARE(readFailure(path), QStringLiteral("无法读取“%1”：没有读取这个文件的权限。").arg(path));
    }
};

QTEST_GUILESS_MAIN(JetTest)
#include "tst_jet.moc"
