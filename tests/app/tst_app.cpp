// Start-up, login, the main window and the exit backup; the Windows program's database imported through the
// main window's menu, on both engines.

#include "app/loginwindow.h"
#include "app/mainwindow.h"
#include "app/screenfit.h"
#include "app/webpages.h"
#include "app/windows.h"
#include "catalogs/drugcatalogwindow.h"
#include "desk/prescriptionprint.h"
#include "maintenance/migration.h"
#include "maintenance/startup.h"
#include "platform/units.h"
#include "store/jet/jetfile.h"
#include "store/template/templatedb.h"
#include "tests/support/fakes.h"
#include "tests/support/testenv.h"
#include "tests/support/typing.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocumentFragment>
#include <QTimer>

#include <csignal>
#include <sys/resource.h>

using namespace qv;
using namespace qv::test;

namespace {

QByteArray fileHash(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

void touch(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
}

QStringList shownDrugNames(const DrugCatalogWindow& w)
{
    QStringList names;
    for (int j = 0; j < w.grid()->rowCount(); ++j)
        names << w.grid()->cellText(j, 0);
    return names;
}

} // namespace

class AppTest final : public QObject {
    Q_OBJECT

private slots:
    void driveDWinsOnlyWithAVisibleEntry()
    {
        QTemporaryDir c, d;
        FolderDrives drives;
        drives.c = c.path();
        QCOMPARE(chooseDriveRoot(drives), c.path()); // no drive D:
        drives.d = d.path();
        QCOMPARE(chooseDriveRoot(drives), c.path()); // empty D:
        touch(d.filePath(".hidden"));
        QCOMPARE(chooseDriveRoot(drives), c.path()); // only hidden entries
        touch(d.filePath("visible.txt"));
        QCOMPARE(chooseDriveRoot(drives), d.path());
    }

    void firstStartWritesTheTemplateAndLaterStartsLeaveItAlone()
    {
        QTemporaryDir c;
        FolderDrives drives;
        drives.c = c.path();
        AppContext context;
        Database db;
        StartupResult r = startUp(drives, context, db);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(context.databasePath, c.filePath("Quorvela数据库/数据库.dat"));
        QCOMPARE(context.heldPassword, QStringLiteral("947"));
        QCOMPARE(context.installationTag.size(), 15);
        db.close();
        QCOMPARE(
            QDir(context.dataFolder).entryList(QDir::Files), QStringList { "数据库.dat" }); // no temp left
        const QByteArray before = fileHash(context.databasePath);

        AppContext again;
        r = startUp(drives, again, db);
        QVERIFY(r.ok);
        db.close();
        QCOMPARE(fileHash(again.databasePath), before);
        QCOMPARE(again.installationTag, context.installationTag);
    }

    void aFileOfAnEarlierVersionGainsTheDateIndexAtStartUp()
    {
        QTemporaryDir c;
        FolderDrives drives;
        drives.c = c.path();
        const QString path = c.filePath("Quorvela数据库/数据库.dat");
        QDir(c.path()).mkpath("Quorvela数据库");
        QVERIFY(writeTemplateDatabase(path, nullptr));
        Database db;
        QString error;
        QVERIFY(db.open(path, &error));
        QVERIFY(db.run("drop index \"档案.日期\"").ok);
        db.close();

        AppContext context;
        QVERIFY(startUp(drives, context, db).ok);
        const Result index = db.run("select count(*) from sqlite_master where name = '档案.日期'");
        QCOMPARE(index.rows.first().values().first().toInt(), 1);
        QCOMPARE(context.heldPassword, QStringLiteral("947"));
    }

    void startupOnDriveDEvenWithACopyOnC()
    {
        QTemporaryDir c, d;
        touch(d.filePath("file.txt"));
        FolderDrives drives;
        drives.c = c.path();
        drives.d = d.path();
        QDir(c.path()).mkpath("Quorvela数据库");
        QVERIFY(writeTemplateDatabase(c.filePath("Quorvela数据库/数据库.dat"), nullptr));
        AppContext context;
        Database db;
        QVERIFY(startUp(drives, context, db).ok);
        QVERIFY(QFile::exists(d.filePath("Quorvela数据库/数据库.dat")));
    }

