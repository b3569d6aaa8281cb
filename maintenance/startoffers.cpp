#include "maintenance/startoffers.h"
#include "maintenance/importcommand.h"
#include "maintenance/restore.h"
#include "maintenance/startup.h"
#include "store/database.h"
#include "store/jet/jetformat.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>

namespace qv {

namespace {

    constexpr int kReminderDays = 7;

} // namespace

bool offerRestoreOfDamaged(Services& services, const QString& startupError)
{
    if (!services.context || !services.drives || !services.db || !services.messages || !services.clock)
        return false;
    const QString path = services.context->databasePath;
    if (!QFileInfo(path).isFile() || !startupError.contains(failureSentence(FailureKind::Damaged)))
        return false;
    const GoodCopy good = newestGoodCopy(backupRootFor(chooseDriveRoot(*services.drives)));
    if (!good)
        return false;
    const QString newest = good.facts.newestDate.isEmpty()
        ? QString()
        : QStringLiteral("，最新一张是 %1 的").arg(good.facts.newestDate);
    const QString question
        = QStringLiteral(
            "数据库文件已损坏，无法打开：\n%1\n\n最近一份完好的备份是 %2 的（处方 %3 张%4）：\n%5\n\n"
            "用这份备份恢复数据库吗？损坏的文件会改名保留在数据文件夹中，不会被覆盖或删除。\n"
            "选择“否”将退出程序。")
              .arg(QDir::toNativeSeparators(path), shortDate(good.copy.written.date()),
                  groupedCount(good.facts.prescriptions), newest, QDir::toNativeSeparators(good.copy.path));
    if (!services.messages->askYesNo(question, Messages::Icon::Warning))
        return false;
    const RestoreSource source(good.copy.path);
    services.db->close();
    const RestoreOutcome outcome = replaceDatabase(*services.db, path, source, services.clock->now());
    services.db->close(); // the start-up opens it again, as at every start
    if (!outcome.ok) {
        services.messages->inform(outcome.error, Messages::Icon::Warning);
        return false;
    }
    services.messages->inform(
        QStringLiteral("数据库已恢复为 %1 的备份。\n损坏的文件保存为：%2")
            .arg(shortDate(good.copy.written.date()), QDir::toNativeSeparators(outcome.setAside)),
        Messages::Icon::Information);
    return true;
}

bool offerImportOfJetDatabase(Services& services, const QString& databasePath, const JetImportHooks& hooks)
{
    const JetFormat format = jetFormatOfFile(databasePath);
    if (format == JetFormat::None || !services.messages || !services.clock || !hooks.ask)
        return false;
    const QString shown = QDir::toNativeSeparators(databasePath);
    const QString question
        = QStringLiteral("数据文件夹中的数据库是 Windows 版程序的数据库（%1）：\n%2\n\n"
                         "程序可以把其中的全部数据导入一个新的数据库，核对无误后换上新的数据库；原来的文件"
                         "改名保留在数据文件夹中，不会被改动或删除。导入后请用原来的登录密码登录。\n\n"
                         "选择“导入”开始导入，选择“退出”将退出程序，数据库保持原样。")
              .arg(jetFormatName(format), shown);
    while (hooks.ask(question)) {
        ImportReport report;
        JetReplaceOutcome outcome;
        {
            const auto bar
                = hooks.startProgress ? hooks.startProgress() : std::function<bool(qint64, qint64)>();
            bool stop = false;
            outcome = replaceJetDatabase(
                databasePath, services.clock->now(), &report,
                [&](qint64 done, qint64 total) { stop = bar && !bar(done, total); }, [&] { return stop; });
        }
        if (!report.file.isEmpty())
            qInfo("import of %s: %s\n%s", qPrintable(databasePath), outcome.result ? "proven" : "not done",
                qPrintable(report.text()));
        if (outcome.result) {
            services.messages->inform(
                QStringLiteral("旧版数据库已导入，核对一致。\n%1\n\n原来的文件保存为：%2")
                    .arg(report.text(), QDir::toNativeSeparators(outcome.keptAs)),
                Messages::Icon::Information);
            return true;
        }
        services.messages->inform(
            QStringLiteral("旧版数据库没有导入：\n%1").arg(outcome.result.error), Messages::Icon::Warning);
    }
    return false;
}

QString backupReminder(const QDateTime& now, const QDateTime& written, const QDateTime& databaseSince)
{
    if (written.isValid()) {
        const qint64 days = written.date().daysTo(now.date());
        if (days <= kReminderDays)
            return {};
        return QStringLiteral("最近一份完好的备份是 %1 写入的，已经 %2 天没有备份了。\n现在备份一次吗？")
            .arg(shortDate(written.date()))
            .arg(days);
    }
    if (!databaseSince.isValid() || databaseSince.date().daysTo(now.date()) <= kReminderDays)
        return {};
    return QStringLiteral("备份文件夹中没有一份完好的备份。\n现在备份一次吗？");
}

BackupReminder::BackupReminder(Services& services, QObject* parent)
    : QObject(parent)
    , m_services(services)
{
}

BackupReminder::~BackupReminder()
{
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

void BackupReminder::start()
{
    if (m_thread || !m_services.drives)
        return;
    const QString root = backupRootFor(chooseDriveRoot(*m_services.drives));
    m_thread = QThread::create([this, root] {
        const GoodCopy good = newestGoodCopy(root);
        const QDateTime written = good ? good.copy.written : QDateTime();
        QMetaObject::invokeMethod(
            this, [this, written] { remind(written); }, Qt::QueuedConnection);
    });
    m_thread->start(QThread::LowPriority);
}

void BackupReminder::remind(const QDateTime& written)
{
    m_done = true;
    if (!m_services.clock || !m_services.messages || !m_services.db || !m_services.context)
        return;
    const QDateTime now = m_services.clock->now();
    const QFileInfo file(m_services.context->databasePath);
    const QDateTime since = file.birthTime().isValid() ? file.birthTime() : QDateTime();
    const QString text = backupReminder(now, written, since);
    if (text.isEmpty() || !m_services.messages->askYesNo(text, Messages::Icon::Warning))
        return;
    const QString error = backUpDatabase(*m_services.drives, now.date(), *m_services.db);
    const QString folder = todaysBackupFolder(*m_services.drives, now.date());
    if (error.isEmpty())
        m_services.messages->inform(QStringLiteral("已备份到：%1").arg(QDir::toNativeSeparators(folder)),
            Messages::Icon::Information);
    else
        m_services.messages->inform(backupFailureText(folder, error), Messages::Icon::Warning);
}

std::future<QString> checkInBackground(const Database& db, const QString& databasePath)
{
    return std::async(std::launch::async, [opener = db.opener(), databasePath] {
        Database own;
        QString verdict;
        if (own.open(opener, &verdict)) {
            const Result check = own.checkIntegrity(Database::Check::Quick);
            verdict = check ? check.rows.value(0).values().value(0).toString() : check.error;
            if (check && check.rows.size() == 1 && verdict == QStringLiteral("ok"))
                return QString();
        }
        return QStringLiteral("无法打开数据库文件：%1\n%2")
            .arg(QDir::toNativeSeparators(databasePath), explainFailure(FailureKind::Damaged, verdict));
    });
}

} // namespace qv
