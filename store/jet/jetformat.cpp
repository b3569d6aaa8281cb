#include "store/jet/jetformat.h"

#include <QFile>

namespace qv {

JetFormat jetFormatOf(QByteArrayView firstBytes)
{
    // A Jet page 0 starts with the page type 0, 1, 0, 0 and the engine's name; the byte at 0x14 gives the
    // version (0 Jet 3, 1 Jet 4, 2 and above the Access 2007 engine and its successors).
    if (firstBytes.size() < kJetHeaderBytes)
        return JetFormat::None;
    const QByteArrayView start = firstBytes.first(4);
    if (start != QByteArrayView("\x00\x01\x00\x00", 4))
        return JetFormat::None;
    const QByteArrayView engine = firstBytes.sliced(4, 16);
    const bool jet = engine == QByteArrayView("Standard Jet DB\0", 16);
    const bool ace = engine == QByteArrayView("Standard ACE DB\0", 16);
    const int version = static_cast<unsigned char>(firstBytes[0x14]);
    if (jet && version == 0)
        return JetFormat::Jet3;
    if (jet && version == 1)
        return JetFormat::Jet4;
    if ((jet || ace) && version >= 2 && version <= 6)
        return JetFormat::Ace;
    return JetFormat::None;
}

JetFormat jetFormatOfFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return JetFormat::None;
    return jetFormatOf(file.read(kJetHeaderBytes));
}

QString jetFormatName(JetFormat format)
{
    switch (format) {
    case JetFormat::Jet3:
        return QStringLiteral("Access 97（Jet 3）");
    case JetFormat::Jet4:
        return QStringLiteral("Access 2000（Jet 4）");
    case JetFormat::Ace:
        return QStringLiteral("Access 2007 或更新的格式");
    case JetFormat::None:
        break;
    }
    return QStringLiteral("不是 Access 数据库");
}

} // namespace qv
