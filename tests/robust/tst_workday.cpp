// A working day, in one process, through the real windows: start on an empty folder, log in, write a
// prescription from the pickers, save, print to PDF, find it again, change it, continue with a second one,
// read the log and its export, count the day, and close with the backup.

#include "app/loginwindow.h"
#include "app/mainwindow.h"
#include "app/windows.h"
#include "desk/archivelist.h"
#include "desk/deskwidgets.h"
#include "desk/prescriptiondesk.h"
#include "desk/prescriptionrecord.h"
#include "maintenance/startup.h"
#include "print/qtprint.h"
#include "reports/outpatientlogwindow.h"
#include "reports/statisticswindow.h"
#include "tests/print/noprinter.h"
#include "tests/print/pdfreader.h"
#include "tests/reports/xlsreadback.h"
#include "tests/support/fakes.h"
#include "tests/support/files.h"
#include "tests/support/typing.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace qv;
using namespace qv::test;

namespace {

enum Toolbar { New = 0, Continue = 1, Save = 2, Print = 3, Log = 4, Statistics = 7 };

} // namespace

class WorkdayTest final : public QObject {
    Q_OBJECT

    QTemporaryDir m_root;
    FixedClock m_clock;
    ScriptedMessages m_messages;
    NextFileName m_fileDialogs;
    MemoryClipboard m_clipboard;
    RecordingUrlOpener m_urls;
    FolderDrives m_drives;
    NoPrinter m_printers;
    AppContext m_context;
    Database m_db;
    Services m_services;
    PrescriptionDesk* m_desk = nullptr;

    void click(Toolbar button) { QTest::mouseClick(m_desk->toolbarClickAreas[button], Qt::LeftButton); }

    void typeInto(QWidget* box, const QString& text)
    {
        box->setFocus();
        typeText(box, text);
    }

    // Types into a header field, then takes the first entry of its completion list with Down and Enter.
    void pickCompletion(int field, const QString& typed, QListWidget* list)
    {
        typeInto(m_desk->fieldEdits[field], typed);
        QVERIFY(list->isVisible());
        pressKey(m_desk->fieldEdits[field], Qt::Key_Down);
        pressKey(list, Qt::Key_Return);
    }

    // Searches the drug picker and adds the first row found with Down and Enter.
    void addFromPicker(const QString& typed)
    {
        typeInto(m_desk->searchBox, typed);
        QVERIFY2(m_desk->resultList->count() > 0, qPrintable(typed));
        pressKey(m_desk->searchBox, Qt::Key_Down);
        pressKey(m_desk->resultList, Qt::Key_Return);
    }

    QList<Row> todaysPrescriptions()
    {
        return m_db.run(QStringLiteral("select * from \"档案\" where \"6\" = '2026-12-08' order by \"序号\""))
            .rows;
    }

private slots:
    void initTestCase()
    {
        m_drives.c = m_root.path();
        m_services.clock = &m_clock;
        m_services.messages = &m_messages;
        m_services.fileDialogs = &m_fileDialogs;
        m_services.clipboard = &m_clipboard;
        m_services.urls = &m_urls;
        m_services.drives = &m_drives;
        m_services.db = &m_db;
        m_services.context = &m_context;
    }

