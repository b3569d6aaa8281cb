#pragma once
// Whole files and folders for the tests: read, written, kept and put back byte for byte.

#include <QByteArray>
#include <QMap>
#include <QString>

namespace qv::test {

// The file's bytes; empty when it cannot be read.
QByteArray contentsOf(const QString& path);
bool writeFile(const QString& path, const QByteArray& bytes);
// Every file below root (hidden ones too), by its path relative to root.
QMap<QString, QByteArray> filesBelow(const QString& root);
// Makes root hold exactly those files again: its folders are removed first.
void putBack(const QString& root, const QMap<QString, QByteArray>& files);

} // namespace qv::test
