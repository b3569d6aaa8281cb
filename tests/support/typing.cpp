#include "tests/support/typing.h"

#include <QTest>
#include <QWidget>

namespace qv::test {

void typeText(QWidget* widget, const QString& text)
{
    for (const QChar ch : text) {
        if (ch.unicode() < 128 && ch.isPrint())
            QTest::keyClick(widget, ch.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

void pressKey(QWidget* widget, int key)
{
    QTest::keyClick(widget, static_cast<Qt::Key>(key));
}

} // namespace qv::test