    void missingSettingsRowLeavesAnEmptyPassword()
    {
        QTemporaryDir c;
        FolderDrives drives;
        drives.c = c.path();
        AppContext context;
        Database db;
        QVERIFY(startUp(drives, context, db).ok);
        QVERIFY(db.run("delete from \"设置\"").ok);
        db.close();
        QVERIFY(startUp(drives, context, db).ok);
        QCOMPARE(context.heldPassword, QString());
        QVERIFY(passwordMatches(QStringLiteral("   "), context.heldPassword));
    }

    void unusableDatabaseIsReportedAndKept()
    {
        QTemporaryDir c;
        FolderDrives drives;
        drives.c = c.path();
        QDir(c.path()).mkpath("Quorvela数据库");
        const QString path = c.filePath("Quorvela数据库/数据库.dat");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(5000, 'x'));
        f.close();
        AppContext context;
        Database db;
        const StartupResult r = startUp(drives, context, db);
        QVERIFY(!r.ok);
        QVERIFY(r.error.contains(QDir::toNativeSeparators(path)));
        QCOMPARE(QFileInfo(path).size(), 5000); // never overwritten with the template

        // A data folder that cannot be made.
        touch(c.filePath("blocked"));
        drives.c = c.filePath("blocked");
        const StartupResult blocked = startUp(drives, context, db);
        QVERIFY(!blocked.ok);
        QVERIFY(blocked.error.contains(QStringLiteral("无法创建数据文件夹")));
    }

    void loginComparesTrimmedAndCaseBlind()
    {
        QVERIFY(passwordMatches(QStringLiteral("  AbC "), QStringLiteral("abc")));
        QVERIFY(passwordMatches(QStringLiteral("abc"), QStringLiteral(" ABC")));
        QVERIFY(!passwordMatches(QStringLiteral("a bc"), QStringLiteral("abc")));
        QVERIFY(!passwordMatches(QString(), QStringLiteral("947")));

        ScriptedMessages messages;
        LoginWindow exact(QStringLiteral("947"), messages);
        QVERIFY(!exact.passwordHint->isHidden());
        LoginWindow padded(QStringLiteral(" 947"), messages);
        QVERIFY(padded.passwordHint->isHidden()); // the hint test is exact
        QCOMPARE(padded.okButton->text(), QStringLiteral("确  定"));
        QCOMPARE(padded.passwordBox->echoMode(), QLineEdit::Password);
        QCOMPARE(padded.passwordBox->maxLength(), 15);
    }

    void wrongEntryShowsTheMessageOncePerEnter()
    {
        ScriptedMessages messages;
        LoginWindow login(QStringLiteral("Secret"), messages);
        login.show();
        QSignalSpy accepted(&login, &QDialog::accepted);
        QTest::keyClicks(login.passwordBox, "wrong");
        QTest::keyClick(login.passwordBox, Qt::Key_Return);
        QTest::keyClick(login.passwordBox, Qt::Key_Return);
        QCOMPARE(messages.texts(), (QStringList { "密码错误！", "密码错误！" }));
        QCOMPARE(login.passwordBox->text(), QStringLiteral("wrong")); // the entry stays
        QCOMPARE(login.passwordBox->displayText(), QStringLiteral("*****")); // one "*" per typed character
        QCOMPARE(accepted.count(), 0);
        login.passwordBox->clear();
        QTest::keyClicks(login.passwordBox, " SECRET ");
        QTest::keyClick(login.passwordBox, Qt::Key_Enter);
        QCOMPARE(accepted.count(), 1);
        QCOMPARE(messages.shown().size(), 2);
    }

    void childWindowsArePlacedByTheSharedRule()
    {
        const QSize parent(twips(15390), twips(10290));
        const QSize own(twips(6000), twips(4000));
        const QPoint p = childWindowPosition(parent, own);
        QCOMPARE(p.x(), (parent.width() - own.width()) / 2 - twips(150));
        QCOMPARE(p.y(), (parent.height() - own.height()) / 2 - twips(450));
    }

