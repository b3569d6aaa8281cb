#include "tests/robust/powerworkload.h"

#include "catalogs/diagnoseswindow.h"
#include "catalogs/drugcatalogwindow.h"
#include "catalogs/specieswindow.h"
#include "catalogs/templateswindow.h"
#include "desk/archivelist.h"
#include "desk/deskwidgets.h"
#include "desk/prescriptiondesk.h"
#include "maintenance/startup.h"
#include "reports/outpatientlogwindow.h"
#include "settings/settingswindow.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>

namespace qv::test {

namespace {

    const QString kNull = QStringLiteral("<null>");
    const QString kArchive = QStringLiteral("档案");
    const QString kDrugs = QStringLiteral("商品");
    const QString kTemplates = QStringLiteral("个人模板");
    const QString kDiagnoses = QStringLiteral("诊断");
    const QString kSpecies = QStringLiteral("动物种类");
    const QString kSettings = QStringLiteral("设置");

    const QStringList& tableNames()
    {
        static const QStringList names { kArchive, kDrugs, kTemplates, kDiagnoses, kSpecies, kSettings };
        return names;
    }

    // The key a window finds a row by: templates are found by key within their category.
    QString identityOf(const QString& table, const QStringList& columns, const QStringList& values)
    {
        auto at
            = [&](const char* column) { return values.value(columns.indexOf(QString::fromUtf8(column))); };
        if (table == kArchive || table == kDiagnoses || table == kSpecies)
            return at("序号");
        if (table == kDrugs)
            return at("ID号");
        if (table == kTemplates)
            return at("序号") + QLatin1Char('|') + at("分类");
        return QString(); // the one settings row
    }

    QString cell(const TableModel& t, const QString& id, const char* column)
    {
        return t.rows.value(id).value(t.columns.indexOf(QString::fromUtf8(column)));
    }

    void setCell(TableModel& t, const QString& id, const char* column, const QString& value)
    {
        QStringList& row = t.rows[id];
        while (row.size() < t.columns.size())
            row << kNull;
        row[t.columns.indexOf(QString::fromUtf8(column))] = value;
    }

    // A column the program writes from a text box holds text, never null, once written.
    QString asWritten(const QString& modelValue) { return modelValue == kNull ? QString() : modelValue; }

    QString crlfLines(const QStringList& lines) { return lines.join(QStringLiteral("\r\n")); }

    // Bodies of different lengths, so saves touch different numbers of pages.
    QStringList bodyLines(QRandomGenerator& random, const QString& stamp)
    {
        QStringList lines;
        const int count = random.bounded(1, 40);
        for (int i = 0; i < count; ++i)
            lines << QStringLiteral("%1 阿莫西林胶囊 0.25g×24粒 %2盒").arg(stamp).arg(i);
        return lines;
    }

    template <typename Pick> QStringList idsWhere(const TableModel& t, Pick pick)
    {
        QStringList ids;
        for (auto it = t.rows.cbegin(); it != t.rows.cend(); ++it) {
            if (pick(it.key(), it.value()))
                ids << it.key();
        }
        return ids;
    }

    QString any(const QStringList& ids, QRandomGenerator& random)
    {
        return ids.isEmpty() ? QString() : ids.at(int(random.bounded(qsizetype(ids.size()))));
    }

