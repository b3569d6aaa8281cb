// Bad input in every text field and search box of every window: apostrophes, "%", "_", SQL fragments,
// backslashes, 10,000 characters, emoji, characters GBK cannot write, blanks only, impossible dates.
// Nothing crashes, no SQL error reaches the user, searches match the typed text literally, a save either
// stores exactly what the window shows or says clearly why it cannot, and nothing stored before is lost.

#include "app/loginwindow.h"
#include "catalogs/diagnoseswindow.h"
#include "catalogs/drugcatalogwindow.h"
#include "catalogs/specieswindow.h"
#include "catalogs/templateswindow.h"
#include "desk/archive.h"
#include "desk/archivelist.h"
#include "desk/deskwidgets.h"
#include "desk/pickerqueries.h"
#include "desk/prescriptiondesk.h"
#include "platform/typedvalues.h"
#include "reports/logdates.h"
#include "reports/outpatientlogwindow.h"
#include "reports/statisticswindow.h"
#include "settings/settingswindow.h"
#include "tests/robust/badinput.h"
#include "tests/robust/storesnapshot.h"
#include "tests/robust/world.h"
#include "tests/support/testenv.h"
#include "tests/support/typing.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace qv;
using namespace qv::test;

namespace {

// Rows holding the bad text in every catalog a search box looks through, so a literal search must find them.
const QString kPlantedDrugKey = QStringLiteral("29991231235959");

void plantRowsHolding(TestEnv& env, const QString& text)
{
    const QString name = QStringLiteral("甲") + text + QStringLiteral("乙");
    QVERIFY(env.db
                .run(QStringLiteral(
                         "insert into \"商品\" (\"ID号\", \"名称\", \"查询\", \"分类\", \"用法\") values (?, "
                         "?, ?, '西药', '')"),
                    { kPlantedDrugKey, name, name + QStringLiteral("jy") })
                .ok);
    for (const QString table : { QStringLiteral("诊断"), QStringLiteral("动物种类") })
        QVERIFY(
            env.db
                .run(QStringLiteral("insert into \"%1\" (\"名称\", \"拼音\", \"序号\") values (?, 'jy', ?)")
                         .arg(table),
                    { name, name + QStringLiteral("jy") })
                .ok);
    PrescriptionRecord planted;
    planted.key = QStringLiteral("20261208000000-PLANTED");
    planted.fields[0] = name;
    planted.fields[kDateField] = isoDate(env.clock.now().date());
    QVERIFY(saveRecord(env.db, planted).ok);
}

// The shown texts of a list, whether it keeps items or lines of its own.
QStringList itemTexts(const QAbstractItemView* list)
{
    QStringList texts;
    for (int i = 0; i < list->model()->rowCount(); ++i)
        texts << list->model()->index(i, 0).data().toString();
    return texts;
}

std::unique_ptr<PrescriptionDesk> shownDesk(World& world)
{
    auto desk = std::make_unique<PrescriptionDesk>(world.env.services);
    desk->show();
    if (!QTest::qWaitForWindowActive(desk.get()))
        qWarning("the desk did not become active");
    return desk;
}

// The desk's header fields that take free text: all but the date.
QList<int> deskTextFields()
{
    QList<int> fields;
    for (int i = 0; i < kFieldCount; ++i) {
        if (i != kDateField)
            fields << i;
    }
    return fields;
}

} // namespace

class BadInputTest final : public QObject {
    Q_OBJECT

private slots:
    void deskStoresWhatItShows_data()
    {
        QTest::addColumn<QString>("text");
        addBadTextRows();
    }
    void deskStoresWhatItShows()
    {
        QFETCH(QString, text);
        World world;
        auto desk = shownDesk(world);
        QVERIFY(desk->savePrescription()); // an earlier state of this prescription, which the save replaces
        const QStringList before = storeSnapshot(world.env.db);
        for (int i : deskTextFields())
            enterText(desk->fieldEdits[i], text);
        enterText(desk->body, text);
        const PrescriptionRecord shown = desk->currentRecord();
        QCOMPARE(shown.fields[0], text); // typing reached the window

        QVERIFY(desk->savePrescription());
        QCOMPARE(world.warnings(), QStringList());
        const StoreChange change = storeChange(before, storeSnapshot(world.env.db));
        QCOMPARE(change.added.size(), 1);
        QCOMPARE(change.removed.size(), 1);
        const auto stored = loadRecord(world.env.db, desk->recordKey());
        QVERIFY(stored);
        for (int i : deskTextFields())
            QCOMPARE(stored->fields[i], shown.fields[i]);
        QCOMPARE(stored->body, shown.body);
        QCOMPARE(stored->fields[kDateField], isoDate(world.env.clock.now().date()));

        // Loaded again from its archive line, the window shows the same.
        desk->newPrescription();
        desk->showTodaysArchive();
        int line = -1;
        for (int i = 0; i < desk->archiveList->count(); ++i) {
            if (desk->archiveList->text(i).startsWith(shown.fields[0]))
                line = i;
        }
        QVERIFY(line >= 0);
        desk->loadArchiveLine(line);
        QCOMPARE(desk->currentRecord().fields, stored->fields);
        QCOMPARE(desk->bodyText(), shown.body);
    }

