#pragma once
// What the Chinese code page (GBK) makes of a character, asked of the platform's converter.

#include <QChar>

namespace qv {

// True when GBK writes the character as a two-byte code (its lead byte has the high bit set). ASCII,
// characters GBK cannot write and lone surrogates give false.
bool isGbkDoubleByte(QChar c);

} // namespace qv
