#pragma once
// Search by everyday readings. A stored search code gives each character one initial (the letter tables'
// rule, searchcode.h), but a character of several readings may be typed with another one: 丹参 is coded dc
// and typed ds, 白术 is coded bs and typed bz. Here each character of a name stands for the set of all its
// initials, and typed initials match when they run through consecutive characters, each letter in its
// character's set. That tests every combination of readings at once, in time linear in the name, so a name
// of many polyphones costs no more than any other.

#include <QString>
#include <QStringView>
#include <QtGlobal>
#include <vector>

namespace qv {

// Bit i stands for the letter 'a' + i, bit 26 + d for the digit d.
using InitialSet = quint64;

// The sets of a name, one per character that has any, taken from the part of the name a search code is made
// of (up to the first ASCII blank). A digit or an ASCII letter stands for itself; a Chinese character for the
// initial its search code gives it and the initial of each of its modern readings; anything else is left out
// (as it is left out of the code).
std::vector<InitialSet> readingInitials(QStringView name);
// The same sets appended to out (for an index that keeps the sets of many names in one list).
void appendReadingInitials(QStringView name, std::vector<InitialSet>& out);

// True when typed is not empty and holds only ASCII letters and digits: the only texts matched by readings.
bool isInitialsText(QStringView typed);

// True when typed (ASCII letters in either case and digits) runs through consecutive sets.
bool readingsMatch(const InitialSet* sets, qsizetype count, QStringView typed);
inline bool readingsMatch(const std::vector<InitialSet>& sets, QStringView typed)
{
    return readingsMatch(sets.data(), qsizetype(sets.size()), typed);
}

} // namespace qv
