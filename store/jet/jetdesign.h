#pragma once
// What a Jet file holds against the six tables of the design and their columns: every table or column it
// lacks, every one it has beyond them, every column of another type. An import names each of these; it
// never drops or invents one silently.

#include "store/jet/jetfile.h"

#include <QStringList>

namespace qv {

struct JetDesignTable {
    QString name; // the store's table
    bool present = false;
    // For each of the store's columns in its order, its position in the file's table; -1 where it lacks it.
    QList<int> fileColumns;
    QStringList missingColumns;
    QStringList extraColumns;
    QStringList retypedColumns; // "6（文本，应为日期/时间）"
};

struct JetDesignReport {
    QList<JetDesignTable> tables; // the store's six, in the store's order
    QStringList extraTables;
    // The file has none of the six tables: not the Windows program's database.
    bool noDesignTable() const;
    // Nothing lacking, nothing beyond, every type as designed.
    bool matches() const;
    // One line per difference, in Chinese; empty when the file matches.
    QStringList lines() const;
};

JetDesignReport compareWithDesign(const JetFile& file);

// The sentence for a Jet file that has none of the design's tables.
QString notTheProgramsDatabaseMessage(const QString& path);

} // namespace qv
