// A disk that starts failing in the middle of a write: every writing action of every window either reports
// that nothing was stored (and the store still holds exactly what it held before) or stores everything and
// says nothing. The failure is injected after 0, 1, 2 … successful write calls, until the action gets
// through.

#include "catalogs/diagnoseswindow.h"
#include "catalogs/drugcatalogwindow.h"
#include "catalogs/specieswindow.h"
#include "catalogs/templateswindow.h"
#include "desk/deskwidgets.h"
#include "desk/prescriptiondesk.h"
#include "reports/outpatientlogwindow.h"
#include "settings/settingswindow.h"
#include "tests/robust/storesnapshot.h"
#include "tests/robust/world.h"
#include "tests/support/failingvfs.h"
#include "tests/support/testenv.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>

#include <functional>
#include <memory>

using namespace qv;
using namespace qv::test;

namespace {

struct WriteAction {
    // Opens the window and brings it to the moment before the write, on a healthy disk.
    std::function<QWidget*(World&)> prepare;
    // The write, as the user asks for it.
    std::function<void(QWidget*)> act;
    // After a refused write: what the user typed is still there to try again. May be empty.
    std::function<bool(QWidget*)> inputKept;
};

template <typename W> std::function<void(QWidget*)> on(void (W::*action)())
{
    return [action](QWidget* w) { (static_cast<W*>(w)->*action)(); };
}

PrescriptionDesk* deskWithPrescription(World& world)
{
    auto* desk = new PrescriptionDesk(world.env.services);
    desk->fieldEdits[0]->setText(QStringLiteral("王先生"));
    desk->fieldEdits[kSpeciesField]->setText(QStringLiteral("犬"));
    desk->fieldEdits[kFirstDiagnosisField]->setText(QStringLiteral("犬瘟热"));
    desk->setBodyText(QStringLiteral("阿莫西林胶囊 0.25g×24粒    2盒\r\n  用法：口服，每日两次"));
    return desk;
}

QMap<QString, WriteAction> writeActions()
{
    QMap<QString, WriteAction> a;

    a["desk: save a new prescription"] = { [](World& w) -> QWidget* { return deskWithPrescription(w); },
        [](QWidget* w) { static_cast<PrescriptionDesk*>(w)->savePrescription(); },
        [](QWidget* w) {
            return static_cast<PrescriptionDesk*>(w)->fieldEdits[0]->text() == QStringLiteral("王先生");
        } };
    a["desk: save a changed prescription"] = { [](World& w) -> QWidget* {
                                                  PrescriptionDesk* desk = deskWithPrescription(w);
                                                  desk->savePrescription();
                                                  desk->setBodyText(QStringLiteral("头孢氨苄胶囊    1盒"));
                                                  desk->fieldEdits[0]->setText(QStringLiteral("李女士"));
                                                  return desk;
                                              },
        [](QWidget* w) { static_cast<PrescriptionDesk*>(w)->savePrescription(); },
        [](QWidget* w) {
            auto* desk = static_cast<PrescriptionDesk*>(w);
            return desk->fieldEdits[0]->text() == QStringLiteral("李女士")
                && desk->bodyText() == QStringLiteral("头孢氨苄胶囊    1盒");
        } };
    a["desk: delete a stored prescription"] = { [](World& w) -> QWidget* {
                                                   PrescriptionDesk* desk = deskWithPrescription(w);
                                                   desk->savePrescription();
                                                   w.env.messages.setNextAnswers({ true });
                                                   return desk;
                                               },
        [](QWidget* w) { static_cast<PrescriptionDesk*>(w)->deleteShownRecord(); },
        [](QWidget* w) {
            return static_cast<PrescriptionDesk*>(w)->fieldEdits[0]->text() == QStringLiteral("王先生");
        } };

    a["drugs: add"] = { [](World& w) -> QWidget* {
                           auto* f = new DrugCatalogWindow(w.env.services);
                           f->addEntry();
                           f->nameBox->setText(QStringLiteral("恩诺沙星注射液 10ml"));
                           f->usageBox->setText(QStringLiteral("肌注，每日一次"));
                           return f;
                       },
        on(&DrugCatalogWindow::saveRecord),
        [](QWidget* w) {
            return static_cast<DrugCatalogWindow*>(w)->nameBox->text()
                == QStringLiteral("恩诺沙星注射液 10ml");
        } };
    a["drugs: change"] = { [](World& w) -> QWidget* {
                              auto* f = new DrugCatalogWindow(w.env.services);
                              f->selectRow(0);
                              f->usageBox->setText(QStringLiteral("改过的用法"));
                              return f;
                          },
        on(&DrugCatalogWindow::saveRecord),
        [](QWidget* w) {
            return static_cast<DrugCatalogWindow*>(w)->usageBox->text() == QStringLiteral("改过的用法");
        } };
    a["drugs: delete"] = { [](World& w) -> QWidget* {
                              auto* f = new DrugCatalogWindow(w.env.services);
                              f->selectRow(0);
                              w.env.messages.setNextAnswers({ true });
                              return f;
                          },
        on(&DrugCatalogWindow::deleteRecord), {} };

    a["templates: add"] = { [](World& w) -> QWidget* {
                               auto* f = new TemplatesWindow(w.env.services);
                               f->newTemplate();
                               f->nameBox->setText(QStringLiteral("犬瘟热组套"));
                               f->bodyBox->setPlainText(QStringLiteral("利巴韦林注射液\n干扰素"));
                               return f;
                           },
        on(&TemplatesWindow::saveRecord),
        [](QWidget* w) {
            return static_cast<TemplatesWindow*>(w)->nameBox->text() == QStringLiteral("犬瘟热组套");
        } };
    a["templates: change"] = { [](World& w) -> QWidget* {
                                  auto* f = new TemplatesWindow(w.env.services);
                                  f->selectTemplate(0);
                                  f->bodyBox->setPlainText(QStringLiteral("改过的组套"));
                                  return f;
                              },
        on(&TemplatesWindow::saveRecord),
        [](QWidget* w) {
            return static_cast<TemplatesWindow*>(w)->bodyBox->toPlainText() == QStringLiteral("改过的组套");
        } };
    a["templates: delete"] = { [](World& w) -> QWidget* {
                                  auto* f = new TemplatesWindow(w.env.services);
                                  f->selectTemplate(0);
                                  return f;
                              },
        on(&TemplatesWindow::deleteRecord), {} };

    auto nameAdd = [](auto* window) {
        window->nameBox->setText(QStringLiteral("新名称"));
        return window;
    };
    auto nameDelete = [](auto* window) {
        window->nameList->setCurrentRow(0);
        return window;
    };
    auto nameKept = [](QWidget* w) {
        return static_cast<NameCatalogWindow*>(w)->nameBox->text() == QStringLiteral("新名称");
    };
    a["diagnoses: add"]
        = { [=](World& w) -> QWidget* { return nameAdd(new DiagnosesWindow(w.env.services)); },
              on(&NameCatalogWindow::saveName), nameKept };
    a["diagnoses: delete"]
        = { [=](World& w) -> QWidget* { return nameDelete(new DiagnosesWindow(w.env.services)); },
              on(&NameCatalogWindow::deleteSelected), {} };
    a["species: add"] = { [=](World& w) -> QWidget* { return nameAdd(new SpeciesWindow(w.env.services)); },
        on(&NameCatalogWindow::saveName), nameKept };
    a["species: delete"]
        = { [=](World& w) -> QWidget* { return nameDelete(new SpeciesWindow(w.env.services)); },
              on(&NameCatalogWindow::deleteSelected), {} };

    a["log: margins stored on close"] = { [](World& w) -> QWidget* {
                                             auto* f = new OutpatientLogWindow(w.env.services);
                                             f->leftMargin->setText(QStringLiteral("25"));
                                             f->topMargin->setText(QStringLiteral("30"));
                                             return f;
                                         },
        [](QWidget* w) { w->close(); }, {} };

    a["settings: save"] = { [](World& w) -> QWidget* {
                               SettingsWindow* f = w.settings.window();
                               f->practiceName->setText(QStringLiteral("河畔动物医院"));
                               f->veterinarian->setText(QStringLiteral("赵医生"));
                               return f;
                           },
        on(&SettingsWindow::saveSettings),
        [](QWidget* w) {
            return static_cast<SettingsWindow*>(w)->practiceName->text() == QStringLiteral("河畔动物医院");
        } };
    a["settings: change the password"] = { [](World& w) -> QWidget* {
                                              SettingsWindow* f = w.settings.window();
                                              f->oldPassword->setText(QStringLiteral("947"));
                                              f->newPassword->setText(QStringLiteral("newpass"));
                                              return f;
                                          },
        on(&SettingsWindow::changePassword),
        [](QWidget* w) {
            return static_cast<SettingsWindow*>(w)->newPassword->text() == QStringLiteral("newpass");
        } };
    return a;
}

struct Outcome {
    QStringList before, after;
    QString integrity;
    bool warned = false;
    bool inputKept = true;
    QStringList messages;
    QStringList reports; // the warning notices among them
};

// Runs one action with writes failing after `writes` successful write calls (-1: a healthy disk), then looks
// at the file through a fresh connection, as the next start of the program would.
Outcome runAction(const WriteAction& action, int writes)
{
    Outcome out;
    World world;
    TestEnv& env = world.env;
    env.reopenOnFailingDisk();
    QPointer<QWidget> window = action.prepare(world);
    out.before = storeSnapshot(env.db);
    env.messages.clear();
    failWritesAfter(writes);
    action.act(window);
    failWritesAfter(-1);
    for (const auto& shown : env.messages.shown()) {
        out.messages << shown.text;
        // A warning that is a question (delete?) asks; only a warning notice reports.
        if (shown.kind == QStringLiteral("inform") && shown.icon == Messages::Icon::Warning)
            out.reports << shown.text;
        out.warned = !out.reports.isEmpty();
    }
    if (out.warned && action.inputKept)
        out.inputKept = window && action.inputKept(window);
    delete window.data();
    env.db.close();
    QString error;
    if (!env.db.open(env.context.databasePath, &error))
        qFatal("reopen: %s", qPrintable(error));
    out.integrity = integrityOf(env.db);
    out.after = storeSnapshot(env.db);
    return out;
}

} // namespace

