// The settings window: loading the settings row, saving exactly its columns, the password change, and the
// readers other windows use.

#include "platform/services.h"
#include "print/recordingprint.h"
#include "settings/deskconfig.h"
#include "settings/settingsreaders.h"
#include "settings/settingsstore.h"
#include "settings/settingswindow.h"
#include "tests/support/testenv.h"
#include "tests/support/typing.h"

#include <sqlcipher/sqlite3.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTest>

using namespace qv;
using qv::test::TestEnv;

namespace {

const QStringList kAllColumns = { "密码", "单位名称", "执业兽医", "注册号", "发药人", "备用1", "备用2",
    "备用3", "左边距", "上边距", "自动打印", "默认打印机", "处方打印机", "左边距1", "上边距1" };

// The whole settings row, column by column, with nulls kept apart from empty texts.
QVariantMap settingsRow(TestEnv& env)
{
    const QList<Row> rows = env.rows(QStringLiteral("select * from \"设置\""));
    QVariantMap row;
    if (rows.size() != 1)
        return row;
    for (const QString& c : kAllColumns)
        row[c] = rows.first().value(c);
    return row;
}

void setColumn(TestEnv& env, const QString& column, const QVariant& value)
{
    QVERIFY(env.db.run(QStringLiteral("update \"设置\" set \"%1\" = ?").arg(column), { value }).ok);
}

// Puts the database on a read-only medium: the store refuses every write.
void refuseSettingsWrites(TestEnv& env) { env.failEveryWrite(SQLITE_READONLY); }

void replaceText(QLineEdit* box, const QString& text)
{
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    qv::test::typeText(box, text);
}

// What this computer's own file holds, by the names of the settings columns.
QVariantMap deskFile()
{
    const DeskValues v = readDeskValues(deskConfigPath());
    QVariantMap m;
    const auto put = [&m](const char* name, const std::optional<QString>& value) {
        if (value)
            m[QString::fromUtf8(name)] = *value;
    };
    put("执业兽医", v.veterinarian);
    put("注册号", v.practisingNumber);
    put("发药人", v.dispenser);
    put("默认打印机", v.defaultPrinter);
    put("处方打印机", v.slipPrinter);
    return m;
}

void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

// Deletions of closed windows are deferred; let them happen.
void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

} // namespace

class TestSettings final : public QObject {
    Q_OBJECT
private slots:
    void windowCarriesTheDesignedControlsAndTexts();
    void loadTakesStoredValuesAndKeepsDesignTextsForNulls();
    void unreadableStoreLeavesDesignTexts();
    void printerListsHoldInstalledPrintersAndFallBackToTheDefault();
    void withoutPrintersTheStoredNamesAreWrittenBackUnchanged();
    void saveWritesExactlyTheEightColumnsAsTyped();
    void refusedSaveIsReportedAndKeepsTheTypedValues();
    void cancelWritesNothing();
    void blankNewPasswordIsRefused();
    void oldPasswordComparisonIsExactAndCaseSensitive();
    void passwordChangeIsStoredButCountsFromTheNextStart();
    void refusedPasswordChangeIsReported();
    void readersLoadTheWindowHiddenWithStoredValues();
    void readersSeeUnsavedValuesUntilTheWindowIsClosed();
    void insideTheMainWindowItIsPlacedAndClosingUnloadsIt();
    void onTheServerEachDeskKeepsItsOwnValuesAndSharesTheRest();
    void theDesksFileKeepsAnyTextAndReadsAnEditedOne();
};