    const QStringList kDrugOptions { QStringLiteral("西药"), QStringLiteral("中药"), QStringLiteral("其他"),
        QStringLiteral("用法") };
    const QStringList kTemplateOptions { QStringLiteral("个人组套"), QStringLiteral("中药方剂") };

} // namespace

QStringList StoreModel::rows() const
{
    QStringList all;
    for (auto t = tables.cbegin(); t != tables.cend(); ++t) {
        QStringList rows;
        for (const QStringList& values : t->rows)
            rows << t.key() + QLatin1Char('|') + values.join(QLatin1Char('|'));
        rows.sort();
        all += rows;
    }
    return all;
}

StoreModel readStore(Database& db, QString* error)
{
    StoreModel model;
    for (const QString& table : tableNames()) {
        TableModel& t = model.tables[table];
        const Result info = db.run(QStringLiteral("pragma table_info([%1])").arg(table));
        const Result r = db.run(QStringLiteral("select * from \"%1\"").arg(table));
        if (!info || !r || info.rows.isEmpty()) {
            if (error)
                *error += table + QStringLiteral(": ") + (r ? info.error : r.error) + QLatin1Char('\n');
            continue;
        }
        for (const Row& column : info.rows)
            t.columns << column.text(QStringLiteral("name"));
        for (const Row& row : r.rows) {
            QStringList values;
            for (const QVariant& v : row.values())
                values << (v.isNull() ? kNull : v.toString());
            t.rows.insert(identityOf(table, t.columns, values), values);
        }
    }
    return model;
}

QString differences(const QStringList& store, const QStringList& model)
{
    QStringList lines;
    for (const QString& row : store) {
        if (!model.contains(row))
            lines << QStringLiteral("  only in the store: ") + row.left(160);
    }
    for (const QString& row : model) {
        if (!store.contains(row))
            lines << QStringLiteral("  only in the model: ") + row.left(160);
    }
    return lines.mid(0, 12).join(QLatin1Char('\n'));
}

QStringList backupRows(const QString& path)
{
    if (!QFile::exists(path))
        return { QStringLiteral("(no backup)") };
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("copy.dat"));
    if (!QFile::copy(path, copy))
        return { QStringLiteral("(backup not readable)") };
    Database db;
    QString error;
    if (!db.open(copy, &error))
        return { QStringLiteral("(backup does not open: %1)").arg(error) };
    const Result check = db.run(QStringLiteral("pragma integrity_check"));
    const QString verdict = check ? check.rows.value(0).values().value(0).toString() : check.error;
    if (verdict != QStringLiteral("ok"))
        return { QStringLiteral("(backup damaged: %1)").arg(verdict) };
    const StoreModel stored = readStore(db, &error);
    if (!error.isEmpty())
        return { QStringLiteral("(backup unreadable: %1)").arg(error) };
    return stored.rows();
}

QString operationName(Operation op)
{
    static const char* const names[kOperationCount] = { "desk: save a new prescription",
        "desk: save a changed prescription", "desk: continue and save", "desk: delete a prescription",
        "drugs: add", "drugs: change", "drugs: delete", "templates: add", "templates: change",
        "templates: delete", "diagnoses: add", "diagnoses: delete", "species: add", "species: delete",
        "settings: save", "settings: change the password", "log: margins stored on close", "exit backup" };
    return QString::fromUtf8(names[int(op)]);
}

Session::Session(TestEnv& e)
    : env(e)
{
}

Session::~Session() { end(); }

bool Session::start(QString* error)
{
    end();
    const StartupResult started = startUp(env.drives, env.context, env.db);
    if (!started.ok) {
        *error = started.error;
        return false;
    }
    m_settings = std::make_unique<SettingsWindowHolder>(env.services);
    env.services.settings = m_settings.get();
    return true;
}

void Session::end()
{
    m_desk.reset();
    m_drugs.reset();
    m_templates.reset();
    m_diagnoses.reset();
    m_species.reset();
    env.services.settings = nullptr;
    m_settings.reset();
    env.db.close();
}

PrescriptionDesk* Session::desk()
{
    if (!m_desk)
        m_desk = std::make_unique<PrescriptionDesk>(env.services);
    return m_desk.get();
}

DrugCatalogWindow* Session::drugs()
{
    if (!m_drugs)
        m_drugs = std::make_unique<DrugCatalogWindow>(env.services);
    return m_drugs.get();
}

TemplatesWindow* Session::templates()
{
    if (!m_templates)
        m_templates = std::make_unique<TemplatesWindow>(env.services);
    return m_templates.get();
}

DiagnosesWindow* Session::diagnoses()
{
    if (!m_diagnoses)
        m_diagnoses = std::make_unique<DiagnosesWindow>(env.services);
    return m_diagnoses.get();
}

SpeciesWindow* Session::species()
{
    if (!m_species)
        m_species = std::make_unique<SpeciesWindow>(env.services);
    return m_species.get();
}

bool Session::loadIntoDesk(const QString& key)
{
    // As the user finds it: the archive list over every date, then a click on its line.
    PrescriptionDesk* d = desk();
    d->ownerFilter->clear();
    d->fromDate->setText(QStringLiteral("2000-01-01"));
    d->toDate->setText(QStringLiteral("2099-12-31"));
    d->runArchiveQuery();
    for (int i = 0; i < d->archiveList->count(); ++i) {
        if (d->archiveList->key(i) == key) {
            d->loadArchiveLine(i);
            return d->recordKey() == key;
        }
    }
    return false;
}

