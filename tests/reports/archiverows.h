#pragma once
// Prescriptions put straight into 档案 for the report tests.

#include "store/database.h"

#include <QString>

namespace qv::test {

// One archive row with the columns the reports read; a null QVariant stores NULL.
struct Prescription {
    QString key; // 序号
    QVariant date; // [6]
    QVariant owner = QStringLiteral("OWNER");
    QVariant number = QStringLiteral("N1");
    QVariant species = QStringLiteral("狗");
    QVariant sex = QStringLiteral("公");
    QVariant weight = QStringLiteral("12kg");
    QVariant age = QStringLiteral("60天");
    QVariant vet = QStringLiteral("王医生");
};

void insertPrescription(Database& db, const Prescription& p);

// count rows dated `date`, keyed keyPrefix + a 6-digit serial (so key order is serial order), owner
// "OWNER" + the same serial, record number "N" + serial. Written in one transaction.
void insertPrescriptions(
    Database& db, int count, const QString& date, const QString& keyPrefix = QStringLiteral("K"));

} // namespace qv::test
