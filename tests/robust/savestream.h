#pragma once
// The saves of the kill test, worked out from the run and the step number alone, so the saver and the test
// that checks what survived agree without talking: step 3m+2 changes the prescription made as the m-th new
// one of the run (version 2); every other step adds a new prescription (version 1). Bodies differ in length
// so saves touch different numbers of pages.

#include "desk/prescriptionrecord.h"

#include <QStringList>

namespace qv::test {

struct SaveStep {
    QString key;
    int version = 1;
};

inline QString streamKey(int run, int index)
{
    return QStringLiteral("R%1-K%2").arg(run).arg(index, 6, 10, QLatin1Char('0'));
}

inline SaveStep saveStep(int run, int step)
{
    if (step % 3 == 2)
        return { streamKey(run, step / 3), 2 };
    return { streamKey(run, 2 * (step / 3) + step % 3), 1 };
}

inline QString streamBody(const QString& key, int version)
{
    QStringList lines;
    const int count = 3 + int(qHash(key) % 90);
    for (int i = 0; i < count; ++i)
        lines << QStringLiteral("%1 第%2版 阿莫西林注射液 %3支 每日两次").arg(key).arg(version).arg(i);
    return lines.join(QStringLiteral("\r\n"));
}

// Field 5 carries the version, so the check knows which body a stored row must hold.
inline constexpr int kVersionField = 5;

inline PrescriptionRecord streamRecord(const SaveStep& step)
{
    PrescriptionRecord record;
    record.key = step.key;
    record.fields[0] = QStringLiteral("主人") + step.key;
    record.fields[kSpeciesField] = QStringLiteral("犬");
    record.fields[kSexField] = QStringLiteral("公");
    record.fields[kVersionField] = QString::number(step.version);
    record.fields[kDateField] = QStringLiteral("2026-12-08");
    record.fields[kFirstDiagnosisField] = QStringLiteral("诊断%1").arg(step.version);
    record.body = streamBody(step.key, step.version);
    return record;
}

} // namespace qv::test