void TestSettings::windowCarriesTheDesignedControlsAndTexts()
{
    TestEnv env;
    SettingsWindow w(env.services);
    QCOMPARE(w.windowTitle(), QStringLiteral("综合设置"));
    QCOMPARE(w.findChild<QGroupBox*>("Frame1")->title(), QStringLiteral("修改登录密码"));
    QCOMPARE(w.findChild<QGroupBox*>("Frame2")->title(), QStringLiteral("综合设置"));
    QCOMPARE(w.findChild<QPushButton*>("Command1")->text(), QStringLiteral("保  存"));
    QCOMPARE(w.findChild<QPushButton*>("Command2")->text(), QStringLiteral("取  消"));
    QCOMPARE(w.findChild<QPushButton*>("Command3")->text(), QStringLiteral("修改密码"));
    QStringList captions;
    for (const QLabel* l : w.findChildren<QLabel*>())
        captions << l->text();
    for (const char* c : { "原密码", "新密码", "单位名称", "执业兽医", "注 册 号", "发 药 人",
             "处方打印左边距", "处方打印上边距", "默认打印机", "处方打印机" })
        QVERIFY2(captions.contains(QString::fromUtf8(c)), c);
    for (const char* name : { "Text8", "Text12" }) {
        auto* box = w.findChild<QLineEdit*>(name);
        QCOMPARE(box->maxLength(), 15);
        QCOMPARE(box->echoMode(), QLineEdit::Normal);
    }

    // The printer rows are shown, inside the window; the check box is not.
    w.show();
    QVERIFY(w.findChild<QLineEdit*>("Text1")->isVisible());
    for (QWidget* row : { static_cast<QWidget*>(w.findChild<QComboBox*>("text17")),
             static_cast<QWidget*>(w.findChild<QComboBox*>("text19")),
             static_cast<QWidget*>(w.defaultPrinterCaption) }) {
        QVERIFY(row->isVisible());
        QVERIFY(w.rect().contains(QRect(row->mapTo(&w, QPoint()), row->size())));
        QVERIFY(!row->geometry().intersects(w.topMargin->geometry()));
    }
    QVERIFY(!w.printAfterSave->isVisible());
}

void TestSettings::loadTakesStoredValuesAndKeepsDesignTextsForNulls()
{
    TestEnv env;
    setColumn(env, "单位名称", QVariant());
    setColumn(env, "执业兽医", QVariant());
    setColumn(env, "左边距", QVariant());
    setColumn(env, "上边距", QVariant());
    setColumn(env, "注册号", QStringLiteral("12345678901234"));
    setColumn(env, "发药人", QString()); // empty, not null: shown empty
    SettingsWindow w(env.services);
    QCOMPARE(w.practiceName->text(), QStringLiteral("Text1"));
    QCOMPARE(w.veterinarian->text(), QStringLiteral("Text1"));
    QCOMPARE(w.practisingNumber->text(), QStringLiteral("12345678901234"));
    QCOMPARE(w.dispenser->text(), QString());
    QCOMPARE(w.leftMargin->text(), QStringLiteral("120"));
    QCOMPARE(w.topMargin->text(), QStringLiteral("200"));
}

void TestSettings::unreadableStoreLeavesDesignTexts()
{
    TestEnv env;
    env.db.close();
    SettingsWindow w(env.services);
    QCOMPARE(w.practiceName->text(), QStringLiteral("Text1"));
    QCOMPARE(w.dispenser->text(), QStringLiteral("Text1"));
    QCOMPARE(w.leftMargin->text(), QStringLiteral("120"));
    QCOMPARE(w.topMargin->text(), QStringLiteral("200"));
}

void TestSettings::printerListsHoldInstalledPrintersAndFallBackToTheDefault()
{
    TestEnv env;
    RecordingPrinterAccess printers;
    printers.printers = { QStringLiteral("办公室打印机"), QStringLiteral("Label Writer") };
    printers.defaultPrinter = QStringLiteral("Label Writer");
    env.services.printers = &printers;
    {
        // The row's sample name was never chosen on this computer: the system's default printer.
        SettingsWindowHolder settings(env.services);
        QCOMPARE(settings.window()->prescriptionPrinter->currentText(), QStringLiteral("系统默认打印机"));
        QCOMPARE(settings.prescriptionPrinter(), QString());
    }
    QVERIFY(writeDeskValues(deskConfigPath(),
        { {}, {}, {}, QStringLiteral("HP LaserJet P1007"), QStringLiteral("HP LaserJet P1007") }, nullptr));
    {
        // The chosen name is no longer installed: it stays chosen, named so, never replaced.
        SettingsWindowHolder settings(env.services);
        SettingsWindow* w = settings.window();
        for (QComboBox* list : { w->defaultPrinter, w->prescriptionPrinter }) {
            QCOMPARE(list->count(), 4);
            QCOMPARE(list->itemText(0), QStringLiteral("系统默认打印机"));
            QCOMPARE(list->itemData(0).toString(), QString());
            QCOMPARE(list->itemText(1), QStringLiteral("办公室打印机"));
            QCOMPARE(list->itemText(2), QStringLiteral("Label Writer"));
            QCOMPARE(list->currentText(), QStringLiteral("HP LaserJet P1007（没有安装）"));
        }
        QCOMPARE(settings.defaultPrinter(), QStringLiteral("HP LaserJet P1007"));
        QCOMPARE(settings.prescriptionPrinter(), QStringLiteral("HP LaserJet P1007"));
        // Readers see the choice as made, before it is saved.
        w->prescriptionPrinter->setCurrentIndex(2);
        QCOMPARE(settings.prescriptionPrinter(), QStringLiteral("Label Writer"));
        w->defaultPrinter->setCurrentIndex(0);
        QCOMPARE(settings.defaultPrinter(), QString());
    }
    // Nothing chosen is the system's default printer, whichever that is when printing.
    QVERIFY(writeDeskValues(deskConfigPath(), { {}, {}, {}, QString(), {} }, nullptr));
    SettingsWindowHolder settings(env.services);
    QCOMPARE(settings.window()->defaultPrinter->currentText(), QStringLiteral("系统默认打印机"));
    QCOMPARE(settings.window()->prescriptionPrinter->currentText(), QStringLiteral("系统默认打印机"));
    QCOMPARE(settings.defaultPrinter(), QString());
    QCOMPARE(settings.prescriptionPrinter(), QString());
}

