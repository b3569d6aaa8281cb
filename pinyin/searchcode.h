#pragma once
// Search codes: the lower-case pinyin initials of a name, stored next to every catalog name so that a
// search can match either characters of the name or its initials.

#include <QChar>
#include <QString>

namespace qv {

// The search code of a name: only the text up to the first ASCII blank counts (other blanks do not cut);
// each character adds its initial (below). The result holds only "a"–"z" and "0"–"9" and may be empty.
QString searchCode(const QString& name);

// The initial of one character: a digit gives itself, an ASCII letter its lower case, a character GBK
// writes in two bytes the letter of the first table that lists it; everything else gives "".
QString pinyinInitial(QChar c);

// The same two answers found the long way, by testing the character with the GBK converter and scanning
// the 23 tables in order. This is the definition the fast versions above must agree with; tests and the
// benchmark compare against it.
QString pinyinInitialByTableScan(QChar c);
QString searchCodeByTableScan(const QString& name);

} // namespace qv
