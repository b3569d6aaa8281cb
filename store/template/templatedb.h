#pragma once
// The template database the program carries: written as 数据库.dat when the data folder has none.

#include "store/server/serverschema.h"

#include <QByteArray>
#include <QString>

namespace qv {

QByteArray templateImage();

// Writes the template to path through a temporary file beside it, renamed into place at the end, so a failed
// write never leaves a partial database. An existing file at path is never touched.
bool writeTemplateDatabase(const QString& path, QString* error);

// Makes the practice's server database ready (store/server/serverschema.h); an empty one is filled with the
// template's rows, so a server starts as a new file does.
Result prepareServerFromTemplate(Database& server, ServerPreparation* done = nullptr);

} // namespace qv
