#pragma once
// Typing into widgets in tests. QTest::keyClicks aborts on non-Latin-1 text, so Chinese is sent one character
// at a time as key events carrying the text.

#include <QString>

class QWidget;

namespace qv::test {

void typeText(QWidget* widget, const QString& text);
void pressKey(QWidget* widget, int key);

} // namespace qv::test
