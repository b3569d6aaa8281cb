#include "app/runprogram.h"
#include "app/appicon.h"
#include "app/importprogress.h"
#include "app/loginwindow.h"
#include "app/mainwindow.h"
#include "app/storagewindow.h"
#include "app/windows.h"
#include "catalogs/catalogindex.h"
#include "maintenance/importcommand.h"
#include "maintenance/singleinstance.h"
#include "maintenance/startoffers.h"
#include "maintenance/startup.h"
#include "maintenance/storagechoice.h"
#include "platform/privatefile.h"
#include "platform/qtservices.h"
#include "platform/translations.h"
#include "store/jet/jetformat.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace qv {

namespace {

    // "导入" or "退出" for the Windows program's database found in the data folder.
    bool askImportOfJet(const QString& question)
    {
        QMessageBox box(QMessageBox::Question, QStringLiteral("提示"), question);
        box.setObjectName(QStringLiteral("JetImportOffer"));
        QPushButton* import = box.addButton(QStringLiteral("导入"), QMessageBox::AcceptRole);
        QPushButton* quit = box.addButton(QStringLiteral("退出"), QMessageBox::RejectRole);
        box.setDefaultButton(import);
        box.setEscapeButton(quit);
        box.exec();
        return box.clickedButton() == import;
    }

    // The start on this computer's file: the folder must still be the one locked, the Windows program's
    // database is offered the import, and a file that does not open is offered the newest good backup.
    StartupResult startOnFile(Services& services, const QString& lockedFolder)
    {
        AppContext& context = *services.context;
        Database& db = *services.db;
        const QString path = lockedFolder + QStringLiteral("/数据库.dat");
        if (jetFormatOfFile(path) != JetFormat::None) {
            const JetImportHooks hooks { askImportOfJet, [] { return ImportProgress::start(); } };
            // Quitting keeps the file as it is; the next start offers the import again.
            if (!offerImportOfJetDatabase(services, path, hooks))
                return { false, QString() };
        }
        StartupResult started = startUp(*services.drives, context, db);
        if (started.ok && context.dataFolder != lockedFolder) {
            // The drive test answered differently a moment later: this folder is not the one locked.
            db.close();
            started = { false, QStringLiteral("数据文件夹在启动时发生了变化，请重新启动程序。") };
        }
        if (!started.ok && offerRestoreOfDamaged(services, started.error))
            started = startUp(*services.drives, context, db);
        return started;
    }

    // The file failed its check while the login waited: the same offer as a file that does not open. True
    // when the program can go on (on the restored copy).
    bool restoreDamaged(Services& services, const QString& error)
    {
        // The catalog's read of the damaged file is of no use, and its connection must end first.
        services.catalog->forget();
        services.db->close();
        if (offerRestoreOfDamaged(services, error)) {
            const StartupResult started = startUp(*services.drives, *services.context, *services.db);
            if (started.ok) {
                services.catalog->startReading();
                return true;
            }
            services.messages->inform(started.error, Messages::Icon::Critical);
            return false;
        }
        services.messages->inform(error, Messages::Icon::Critical);
        return false;
    }

    // The practice's server could not be used at start: says why and asks whether to try again, to change the
    // connection (when it is this computer's choice, not the QUORVELA_SERVER variable's) or to quit.
    ServerOffer askAboutServer(const QString& why, bool canChange)
    {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("提示"),
            QStringLiteral("%1\n\n档案保存在诊所服务器上，程序不会改用这台电脑上的文件。").arg(why));
        QPushButton* retry = box.addButton(QStringLiteral("重试"), QMessageBox::AcceptRole);
        QPushButton* change
            = canChange ? box.addButton(QStringLiteral("更改连接…"), QMessageBox::ActionRole) : nullptr;
        QPushButton* quit = box.addButton(QStringLiteral("退出"), QMessageBox::RejectRole);
        box.setDefaultButton(retry);
        box.setEscapeButton(quit);
        box.exec();
        if (box.clickedButton() == retry)
            return ServerOffer::Retry;
        if (change && box.clickedButton() == change)
            return ServerOffer::ChangeConnection;
        return ServerOffer::Quit;
    }

    // The fields of "数据存储" for the server, before the main window exists. The new connection once saved;
    // empty when the user cancelled.
    QString changeServerConnection(Services& services)
    {
        QDialog dialog;
        dialog.setWindowTitle(QStringLiteral("数据存储"));
        auto* layout = new QVBoxLayout(&dialog);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* window = new StorageWindow(services, storageConfigPath(), &dialog);
        window->offerServerOnly();
        layout->addWidget(window);
        QObject::connect(window, &StorageWindow::saved, &dialog, &QDialog::accept);
        QObject::connect(window->cancelButton, &QPushButton::clicked, &dialog, &QDialog::reject);
        if (dialog.exec() != QDialog::Accepted)
            return {};
        return loadStorageChoice().connectionString();
    }

} // namespace

