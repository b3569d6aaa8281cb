#pragma once
// The bad input every text field and search box of every window is given, and the checks that go with it.

#include "store/database.h"

#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

namespace qv::test {

struct BadText {
    const char* name;
    QString text;
};

// Apostrophes, "%", "_", an injection attempt, backslashes, 10,000 characters, emoji, characters GBK cannot
// write, blanks only, an impossible and a non-date.
const QList<BadText>& badTexts();
// One data row per bad text, in a column "text" (QString).
void addBadTextRows(const QString& prefix = {});

// Replaces what the box holds with text, typed key by key (a text too long to type is pasted).
void enterText(QWidget* box, const QString& text);

// Whether any of the texts reads like a message of the SQL engine (the user would see SQL, not a sentence).
bool holdsSqlError(const QStringList& messages);

// The rows of table whose column holds needle literally (ASCII letters case-blind, as LIKE matches), with an
// optional further condition.
int rowsContaining(Database& db, const QString& table, const QString& column, const QString& needle,
    const QString& condition = {}, const QVariantList& params = {});

// What an action changed in the store: rows that appeared and rows that went (see storeSnapshot()).
struct StoreChange {
    QStringList added, removed;
};
StoreChange storeChange(const QStringList& before, const QStringList& after);

} // namespace qv::test
