#include "app/module1.h"
#include "app/appicon.h"
#include "app/form1.h"
#include "app/form9.h"
#include "app/startoffers.h"
#include "app/startup.h"
#include "app/windows.h"
#include "catalogs/catalogindex.h"
#include "platform/qtservices.h"
#include "platform/translations.h"

#include <QApplication>
#include <QDir>

namespace qv {

int runModule1(int argc, char** argv)
{
    QApplication app(argc, argv);
    installQtChinese(app);
    QApplication::setApplicationName(QStringLiteral("Quorvela"));
    QApplication::setApplicationVersion(QStringLiteral(QV_VERSION));
    // Lets the desktop match the windows to the installed launcher and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(QV_APP_ID));
    QApplication::setWindowIcon(appIcon());
    prepareFonts();

    SystemClock clock;
    BoxMessages messages;
    QtFileDialogs fileDialogs;
    QtClipboard clipboard;
    DesktopUrlOpener urls;
    HostDriveRoots drives;
    AppContext context;
    Database db;
    // Read in the background from start-up on, then kept current row by row for the whole run.
    CatalogIndex catalog(db);
    Services services;
    services.clock = &clock;
    services.messages = &messages;
    services.fileDialogs = &fileDialogs;
    services.clipboard = &clipboard;
    services.urls = &urls;
    services.drives = &drives;
    services.db = &db;
    services.catalog = &catalog;
    services.context = &context;

    StartupResult started = startUp(drives, context, db);
    if (started.ok) {
        QString verdict;
        if (!passesQuickCheck(db, &verdict)) {
            db.close();
            started = { false,
                QStringLiteral("无法打开数据库文件：%1\n%2")
                    .arg(QDir::toNativeSeparators(context.databasePath),
                        explainFailure(FailureKind::Damaged, verdict)) };
        }
    }
    if (!started.ok && offerRestoreOfDamaged(services, started.error))
        started = startUp(drives, context, db);
    if (!started.ok) {
        messages.inform(started.error, Messages::Icon::Critical);
        return 1;
    }
    catalog.startReading();

    ProgramWindows windows(services);
    Form1 main(services, windows.factories());
    services.windows = &main;
    QObject::connect(&main, &Form1::exitRequested, &app, &QApplication::quit, Qt::QueuedConnection);

    BackupReminder reminder(services);
    Form9 login(context.heldPassword, messages);
    QObject::connect(&login, &QDialog::accepted, &main, [&main, &reminder] {
        main.showAtStart();
        reminder.start();
    });
    QObject::connect(&login, &QDialog::rejected, &app, &QApplication::quit, Qt::QueuedConnection);
    login.show();
    return app.exec();
}

} // namespace qv
