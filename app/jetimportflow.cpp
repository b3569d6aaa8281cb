#include "app/jetimportflow.h"
#include "app/importprogress.h"
#include "catalogs/catalogindex.h"
#include "maintenance/jetimport.h"
#include "maintenance/startup.h"
#include "store/database.h"
#include "store/jet/jetformat.h"

#include <QDir>
#include <QFileInfo>

namespace qv {

QString oldDatabaseFolder(Services& services)
{
    const QString root = services.drives ? backupRootFor(chooseDriveRoot(*services.drives)) : QString();
    return !root.isEmpty() && QFileInfo(root).isDir() ? root : QDir::homePath();
}

bool importOldDatabase(
    Services& services, const QString& path, QWidget* parent, const ImportWindowHooks& hooks)
{
    if (!services.db || !services.db->isOpen() || !services.messages)
        return false;
    Messages& messages = *services.messages;
    const QString shown = QDir::toNativeSeparators(path);
    if (jetFormatOfFile(path) == JetFormat::None) {
        messages.inform(QStringLiteral("这个文件不是 Windows 版程序的数据库，没有导入：\n%1").arg(shown),
            Messages::Icon::Warning);
        return false;
    }
    // A store with an archive is refused before any window closes; the import asks again in its transaction.
    QString used;
    qint64 prescriptions = 0;
    const Result looked = findArchiveIn(*services.db, &used, &prescriptions);
    if (!looked || !used.isEmpty()) {
        messages.inform(QStringLiteral("没有导入 %1。\n%2")
                            .arg(shown, looked ? storeRefusal(used, prescriptions) : looked.error),
            Messages::Icon::Warning);
        return false;
    }
    if (!messages.askYesNo(
            QStringLiteral("把 Windows 版程序的数据库\n%1\n导入到%2？\n\n"
                           "导入会替换新数据库自带的示例数据；旧版数据库只被读取，不会被改动。")
                .arg(shown, services.db->location())))
        return false;
    if (hooks.beforeImport && !hooks.beforeImport())
        return false;
    // The bar lets events through: the catalog's poll must not read the import's rows on this connection
    // before they are committed (a cancel would leave them in the picker). It reads the outcome afresh.
    if (services.catalog) {
        services.catalog->stopWatching();
        services.catalog->forget();
    }
    ImportReport report;
    Result r;
    {
        ImportProgress bar(parent);
        bool stop = false;
        r = importJetFile(
            path, *services.db, &report, [&](qint64 done, qint64 total) { stop = !bar.update(done, total); },
            [&] { return stop; });
    }
    if (services.catalog)
        services.catalog->startReading();
    if (hooks.afterImport)
        hooks.afterImport();
    if (!report.file.isEmpty())
        qInfo("import of %s: %s\n%s", qPrintable(path), r ? "proven" : "not done", qPrintable(report.text()));
    if (r)
        messages.inform(QStringLiteral("旧版数据库已导入到%1，核对一致。\n%2")
                            .arg(services.db->location(), report.text()),
            Messages::Icon::Information);
    else
        messages.inform(QStringLiteral("旧版数据库没有导入，数据库没有任何改动。\n%1").arg(r.error),
            Messages::Icon::Warning);
    return r.ok;
}

} // namespace qv
