#include "archiverows.h"

#include <QTest>

namespace qv::test {

namespace {

    const QString kInsert
        = QStringLiteral("insert into \"档案\" (\"序号\", \"6\", \"0\", \"1\", \"2\", \"3\", \"4\", \"5\", "
                         "\"7\") values (?, ?, ?, ?, ?, ?, ?, ?, ?)");

    Result insert(Database& db, const Prescription& p)
    {
        return db.run(
            kInsert, { p.key, p.date, p.owner, p.number, p.species, p.sex, p.weight, p.age, p.vet });
    }

} // namespace

void insertPrescription(Database& db, const Prescription& p)
{
    const Result r = insert(db, p);
    if (!r)
        QFAIL(qPrintable(r.error));
}

void insertPrescriptions(Database& db, int count, const QString& date, const QString& keyPrefix)
{
    const Result r = db.transaction([&] {
        Result last { true };
        for (int i = 1; i <= count && last; ++i) {
            const QString serial = QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0'));
            Prescription p;
            p.key = keyPrefix + serial;
            p.date = date;
            p.owner = QStringLiteral("OWNER") + serial;
            p.number = QStringLiteral("N") + serial;
            last = insert(db, p);
        }
        return last;
    });
    if (!r)
        QFAIL(qPrintable(r.error));
}

} // namespace qv::test
