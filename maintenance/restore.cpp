#include "maintenance/restore.h"
#include "maintenance/startup.h"
#include "platform/filesync.h"
#include "platform/privatefile.h"
#include "store/database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <filesystem>

namespace qv {

namespace {

    std::filesystem::path fsPath(const QString& path) { return std::filesystem::path(path.toStdU16String()); }

    // A byte copy synced to the disk, for a file system without hard links.
    bool copySynced(const QString& from, const QString& to)
    {
        QFile::remove(to);
        return QFile::copy(from, to) && syncFile(to);
    }

    RestoreOutcome notRestored(const QString& why)
    {
        RestoreOutcome outcome;
        outcome.error = why;
        return outcome;
    }

} // namespace

RestoreSource::RestoreSource(const QString& path)
    : m_original(path)
{
    const QFileInfo info(path);
    if (!info.isFile()) {
        m_facts.failure = FailureKind::Stated;
        m_facts.error = QStringLiteral("找不到备份文件：%1").arg(QDir::toNativeSeparators(path));
        return;
    }
    m_written = info.lastModified().date();
    m_proven = m_dir.filePath(QStringLiteral("数据库.dat"));
    QFile original(path);
    if (!m_dir.isValid() || !original.copy(m_proven)) {
        m_facts.failure = FailureKind::DiskError;
        m_facts.error = QStringLiteral("无法读取备份文件：%1\n%2")
                            .arg(QDir::toNativeSeparators(path),
                                explainFailure(FailureKind::DiskError, original.errorString()));
        return;
    }
    m_facts = proveDatabaseFile(m_proven);
}

QString restoreQuestion(const RestoreSource& source, const std::optional<qint64>& currentPrescriptions)
{
    const QString current = currentPrescriptions
        ? QStringLiteral("处方 %1 张").arg(groupedCount(*currentPrescriptions))
        : QStringLiteral("已损坏，无法读取");
    return QStringLiteral("用 %1 的备份（处方 %2 张）替换当前数据库（%3）？")
        .arg(shortDate(source.writtenOn()), groupedCount(source.facts().prescriptions), current);
}

QString setAsidePath(const QString& databasePath, const QDateTime& now)
{
    const QString base
        = databasePath + QStringLiteral(".恢复前-") + now.toString(QStringLiteral("yyyyMMddhhmmss"));
    QString path = base;
    for (int n = 2; QFileInfo::exists(path) || QFileInfo::exists(path + QStringLiteral("-wal")); ++n)
        path = base + QStringLiteral("-%1").arg(n);
    return path;
}

RestoreOutcome replaceDatabase(
    Database& db, const QString& databasePath, const RestoreSource& source, const QDateTime& now)
{
    if (!source.facts().ok)
        return notRestored(source.facts().error);
    const QString folder = QFileInfo(databasePath).absolutePath();
    const QString staging = databasePath + QStringLiteral(".恢复中");

    // The copy beside the database, synced whole and read back before anything else is touched.
    {
        PrivateCreation privately; // the staged copy becomes the database: this user's alone
        Database copy;
        QString error;
        if (!copy.open(source.provenPath(), &error))
            return notRestored(QStringLiteral("无法读取备份文件：%1").arg(error));
        const Result staged = copy.backupTo(staging);
        copy.close();
        if (!staged) {
            QFile::remove(staging);
            return notRestored(QStringLiteral("无法把备份写入数据文件夹：%1\n%2")
                                   .arg(QDir::toNativeSeparators(folder), staged.error));
        }
    }

    // Everything saved so far goes into the file itself, so that the file set aside is whole on its own.
    auto reopenCurrent = [&] {
        if (!db.isOpen() && QFile::exists(databasePath)) {
            QString ignored;
            db.open(databasePath, &ignored);
        }
    };
    if (db.isOpen()) {
        const Result folded = db.foldJournal();
        const QVariantList state = folded ? folded.rows.value(0).values() : QVariantList();
        if (!folded || state.value(0).toInt() != 0 || state.value(1).toInt() != state.value(2).toInt()) {
            QFile::remove(staging);
            return notRestored(folded
                    ? QStringLiteral("数据库正被其他程序读取，暂时不能恢复。请关闭其他程序后再试。")
                    : folded.error);
        }
        db.close();
    }

    // The current file gets its second name first: from here on it can never be lost, whatever follows.
    RestoreOutcome outcome;
    outcome.setAside = setAsidePath(databasePath, now);
    const QString log = databasePath + QStringLiteral("-wal");
    const QString asideLog = outcome.setAside + QStringLiteral("-wal");
    // A log left by a file that would not open belongs to that file, never to the restored one.
    const bool movedLog = QFileInfo(log).size() > 0;
    if (movedLog && !QFile::rename(log, asideLog)) {
        QFile::remove(staging);
        reopenCurrent();
        return notRestored(
            QStringLiteral("无法移开当前数据库的日志文件：%1").arg(QDir::toNativeSeparators(log)));
    }
    std::error_code ec;
    std::filesystem::create_hard_link(fsPath(databasePath), fsPath(outcome.setAside), ec);
    if (ec && !copySynced(databasePath, outcome.setAside)) {
        const int savedErrno = errno;
        QFile::remove(outcome.setAside);
        if (movedLog)
            QFile::rename(asideLog, log);
        QFile::remove(staging);
        reopenCurrent();
        return notRestored(QStringLiteral("无法保留当前数据库的副本：%1\n%2")
                               .arg(QDir::toNativeSeparators(outcome.setAside),
                                   explainFileFailure(outcome.setAside, QString(), savedErrno)));
    }
    syncFolder(folder);
    QFile::remove(databasePath + QStringLiteral("-wal"));
    QFile::remove(databasePath + QStringLiteral("-shm"));

    // One rename puts the restored file in place: before it the old file is there, after it the new one.
    std::filesystem::rename(fsPath(staging), fsPath(databasePath), ec);
    if (ec) {
        const QString why
            = explainFileFailure(databasePath, QString::fromStdString(ec.message()), ec.value());
        QFile::remove(staging);
        // The current file is still in place; its second name is not needed.
        QFile::remove(outcome.setAside);
        if (movedLog)
            QFile::rename(asideLog, log);
        reopenCurrent();
        return notRestored(QStringLiteral("无法用备份替换数据库文件：%1\n%2")
                               .arg(QDir::toNativeSeparators(databasePath), why));
    }
    syncFolder(folder);

    QString error;
    if (!db.open(databasePath, &error)) {
        outcome.error = QStringLiteral("备份已放回数据文件夹，但无法打开：%1\n%2\n原来的数据库保存在：%3")
                            .arg(QDir::toNativeSeparators(databasePath), error,
                                QDir::toNativeSeparators(outcome.setAside));
        return outcome;
    }
    outcome.ok = true;
    return outcome;
}

} // namespace qv
