#include "maintenance/backupcopies.h"
#include "store/database.h"
#include "store/jet/jetcheck.h"
#include "store/jet/jetdesign.h"
#include "store/jet/jetfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <algorithm>

namespace qv {

CopyFacts countPrescriptions(Database& db)
{
    CopyFacts facts;
    const Result counted = db.run(QStringLiteral("select count(*), max(\"6\") from \"档案\""));
    if (!counted || counted.rows.isEmpty()) {
        facts.failure = counted.failure;
        facts.error = counted.error;
        return facts;
    }
    const QVariantList values = counted.rows.first().values();
    facts.prescriptions = values.value(0).toLongLong();
    facts.newestDate = values.value(1).toString();
    facts.ok = true;
    return facts;
}

namespace {

    // The sentence for a damaged database tells to restore a backup: said of a copy, which is the backup,
    // that is untrue. The copy is named instead, the technical reason kept.
    QString damagedCopyText(const QString& explained)
    {
        const QString sentence = failureSentence(FailureKind::Damaged);
        const QString reason = explained.startsWith(sentence) ? explained.mid(sentence.size()) : explained;
        return QStringLiteral("这份副本已损坏，或者不是本程序的数据库，不能使用。") + reason;
    }

} // namespace

CopyFacts proveDatabaseFile(const QString& path, const char* vfs)
{
    CopyFacts facts;
    Database copy;
    if (!copy.open(path, &facts.error, vfs)) {
        facts.failure = QFile::exists(path) ? failureKindOf(facts.error) : FailureKind::Stated;
        if (!QFile::exists(path))
            facts.error = QStringLiteral("找不到文件：%1").arg(QDir::toNativeSeparators(path));
        else if (facts.failure == FailureKind::Damaged)
            facts.error = damagedCopyText(facts.error);
        return facts;
    }
    // Every page, every index entry and every row's format: a copy that passes can take the place of the
    // database.
    const Result check = copy.checkIntegrity(Database::Check::Full);
    if (!check) {
        // The file opened with the key, so a page that cannot be read back (SQLCipher reports a page that
        // fails its authentication as a plain error) is a damaged copy, unless the disk itself failed.
        const bool disk = check.failure == FailureKind::DiskError || check.failure == FailureKind::Busy;
        facts.failure = disk ? check.failure : FailureKind::Damaged;
        facts.error = disk ? check.error
                           : damagedCopyText(explainFailure(FailureKind::Damaged,
                               QStringLiteral("完整性检查读不完全部数据页，错误码 %1").arg(check.code)));
        return facts;
    }
    const QString verdict = check.rows.value(0).values().value(0).toString();
    if (check.rows.size() != 1 || verdict != QStringLiteral("ok")) {
        facts.failure = FailureKind::Damaged;
        facts.error = damagedCopyText(explainFailure(FailureKind::Damaged, verdict));
        return facts;
    }
    return countPrescriptions(copy);
}

namespace {

