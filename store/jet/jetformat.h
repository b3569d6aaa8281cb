#pragma once
// Recognising the Windows program's database by its first bytes: a Jet file (Access 97 / 2000-2003) or the
// Access 2007 format, which libmdb reads as well. Cheap enough for every start.

#include <QByteArrayView>
#include <QString>

namespace qv {

enum class JetFormat { None, Jet3, Jet4, Ace };

// How many first bytes jetFormatOf needs.
constexpr int kJetHeaderBytes = 0x15;

JetFormat jetFormatOf(QByteArrayView firstBytes);
// The file's first bytes; None when it cannot be read or is no Jet file.
JetFormat jetFormatOfFile(const QString& path);
// "Access 2000（Jet 4）" and the like, for messages.
QString jetFormatName(JetFormat format);

} // namespace qv
