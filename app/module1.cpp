#include "app/module1.h"
#include "app/appicon.h"
#include "app/form1.h"
#include "app/form9.h"
#include "app/startup.h"
#include "app/windows.h"
#include "catalogs/catalogindex.h"
#include "platform/qtservices.h"
#include "platform/translations.h"

#include <QApplication>
#include <QMessageBox>

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

    // Administrators and scripts point the program at the practice's server this way; the local file is then
    // neither made nor opened.
    context.serverConnection = qEnvironmentVariable("QUORVELA_SERVER");
    const StartupResult started = startUp(drives, context, db);
    if (!started.ok) {
        QMessageBox::critical(nullptr, QStringLiteral("提示"), started.error);
        return 1;
    }
    catalog.startReading();

    ProgramWindows windows(services);
    Form1 main(services, windows.factories());
    services.windows = &main;
    QObject::connect(&main, &Form1::exitRequested, &app, &QApplication::quit, Qt::QueuedConnection);

    Form9 login(context.heldPassword, messages);
    QObject::connect(&login, &QDialog::accepted, &main, [&main] { main.showAtStart(); });
    QObject::connect(&login, &QDialog::rejected, &app, &QApplication::quit, Qt::QueuedConnection);
    login.show();
    return app.exec();
}

} // namespace qv