    CopyFacts inspectJetCopy(const QString& path, JetFormat format)
    {
        CopyFacts facts;
        facts.jet = format;
        facts.failure = FailureKind::Stated;
        QString error;
        JetFile file;
        // Read through in a child first: libmdb may loop for good on a damaged file.
        if (!checkJetFileApart(path, jetCheckTimeoutMs(QFileInfo(path).size()), &error)
            || !file.open(path, &error)) {
            facts.error = QStringLiteral("Windows 版程序的数据库副本，但无法读取：%1").arg(error);
            return facts;
        }
        const JetTable* archive = file.table(QStringLiteral("档案"));
        const JetTable* drugs = file.table(QStringLiteral("商品"));
        if (!archive && !drugs) {
            facts.error = notTheProgramsDatabaseMessage(path);
            return facts;
        }
        facts.jetReadable = true;
        facts.prescriptions = archive ? archive->rows : 0;
        facts.drugs = drugs ? drugs->rows : 0;
        facts.error = QStringLiteral("Windows 版程序的数据库副本（%1），不能直接恢复，可以导入。")
                          .arg(jetFormatName(format));
        return facts;
    }

} // namespace

CopyFacts inspectCopy(const QString& path)
{
    CopyFacts facts;
    if (!QFileInfo(path).isFile()) {
        facts.failure = FailureKind::Stated;
        facts.error = QStringLiteral("找不到文件：%1").arg(QDir::toNativeSeparators(path));
        return facts;
    }
    if (const JetFormat format = jetFormatOfFile(path); format != JetFormat::None)
        return inspectJetCopy(path, format);
    QTemporaryDir scratch;
    const QString look = scratch.filePath(QStringLiteral("数据库.dat"));
    QFile source(path);
    if (!scratch.isValid() || !source.copy(look)) {
        facts.failure = FailureKind::DiskError;
        facts.error = explainFailure(facts.failure, source.errorString());
        return facts;
    }
    return proveDatabaseFile(look);
}

QList<BackupCopy> listBackupCopies(const QString& backupRoot)
{
    static const QRegularExpression dayName(QStringLiteral("^([1-9]|[12][0-9]|3[01])日$"));
    QList<BackupCopy> copies;
    const QDir root(backupRoot);
    for (const QString& name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!dayName.match(name).hasMatch())
            continue;
        BackupCopy copy;
        copy.day = name;
        copy.path = root.filePath(name) + QStringLiteral("/数据库.dat");
        const QFileInfo file(copy.path);
        copy.present = file.isFile();
        if (copy.present) {
            copy.written = file.lastModified();
            copy.bytes = file.size();
            copy.jet = jetFormatOfFile(copy.path);
        }
        copies << copy;
    }
    std::stable_sort(copies.begin(), copies.end(), [](const BackupCopy& a, const BackupCopy& b) {
        if (a.present != b.present)
            return a.present;
        return a.written > b.written;
    });
    return copies;
}

GoodCopy newestGoodCopy(const QString& backupRoot)
{
    for (const BackupCopy& copy : listBackupCopies(backupRoot)) {
        if (!copy.present)
            break;
        GoodCopy good { copy, inspectCopy(copy.path) };
        if (good)
            return good;
    }
    return {};
}

QString backupFailureText(const QString& folder, const QString& error)
{
    // The folder may not exist (that may be the failure): the disk is the one of its nearest existing parent.
    QFileInfo existing(folder);
    while (!existing.exists() && existing.absolutePath() != existing.absoluteFilePath())
        existing.setFile(existing.absolutePath());
    const QStorageInfo disk(existing.absoluteFilePath());
    QString where = QStringLiteral("备份文件夹：%1").arg(QDir::toNativeSeparators(folder));
    if (disk.isValid()) {
        where += QStringLiteral("\n所在磁盘：%1（剩余 %2 MB%3）")
                     .arg(QDir::toNativeSeparators(disk.rootPath()),
                         groupedCount(disk.bytesAvailable() / (1024 * 1024)),
                         disk.isReadOnly() ? QStringLiteral("，只读") : QString());
    }
    return QStringLiteral("数据库没有备份成功。\n%1\n原因：%2").arg(where, error);
}

FailureKind failureKindOf(const QString& explained)
{
    for (const FailureKind kind :
        { FailureKind::DiskFull, FailureKind::NoWriteAccess, FailureKind::Busy, FailureKind::DiskError,
            FailureKind::Damaged, FailureKind::KeyTaken, FailureKind::FolderInTheWay }) {
        if (explained.startsWith(failureSentence(kind)))
            return kind;
    }
    return FailureKind::Other;
}

QString shortDate(const QDate& day) { return QStringLiteral("%1月%2日").arg(day.month()).arg(day.day()); }

QString groupedCount(qint64 n)
{
    QLocale english(QLocale::English);
    english.setNumberOptions(QLocale::DefaultNumberOptions);
    return english.toString(n);
}

} // namespace qv
