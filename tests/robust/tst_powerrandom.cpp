// A long working life in fast motion: thousands of random operations of every writing window, with power cuts
// and full disks mixed in at random moments. After every operation the store is compared with a model of what
// it must hold; after every cut the program starts again on what the disk kept and is compared once more.
//
// Seeded: a failure prints the seed, and `--seed N` runs the same life again. `--operations N` runs a longer
// one (the default is short enough for every test run).

#include "tests/robust/powerworkload.h"

#include <QApplication>
#include <QTest>

#include <cstring>

using namespace qv;
using namespace qv::test;

namespace {

constexpr int kDefaultOperations = kSanitizerBuild ? 300 : 2000;

int g_operations = kDefaultOperations;
quint32 g_seed = 0;
bool g_seedGiven = false;

// How often each operation comes up: prescriptions most, the rest now and then.
Operation pickOperation(QRandomGenerator& random)
{
    static const std::pair<Operation, int> weights[] = { { Operation::DeskNew, 14 },
        { Operation::DeskChange, 8 }, { Operation::DeskContinue, 4 }, { Operation::DeskDelete, 4 },
        { Operation::DrugAdd, 5 }, { Operation::DrugChange, 3 }, { Operation::DrugDelete, 2 },
        { Operation::TemplateAdd, 3 }, { Operation::TemplateChange, 2 }, { Operation::TemplateDelete, 1 },
        { Operation::DiagnosisAdd, 3 }, { Operation::DiagnosisDelete, 2 }, { Operation::SpeciesAdd, 3 },
        { Operation::SpeciesDelete, 2 }, { Operation::SettingsSave, 2 }, { Operation::PasswordChange, 1 },
        { Operation::LogMargins, 1 }, { Operation::ExitBackup, 3 } };
    int total = 0;
    for (const auto& w : weights)
        total += w.second;
    int pick = int(random.bounded(total));
    for (const auto& w : weights) {
        if (pick < w.second)
            return w.first;
        pick -= w.second;
    }
    return Operation::DeskNew;
}

} // namespace

class PowerRandomTest final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { installPowerCutVfs(); }

    void aLongLifeOfCutsAndFullDisksLosesNothing()
    {
        const quint32 seed = g_seedGiven ? g_seed : QRandomGenerator::global()->generate();
        qInfo("seed %u, %d operations", seed, g_operations);
        QRandomGenerator random(seed);

        TestEnv env;
        Session session(env);
        QString error;
        QVERIFY2(session.start(&error), qPrintable(error));
        StoreModel model = readStore(env.db, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));

        // The most disk events seen for each operation, so cuts land inside operations of every size.
        int mostEvents[kOperationCount] = {};
        int done = 0, refused = 0, cutsDuring = 0, cutsAfter = 0, tookDespiteCut = 0, skipped = 0;
        QStringList recent;
        for (int n = 0; n < g_operations; ++n) {
            // Mostly seconds apart; now and then the next day, so the backups of several days fill.
            env.clock.advanceSeconds(random.bounded(100) < 3 ? 86400 : int(random.bounded(1, 90)));
            const Operation op = pickOperation(random);
            StepFaults faults;
            const int size = mostEvents[int(op)];
            const int roll = int(random.bounded(100));
            if (roll < 12)
                faults.cutAt = int(random.bounded(size + 2));
            else if (roll < 16)
                faults.cutAfter = true;
            if (random.bounded(100) < 8)
                faults.fullAfter = int(random.bounded(size + 1));
            faults.loss = random.bounded(2) ? CutLoss::TornSectors : CutLoss::AllUnsynced;
            faults.lossSeed = random.generate();

            const StepOutcome o = runStep(session, model, op, random, faults);
            recent << QStringLiteral("%1: %2%3%4")
                          .arg(n)
                          .arg(o.detail.left(120),
                              faults.cutAt >= 0 ? QStringLiteral(" [cut at %1]").arg(faults.cutAt)
                                                : QString(),
                              faults.fullAfter >= 0 ? QStringLiteral(" [full after %1]").arg(faults.fullAfter)
                                                    : QString());
            if (recent.size() > 8)
                recent.removeFirst();
            QVERIFY2(o.failure.isEmpty(),
                qPrintable(QStringLiteral("seed %1, operation %2: %3\nlast operations:\n%4")
                               .arg(seed)
                               .arg(n)
                               .arg(o.failure, recent.join(QLatin1Char('\n')))));
            if ((n + 1) % 1000 == 0)
                qInfo("%d operations, all as the model says", n + 1);
            if (!o.cut && !o.refused && !o.skipped)
                mostEvents[int(op)] = qMax(mostEvents[int(op)], o.events);
            skipped += o.skipped;
            refused += o.refused;
            if (o.cut) {
                (faults.cutAt >= 0 && !faults.cutAfter ? cutsDuring : cutsAfter) += 1;
                tookDespiteCut += o.took && faults.cutAt >= 0;
            } else if (!o.refused && !o.skipped) {
                ++done;
            }
        }
        // A clean start at the end finds the whole life.
        session.end();
        QVERIFY2(session.start(&error), qPrintable(error));
        QCOMPARE(readStore(env.db).rows(), model.rows());
        for (auto it = model.backups.cbegin(); it != model.backups.cend(); ++it)
            QVERIFY2(backupRows(it.key()) == it.value(),
                qPrintable(QStringLiteral("seed %1: backup %2").arg(seed).arg(it.key())));
        qInfo("seed %u: %d operations: %d done, %d refused on a full disk and kept out, %d power cuts during "
              "a write "
              "(%d of them after it took), %d cuts just after one, %d skipped; %d prescriptions and %d "
              "backups at "
              "the end, each as the model says",
            seed, g_operations, done, refused, cutsDuring, tookDespiteCut, cutsAfter, skipped,
            int(model.tables.value(QStringLiteral("档案")).rows.size()), int(model.backups.size()));
        QVERIFY(done > g_operations / 2);
        QVERIFY(cutsDuring > 0 && refused > 0);
    }
};

// QtTest's own arguments pass through; --operations N and --seed N are this test's.
int main(int argc, char** argv)
{
    // One test function runs the whole life: a long one must not meet QtTest's watchdog.
    if (qEnvironmentVariableIsEmpty("QTEST_FUNCTION_TIMEOUT"))
        qputenv("QTEST_FUNCTION_TIMEOUT", "86400000");
    QApplication app(argc, argv);
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (i + 1 < argc && std::strcmp(argv[i], "--operations") == 0) {
            g_operations = QByteArray(argv[++i]).toInt();
        } else if (i + 1 < argc && std::strcmp(argv[i], "--seed") == 0) {
            g_seed = QByteArray(argv[++i]).toUInt();
            g_seedGiven = true;
        } else {
            rest.push_back(argv[i]);
        }
    }
    PowerRandomTest test;
    return QTest::qExec(&test, int(rest.size()), rest.data());
}

#include "tst_powerrandom.moc"