Session::Attempt Session::run(Operation op, const StoreModel& model, QRandomGenerator& random)
{
    Attempt a;
    a.expected = model;
    const qsizetype shownBefore = env.messages.shown().size();
    // Work the desk shows unsaved (a save the disk refused) is given up when the next prescription is taken.
    env.messages.setNextChoices({ Messages::Answer::No, Messages::Answer::No });
    const QDateTime now = env.clock.now();
    const QString stamp = now.toString(QStringLiteral("MMddHHmmss"));
    TableModel& archive = a.expected.tables[kArchive];
    TableModel& drugTable = a.expected.tables[kDrugs];
    TableModel& templateTable = a.expected.tables[kTemplates];
    auto skip = [&] {
        a.skipped = true;
        return a;
    };
    auto fail = [&](const QString& why) {
        a.detail = QStringLiteral("FAILED: ") + why;
        return a;
    };

    switch (op) {
    case Operation::DeskNew: {
        PrescriptionDesk* d = desk();
        d->newPrescription();
        const QString key = d->recordKey();
        const QStringList fields { QStringLiteral("主人") + stamp,
            now.toString(QStringLiteral("yyyyMMddHHmmss")), QStringLiteral("犬"),
            random.bounded(2) ? QStringLiteral("公") : QStringLiteral("母"),
            QStringLiteral("%1kg").arg(random.bounded(1, 60)),
            QStringLiteral("%1岁").arg(random.bounded(1, 15)), isoDate(now.date()),
            QStringLiteral("兽医") + stamp, QStringLiteral("2026%1").arg(stamp), QStringLiteral("发药人"),
            QStringLiteral("犬瘟热"), QString(), QStringLiteral("肠炎") };
        for (int i = 0; i < kFieldCount; ++i)
            d->fieldEdits[i]->setText(fields[i]);
        const QString body = crlfLines(bodyLines(random, stamp));
        d->setBodyText(body);
        d->savePrescription();
        for (int i = 0; i < kFieldCount; ++i)
            setCell(archive, key, QByteArray::number(i).constData(), fields[i]);
        setCell(archive, key, "T1", body);
        setCell(archive, key, "序号", key);
        a.detail = key;
        break;
    }
    case Operation::DeskChange:
    case Operation::DeskContinue:
    case Operation::DeskDelete: {
        const QString key = any(archive.rows.keys(), random);
        if (key.isEmpty())
            return skip();
        if (!loadIntoDesk(key))
            return fail(QStringLiteral("the stored prescription %1 is not in the archive list").arg(key));
        PrescriptionDesk* d = desk();
        a.detail = key;
        if (op == Operation::DeskDelete) {
            env.messages.setNextAnswers({ true });
            d->deleteShownRecord();
            archive.rows.remove(key);
            break;
        }
        QString target = key;
        const QString body = crlfLines(bodyLines(random, stamp));
        if (op == Operation::DeskContinue) {
            d->continuePrescription();
            target = d->recordKey();
            a.detail += QStringLiteral(" -> ") + target;
        } else {
            d->fieldEdits[0]->setText(QStringLiteral("主人") + stamp);
        }
        d->setBodyText(body);
        d->savePrescription();
        for (int i = 0; i < kFieldCount; ++i) {
            const QByteArray column = QByteArray::number(i);
            setCell(archive, target, column.constData(),
                asWritten(cell(a.expected.tables[kArchive], key, column)));
        }
        if (op == Operation::DeskContinue) {
            setCell(archive, target, "1", now.toString(QStringLiteral("yyyyMMddHHmmss")));
            setCell(archive, target, "6", isoDate(now.date()));
        } else {
            setCell(archive, target, "0", QStringLiteral("主人") + stamp);
        }
        setCell(archive, target, "T1", body);
        setCell(archive, target, "序号", target);
        break;
    }
    case Operation::DrugAdd: {
        DrugCatalogWindow* f = drugs();
        const int option = int(random.bounded(kDrugOptions.size()));
        f->categoryChanged(option);
        f->addEntry();
        const QString name = QStringLiteral("试药%1号 10ml").arg(stamp);
        const QString code = QStringLiteral("sy") + stamp;
        const QString usage = QStringLiteral("每日%1次").arg(random.bounded(1, 4));
        f->nameBox->setText(name);
        f->codeBox->setText(code);
        f->usageBox->setText(usage);
        const QString key = f->currentKey();
        f->saveRecord();
        setCell(drugTable, key, "ID号", key);
        setCell(drugTable, key, "名称", name);
        setCell(drugTable, key, "拼音", code);
        setCell(drugTable, key, "用法", usage);
        setCell(drugTable, key, "分类", kDrugOptions[option]);
        setCell(drugTable, key, "查询", name + code);
        a.detail = key;
        break;
    }
    case Operation::DrugChange:
    case Operation::DrugDelete: {
        const QString key = any(idsWhere(drugTable,
                                    [&](const QString& id, const QStringList&) {
                                        return cell(drugTable, id, "名称").startsWith(QStringLiteral("试药"));
                                    }),
            random);
        if (key.isEmpty())
            return skip();
        DrugCatalogWindow* f = drugs();
        f->categoryChanged(int(kDrugOptions.indexOf(cell(drugTable, key, "分类"))));
        f->searchBox->setText(cell(drugTable, key, "名称").section(QLatin1Char(' '), 0, 0));
        f->selectRow(0);
        if (f->currentKey() != key)
            return fail(QStringLiteral("the stored drug %1 is not found by its name").arg(key));
        a.detail = key;
        if (op == Operation::DrugDelete) {
            f->deleteRecord();
            drugTable.rows.remove(key);
            break;
        }
        const QString usage = QStringLiteral("改为每日%1次 %2").arg(random.bounded(1, 4)).arg(stamp);
        f->usageBox->setText(usage);
        f->saveRecord();
        setCell(drugTable, key, "用法", usage);
        break;
    }
    case Operation::TemplateAdd: {
        TemplatesWindow* f = templates();
        const int option = int(random.bounded(kTemplateOptions.size()));
        f->chooseCategory(option);
        f->newTemplate();
        const QString name = QStringLiteral("组套") + stamp;
        const QString code = QStringLiteral("zt") + stamp;
        const QStringList lines = bodyLines(random, stamp);
        f->nameBox->setText(name);
        f->codeBox->setText(code);
        f->bodyBox->setPlainText(lines.join(QLatin1Char('\n')));
        const QString key = f->currentKey();
        f->saveRecord();
        const QString id = key + QLatin1Char('|') + kTemplateOptions[option];
        setCell(templateTable, id, "序号", key);
        setCell(templateTable, id, "名称", name);
        setCell(templateTable, id, "内容", crlfLines(lines));
        setCell(templateTable, id, "拼音", code);
        setCell(templateTable, id, "查询", name + code);
        setCell(templateTable, id, "分类", kTemplateOptions[option]);
        a.detail = id;
        break;
    }
    case Operation::TemplateChange:
    case Operation::TemplateDelete: {
        const QString id
            = any(idsWhere(templateTable,
                      [&](const QString& i, const QStringList&) {
                          return cell(templateTable, i, "名称").startsWith(QStringLiteral("组套"));
                      }),
                random);
        if (id.isEmpty())
            return skip();
        TemplatesWindow* f = templates();
        f->chooseCategory(int(kTemplateOptions.indexOf(cell(templateTable, id, "分类"))));
        const QList<QListWidgetItem*> found
            = f->templateList->findItems(cell(templateTable, id, "名称"), Qt::MatchExactly);
        if (found.size() != 1)
            return fail(
                QStringLiteral("the stored template %1 is listed %2 times").arg(id).arg(found.size()));
        f->selectTemplate(f->templateList->row(found.first()));
        if (f->currentKey() + QLatin1Char('|') + f->currentCategory() != id)
            return fail(QStringLiteral("choosing the template %1 loads %2").arg(id, f->currentKey()));
        a.detail = id;
        if (op == Operation::TemplateDelete) {
            f->deleteRecord();
            templateTable.rows.remove(id);
            break;
        }
        const QStringList lines = bodyLines(random, stamp);
        f->bodyBox->setPlainText(lines.join(QLatin1Char('\n')));
        f->saveRecord();
        setCell(templateTable, id, "内容", crlfLines(lines));
        break;
    }
    case Operation::DiagnosisAdd:
    case Operation::SpeciesAdd: {
        const bool diagnosis = op == Operation::DiagnosisAdd;
        NameCatalogWindow* f = diagnosis ? static_cast<NameCatalogWindow*>(diagnoses()) : species();
        if (diagnosis)
            diagnoses()->searchBox->clear();
        // A small set of names, so some are added twice (the second time nothing changes, silently).
        const int n = int(random.bounded(40));
        const QString name = (diagnosis ? QStringLiteral("病名%1") : QStringLiteral("畜种%1")).arg(n);
        const QString code = (diagnosis ? QStringLiteral("bm%1") : QStringLiteral("cz%1")).arg(n);
        f->nameBox->setText(name);
        f->codeBox->setText(code);
        f->saveName();
        TableModel& t = a.expected.tables[diagnosis ? kDiagnoses : kSpecies];
        if (!t.rows.contains(name + code)) {
            setCell(t, name + code, "名称", name);
            setCell(t, name + code, "拼音", code);
            setCell(t, name + code, "序号", name + code);
        }
        a.detail = name;
        break;
    }
    case Operation::DiagnosisDelete:
    case Operation::SpeciesDelete: {
        const bool diagnosis = op == Operation::DiagnosisDelete;
        TableModel& t = a.expected.tables[diagnosis ? kDiagnoses : kSpecies];
        const QString id = any(t.rows.keys(), random);
        if (id.isEmpty())
            return skip();
        NameCatalogWindow* f = diagnosis ? static_cast<NameCatalogWindow*>(diagnoses()) : species();
        if (diagnosis)
            diagnoses()->searchBox->clear();
        f->fillList();
        QListWidgetItem* line = nullptr;
        for (int i = 0; i < f->nameList->count(); ++i) {
            if (f->nameList->item(i)->data(Qt::UserRole).toString() == id)
                line = f->nameList->item(i);
        }
        if (!line)
            return fail(QStringLiteral("the stored name %1 is not listed").arg(id));
        f->nameList->setCurrentItem(line);
        f->deleteSelected();
        t.rows.remove(id);
        a.detail = id;
        break;
    }
    case Operation::SettingsSave: {
        SettingsWindow* f = m_settings->window();
        // A printer is chosen from the list: "系统默认打印机" (stored empty) or an installed one.
        const auto pick = [&](QComboBox* list) {
            list->setCurrentIndex(int(random.bounded(list->count())));
            return list->currentData().toString();
        };
        const QStringList values { QStringLiteral("动物医院") + stamp, QStringLiteral("兽医") + stamp,
            QStringLiteral("2026") + stamp, QStringLiteral("发药") + stamp,
            QString::number(random.bounded(5, 40)), QString::number(random.bounded(5, 40)),
            pick(f->prescriptionPrinter), pick(f->defaultPrinter) };
        f->practiceName->setText(values[0]);
        f->veterinarian->setText(values[1]);
        f->practisingNumber->setText(values[2]);
        f->dispenser->setText(values[3]);
        f->leftMargin->setText(values[4]);
        f->topMargin->setText(values[5]);
        f->saveSettings();
        TableModel& t = a.expected.tables[kSettings];
        const char* const columns[]
            = { "单位名称", "执业兽医", "注册号", "发药人", "左边距", "上边距", "处方打印机", "默认打印机" };
        for (int i = 0; i < 8; ++i)
            setCell(t, QString(), columns[i], values[i]);
        break;
    }
    case Operation::PasswordChange: {
        SettingsWindow* f = m_settings->window();
        TableModel& t = a.expected.tables[kSettings];
        const QString password = QStringLiteral("pw") + stamp.right(6);
        f->oldPassword->setText(cell(t, QString(), "密码"));
        f->newPassword->setText(password);
        f->changePassword();
        setCell(t, QString(), "密码", password);
        a.detail = password;
        break;
    }
    case Operation::LogMargins: {
        auto log = std::make_unique<OutpatientLogWindow>(env.services);
        const QString left = QString::number(random.bounded(5, 40));
        const QString top = QString::number(random.bounded(5, 40));
        log->leftMargin->setText(left);
        log->topMargin->setText(top);
        log->close();
        setCell(a.expected.tables[kSettings], QString(), "左边距1", left);
        setCell(a.expected.tables[kSettings], QString(), "上边距1", top);
        break;
    }
    case Operation::ExitBackup: {
        const QString path = backupPath(env, now.date());
        const QString error = backUpDatabase(env.drives, now.date(), env.db);
        if (!error.isEmpty())
            env.messages.inform(QStringLiteral("backup failed: ") + error, Messages::Icon::Warning);
        a.expected.backups[path] = model.rows();
        a.detail = path;
        a.backup = path;
        // Then the program ends (the store folds its log back into the file) and is started again.
        end();
        QString why;
        if (!powerIsCut() && !start(&why))
            return fail(QStringLiteral("the program does not start again: ") + why);
        break;
    }
    }
    const QList<ScriptedMessages::Shown> shown = env.messages.shown();
    for (qsizetype i = shownBefore; i < shown.size(); ++i) {
        // A question (delete?) asks; only a warning notice reports a refusal.
        if (shown[i].kind == QStringLiteral("inform") && shown[i].icon == Messages::Icon::Warning) {
            a.warned = true;
            a.detail += QStringLiteral(" [") + shown[i].text.left(80) + QLatin1Char(']');
        }
    }
    return a;
}

