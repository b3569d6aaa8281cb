#include "tests/support/typing.h"

#include <QTest>
#include <QWidget>

namespace qv::test {

void typeText(QWidget* widget, const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch.unicode() < 128 && ch.isPrint()) {
            QTest::keyClick(widget, ch.toLatin1());
            continue;
        }
        // A character outside the BMP (an emoji) is one key press carrying both halves of its surrogate pair;
        // a widget ignores a lone half.
        const qsizetype length
            = ch.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate() ? 2 : 1;
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, text.mid(i, length), Qt::NoModifier);
        i += length - 1;
    }
}

void pressKey(QWidget* widget, int key) { QTest::keyClick(widget, static_cast<Qt::Key>(key)); }

} // namespace qv::test