int runProgram(int argc, char** argv)
{
    // quorvela --import FILE: for administrators and scripts, without a window.
    if (argc == 3 && qstrcmp(argv[1], "--import") == 0) {
        QCoreApplication app(argc, argv);
        const QString jetPath = QString::fromLocal8Bit(argv[2]);
        const QString connection
            = chosenServerConnection(qEnvironmentVariable("QUORVELA_SERVER"), loadStorageChoice());
        HostDriveRoots drives;
        return importFromCommandLine(
            jetPath, connection, connection.isEmpty() ? dataFolderFor(chooseDriveRoot(drives)) : QString());
    }
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

    // Administrators and scripts point the program at the practice's server with QUORVELA_SERVER; otherwise
    // the choice kept on this computer ("数据存储") says where the archive is. On the server the local file
    // is neither made nor opened.
    const QString fromEnvironment = qEnvironmentVariable("QUORVELA_SERVER");
    context.serverConnection = chosenServerConnection(fromEnvironment, loadStorageChoice());
    const bool onServer = !context.serverConnection.isEmpty();

    // One program per data folder: a second start on it brings the first to the front and ends. On the
    // practice's server no local folder is used, and several programs sharing the archive is the point.
    const QString dataFolder = onServer ? QString() : dataFolderFor(chooseDriveRoot(drives));
    SingleInstance instance(dataFolder);
    if (!onServer) {
        {
            PrivateCreation privately;
            makeFolderPath(dataFolder);
        }
        if (instance.claim() == SingleInstance::Claim::AlreadyRunning) {
            if (!instance.reachedFirst())
                // Unreached: the program of another user, or an import without a window (quorvela --import).
                messages.inform(
                    QStringLiteral("Quorvela 已经在使用这个数据文件夹：\n%1\n请切换到已经打开的程序窗口；"
                                   "如果正在用命令导入旧版数据库，请等导入结束后再启动。")
                        .arg(QDir::toNativeSeparators(dataFolder)),
                    Messages::Icon::Information);
            return 0;
        }
    }

    ServerStartHooks hooks;
    hooks.offer = [canChange = fromEnvironment.isEmpty()](
                      const QString& why) { return askAboutServer(why, canChange); };
    if (fromEnvironment.isEmpty())
        hooks.changeConnection = [&services] { return changeServerConnection(services); };
    const StartupResult started
        = onServer ? startUpOnServer(drives, context, db, hooks) : startOnFile(services, dataFolder);
    if (!started.ok) {
        // On the server the user has read why and chose to quit.
        if (!onServer && !started.error.isEmpty())
            messages.inform(started.error, Messages::Icon::Critical);
        return 1;
    }
    catalog.startReading();
    std::future<QString> damage
        = onServer ? std::future<QString>() : checkInBackground(db, context.databasePath);

    ProgramWindows windows(services);
    MainWindow main(services, windows.factories());
    services.windows = &main;
    QObject::connect(&main, &MainWindow::exitRequested, &app, &QApplication::quit, Qt::QueuedConnection);

    BackupReminder reminder(services);
    LoginWindow login(context.heldPassword, messages);
    QObject::connect(&login, &QDialog::accepted, &main, [&main, &reminder, &damage, &services, onServer] {
        // The check has usually ended while the password was typed.
        if (damage.valid()) {
            const QString error = damage.get();
            if (!error.isEmpty() && !restoreDamaged(services, error)) {
                QCoreApplication::exit(1);
                return;
            }
        }
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