class DiskFaultsTest final : public QObject {
    Q_OBJECT

private slots:
    void everyWriteReportsAFailingDisk_data()
    {
        QTest::addColumn<QString>("action");
        for (const QString& name : writeActions().keys())
            QTest::newRow(qPrintable(name)) << name;
    }

    void everyWriteReportsAFailingDisk()
    {
        QFETCH(QString, action);
        const WriteAction write = writeActions().value(action);

        const Outcome healthy = runAction(write, -1);
        QVERIFY2(!healthy.warned, qPrintable(healthy.messages.join('\n')));
        QVERIFY2(healthy.after != healthy.before, "the action writes nothing");
        QCOMPARE(healthy.integrity, QStringLiteral("ok"));

        int refused = 0;
        for (int writes = 0;; ++writes) {
            QVERIFY2(writes < 200, "the action never got through");
            const Outcome o = runAction(write, writes);
            const QByteArray where = QByteArray("after ") + QByteArray::number(writes)
                + " writes: " + o.messages.join(" / ").toUtf8();
            QVERIFY2(o.integrity == QStringLiteral("ok"), where + " " + o.integrity.toUtf8());
            QCOMPARE(o.before, healthy.before);
            if (!o.warned) {
                // Nothing said: then everything must have been stored.
                QVERIFY2(o.after == healthy.after, where + " reported nothing, yet the store differs");
                break;
            }
            ++refused;
            // Told in words, with what to do; the store's own text only in brackets after it.
            for (const QString& report : o.reports)
                QVERIFY2(report.contains(QStringLiteral("\n读写磁盘时出错。请检查磁盘")), where);
            QVERIFY2(o.after == o.before, where + " reported a failure, yet the store changed");
            QVERIFY2(o.inputKept, where + " lost what was typed");
        }
        QVERIFY(refused > 0);
        qInfo("%d failing points, each reported", refused);
    }
};

QTEST_MAIN(DiskFaultsTest)
#include "tst_diskfaults.moc"
