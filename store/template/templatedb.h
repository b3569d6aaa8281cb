#pragma once
// The template database the program carries: written as 数据库.dat when the data folder has none.

#include <QByteArray>
#include <QString>

namespace qv {

QByteArray templateImage();

// Writes the template to path through a temporary file beside it, renamed into place at the end, so a failed
// write never leaves a partial database. An existing file at path is never touched.
bool writeTemplateDatabase(const QString& path, QString* error);

} // namespace qv
