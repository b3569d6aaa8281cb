#include "app/module1.h"
#include "app/appicon.h"
#include "app/form1.h"
#include "app/form9.h"
#include "app/singleinstance.h"
#include "app/startoffers.h"
#include "app/startup.h"
#include "app/windows.h"
#include "catalogs/catalogindex.h"
#include "platform/qtservices.h"
#include "platform/translations.h"

#include <QApplication>
#include <QDir>

namespace qv {

namespace {

    // The start on this computer's file: the folder must still be the one locked, the file must pass its
    // quick check, and a damaged file is offered the newest good backup.
    StartupResult startOnFile(Services& services, const QString& lockedFolder)
    {
        AppContext& context = *services.context;
        Database& db = *services.db;
        StartupResult started = startUp(*services.drives, context, db);
        if (started.ok && context.dataFolder != lockedFolder) {
            // The drive test answered differently a moment later: this folder is not the one locked.
            db.close();
            started = { false, QStringLiteral("数据文件夹在启动时发生了变化，请重新启动程序。") };
        }
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
            started = startUp(*services.drives, context, db);
        return started;
    }

} // namespace

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

    // Administrators and scripts point the program at the practice's server this way; the local file is then
    // neither made nor opened.
    context.serverConnection = qEnvironmentVariable("QUORVELA_SERVER");
    const bool onServer = !context.serverConnection.isEmpty();

    // One program per data folder: a second start on it brings the first to the front and ends. On the
    // practice's server no local folder is used, and several programs sharing the archive is the point.
    const QString dataFolder = onServer ? QString() : dataFolderFor(chooseDriveRoot(drives));
    SingleInstance instance(dataFolder);
    if (!onServer) {
        makeFolderPath(dataFolder);
        if (instance.claim() == SingleInstance::Claim::AlreadyRunning) {
            if (!instance.reachedFirst())
                messages.inform(
                    QStringLiteral("Quorvela 已经在使用这个数据文件夹：\n%1\n请切换到已经打开的程序窗口。")
                        .arg(QDir::toNativeSeparators(dataFolder)),
                    Messages::Icon::Information);
            return 0;
        }
    }

    const StartupResult started = onServer ? startUp(drives, context, db) : startOnFile(services, dataFolder);
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
    QObject::connect(&login, &QDialog::accepted, &main, [&main, &reminder, onServer] {
        main.showAtStart();
        if (!onServer) // the server keeps its own backups
            reminder.start();
    });
    // A second start on this folder: the window the user works in comes to the front.
    QObject::connect(&instance, &SingleInstance::raiseRequested, &main, [&main, &login] {
        QWidget* front = main.isVisible() ? static_cast<QWidget*>(&main) : &login;
        if (front->isMinimized())
            front->setWindowState((front->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        front->show();
        front->raise();
        front->activateWindow();
    });
    QObject::connect(&login, &QDialog::rejected, &app, &QApplication::quit, Qt::QueuedConnection);
    login.show();
    return app.exec();
}

} // namespace qv
