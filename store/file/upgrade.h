#pragma once
// Bringing a database file made by an earlier version of the program up to what the template holds now.
//
// Each step adds one thing the template has (an index, a table, a trigger) to a file that lacks it. A step
// runs once: a file that has it already is not written to at all. Each step runs in its own transaction, so a
// step that fails (a full disk, a read-only file, rows that break a new unique index) is rolled back, leaves
// the file as it was, and the program works on without it; the next open tries again.

#include "store/database.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace qv {

// One upgrade step: what it adds, by its name in the schema, and the statement that makes it. The template's
// schema script (schema.h) runs the same statements, so a new file and an upgraded file end up alike.
struct UpgradeStep {
    QString name;
    QString createSql;
};

// How many of the latest catalog change notes a database keeps.
constexpr int kCatalogNotesKept = 10000;

// Every step, in the order they are applied. Add new steps at the end.
const QList<UpgradeStep>& upgradeSteps();

struct UpgradeReport {
    QStringList applied; // names added by this open
    QStringList failed; // "name: why" for each step that was rolled back
};

// Applies the steps the open file lacks. Called once, right after the file is opened at start-up.
UpgradeReport upgradeExistingFile(Database& db);

} // namespace qv