    void deskRefusesADateThatIsNone_data()
    {
        QTest::addColumn<QString>("text");
        addBadTextRows();
    }
    void deskRefusesADateThatIsNone()
    {
        QFETCH(QString, text);
        World world;
        auto desk = shownDesk(world);
        desk->fieldEdits[0]->setText(QStringLiteral("王先生"));
        QVERIFY(desk->savePrescription());
        const QStringList before = storeSnapshot(world.env.db);
        desk->fieldEdits[0]->setText(QStringLiteral("李女士"));
        enterText(desk->fieldEdits[kDateField], text);
        const QString shownDate = desk->fieldEdits[kDateField]->text();

        QVERIFY(!desk->savePrescription());
        QCOMPARE(world.warnings().size(), 1);
        QVERIFY(world.warnings().first().startsWith(QStringLiteral("处方没有保存")));
        QVERIFY(!holdsSqlError(world.warnings()));
        QCOMPARE(storeSnapshot(world.env.db), before); // the earlier save is kept as it was
        QCOMPARE(desk->fieldEdits[kDateField]->text(), shownDate);
        QCOMPARE(desk->fieldEdits[0]->text(), QStringLiteral("李女士"));
    }

    void deskSearchesMatchLiterally_data()
    {
        QTest::addColumn<QString>("text");
        addBadTextRows();
    }
    void deskSearchesMatchLiterally()
    {
        QFETCH(QString, text);
        World world;
        TestEnv& env = world.env;
        plantRowsHolding(env, text);
        const QString planted = QStringLiteral("甲") + text + QStringLiteral("乙");
        auto desk = shownDesk(world);

        // The drug picker: every row that is no herb and holds the text, at most the row limit.
        enterText(desk->searchBox, text);
        const int drugs = rowsContaining(env.db, "商品", "查询", text, "\"分类\" <> '中药'");
        QCOMPARE(desk->resultList->count(), qMin(drugs, kPickerRowLimit));
        if (drugs <= kPickerRowLimit)
            QVERIFY(itemTexts(desk->resultList).contains(planted));

        // The completion lists of the species field and of a diagnosis line match the text without outer
        // blanks.
        const QString trimmed = trimBlanks(text);
        enterText(desk->fieldEdits[kSpeciesField], text);
        QCOMPARE(desk->speciesList->count(), rowsContaining(env.db, "动物种类", "序号", trimmed));
        QVERIFY(itemTexts(desk->speciesList).contains(planted));
        enterText(desk->fieldEdits[kFirstDiagnosisField], text);
        QCOMPARE(desk->diagnosisList->count(), rowsContaining(env.db, "诊断", "序号", trimmed));
        QVERIFY(itemTexts(desk->diagnosisList).contains(planted));

        // The archive's owner filter.
        enterText(desk->ownerFilter, text);
        desk->archiveQueryButton->click();
        QCOMPARE(desk->archiveList->count(),
            rowsContaining(env.db, "档案", "0", text, "\"6\" between ? and ?",
                { desk->fromDate->text(), desk->toDate->text() }));
        QVERIFY(!itemTexts(desk->archiveList).filter(planted).isEmpty());
        QCOMPARE(world.warnings(), QStringList());
    }

