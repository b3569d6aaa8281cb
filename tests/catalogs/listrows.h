#pragma once
// Reading and clicking the entries of a catalog window's list in tests.

#include <QListWidget>
#include <QTest>

namespace qv::test {

inline QStringList listed(QListWidget* list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    return names;
}

// Clicks the one entry showing name (the window must be shown).
inline void clickRow(QListWidget* list, const QString& name)
{
    const QList<QListWidgetItem*> found = list->findItems(name, Qt::MatchExactly);
    QVERIFY2(found.size() == 1, qPrintable(name));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.first()).center());
}

} // namespace qv::test
