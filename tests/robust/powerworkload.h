#pragma once
// The writing windows of the program driven as a user drives them, against a model of what the store must
// hold, for the power-cut tests. The model is the six tables as rows of column texts plus the day's backups;
// it starts from the fresh template and every operation says what it must look like once the write is done.
// Then, whatever happened (done, refused, power cut), the store can be compared with one of two models: the
// one before the operation or the one after it.

#include "settings/settingsreaders.h"
#include "tests/support/powercutvfs.h"
#include "tests/support/testenv.h"

#include <QMap>
#include <QRandomGenerator>
#include <QStringList>

#include <memory>

namespace qv {
class PrescriptionDesk;
class DrugCatalogWindow;
class TemplatesWindow;
class DiagnosesWindow;
class SpeciesWindow;
}

namespace qv::test {

// The sanitizer build runs these tests again, about four times slower: it repeats less.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitizerBuild = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kSanitizerBuild = true;
#else
inline constexpr bool kSanitizerBuild = false;
#endif
#else
inline constexpr bool kSanitizerBuild = false;
#endif

// One table: its columns and its rows by identity (the key the program finds the row by).
struct TableModel {
    QStringList columns;
    QMap<QString, QStringList> rows; // "<null>" stands for a null column
};

struct StoreModel {
    QMap<QString, TableModel> tables;
    QMap<QString, QStringList> backups; // backup file path: the store as it was copied (rows()).

    // Every row of every table, one text per row, sorted: what the store must show.
    QStringList rows() const;
};

// The store as the model sees it; `error` tells when a table cannot be read.
StoreModel readStore(Database& db, QString* error = nullptr);
// Where two row lists differ, for a failure message.
QString differences(const QStringList& store, const QStringList& model);

enum class Operation {
    DeskNew,
    DeskChange,
    DeskContinue,
    DeskDelete,
    DrugAdd,
    DrugChange,
    DrugDelete,
    TemplateAdd,
    TemplateChange,
    TemplateDelete,
    DiagnosisAdd,
    DiagnosisDelete,
    SpeciesAdd,
    SpeciesDelete,
    SettingsSave,
    PasswordChange,
    LogMargins,
    ExitBackup,
};
inline constexpr int kOperationCount = int(Operation::ExitBackup) + 1;
QString operationName(Operation op);

// One start of the program on the data folder of env: the store opened by the program's start-up, and the
// windows, made when an operation first needs them. Ending it is what a power cut does to the program.
class Session {
public:
    explicit Session(TestEnv& env);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Starts the program on the folder; false with the reason when the start-up refuses.
    bool start(QString* error);
    // Every window goes, the store is closed.
    void end();

    // Runs op as the user would and returns the model the store must match once it is done. `warned` tells
    // whether the program showed a warning (a refused write). `skipped` when the model offers nothing to
    // work on (no stored prescription to change, say); nothing is written then.
    struct Attempt {
        StoreModel expected;
        bool warned = false;
        bool skipped = false;
        QString detail; // what was done, for a failure message
        QString backup; // the backup file an exit backup writes
    };
    Attempt run(Operation op, const StoreModel& model, QRandomGenerator& random);

    TestEnv& env;

private:
    PrescriptionDesk* desk();
    DrugCatalogWindow* drugs();
    TemplatesWindow* templates();
    DiagnosesWindow* diagnoses();
    SpeciesWindow* species();
    bool loadIntoDesk(const QString& key);

    std::unique_ptr<SettingsWindowHolder> m_settings;
    std::unique_ptr<PrescriptionDesk> m_desk;
    std::unique_ptr<DrugCatalogWindow> m_drugs;
    std::unique_ptr<TemplatesWindow> m_templates;
    std::unique_ptr<DiagnosesWindow> m_diagnoses;
    std::unique_ptr<SpeciesWindow> m_species;
};

// Where the exit backup of that day goes.
QString backupPath(TestEnv& env, const QDate& day);

// The backup at path as the model sees it: rows(), or one line saying why it is missing or unreadable. The
// file is read through a copy, so looking does not change it.
QStringList backupRows(const QString& path);

// One operation under a failing disk, checked. The power fails at the disk event `cutAt` counted from the
// start of the operation (-1: not during it) and, when cutAfter, once it is over; the disk is full after
// `fullAfter` writes (-1: never). A cut ends the session and starts the program again on what the disk kept.
// Then the store must hold exactly the model before the operation (refused, or cut before it took) or after
// it (done, or cut after it took), and a write reported done must be there. The model moves on to what the
// store holds; `failure` says what is wrong, empty when nothing is.
struct StepOutcome {
    QString failure;
    QString detail;
    bool skipped = false;
    bool cut = false;
    bool refused = false;
    bool took = false; // the store holds the write
    int events = 0; // disk events of the operation
};
struct StepFaults {
    int cutAt = -1;
    bool cutAfter = false;
    int fullAfter = -1;
    CutLoss loss = CutLoss::AllUnsynced;
    quint32 lossSeed = 0;
};
StepOutcome runStep(
    Session& session, StoreModel& model, Operation op, QRandomGenerator& random, const StepFaults& faults);

} // namespace qv::test
