#include "app/backupwindow.h"
#include "app/appicon.h"
#include "app/backupprogress.h"
#include "app/jetimportflow.h"
#include "maintenance/migration.h"
#include "maintenance/restore.h"
#include "maintenance/startup.h"
#include "platform/controls.h"
#include "store/database.h"
#include "store/server/serverschema.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <QTreeWidget>

namespace qv {

namespace {

    enum Column { DayColumn, WrittenColumn, SizeColumn, CountColumn, NewestColumn, StateColumn, ColumnCount };

    QString sizeText(qint64 bytes)
    {
        if (bytes < 1024 * 1024)
            return QStringLiteral("%1 KB").arg((bytes + 1023) / 1024);
        return QStringLiteral("%1 MB").arg(double(bytes) / (1024 * 1024), 0, 'f', 1);
    }

    // The verdict in a word or two; the whole reason is the cell's tip.
    QString verdictText(const CopyFacts& facts)
    {
        if (facts.ok)
            return QStringLiteral("完好");
        if (facts.jetReadable)
            return QStringLiteral("Windows 版程序的副本，可导入");
        if (facts.jet != JetFormat::None)
            return QStringLiteral("Windows 版程序的副本，无法读取");
        switch (facts.failure) {
        case FailureKind::Damaged:
            return QStringLiteral("已损坏，不能使用");
        case FailureKind::DiskError:
        case FailureKind::Busy:
            return QStringLiteral("无法读取");
        default:
            return QStringLiteral("不能使用");
        }
    }

