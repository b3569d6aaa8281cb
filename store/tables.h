#pragma once
// The six tables of the archive and their columns in stored order (the order select * returns), as both
// engines keep them.

#include <QList>
#include <QString>
#include <QStringList>

namespace qv {

struct StoreTable {
    QString name;
    QStringList columns;
    QStringList currency; // the columns of exact amounts; every other column is text
};

const QList<StoreTable>& storeTables();

} // namespace qv