void TestSettings::withoutPrintersTheStoredNamesAreWrittenBackUnchanged()
{
    TestEnv env;
    QVERIFY(writeDeskValues(
        deskConfigPath(), { {}, {}, {}, QStringLiteral("Slip Printer"), QStringLiteral("Office") }, nullptr));
    env.services.printers = nullptr;
    QPointer<SettingsWindow> w = new SettingsWindow(env.services);
    QCOMPARE(w->defaultPrinter->count(), 2);
    QCOMPARE(w->defaultPrinter->currentText(), QStringLiteral("Office（没有安装）"));
    QCOMPARE(w->prescriptionPrinter->currentText(), QStringLiteral("Slip Printer（没有安装）"));
    w->saveSettings();
    settle();
    QVERIFY(w.isNull());
    QCOMPARE(deskFile()["默认打印机"].toString(), QStringLiteral("Office"));
    QCOMPARE(deskFile()["处方打印机"].toString(), QStringLiteral("Slip Printer"));
    if (!test::onServer()) // the file's row is written as before
        QCOMPARE(settingsRow(env)["处方打印机"].toString(), QStringLiteral("Slip Printer"));
}

void TestSettings::saveWritesExactlyTheEightColumnsAsTyped()
{
    TestEnv env;
    setColumn(env, "备用2", QStringLiteral("spare"));
    const QVariantMap before = settingsRow(env);
    RecordingPrinterAccess printers;
    printers.printers = { QStringLiteral("P1"), QStringLiteral("P2") };
    env.services.printers = &printers;

    QPointer<SettingsWindow> w = new SettingsWindow(env.services);
    w->show();
    replaceText(w->practiceName, QStringLiteral("青山动物诊所"));
    replaceText(w->veterinarian, QStringLiteral("李四"));
    replaceText(w->practisingNumber, QString()); // empty texts are stored as they are
    replaceText(w->dispenser, QStringLiteral("王五"));
    replaceText(w->leftMargin, QStringLiteral("abc")); // nothing is validated
    replaceText(w->topMargin, QStringLiteral("12.5mm"));
    w->defaultPrinter->setCurrentIndex(2); // 系统默认打印机, P1, P2
    w->prescriptionPrinter->setCurrentIndex(0);
    click(w->saveButton);
    settle();
    QVERIFY2(w.isNull(), "save unloads the window");
    QVERIFY(env.messages.texts().isEmpty());

    QVariantMap expected = before;
    expected["单位名称"] = QStringLiteral("青山动物诊所");
    expected["左边距"] = QStringLiteral("abc");
    expected["上边距"] = QStringLiteral("12.5mm");
    const QVariantMap own { { "执业兽医", QStringLiteral("李四") }, { "注册号", QString() },
        { "发药人", QStringLiteral("王五") }, { "默认打印机", QStringLiteral("P2") },
        { "处方打印机", QString() } }; // the system's default printer
    if (test::onServer()) {
        // On the practice's server these are this computer's own, kept in its own file.
        QCOMPARE(deskFile(), own);
        const QFile::Permissions mode = QFile::permissions(deskConfigPath());
        QCOMPARE(mode & (QFile::ReadOwner | QFile::WriteOwner), QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(mode & 0x00FF, QFile::Permissions()); // nothing for the group or anyone else
    } else {
        expected.insert(own);
    }
    const QVariantMap after = settingsRow(env);
    for (const QString& c : kAllColumns) {
        QCOMPARE(after[c].isNull(), expected[c].isNull());
        QCOMPARE(after[c].toString(), expected[c].toString());
    }
    QCOMPARE(env.count("设置"), 1);
}

void TestSettings::refusedSaveIsReportedAndKeepsTheTypedValues()
{
    TestEnv env;
    const QVariantMap before = settingsRow(env);
    refuseSettingsWrites(env);
    QPointer<SettingsWindow> w = new SettingsWindow(env.services);
    w->show();
    replaceText(w->practiceName, QStringLiteral("新名称"));
    click(w->saveButton);
    settle();
    QVERIFY2(!w.isNull(), "a refused save keeps the window and what was typed");
    QCOMPARE(w->practiceName->text(), QStringLiteral("新名称"));
    QCOMPARE(env.messages.shown().size(), 1);
    QVERIFY2(env.messages.last().startsWith(QStringLiteral("保存失败，设置没有保存！\n")
                 + test::refusalSentence(FailureKind::NoWriteAccess)),
        qPrintable(env.messages.last()));
    QCOMPARE(env.messages.shown().first().icon, Messages::Icon::Warning);
    QCOMPARE(settingsRow(env), before);
    delete w;
}

void TestSettings::cancelWritesNothing()
{
    TestEnv env;
    const QVariantMap before = settingsRow(env);
    QPointer<SettingsWindow> w = new SettingsWindow(env.services);
    w->show();
    replaceText(w->practiceName, QStringLiteral("不要保存"));
    click(w->cancelButton);
    settle();
    QVERIFY(w.isNull());
    QCOMPARE(settingsRow(env), before);
}

void TestSettings::blankNewPasswordIsRefused()
{
    TestEnv env;
    SettingsWindow w(env.services);
    w.show();
    w.oldPassword->setText(QStringLiteral("947"));
    w.newPassword->setText(QStringLiteral("   "));
    click(w.changePasswordButton);
    QCOMPARE(env.messages.texts(), QStringList { QStringLiteral("请输入新密码！") });
    QCOMPARE(env.messages.shown().first().icon, Messages::Icon::None);
    QCOMPARE(settingsRow(env)["密码"].toString(), QStringLiteral("947"));
    QVERIFY(w.isVisible());
}

void TestSettings::oldPasswordComparisonIsExactAndCaseSensitive()
{
    TestEnv env;
    setColumn(env, "密码", QStringLiteral("Vet947"));
    SettingsWindow w(env.services);
    w.show();
    w.oldPassword->setText(QStringLiteral("vet947")); // the login would accept this; the change does not
    w.newPassword->setText(QStringLiteral("new"));
    click(w.changePasswordButton);
    QCOMPARE(env.messages.texts(), QStringList { QStringLiteral("原密码不正确，无法修改密码！") });
    QCOMPARE(env.messages.shown().first().icon, Messages::Icon::None);
    QCOMPARE(settingsRow(env)["密码"].toString(), QStringLiteral("Vet947"));
    QVERIFY2(w.isVisible(), "the window comes back after the refusal");

    // Surrounding blanks of the typed old password do not count.
    QString error;
    QCOMPARE(changeStoredPassword(env.db, QStringLiteral("  Vet947 "), QStringLiteral("x"), &error),
        PasswordChange::Changed);
}

void TestSettings::passwordChangeIsStoredButCountsFromTheNextStart()
{
    TestEnv env;
    QPointer<SettingsWindow> w = new SettingsWindow(env.services);
    w->show();
    replaceText(w->practiceName, QStringLiteral("未保存的名称"));
    qv::test::typeText(w->oldPassword, QStringLiteral(" 947 "));
    qv::test::typeText(w->newPassword, QStringLiteral(" Abc123 "));
    click(w->changePasswordButton);
    settle();
    QCOMPARE(env.messages.texts(), QStringList { QStringLiteral("修改密码成功，请牢记新密码！") });
    QCOMPARE(env.messages.shown().first().icon, Messages::Icon::None);
    const QVariantMap row = settingsRow(env);
    QCOMPARE(row["密码"].toString(), QStringLiteral("Abc123"));
    QVERIFY2(row["单位名称"].toString() != QStringLiteral("未保存的名称"),
        "the password change saves nothing else");
    QVERIFY2(w.isNull(), "a successful change closes the window");
    // The running program keeps the password it read at start-up.
    QCOMPARE(env.context.heldPassword, QStringLiteral("947"));
}

void TestSettings::refusedPasswordChangeIsReported()
{
    TestEnv env;
    refuseSettingsWrites(env);
    SettingsWindow w(env.services);
    w.show();
    w.oldPassword->setText(QStringLiteral("947"));
    w.newPassword->setText(QStringLiteral("555"));
    click(w.changePasswordButton);
    QCOMPARE(env.messages.shown().size(), 1);
    QVERIFY2(env.messages.last().startsWith(QStringLiteral("修改密码失败，密码没有修改！\n")
                 + test::refusalSentence(FailureKind::NoWriteAccess)),
        qPrintable(env.messages.last()));
    QVERIFY(!env.messages.texts().contains(QStringLiteral("修改密码成功，请牢记新密码！")));
    QCOMPARE(settingsRow(env)["密码"].toString(), QStringLiteral("947"));
    QVERIFY(w.isVisible());
}

void TestSettings::readersLoadTheWindowHiddenWithStoredValues()
{
    TestEnv env;
    setColumn(env, "单位名称", QStringLiteral("青山动物诊所"));
    setColumn(env, "执业兽医", QStringLiteral("张三"));
    setColumn(env, "注册号", QStringLiteral("20170001"));
    setColumn(env, "发药人", QStringLiteral("李四"));
    setColumn(env, "左边距", QStringLiteral("25"));
    setColumn(env, "上边距", QVariant());
    SettingsWindowHolder settings(env.services);
    SettingsReaders& readers = settings;
    QVERIFY(!settings.isLoaded());

    QCOMPARE(readers.practiceName(), QStringLiteral("青山动物诊所"));
    QVERIFY(settings.isLoaded());
    QVERIFY2(!settings.window()->isVisible(), "a read loads the window without showing it");
    QCOMPARE(readers.veterinarian(), QStringLiteral("张三"));
    QCOMPARE(readers.practisingNumber(), QStringLiteral("20170001"));
    QCOMPARE(readers.dispenser(), QStringLiteral("李四"));
    QCOMPARE(readers.leftMargin(), QStringLiteral("25"));
    QCOMPARE(readers.topMargin(), QStringLiteral("200"));

    // The window stays loaded: a later change in the store is not seen until it is closed.
    SettingsWindow* loaded = settings.window();
    setColumn(env, "执业兽医", QStringLiteral("赵六"));
    QCOMPARE(readers.veterinarian(), QStringLiteral("张三"));
    QCOMPARE(settings.window(), loaded);
}

void TestSettings::readersSeeUnsavedValuesUntilTheWindowIsClosed()
{
    TestEnv env;
    setColumn(env, "执业兽医", QStringLiteral("张三"));
    setColumn(env, "左边距", QStringLiteral("20"));
    SettingsWindowHolder settings(env.services);
    SettingsWindow* w = settings.window();
    w->show();
    replaceText(w->veterinarian, QStringLiteral("王医生"));
    replaceText(w->leftMargin, QStringLiteral("33"));
    QCOMPARE(settings.veterinarian(), QStringLiteral("王医生"));
    QCOMPARE(settings.leftMargin(), QStringLiteral("33"));

    click(w->cancelButton); // cancel: nothing stored, the next read loads the stored values
    QVERIFY(!settings.isLoaded());
    QCOMPARE(settings.veterinarian(), QStringLiteral("张三"));
    QCOMPARE(settings.leftMargin(), QStringLiteral("20"));
    settle();

    w = settings.window();
    replaceText(w->veterinarian, QStringLiteral("王医生"));
    click(w->saveButton); // save: stored, and read back from the store
    QVERIFY(!settings.isLoaded());
    QCOMPARE(settings.veterinarian(), QStringLiteral("王医生"));
    QVERIFY(settings.window() != nullptr);
}

// The main window opens window() in a sub-window of its MDI area, as it does every child window.
void TestSettings::insideTheMainWindowItIsPlacedAndClosingUnloadsIt()
{
    TestEnv env;
    QMdiArea area;
    area.resize(1400, 1000);
    area.show();
    SettingsWindowHolder settings(env.services);
    auto open = [&] {
        QMdiSubWindow* sub = area.addSubWindow(settings.window());
        sub->setAttribute(Qt::WA_DeleteOnClose);
        sub->show();
        return sub;
    };

    // Loaded hidden by a reader first, with a value typed meanwhile: the window opened is that same one.
    SettingsWindow* loaded = settings.window();
    loaded->dispenser->setText(QStringLiteral("未保存"));
    QMdiSubWindow* sub = open();
    QCOMPARE(sub->widget(), loaded);
    QVERIFY(loaded->isVisible());
    QCOMPARE(sub->pos(), childWindowPosition(area.size(), sub->size()));
    QCOMPARE(settings.dispenser(), QStringLiteral("未保存"));

    // "取  消" closes the sub-window too, and the next read reloads the stored value.
    QPointer<QMdiSubWindow> watched = sub;
    click(loaded->cancelButton);
    settle();
    QVERIFY(watched.isNull());
    QVERIFY(area.subWindowList().isEmpty());
    QVERIFY(!settings.isLoaded());
    QVERIFY(settings.dispenser() != QStringLiteral("未保存"));

    // The sub-window's own close box unloads as well.
    open()->close();
    settle();
    QVERIFY(!settings.isLoaded());
    QVERIFY(area.subWindowList().isEmpty());

    // Printers added and removed while the window sat loaded: it lists those installed when it opens, and the
    // chosen one that went is named so.
    RecordingPrinterAccess printers;
    printers.printers = { QStringLiteral("P1"), QStringLiteral("P2") };
    env.services.printers = &printers;
    QVERIFY(writeDeskValues(deskConfigPath(), { {}, {}, {}, QStringLiteral("P2"), QString() }, nullptr));
    QCOMPARE(settings.prescriptionPrinter(), QStringLiteral("P2"));
    printers.printers = { QStringLiteral("P1"), QStringLiteral("P3") };
    QPointer<QMdiSubWindow> shown = open();
    QStringList listed;
    for (int i = 0; i < settings.window()->prescriptionPrinter->count(); ++i)
        listed << settings.window()->prescriptionPrinter->itemText(i);
    QCOMPARE(listed, QStringList({ "系统默认打印机", "P1", "P3", "P2（没有安装）" }));
    QCOMPARE(settings.window()->prescriptionPrinter->currentText(), QStringLiteral("P2（没有安装）"));
    QCOMPARE(settings.window()->defaultPrinter->currentText(), QStringLiteral("系统默认打印机"));
    QCOMPARE(settings.prescriptionPrinter(), QStringLiteral("P2"));
    shown->close();
    settle();
}

// Two desks on one server database, each with its own configuration folder.
void TestSettings::onTheServerEachDeskKeepsItsOwnValuesAndSharesTheRest()
{
    if (!test::onServer())
        QSKIP("one computer's file is that computer's own");
    TestEnv env;
    setColumn(env, "执业兽医", QStringLiteral("张三"));
    QTemporaryDir other;
    const QByteArray mine = qgetenv("XDG_CONFIG_HOME");
    const auto atDesk = [&](const QByteArray& folder) { qputenv("XDG_CONFIG_HOME", folder); };
    SettingsWindowHolder settings(env.services);

    // Desk A, with nothing of its own yet, shows the shared row and says which values are its own.
    SettingsWindow* w = settings.window();
    QCOMPARE(w->veterinarian->text(), QStringLiteral("张三"));
    QVERIFY(!w->serverNote->isHidden());
    QVERIFY(w->veterinarian->toolTip().contains(QStringLiteral("这台电脑")));
    QVERIFY(w->practiceName->toolTip().contains(QStringLiteral("共用")));
    replaceText(w->veterinarian, QStringLiteral("王医生"));
    replaceText(w->dispenser, QStringLiteral("小李"));
    replaceText(w->practiceName, QStringLiteral("青山动物诊所"));
    click(w->saveButton);
    settle();
    QCOMPARE(settings.veterinarian(), QStringLiteral("王医生"));
    QCOMPARE(settingsRow(env)["执业兽医"].toString(), QStringLiteral("张三"));
    settings.window()->cancel();
    settle();

    // Desk B: the shared row for what it has not its own, the practice name desk A saved.
    atDesk(other.path().toUtf8());
    QCOMPARE(settings.veterinarian(), QStringLiteral("张三"));
    QCOMPARE(settings.dispenser(), settingsRow(env)["发药人"].toString());
    QCOMPARE(settings.practiceName(), QStringLiteral("青山动物诊所"));
    settings.window()->cancel();
    settle();
    atDesk(mine);
    QCOMPARE(settings.dispenser(), QStringLiteral("小李"));

    // Desk A's window was loaded for the readers before desk B saved a new name: reading again (a new
    // prescription) and opening the window show it, and saving only this desk's own value is no conflict.
    QCOMPARE(settings.practiceName(), QStringLiteral("青山动物诊所"));
    setColumn(env, "单位名称", QStringLiteral("绿水动物医院"));
    settings.reread();
    QCOMPARE(settings.practiceName(), QStringLiteral("绿水动物医院"));
    setColumn(env, "单位名称", QStringLiteral("蓝天动物医院"));
    QMdiArea area;
    area.resize(1400, 1000);
    area.show();
    w = settings.window();
    area.addSubWindow(w)->show();
    QCOMPARE(w->practiceName->text(), QStringLiteral("蓝天动物医院"));
    setColumn(env, "单位名称", QStringLiteral("白云动物医院"));
    replaceText(w->veterinarian, QStringLiteral("赵医生"));
    click(w->saveButton);
    settle();
    QVERIFY2(env.messages.shown().isEmpty(), qPrintable(env.messages.texts().join("\n")));
    QCOMPARE(deskFile()["执业兽医"].toString(), QStringLiteral("赵医生"));
    QCOMPARE(settingsRow(env)["单位名称"].toString(), QStringLiteral("白云动物医院"));

    // A real conflict: the typed name waits in the window; 否 keeps it, and the next save writes it.
    w = settings.window();
    area.addSubWindow(w)->show();
    setColumn(env, "单位名称", QStringLiteral("黑土动物医院"));
    replaceText(w->practiceName, QStringLiteral("我的诊所"));
    env.messages.setNextAnswers({ false });
    click(w->saveButton);
    QVERIFY(env.messages.last().contains(QStringLiteral("另一台电脑")));
    QCOMPARE(w->practiceName->text(), QStringLiteral("我的诊所"));
    QCOMPARE(settingsRow(env)["单位名称"].toString(), QStringLiteral("黑土动物医院"));
    click(w->saveButton);
    settle();
    QCOMPARE(settingsRow(env)["单位名称"].toString(), QStringLiteral("我的诊所"));
}

void TestSettings::theDesksFileKeepsAnyTextAndReadsAnEditedOne()
{
    TestEnv env;
    const QString path = env.dir.filePath(QStringLiteral("desk/desk.conf"));
    DeskValues values;
    values.veterinarian = QStringLiteral("王=医生 \\n\r\n二");
    values.dispenser = QString();
    QString error;
    QVERIFY2(writeDeskValues(path, values, &error), qPrintable(error));
    const DeskValues back = readDeskValues(path);
    QCOMPARE(back.veterinarian, values.veterinarian);
    QCOMPARE(back.dispenser, std::optional<QString>(QString()));
    QVERIFY(!back.practisingNumber && !back.slipPrinter);

    // Edited by hand on another system: CR LF line ends, blanks around the name, lines it does not know.
    QFile edited(path);
    QVERIFY(edited.open(QIODevice::WriteOnly));
    edited.write(QStringLiteral("# 注释\r\n 注册号 =2017\r\n其他=x\r\n默认打印机\r\n").toUtf8());
    edited.close();
    const DeskValues read = readDeskValues(path);
    QCOMPARE(read.practisingNumber, std::optional<QString>(QStringLiteral("2017")));
    QVERIFY(!read.veterinarian && !read.defaultPrinter);
    QVERIFY(!readDeskValues(env.dir.filePath(QStringLiteral("none.conf"))).veterinarian);
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