    class WaitCursor {
    public:
        WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
        ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    };

} // namespace

BackupWindow::BackupWindow(Services& services, Hooks hooks, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
    , m_hooks(std::move(hooks))
{
    setObjectName(QStringLiteral("BackupWindow"));
    setWindowTitle(QStringLiteral("备份与恢复"));
    setWindowIcon(appIcon());
    setFixedSize(twipsSize(10080, 5460));

    folderLabel = placed<QLabel>(this, QStringLiteral("Label1"), 180, 150, 9720, 300);
    copyList = placed<QTreeWidget>(this, QStringLiteral("List1"), 180, 510, 9720, 4020);
    copyList->setRootIsDecorated(false);
    copyList->setUniformRowHeights(true);
    copyList->setAllColumnsShowFocus(true);
    copyList->setColumnCount(ColumnCount);
    copyList->setHeaderLabels({ QStringLiteral("备份"), QStringLiteral("写入时间"), QStringLiteral("大小"),
        QStringLiteral("处方张数"), QStringLiteral("最新处方"), QStringLiteral("状态") });
    const double widths[ColumnCount] = { 900, 1900, 1150, 1250, 1500, 2700 };
    for (int c = 0; c < ColumnCount; ++c)
        copyList->header()->resizeSection(c, twips(widths[c]));
    copyList->header()->setStretchLastSection(true);

    const QString texts[] = { QStringLiteral("立即备份"), QStringLiteral("备份到…"), QStringLiteral("恢复"),
        QStringLiteral("从文件恢复…") };
    QPushButton** buttons[]
        = { &backUpNowButton, &backUpToFolderButton, &restoreButton, &restoreFromFileButton };
    for (int i = 0; i < 4; ++i) {
        *buttons[i] = placed<QPushButton>(
            this, QStringLiteral("Command%1").arg(i + 1), 180 + i * 1740, 4710, 1560, 450);
        (*buttons[i])->setText(texts[i]);
    }
    connect(backUpNowButton, &QPushButton::clicked, this, &BackupWindow::backUpNow);
    connect(backUpToFolderButton, &QPushButton::clicked, this, &BackupWindow::backUpToFolder);
    connect(restoreButton, &QPushButton::clicked, this, &BackupWindow::restoreChosen);
    connect(restoreFromFileButton, &QPushButton::clicked, this, &BackupWindow::restoreFromFile);
    connect(copyList, &QTreeWidget::currentItemChanged, this, &BackupWindow::updateButtons);
    connect(copyList, &QTreeWidget::itemDoubleClicked, this, &BackupWindow::restoreChosen);
    setFocusProxy(copyList);
    listCopies();
}

BackupWindow::~BackupWindow()
{
    // The checks post to this window: none may outlive it.
    for (Check& check : m_checks) {
        *check.stop = true;
        check.thread->wait();
        delete check.thread;
    }
}

QString BackupWindow::backupRoot() const
{
    return m_services.drives ? backupRootFor(chooseDriveRoot(*m_services.drives)) : QString();
}

void BackupWindow::listCopies()
{
    stopChecks();
    const QString root = backupRoot();
    folderLabel->setText(QStringLiteral("备份文件夹：%1").arg(QDir::toNativeSeparators(root)));
    m_copies = listBackupCopies(root);
    m_serverRefusal = serverRefusal();
    copyList->clear();
    for (int i = 0; i < m_copies.size(); ++i) {
        const BackupCopy& copy = m_copies.at(i);
        auto* item = new QTreeWidgetItem(copyList);
        item->setData(DayColumn, Qt::UserRole, i);
        item->setText(DayColumn, copy.day);
        if (copy.present) {
            item->setText(WrittenColumn, copy.written.toString(QStringLiteral("yyyy-MM-dd hh:mm")));
            item->setText(SizeColumn, sizeText(copy.bytes));
            item->setText(StateColumn,
                copy.jet != JetFormat::None ? QStringLiteral("Windows 版程序的副本，读取中…")
                                            : QStringLiteral("检查中…"));
        } else {
            item->setText(StateColumn, QStringLiteral("没有备份文件"));
        }
        item->setTextAlignment(SizeColumn, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(CountColumn, Qt::AlignRight | Qt::AlignVCenter);
    }
    if (copyList->topLevelItemCount() > 0)
        copyList->setCurrentItem(copyList->topLevelItem(0));
    updateButtons();
    startChecks();
}

void BackupWindow::startChecks()
{
    ++m_generation;
    QStringList paths;
    for (const BackupCopy& copy : m_copies)
        paths << (copy.present ? copy.path : QString());
    m_pending = int(paths.size() - paths.count(QString()));
    if (m_pending == 0)
        return;
    // One copy after another, the newest first, each on a private copy of its file; the verdicts come back
    // to the window as they are found. A list read again ignores the verdicts of the previous one.
    auto stop = std::make_shared<std::atomic_bool>(false);
    const int generation = m_generation;
    QThread* thread = QThread::create([this, paths, stop, generation] {
        for (int row = 0; row < paths.size() && !*stop; ++row) {
            if (paths.at(row).isEmpty())
                continue;
            const CopyFacts facts = inspectCopy(paths.at(row));
            QMetaObject::invokeMethod(
                this, [this, generation, row, facts] { showFacts(generation, row, facts); },
                Qt::QueuedConnection);
        }
    });
    m_checks << Check { thread, stop };
    thread->start(QThread::LowPriority);
}

void BackupWindow::stopChecks()
{
    // A check under way finishes its copy; the window waits for it only when it goes.
    for (Check& check : m_checks)
        *check.stop = true;
    for (qsizetype i = m_checks.size() - 1; i >= 0; --i) {
        QThread* thread = m_checks.at(i).thread;
        if (thread->isFinished()) {
            delete thread;
            m_checks.removeAt(i);
        }
    }
}

void BackupWindow::showFacts(int generation, int row, const CopyFacts& facts)
{
    if (generation != m_generation || row >= copyList->topLevelItemCount())
        return;
    --m_pending;
    QTreeWidgetItem* item = copyList->topLevelItem(row);
    if (facts.ok || facts.jetReadable) {
        item->setText(CountColumn, groupedCount(facts.prescriptions));
        item->setText(NewestColumn, facts.newestDate);
    }
    item->setText(StateColumn, verdictText(facts));
    item->setToolTip(StateColumn,
        facts.ok                ? QString()
            : facts.jetReadable ? QStringLiteral("%1\n药品 %2 种").arg(facts.error, groupedCount(facts.drugs))
                                : facts.error);
    if (!facts.ok && !facts.jetReadable)
        item->setForeground(StateColumn, QColor(176, 0, 0));
}

bool BackupWindow::checksDone() const { return m_pending == 0; }

void BackupWindow::updateButtons()
{
    const QTreeWidgetItem* item = copyList->currentItem();
    const int index = item ? item->data(DayColumn, Qt::UserRole).toInt() : -1;
    const bool listed = index >= 0 && index < m_copies.size() && m_copies.at(index).present;
    restoreButton->setEnabled(listed && m_serverRefusal.isEmpty());
    restoreFromFileButton->setEnabled(m_serverRefusal.isEmpty());
    // A copy of the Windows program's database is imported, not restored.
    restoreButton->setText(listed && m_copies.at(index).jet != JetFormat::None ? QStringLiteral("导入")
                                                                               : QStringLiteral("恢复"));
    // On the practice's server a copy never replaces the archive the desks work on.
    const bool onServer = m_services.db && m_services.db->kind() == StoreKind::Server;
    const QString why
        = onServer ? QStringLiteral("在诊所服务器上，备份只能恢复到还没有档案的数据库中") : QString();
    restoreButton->setToolTip(m_serverRefusal.isEmpty() ? why : m_serverRefusal);
    restoreFromFileButton->setToolTip(m_serverRefusal.isEmpty() ? why : m_serverRefusal);
}

QString BackupWindow::serverRefusal()
{
    if (!m_services.db || m_services.db->kind() != StoreKind::Server)
        return {};
    // A new database holds the template's one sample prescription: more is an archive at once, without
    // checksumming every table.
    const Result counted = m_services.db->run(QStringLiteral("select count(*) as n from \"档案\""));
    if (!counted)
        return counted.error;
    qint64 prescriptions = counted.rows.value(0).value(QStringLiteral("n")).toLongLong();
    QString used = QStringLiteral("档案");
    if (prescriptions <= 1) {
        const Result found = findArchiveIn(*m_services.db, &used, &prescriptions);
        if (!found)
            return found.error;
    }
    if (!used.isEmpty())
        return QStringLiteral(
            "诊所服务器上的数据库已经有档案（处方 %1 张），各台电脑正在使用它；备份不会覆盖它，"
            "只能恢复到还没有档案的数据库中。需要时请管理服务器的人先建一个空的数据库，"
            "再在“数据存储”里改用它。")
            .arg(prescriptions);
    const Result owner = checkOwnerStep(*m_services.db, QStringLiteral("用备份填入服务器上的数据库"));
    return owner ? QString() : owner.error;
}

void BackupWindow::backUpNow()
{
    if (!m_services.db || !m_services.drives || !m_services.clock)
        return;
    const QDate today = m_services.clock->now().date();
    QString error;
    {
        BackupProgress progress(this);
        error = backUpDatabase(*m_services.drives, today, *m_services.db, progress.callback());
    }
    const QString folder = todaysBackupFolder(*m_services.drives, today);
    if (error.isEmpty())
        m_services.messages->inform(QStringLiteral("已备份到：%1").arg(QDir::toNativeSeparators(folder)),
            Messages::Icon::Information);
    else
        m_services.messages->inform(backupFailureText(folder, error), Messages::Icon::Warning);
    listCopies();
}

void BackupWindow::backUpToFolder()
{
    if (!m_services.db || !m_services.clock)
        return;
    const QString folder
        = m_services.fileDialogs->existingFolder(this, QStringLiteral("备份到"), QDir::homePath());
    if (folder.isEmpty())
        return;
    // A new name each time: a copy already on the stick is never replaced, not even one of the same second
    // (the copy is renamed into place, which would replace it).
    const QString stem = QDir(folder).filePath(
        QStringLiteral("数据库-%1").arg(m_services.clock->now().toString(QStringLiteral("yyyyMMdd-hhmmss"))));
    QString target = stem + QStringLiteral(".dat");
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = stem + QStringLiteral("-%1.dat").arg(n);
    QString error;
    {
        BackupProgress progress(this);
        error = writeBackupFile(*m_services.db, target, progress.callback());
    }
    if (error.isEmpty())
        m_services.messages->inform(QStringLiteral("已备份到：%1").arg(QDir::toNativeSeparators(target)),
            Messages::Icon::Information);
    else
        m_services.messages->inform(backupFailureText(folder, error), Messages::Icon::Warning);
}

void BackupWindow::restoreChosen()
{
    const QTreeWidgetItem* item = copyList->currentItem();
    const int index = item ? item->data(DayColumn, Qt::UserRole).toInt() : -1;
    if (index < 0 || index >= m_copies.size() || !m_copies.at(index).present)
        return;
    restoreFrom(m_copies.at(index).path);
}

void BackupWindow::restoreFromFile()
{
    const QString path = m_services.fileDialogs->openFileName(this, QStringLiteral("从文件恢复"),
        QDir::homePath(), QStringLiteral("数据库文件 (*.dat *.dat.恢复前-* *.dat.旧版-*);;所有文件 (*)"));
    if (!path.isEmpty())
        restoreFrom(path);
}

bool BackupWindow::restoreFrom(const QString& path)
{
    if (!m_services.db || !m_services.context || !m_services.clock)
        return false;
    Messages& messages = *m_services.messages;
    // On the server the refusal comes before any question, read afresh (another desk may have saved
    // meanwhile).
    if (const QString refusal = serverRefusal(); !refusal.isEmpty()) {
        m_serverRefusal = refusal;
        updateButtons();
        messages.inform(
            QStringLiteral("没有恢复，服务器上的数据没有任何改动。\n") + refusal, Messages::Icon::Warning);
        return false;
    }
    if (jetFormatOfFile(path) != JetFormat::None) {
        const bool imported
            = importOldDatabase(m_services, path, this, { m_hooks.beforeReplace, m_hooks.afterReplace });
        listCopies();
        return imported;
    }
    std::unique_ptr<RestoreSource> source;
    {
        WaitCursor wait;
        source = std::make_unique<RestoreSource>(path);
    }
    if (!source->facts().ok) {
        messages.inform(QStringLiteral("这份备份不能用来恢复，当前数据库没有任何改动。\n%1\n%2")
                            .arg(QDir::toNativeSeparators(path), source->facts().error),
            Messages::Icon::Warning);
        return false;
    }
    // The practice's server holds the archive every desk works on: a copy never replaces it, it only fills
    // a database that holds no archive yet (one just set up after the server lost its own).
    if (m_services.db->kind() == StoreKind::Server)
        return restoreIntoEmptyServer(*source);
    const CopyFacts current = countPrescriptions(*m_services.db);
    const std::optional<qint64> currentCount
        = current.ok ? std::optional<qint64>(current.prescriptions) : std::nullopt;
    if (!messages.askYesNo(restoreQuestion(*source, currentCount)))
        return false;
    if (m_hooks.beforeReplace && !m_hooks.beforeReplace())
        return false;
    RestoreOutcome outcome;
    {
        WaitCursor wait;
        outcome = replaceDatabase(
            *m_services.db, m_services.context->databasePath, *source, m_services.clock->now());
    }
    if (m_hooks.afterReplace)
        m_hooks.afterReplace();
    if (outcome.ok) {
        messages.inform(QStringLiteral("数据库已恢复为 %1 的备份。\n原来的数据库保存为：%2")
                            .arg(shortDate(source->writtenOn()), QDir::toNativeSeparators(outcome.setAside)),
            Messages::Icon::Information);
    } else {
        messages.inform(outcome.error, Messages::Icon::Warning);
    }
    listCopies();
    return outcome.ok;
}

bool BackupWindow::restoreIntoEmptyServer(const RestoreSource& source)
{
    Messages& messages = *m_services.messages;
    if (!messages.askYesNo(
            QStringLiteral("用 %1 的备份（处方 %2 张）填入诊所服务器上还没有档案的数据库？\n"
                           "服务器上已经有档案时，不会改动任何数据。")
                .arg(shortDate(source.writtenOn()), groupedCount(source.facts().prescriptions))))
        return false;
    if (m_hooks.beforeReplace && !m_hooks.beforeReplace())
        return false;
    Result moved;
    MigrationReport report;
    {
        WaitCursor wait;
        Database copy;
        if (copy.open(source.provenPath(), &moved.error))
            moved = migrateToServer(copy, *m_services.db, &report);
    }
    if (m_hooks.afterReplace)
        m_hooks.afterReplace();
    if (moved)
        messages.inform(QStringLiteral("诊所服务器上的档案已从 %1 的备份恢复。\n%2")
                            .arg(shortDate(source.writtenOn()), report.text()),
            Messages::Icon::Information);
    else
        messages.inform(QStringLiteral("没有恢复，服务器上的数据没有任何改动。\n") + moved.error,
            Messages::Icon::Warning);
    return moved.ok;
}

} // namespace qv
