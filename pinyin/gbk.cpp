#include "pinyin/gbk.h"

#include <QStringEncoder>

namespace qv {

bool isGbkDoubleByte(QChar c)
{
    // A fresh encoder each time: its error flag is sticky, and a character must not inherit the
    // failure of the one before.
    QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    if (!encoder.isValid())
        return false;
    const QByteArray bytes = encoder.encode(QStringView(&c, 1));
    return !encoder.hasError() && bytes.size() == 2 && static_cast<unsigned char>(bytes[0]) >= 0x80;
}

} // namespace qv