QString backupPath(TestEnv& env, const QDate& day)
{
    return backupRootFor(chooseDriveRoot(env.drives)) + QLatin1Char('/') + backupFolderName(day)
        + QStringLiteral("/数据库.dat");
}

namespace {

    QString integrityOf(Database& db)
    {
        const Result r = db.run(QStringLiteral("pragma integrity_check"));
        return r ? r.rows.value(0).values().value(0).toString() : r.error;
    }

} // namespace

StepOutcome runStep(
    Session& session, StoreModel& model, Operation op, QRandomGenerator& random, const StepFaults& faults)
{
    StepOutcome out;
    const StoreModel before = model;
    const int start = diskEvents();
    if (faults.cutAt >= 0)
        cutPowerAtEvent(start + faults.cutAt, faults.loss, faults.lossSeed);
    fillDiskAfter(faults.fullAfter);
    const Session::Attempt a = session.run(op, model, random);
    fillDiskAfter(-1);
    cutPowerAtEvent(-1, faults.loss, faults.lossSeed);
    out.events = diskEvents() - start;
    out.detail = operationName(op) + QStringLiteral(" ") + a.detail;
    if (a.detail.startsWith(QStringLiteral("FAILED"))) {
        out.failure = out.detail;
        return out;
    }
    out.skipped = a.skipped;
    if (a.skipped)
        return out;
    if (faults.cutAfter)
        cutPowerNow(faults.loss, faults.lossSeed);
    const QString backup = a.backup;
    auto fail = [&](const QString& why) {
        out.failure = out.detail + QStringLiteral(": ") + why;
        return out;
    };

    out.cut = powerIsCut();
    if (out.cut) {
        session.end();
        restorePower();
        QString error;
        if (!session.start(&error))
            return fail(QStringLiteral("the program does not start after the cut: ") + error);
        const QString integrity = integrityOf(session.env.db);
        if (integrity != QStringLiteral("ok"))
            return fail(QStringLiteral("integrity_check after the cut: ") + integrity);
    }
    const QStringList stored = readStore(session.env.db).rows();
    const QStringList beforeRows = before.rows();
    const QStringList afterRows = a.expected.rows();
    // A write the program reported done must be there; one it refused must not, unless the power failed
    // while it was being written (then the program had no way left to say whether it took).
    const bool mayHaveTaken = !a.warned || out.cut;
    const bool mayHaveFailed = a.warned || out.cut;
    if (mayHaveTaken && stored == afterRows) {
        out.took = true;
    } else if (!(mayHaveFailed && stored == beforeRows)) {
        const QString why = a.warned ? QStringLiteral("refused") : QStringLiteral("reported done");
        return fail(
            QStringLiteral("%1%2, and the store is neither as before nor as after it:\nagainst after:\n%3\n"
                           "against before:\n%4")
                .arg(why, out.cut ? QStringLiteral(" with the power cut") : QString(),
                    differences(stored, afterRows), differences(stored, beforeRows)));
    }
    out.refused = a.warned && !out.cut;
    model.tables = out.took ? a.expected.tables : before.tables;

    if (!backup.isEmpty()) {
        // The day's backup: the previous good copy or a complete new one, never anything in between.
        const QStringList found = backupRows(backup);
        const QStringList previous = before.backups.value(backup, { QStringLiteral("(no backup)") });
        const QStringList fresh = a.expected.backups.value(backup);
        if (mayHaveTaken && found == fresh)
            model.backups[backup] = fresh;
        else if (!(mayHaveFailed && found == previous))
            return fail(QStringLiteral("the backup is neither the previous copy nor the new one: %1")
                            .arg(found.mid(0, 2).join(QStringLiteral(" / "))));
    }
    if (out.cut) {
        for (auto it = model.backups.cbegin(); it != model.backups.cend(); ++it) {
            if (it.key() != backup && backupRows(it.key()) != it.value())
                return fail(QStringLiteral("an earlier backup changed: ") + it.key());
        }
    }
    return out;
}

} // namespace qv::test