    void menuOpensEachWindowOnce()
    {
        FixedClock clock;
        RecordingUrlOpener urls;
        Services services;
        services.clock = &clock;
        services.urls = &urls;
        int made = 0;
        WindowFactories factories;
        factories.log = [&made]() -> QWidget* {
            ++made;
            auto* w = new QWidget;
            w->resize(400, 300);
            return w;
        };
        MainWindow main(services, factories);
        main.show();
        QCOMPARE(main.windowTitle(), QStringLiteral("Quorvela V2.0"));
        QCOMPARE(main.findChild<QMdiArea*>()->background().color(), QColor(144, 163, 178));
        QVERIFY(main.menuAction("日志报表(B)")->isEnabled());
        QVERIFY(!main.menuAction("业务统计(T)")->isEnabled()); // no window to open
        QVERIFY(main.menuAction("个人组套\\中药方剂"));
        main.menuAction("日志报表(B)")->trigger();
        main.menuAction("日志报表(B)")->trigger();
        QCOMPARE(made, 1);
        QCOMPARE(main.findChild<QMdiArea*>()->subWindowList().size(), 1);
        // Closed windows are made anew on the next open.
        main.childWindow("log")->close();
        QTRY_VERIFY(!main.childWindow("log"));
        main.openLog();
        QCOMPARE(made, 2);

        main.menuAction("访问作者主页")->trigger();
        QCOMPARE(urls.opened, QStringList { "https://quorvela.example.org/" });
        main.menuAction("操作帮助")->trigger();
        QVERIFY(urls.opened.last().startsWith("file://"));
        QVERIFY(QFile::exists(QUrl(urls.opened.last()).toLocalFile()));
    }