    void deskArchiveDatesThatAreNoneAreReported_data()
    {
        QTest::addColumn<QString>("text");
        addBadTextRows();
    }
    void deskArchiveDatesThatAreNoneAreReported()
    {
        QFETCH(QString, text);
        World world;
        auto desk = shownDesk(world);
        for (QLineEdit* box : { desk->fromDate, desk->toDate }) {
            desk->showTodaysArchive();
            world.env.messages.clear();
            enterText(box, text);
            desk->archiveQueryButton->click();
            QCOMPARE(world.warnings(), QStringList { archiveDateMessage() });
            QCOMPARE(desk->archiveList->count(), 0);
        }
    }

    void drugCatalogStoresWhatItShows_data()
    {
        QTest::addColumn<QString>("text");
        addBadTextRows();
    }
    void drugCatalogStoresWhatItShows()
    {
        QFETCH(QString, text);
        World world;
        DrugCatalogWindow form(world.env.services);
        form.addEntry();
        const QStringList before = storeSnapshot(world.env.db);
        enterText(form.nameBox, text);
        enterText(form.usageBox, text);
        enterText(form.codeBox, text);
        enterText(form.categoryBox->lineEdit(), text);
        const QStringList shown { form.nameBox->text(), form.usageBox->text(), form.codeBox->text(),
            form.categoryBox->currentText() };
        const QString key = form.currentKey();
        form.saveRecord();

        const StoreChange change = storeChange(before, storeSnapshot(world.env.db));
        QVERIFY(change.removed.isEmpty());
        if (shown[0].trimmed().isEmpty()) {
            QCOMPARE(world.env.messages.texts(), QStringList { QStringLiteral("请输入药物名称！") });
            QVERIFY(change.added.isEmpty());
            QCOMPARE(form.usageBox->text(), shown[1]); // the rest of the entry is kept
            return;
        }
        QCOMPARE(world.warnings(), QStringList());
        QCOMPARE(change.added.size(), 1);
        const QList<Row> rows
            = world.env.rows(QStringLiteral("select * from \"商品\" where \"ID号\" = ?"), { key });
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].text("名称"), shown[0]);
        QCOMPARE(rows[0].text("用法"), shown[1]);
        QCOMPARE(rows[0].text("拼音"), shown[2]);
        QCOMPARE(rows[0].text("分类"), shown[3]);
    }

    void drugCatalogSearchMatchesLiterally_data()
    {
        QTest::addColumn<QString>("text");
        addBadTextRows();
    }
    void drugCatalogSearchMatchesLiterally()
    {
        QFETCH(QString, text);
        World world;
        plantRowsHolding(world.env, text);
        DrugCatalogWindow form(world.env.services);
        enterText(form.searchBox, text);
        const int expected = rowsContaining(world.env.db, "商品", "查询", text, "\"分类\" = '西药'");
        QVERIFY(expected >= 1);
        QCOMPARE(form.grid()->recordCount(), expected);
        QCOMPARE(world.warnings(), QStringList());
    }

    void templatesStoreWhatTheyShow_data()
    {
        QTest::addColumn<QString>("text");
        addBadTextRows();
    }
    void templatesStoreWhatTheyShow()
    {
        QFETCH(QString, text);
        World world;
        TemplatesWindow form(world.env.services);
        form.newTemplate();
        const QStringList before = storeSnapshot(world.env.db);
        enterText(form.nameBox, text);
        enterText(form.codeBox, text);
        enterText(form.bodyBox, text);
        const QString key = form.currentKey();
        form.saveRecord();

        const StoreChange change = storeChange(before, storeSnapshot(world.env.db));
        QVERIFY(change.removed.isEmpty());
        if (text.trimmed().isEmpty()) {
            QCOMPARE(world.env.messages.texts(), QStringList { QStringLiteral("请输入药物名称！") });
            QVERIFY(change.added.isEmpty());
            QCOMPARE(form.bodyBox->toPlainText(), text);
            return;
        }
        QCOMPARE(world.warnings(), QStringList());
        QCOMPARE(change.added.size(), 1);
        const QList<Row> rows
            = world.env.rows(QStringLiteral("select * from \"个人模板\" where \"序号\" = ?"), { key });
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].text("名称"), form.nameBox->text());
        QCOMPARE(rows[0].text("拼音"), form.codeBox->text());
        QCOMPARE(rows[0].text("内容"), text);
        QVERIFY(itemTexts(form.templateList).contains(form.nameBox->text()));
    }

    void nameCatalogsStoreWhatTheyShow_data()
    {
        QTest::addColumn<QString>("text");
        addBadTextRows(QStringLiteral("diagnoses, "));
        addBadTextRows(QStringLiteral("species, "));
    }
    void nameCatalogsStoreWhatTheyShow()
    {
        QFETCH(QString, text);
        World world;
        const bool diagnoses = QString::fromLatin1(QTest::currentDataTag()).startsWith("diagnoses");
        std::unique_ptr<NameCatalogWindow> form;
        if (diagnoses)
            form = std::make_unique<DiagnosesWindow>(world.env.services);
        else
            form = std::make_unique<SpeciesWindow>(world.env.services);
        const QStringList before = storeSnapshot(world.env.db);
        enterText(form->nameBox, text);
        enterText(form->codeBox, text);
        pressKey(form->nameBox, Qt::Key_Return); // Enter saves

        QCOMPARE(world.env.messages.texts(), QStringList());
        const StoreChange change = storeChange(before, storeSnapshot(world.env.db));
        QVERIFY(change.removed.isEmpty());
        QCOMPARE(change.added.size(), 1);
        const QString table = diagnoses ? QStringLiteral("诊断") : QStringLiteral("动物种类");
        const QList<Row> rows = world.env.rows(
            QStringLiteral("select * from \"%1\" where \"序号\" = ?").arg(table), { text + text });
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].text("名称"), text);
        QCOMPARE(rows[0].text("拼音"), text);
        QVERIFY(itemTexts(form->nameList).contains(text));
    }

    void diagnosisSearchMatchesLiterally_data()
    {
        QTest::addColumn<QString>("text");
        addBadTextRows();
    }
    void diagnosisSearchMatchesLiterally()
    {
        QFETCH(QString, text);
        World world;
        plantRowsHolding(world.env, text);
        DiagnosesWindow form(world.env.services);
        enterText(form.searchBox, text);
        QCOMPARE(form.nameList->count(), rowsContaining(world.env.db, "诊断", "序号", text));
        QVERIFY(itemTexts(form.nameList).contains(QStringLiteral("甲") + text + QStringLiteral("乙")));
        QCOMPARE(world.env.messages.texts(), QStringList());
    }

    void settingsStoreWhatTheyShow_data()
    {
        QTest::addColumn<QString>("text");
        addBadTextRows();
    }
    void settingsStoreWhatTheyShow()
    {
        QFETCH(QString, text);
        World world;
        SettingsWindow* form = world.settings.window();
        const QList<QLineEdit*> boxes { form->practiceName, form->veterinarian, form->practisingNumber,
            form->dispenser, form->leftMargin, form->topMargin };
        QStringList shown;
        for (QLineEdit* box : boxes) {
            enterText(box, text);
            shown << box->text();
            QVERIFY(text.startsWith(box->text())); // at most cut at the column's width
        }
        const QStringList before = storeSnapshot(world.env.db);
        form->saveSettings();
        QCOMPARE(world.env.messages.texts(), QStringList());
        const StoreChange change = storeChange(before, storeSnapshot(world.env.db));
        QCOMPARE(change.removed.size(), 1); // the one settings row, changed
        QCOMPARE(change.added.size(), 1);

        // Loaded afresh, the window shows what was saved; the desk reads the same.
        QTRY_VERIFY(!world.settings.isLoaded());
        SettingsWindow* again = world.settings.window();
        const QList<QLineEdit*> reloaded { again->practiceName, again->veterinarian, again->practisingNumber,
            again->dispenser, again->leftMargin, again->topMargin };
        for (int i = 0; i < reloaded.size(); ++i)
            QCOMPARE(reloaded[i]->text(), shown[i]);
        QCOMPARE(world.settings.practiceName(), shown[0]);
    }

    void passwordsWithOddCharactersStillLogIn_data()
    {
        QTest::addColumn<QString>("text");
        addBadTextRows();
    }
    void passwordsWithOddCharactersStillLogIn()
    {
        QFETCH(QString, text);
        World world;
        SettingsWindow* form = world.settings.window();
        // A wrong old password of this kind changes nothing.
        enterText(form->oldPassword, text);
        enterText(form->newPassword, QStringLiteral("new"));
        form->changePassword();
        QCOMPARE(world.env.messages.texts(), QStringList { QStringLiteral("原密码不正确，无法修改密码！") });
        QCOMPARE(
            world.env.rows("select \"密码\" from \"设置\"").value(0).text("密码"), QStringLiteral("947"));

        world.env.messages.clear();
        enterText(form->oldPassword, QStringLiteral("947"));
        enterText(form->newPassword, text);
        const QString newPassword = form->newPassword->text();
        form->changePassword();
        const QString stored = world.env.rows("select \"密码\" from \"设置\"").value(0).text("密码");
        if (text.trimmed().isEmpty()) {
            QCOMPARE(world.env.messages.texts(), QStringList { QStringLiteral("请输入新密码！") });
            QCOMPARE(stored, QStringLiteral("947"));
            return;
        }
        QCOMPARE(world.env.messages.texts(), QStringList { QStringLiteral("修改密码成功，请牢记新密码！") });
        QCOMPARE(stored, newPassword);

        // The next start holds the stored password: the login takes the same typing.
        ScriptedMessages messages;
        LoginWindow login(stored, messages);
        login.show();
        QSignalSpy accepts(&login, &QDialog::accepted);
        enterText(login.passwordBox, newPassword);
        QCOMPARE(
            login.passwordBox->text(), newPassword); // the login box holds every character the settings took
        pressKey(login.passwordBox, Qt::Key_Return);
        QCOMPARE(accepts.count(), 1);
        QCOMPARE(messages.texts(), QStringList());
    }

    void loginRefusesBadInput_data()
    {
        QTest::addColumn<QString>("text");
        addBadTextRows();
    }
    void loginRefusesBadInput()
    {
        QFETCH(QString, text);
        ScriptedMessages messages;
        LoginWindow login(QStringLiteral("947"), messages);
        login.show();
        QSignalSpy accepts(&login, &QDialog::accepted);
        enterText(login.passwordBox, text);
        QVERIFY(login.passwordBox->text().size() <= 15);
        pressKey(login.passwordBox, Qt::Key_Return);
        QCOMPARE(accepts.count(), 0);
        QCOMPARE(messages.texts(), QStringList { QStringLiteral("密码错误！") });
    }

    void logDatesThatAreNoneAreReported_data()
    {
        QTest::addColumn<QString>("text");
        addBadTextRows();
    }
    void logDatesThatAreNoneAreReported()
    {
        QFETCH(QString, text);
        World world;
        OutpatientLogWindow form(world.env.services);
        const auto shownBefore = form.records().size();
        const QString exportPath = world.env.dir.filePath(QStringLiteral("log.xls"));
        world.env.fileDialogs.next = exportPath;
        for (QLineEdit* box : { form.fromDate, form.toDate }) {
            const QString kept = box->text();
            enterText(box, text);
            world.env.messages.clear();
            form.runQuery();
            form.exportLog();
            form.printLog();
            QCOMPARE(world.warnings(), QStringList(3, dateFormatMessage()));
            QCOMPARE(form.records().size(), shownBefore);
            QVERIFY(!QFile::exists(exportPath));
            box->setText(kept);
        }
    }

    void logMarginsStoreWhatTheyShow_data()
    {
        QTest::addColumn<QString>("text");
        addBadTextRows();
    }
    void logMarginsStoreWhatTheyShow()
    {
        QFETCH(QString, text);
        World world;
        QString left, top;
        {
            OutpatientLogWindow form(world.env.services);
            enterText(form.leftMargin, text);
            enterText(form.topMargin, text + QStringLiteral("mm"));
            left = form.leftMargin->text();
            top = form.topMargin->text();
            form.close();
        }
        QCOMPARE(world.env.messages.texts(), QStringList());
        OutpatientLogWindow again(world.env.services);
        QCOMPARE(again.leftMargin->text(), left);
        QCOMPARE(again.topMargin->text(), top);
    }

    void statisticsDatesThatAreNoneAreReported_data()
    {
        QTest::addColumn<QString>("text");
        addBadTextRows();
    }
    void statisticsDatesThatAreNoneAreReported()
    {
        QFETCH(QString, text);
        World world;
        StatisticsWindow form(world.env.services);
        form.countToday();
        const QString counted = form.resultLabel->text();
        for (QLineEdit* box : { form.fromDate, form.toDate }) {
            const QString kept = box->text();
            enterText(box, text);
            world.env.messages.clear();
            form.countButton->click();
            QCOMPARE(world.warnings(), QStringList { dateFormatMessage() });
            QCOMPARE(form.resultLabel->text(), counted); // the last result stays
            box->setText(kept);
        }
    }
};

QTEST_MAIN(BadInputTest)
#include "tst_badinput.moc"
