#pragma once
// An amount column's value as the server's exact numeric(19, 4) keeps it. The file keeps whatever was written
// into such a column: a real with more decimals, an empty text, even a word. Moving a file onto the server
// carries each value as the server will hold it, and both sides are checksummed in that form.

#include <QByteArray>
#include <QByteArrayView>

namespace qv {

struct ServerAmount {
    enum Form { Kept, Rounded, Empty, Invalid };
    Form form = Kept;
    QByteArray text; // Kept and Rounded: the amount as both engines give it as text ("12.5", "0", "-3")
};

// Rounds half away from zero to four decimals, as the server does. Blank text becomes Empty (stored as
// null); anything that is not a number, or has more than fifteen digits before the point, is Invalid.
ServerAmount serverAmount(QByteArrayView stored);

} // namespace qv