    void helpPageNamesOnlyWhatTheWindowsShow()
    {
        // Every window of the program, open at once, and the login.
        TestEnv env;
        ProgramWindows windows(env.services);
        MainWindow main(env.services, windows.factories());
        env.services.windows = &main;
        main.show();
        main.openSettings();
        main.openDrugCatalog();
        main.openTemplates();
        main.openSpecies();
        main.openDiagnoses();
        main.openStatistics();
        main.openLog();
        LoginWindow login(QStringLiteral("947"), env.messages);
        QStringList shown;
        for (const QWidget* top : std::initializer_list<const QWidget*> { &main, &login }) {
            QList<const QWidget*> widgets { top };
            for (const QWidget* w : top->findChildren<QWidget*>())
                widgets << w;
            for (const QWidget* w : widgets) {
                shown << w->windowTitle();
                if (const auto* label = qobject_cast<const QLabel*>(w))
                    shown << label->text();
                if (const auto* button = qobject_cast<const QAbstractButton*>(w))
                    shown << button->text();
                if (const auto* frame = qobject_cast<const QGroupBox*>(w))
                    shown << frame->title();
                if (const auto* list = qobject_cast<const QComboBox*>(w))
                    for (int i = 0; i < list->count(); ++i)
                        shown << list->itemText(i);
            }
            for (const QAction* action : top->findChildren<QAction*>())
                shown << action->text();
        }

        QFile page(QStringLiteral(":/app/help.html"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QString text = QTextDocumentFragment::fromHtml(QString::fromUtf8(page.readAll())).toPlainText();
        // Names the page quotes that are not captions: folders the program makes, a printed sheet mark, typed
        // values, a catalog row, the mark of a printer no longer installed.
        const QStringList notCaptions { backupRootFor(QStringLiteral("/")).section(QLatin1Char('/'), -1),
            backupFolderName(QDate(2026, 12, 8)), sheetMark(1, 2), QStringLiteral("公"), QStringLiteral("母"),
            QStringLiteral("（没有安装）") };
        QVERIFY(env.count(QStringLiteral("诊断"), QStringLiteral("\"名称\" = '肺炎'")) == 1);
        int quoted = 0;
        for (const QRegularExpressionMatch& m :
            QRegularExpression(QStringLiteral("“([^”]+)”")).globalMatch(text)) {
            const QString name = m.captured(1);
            ++quoted;
            if (notCaptions.contains(name) || name == QStringLiteral("肺炎"))
                continue;
            QVERIFY2(shown.contains(name), qPrintable(QStringLiteral("the help page names “%1”").arg(name)));
        }
        QVERIFY(quoted > 30);
    }

    // "从旧版数据库导入…" into a store holding only the template's rows (the practice's server in the run on
    // the server): asked, imported, proven, and the open windows opened again on the imported rows. Asked
    // again, the store holds an archive now and is refused untouched before any window closes.
    void menuImportsTheOldDatabaseOnlyIntoAStoreWithoutArchive()
    {
        TestEnv env;
        QProcess xz;
        xz.start(QStringLiteral("xz"), { QStringLiteral("-dc"), QStringLiteral(QV_JET_SAMPLE) });
        QVERIFY2(xz.waitForFinished(60000) && xz.exitCode() == 0, "xz (./setup.sh --test installs it)");
        const QString path = env.dir.filePath(QStringLiteral("旧版数据库.dat"));
        {
            QFile f(path);
            const QByteArray jet = xz.readAllStandardOutput();
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(jet) == jet.size());
        }
        qint64 jetPrescriptions = 0, jetDrugs = 0;
        {
            JetFile jet;
            QString error;
            QVERIFY2(jet.open(path, &error), qPrintable(error));
            QVERIFY(jet.table(QStringLiteral("档案")) && jet.table(QStringLiteral("商品")));
            jetPrescriptions = jet.table(QStringLiteral("档案"))->rows;
            jetDrugs = jet.table(QStringLiteral("商品"))->rows;
        }
        QVERIFY(jetPrescriptions > 0 && env.count(QStringLiteral("档案")) != jetPrescriptions);

        ProgramWindows windows(env.services);
        MainWindow main(env.services, windows.factories());
        env.services.windows = &main;
        main.show();
        main.openDrugCatalog();
        main.openDesk();
        const QString templateName = env.services.settings->practiceName();
        QPointer<QWidget> drugs = main.childWindow(QStringLiteral("drugs"));
        QPointer<QWidget> desk = main.childWindow(QStringLiteral("desk"));
        QVERIFY(drugs && desk);
        const QStringList templateDrugs = shownDrugNames(*qobject_cast<DrugCatalogWindow*>(drugs.data()));

        // The main window resized while the bar runs: no desk may open on the store half way.
        bool resized = false;
        QTimer resizer;
        connect(&resizer, &QTimer::timeout, [&] {
            if (main.findChild<QProgressDialog*>(QStringLiteral("ImportProgress")) && !resized) {
                main.resize(main.size() + QSize(40, 30));
                resized = true;
            }
        });
        resizer.start(0);
        env.fileDialogs.next = path;
        env.messages.setNextAnswers({ true });
        main.menuAction(QStringLiteral("从旧版数据库导入…"))->trigger();
        resizer.stop();
        QVERIFY(resized);
        const QString where = env.db.location();
        QVERIFY2(env.messages.shown().size() == 2, qPrintable(env.messages.texts().join(u'\n')));
        QCOMPARE(env.messages.shown()[0].kind, QStringLiteral("yesno"));
        QVERIFY2(env.messages.shown()[0].text.contains(QStringLiteral("导入到%1？").arg(where)),
            qPrintable(env.messages.shown()[0].text));
        QVERIFY2(
            env.messages.last().startsWith(QStringLiteral("旧版数据库已导入到%1，核对一致。").arg(where)),
            qPrintable(env.messages.last()));
        QCOMPARE(env.count(QStringLiteral("档案")), int(jetPrescriptions));
        QCOMPARE(env.count(QStringLiteral("商品")), int(jetDrugs));
        QVERIFY(env.services.settings->practiceName() != templateName);

        // The windows are new ones, and the drug window lists the imported catalog.
        QVERIFY(drugs.isNull() && desk.isNull());
        drugs = main.childWindow(QStringLiteral("drugs"));
        desk = main.childWindow(QStringLiteral("desk"));
        auto* catalog = qobject_cast<DrugCatalogWindow*>(drugs.data());
        QVERIFY(catalog && desk);
        QStringList stored;
        for (const Row& row : env.rows(
                 QStringLiteral("select \"名称\" from \"商品\" where \"分类\" = ? order by \"ID号\" desc"),
                 { catalog->currentCategory() }))
            stored << row.text(QStringLiteral("名称"));
        QCOMPARE(catalog->grid()->recordCount(), stored.size());
        QCOMPARE(shownDrugNames(*catalog), stored.mid(0, catalog->grid()->rowCount()));
        QVERIFY(shownDrugNames(*catalog) != templateDrugs);

        // Again: refused with the reason, nothing asked, no window closed, the store as it was.
        QList<TableTally> before, after;
        QVERIFY(tallyStore(env.db, &before));
        env.messages.clear();
        env.messages.setNextAnswers({ true });
        env.fileDialogs.next = path;
        main.menuAction(QStringLiteral("从旧版数据库导入…"))->trigger();
        QVERIFY2(env.messages.shown().size() == 1, qPrintable(env.messages.texts().join(u'\n')));
        QCOMPARE(env.messages.shown()[0].kind, QStringLiteral("inform"));
        QVERIFY2(env.messages.last().startsWith(
                     QStringLiteral("没有导入 %1。").arg(QDir::toNativeSeparators(path)))
                && env.messages.last().contains(
                    QStringLiteral("这个数据库里已经有档案（处方 %1 张），程序不会合并或覆盖，没有改动它。")
                        .arg(jetPrescriptions)),
            qPrintable(env.messages.last()));
        QVERIFY(drugs && desk);
        QCOMPARE(main.childWindow(QStringLiteral("drugs")), drugs.data());
        QVERIFY(tallyStore(env.db, &after));
        QCOMPARE(after.size(), before.size());
        for (int i = 0; i < before.size(); ++i)
            QVERIFY2(after[i].rows == before[i].rows && after[i].checksum == before[i].checksum,
                qPrintable(before[i].table));
    }

    void deskIsCentredOnEveryResize()
    {
        Services services;
        WindowFactories factories;
        factories.desk = [] {
            auto* w = new QWidget;
            w->setFixedSize(600, 400);
            return w;
        };
        MainWindow main(services, factories);
        main.setWindowState(Qt::WindowNoState);
        main.show();
        QWidget* desk = main.childWindow("desk");
        QVERIFY(desk); // shown with the main window
        main.resize(1400, 900);
        QCOMPARE(desk->parentWidget()->pos(), childWindowPosition(main.size(), desk->parentWidget()->size()));
        desk->parentWidget()->move(3, 3);
        main.resize(1300, 950);
        QCOMPARE(desk->parentWidget()->pos(), childWindowPosition(main.size(), desk->parentWidget()->size()));
        // The frame never shrinks below its minimum size: 15390 x 10290 twips, or less where the screen
        // offers less room (this headless screen is 800 x 600).
        main.resize(100, 100);
        const QSize minimum
            = minimumSizeWithin(twipsSize(15390, 10290), main.screen()->availableGeometry(), assumedFrame());
        QCOMPARE(main.minimumSize(), minimum);
        QCOMPARE(main.size(), minimum);
    }

    void mainWindowFitsASmallScreenAtALargeScale()
    {
        // 1366 x 768 at 125 %: 1093 x 614 device-independent pixels, less a task bar of 32.
        const QRect available(0, 0, 1093, 582);
        const QMargins frame(1, 20, 1, 5);
        const QSize wanted(1026, 686); // 15390 x 10290 twips at 96 per inch
        const QSize minimum = minimumSizeWithin(wanted, available, frame);
        QCOMPARE(minimum, QSize(1026, 557));
        const QRect normal = normalGeometryWithin(available, frame, minimum);
        QCOMPARE(normal.size(), minimum);
        QVERIFY(available.contains(normal.marginsAdded(frame)));

        // A large screen: restored, the window is smaller than the free area, centred, and keeps its minimum.
        const QRect wide(0, 40, 1920, 1040);
        const QRect restored = normalGeometryWithin(wide, frame, wanted);
        QVERIFY(wide.contains(restored.marginsAdded(frame)));
        QVERIFY(restored.width() < wide.width() - 100 && restored.height() < wide.height() - 100);
        QVERIFY(restored.width() >= wanted.width() && restored.height() >= wanted.height());
        QCOMPARE(restored.center().x(), wide.center().x());
        QCOMPARE(minimumSizeWithin(wanted, wide, frame), wanted);

        // A screen smaller than any frame gives sizes of zero, never negative ones.
        QCOMPARE(minimumSizeWithin(wanted, QRect(0, 0, 10, 10), QMargins(8, 32, 8, 8)), QSize(0, 0));
        QCOMPARE(widestOf(QMargins(8, 32, 8, 8), frame), QMargins(8, 32, 8, 8));
    }

    void openingAWindowAgainActivatesItAndFocusesItsFirstField()
    {
        Services services;
        WindowFactories factories;
        // Stand-ins for two child windows: a first field (the focus proxy) and another one.
        auto window = [](const char* name) -> QWidget* {
            auto* w = new QWidget;
            w->setObjectName(name);
            auto* first = new QLineEdit(w);
            first->setObjectName("first");
            auto* other = new QLineEdit(w);
            other->setObjectName("other");
            other->move(0, 40);
            w->setFocusProxy(first);
            w->resize(300, 200);
            return w;
        };
        factories.desk = [&] { return window("desk"); };
        factories.log = [&] { return window("log"); };
        MainWindow main(services, factories);
        main.show();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        auto* area = main.findChild<QMdiArea*>();
        main.openLog();
        QWidget* log = main.childWindow("log");
        QCOMPARE(area->activeSubWindow()->widget(), log);
        QCOMPARE(main.focusWidget(), log->findChild<QWidget*>("first"));

        // The user works in the desk, then chooses the log again.
        QWidget* desk = main.childWindow("desk");
        area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(desk->parentWidget()));
        desk->findChild<QWidget*>("other")->setFocus();
        log->findChild<QWidget*>("other")->setFocus(); // where the user had left the log
        area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(desk->parentWidget()));
        QCOMPARE(area->activeSubWindow()->widget(), desk);
        main.openLog();
        QCOMPARE(area->activeSubWindow()->widget(), log);
        QCOMPARE(main.focusWidget(), log->findChild<QWidget*>("first"));