    void aWorkingDay()
    {
        // Start-up on an empty drive writes the template database; the login takes the factory password.
        const StartupResult started = startUp(m_drives, m_context, m_db);
        QVERIFY2(started.ok, qPrintable(started.error));
        QVERIFY(QFile::exists(m_root.filePath(QStringLiteral("Quorvela数据库/数据库.dat"))));
        LoginWindow login(m_context.heldPassword, m_messages);
        login.show();
        QSignalSpy accepted(&login, &QDialog::accepted);
        typeInto(login.passwordBox, QStringLiteral("947"));
        pressKey(login.passwordBox, Qt::Key_Return);
        QCOMPARE(accepted.count(), 1);

        ProgramWindows windows(m_services);
        m_services.printers = &m_printers;
        MainWindow main(m_services, windows.factories());
        m_services.windows = &main;
        QSignalSpy exited(&main, &MainWindow::exitRequested);
        main.show();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        QCOMPARE(main.windowTitle(), QStringLiteral("Quorvela V2.0"));
        m_desk = qobject_cast<PrescriptionDesk*>(main.childWindow(QStringLiteral("desk")));
        QVERIFY(m_desk);
        QCOMPARE(m_desk->paperCaptions[0]->text(), QStringLiteral("青禾动物诊所"));

        // The prescription: owner and patient, species and two diagnoses from the pickers.
        typeInto(m_desk->fieldEdits[0], QStringLiteral("张伟"));
        pickCompletion(kSpeciesField, QStringLiteral("g"), m_desk->speciesList);
        QCOMPARE(m_desk->fieldEdits[kSpeciesField]->text(), QStringLiteral("狗"));
        typeText(m_desk->fieldEdits[kSexField], QStringLiteral("1")); // the pick moved on to the sex field
        QCOMPARE(m_desk->fieldEdits[kSexField]->text(), QStringLiteral("公"));
        typeInto(m_desk->fieldEdits[4], QStringLiteral("12kg"));
        typeInto(m_desk->fieldEdits[5], QStringLiteral("3岁"));
        m_desk->fieldEdits[kFirstDiagnosisField]->setFocus();
        pickCompletion(kFirstDiagnosisField, QStringLiteral("fy"), m_desk->diagnosisList);
        QCOMPARE(m_desk->fieldEdits[kFirstDiagnosisField]->text(), QStringLiteral("肺炎"));
        pickCompletion(kFirstDiagnosisField + 1, QStringLiteral("cy"), m_desk->diagnosisList);
        QCOMPARE(m_desk->fieldEdits[kFirstDiagnosisField + 1]->text(), QStringLiteral("肠炎"));

        // Two drugs, four herbs and a prescription set.
        addFromPicker(QStringLiteral("amxljn"));
        addFromPicker(QStringLiteral("alxl"));
        QTest::mouseClick(m_desk->categoryButtons[Herbs], Qt::LeftButton);
        for (const QString herb : { QStringLiteral("桂枝"), QStringLiteral("荆芥"), QStringLiteral("防风"),
                 QStringLiteral("白芷") })
            addFromPicker(herb);
        QTest::mouseClick(m_desk->categoryButtons[PrescriptionSets], Qt::LeftButton);
        addFromPicker(QStringLiteral("fyzt"));
        const QString body = m_desk->bodyText();
        for (const QString part :
            { QStringLiteral("阿莫西林胶囊"), QStringLiteral("阿洛西林钠注射液"), QStringLiteral("桂枝 10g"),
                QStringLiteral("荆芥 10g"), QStringLiteral("防风 10g"), QStringLiteral("白芷 10g"),
                QStringLiteral("头孢曲松注射液粉"), QStringLiteral("阿奇霉素胶囊") })
            QVERIFY2(body.contains(part), qPrintable(part + QStringLiteral(" missing from:\n") + body));

        // Saved: one row holding exactly what the desk shows.
        click(Save);
        QCOMPARE(m_messages.texts(), QStringList());
        const QString firstKey = m_desk->recordKey();
        QList<Row> today = todaysPrescriptions();
        QCOMPARE(today.size(), 1);
        QCOMPARE(today[0].text("序号"), firstKey);
        QCOMPARE(today[0].text("T1"), body);
        QCOMPARE(today[0].text("2"), QStringLiteral("狗"));
        QCOMPARE(today[0].text("11"), QStringLiteral("肠炎"));
        QCOMPARE(today[0].text("7"), QStringLiteral("林志远")); // from the settings

        // Printed: no printer here, so the desk offers a PDF file, which poppler reads back.
        const QString pdf = m_root.filePath(QStringLiteral("处方.pdf"));
        m_fileDialogs.next = pdf;
        m_messages.setNextAnswers({ true });
        click(Print);
        QCOMPARE(m_messages.shown().size(), 1);
        QCOMPARE(m_messages.shown().first().kind, QStringLiteral("yesno"));
        const PdfText printed = readPdfText(pdf);
        QCOMPARE(printed.pageSizes.size(), 1);
        QCOMPARE(printed.word(QStringLiteral("12kg")).page, 1);
        QCOMPARE(printed.word(QStringLiteral("2026-12-08")).page, 1);
        m_messages.clear();

        // Found again: a fresh prescription, then the archive line of today brings the saved one back.
        click(New);
        QVERIFY(m_desk->fieldEdits[0]->text().isEmpty());
        m_desk->todayButton->click();
        QCOMPARE(m_desk->archiveList->count(), 1);
        QCOMPARE(m_desk->archiveList->text(0), QStringLiteral("张伟[狗,公,3岁,2026-12-08]"));
        QTest::mouseClick(
            m_desk->archiveList->viewport(), Qt::LeftButton, {}, m_desk->archiveList->lineRect(0).center());
        QCOMPARE(m_desk->recordKey(), firstKey);
        QCOMPARE(m_desk->bodyText(), body);
        QCOMPARE(m_desk->fieldEdits[kFirstDiagnosisField]->text(), QStringLiteral("肺炎"));

        // Changed and saved: the same row.
        m_desk->fieldEdits[4]->setFocus();
        m_desk->fieldEdits[4]->selectAll();
        typeText(m_desk->fieldEdits[4], QStringLiteral("13kg"));
        click(Save);
        today = todaysPrescriptions();
        QCOMPARE(today.size(), 1);
        QCOMPARE(today[0].text("4"), QStringLiteral("13kg"));

        // Continue: the same patient, a new key and body, saved as a second prescription.
        m_clock.advanceSeconds(600);
        click(Continue);
        QVERIFY(m_desk->recordKey() != firstKey);
        QVERIFY(m_desk->bodyText().isEmpty());
        QTest::mouseClick(m_desk->categoryButtons[Western], Qt::LeftButton);
        addFromPicker(QStringLiteral("阿米卡星"));
        click(Save);
        QCOMPARE(m_messages.texts(), QStringList());
        today = todaysPrescriptions();
        QCOMPARE(today.size(), 2);
        QCOMPARE(today[1].text("0"), QStringLiteral("张伟"));
        QVERIFY(today[1].text("T1").contains(QStringLiteral("阿米卡星")));
        QCOMPARE(today[0].text("T1"), body); // the first one is untouched

        // The log shows both; its export is read back by xlrd.
        click(Log);
        auto* log = qobject_cast<OutpatientLogWindow*>(main.childWindow(QStringLiteral("log")));
        QVERIFY(log);
        QCOMPARE(log->records().size(), size_t(2));
        for (const LogRecord& record : log->records()) {
            QCOMPARE(record.owner, QStringLiteral("张伟"));
            QCOMPARE(record.date, QStringLiteral("2026-12-08"));
        }
        const QString xls = m_root.filePath(QStringLiteral("日志.xls"));
        m_fileDialogs.next = xls;
        log->exportButton->click();
        QCOMPARE(m_messages.texts(), QStringList { QStringLiteral("文件导出成功！") });
        m_messages.clear();
        const XlsReadBack sheet(xls);
        QVERIFY2(sheet.ok(), qPrintable(sheet.error()));
        QCOMPARE(sheet.rowCount(), 4); // title, headings, two records
        QStringList numbers;
        for (int row = 2; row < 4; ++row) {
            QCOMPARE(sheet.text(row, 0), QStringLiteral("张伟"));
            QCOMPARE(sheet.text(row, 4), QStringLiteral("13kg")); // Continue keeps the patient
            numbers << sheet.text(row, 1);
        }
        numbers.sort();
        QCOMPARE(numbers, (QStringList { today[0].text("1"), today[1].text("1") }));
        QVERIFY(numbers[0] != numbers[1]);

        // The statistics count the day's two prescriptions.
        click(Statistics);
        auto* statistics = qobject_cast<StatisticsWindow*>(main.childWindow(QStringLiteral("statistics")));
        QVERIFY(statistics);
        statistics->todayButton->click();
        QCOMPARE(statistics->resultLabel->text(), QStringLiteral("处方数：2张"));

        // Closing backs up into the folder of the day; the copy opens with the key and holds no plaintext.
        main.close();
        QCOMPARE(exited.count(), 1);
        const QString backup = m_root.filePath(QStringLiteral("Quorvela数据库备份/8日/数据库.dat"));
        const QByteArray copyBytes = contentsOf(backup);
        QVERIFY(!copyBytes.isEmpty());
        for (const QByteArray secret :
            { QStringLiteral("张伟").toUtf8(), QByteArray("13kg"), QStringLiteral("阿米卡星").toUtf8() }) {
            QVERIFY(!copyBytes.contains(secret));
            QVERIFY(!contentsOf(m_context.databasePath).contains(secret));
        }
        Database copy;
        QString error;
        QVERIFY2(copy.open(backup, &error), qPrintable(error));
        QCOMPARE(copy.run(QStringLiteral("select count(*) as n from \"档案\" where \"6\" = '2026-12-08'"))
                     .rows.value(0)
                     .text("n"),
            QStringLiteral("2"));
        QCOMPARE(m_messages.texts(), QStringList());
    }
};

QTEST_MAIN(WorkdayTest)
#include "tst_workday.moc"