        // A minimised window comes back as well.
        log->parentWidget()->showMinimized();
        main.openLog();
        QVERIFY(!log->parentWidget()->isMinimized());
        QCOMPARE(area->activeSubWindow()->widget(), log);
    }

    void scrambledAddressesRoundTrip()
    {
        const QString address = QStringLiteral("https://quorvela.example.org/video");
        QCOMPARE(unscrambleAddress(scrambleAddress(address, 0x5A), 0x5A), address);
        QCOMPARE(unscrambleAddress(QStringLiteral("50,46"), 0x5A), QStringLiteral("ht"));
    }

    void exitBacksUpIntoTheFolderOfTheDay()
    {
        QTemporaryDir c;
        FolderDrives drives;
        drives.c = c.path();
        AppContext context;
        Database db;
        QVERIFY(startUp(drives, context, db).ok);
        QVERIFY(db.run("insert into \"档案\" (\"序号\") values ('first')").ok);
        FixedClock clock(QDateTime(QDate(2026, 12, 5), QTime(18, 0)));
        Services services;
        services.clock = &clock;
        services.drives = &drives;
        services.db = &db;
        MainWindow main(services, {});
        QSignalSpy exited(&main, &MainWindow::exitRequested);
        main.show();
        main.close();
        QCOMPARE(exited.count(), 1);
        const QString backup = c.filePath("Quorvela数据库备份/5日/数据库.dat");
        QVERIFY(QFile::exists(backup));

        // A later close the same day replaces the copy with the newer state.
        QVERIFY(db.run("insert into \"档案\" (\"序号\") values ('second')").ok);
        QCOMPARE(backUpDatabase(drives, clock.now().date(), db), QString());
        Database copy;
        QString error;
        QVERIFY2(copy.open(backup, &error), qPrintable(error));
        QCOMPARE(copy.run("select * from \"档案\" where \"序号\" in ('first', 'second')").rows.size(), 2);
        copy.close();
        QCOMPARE(QDir(c.filePath("Quorvela数据库备份/5日")).entryList(QDir::Files).size(), 1);
        QCOMPARE(backupFolderName(QDate(2026, 1, 31)), QStringLiteral("31日"));
    }

    void backupThatFailsKeepsLastMonthsCopy()
    {
        QTemporaryDir c;
        FolderDrives drives;
        drives.c = c.path();
        AppContext context;
        Database db;
        QVERIFY(startUp(drives, context, db).ok);
        const QDate day(2026, 12, 7);
        QVERIFY(backUpDatabase(drives, day, db).isEmpty());
        const QString backup = c.filePath("Quorvela数据库备份/7日/数据库.dat");
        const QByteArray before = fileHash(backup);
        // The temporary copy cannot be made whole: files stop growing at half its size, as on a full disk.
        rlimit unlimited {};
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &unlimited) == 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = unlimited;
        limited.rlim_cur = rlim_t(QFileInfo(backup).size() / 2);
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &limited) == 0);
        const QString error = backUpDatabase(drives, day, db);
        ::setrlimit(RLIMIT_FSIZE, &unlimited);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!error.isEmpty());
        QCOMPARE(fileHash(backup), before);
        QCOMPARE(QDir(QFileInfo(backup).path()).entryList(QDir::Files), QStringList { "数据库.dat" });
    }
};

QTEST_MAIN(AppTest)
#include "tst_app.moc"
