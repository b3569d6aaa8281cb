#include "tests/robust/badinput.h"
#include "tests/support/typing.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTest>

namespace qv::test {

namespace {

    QString longText()
    {
        // Every awkward character again and again, so a cut or an escape gone wrong shows anywhere along it.
        QString text;
        while (text.size() < 10000)
            text += QStringLiteral("长'%_\\文");
        return text.left(10000);
    }

    // Above this the text is pasted: ten thousand key presses, each running a search, prove nothing more.
    constexpr int kLongestTyped = 200;

} // namespace

const QList<BadText>& badTexts()
{
    static const QList<BadText> texts {
        { "apostrophes", QStringLiteral("O'Brien's 狗") },
        { "percent", QStringLiteral("50%") },
        { "underscore", QStringLiteral("a_b") },
        { "injection", QStringLiteral("' or '1'='1") },
        { "statement", QStringLiteral("x'); drop table \"档案\"; --") },
        { "backslashes", QStringLiteral("C:\\病历\\") },
        { "10000 characters", longText() },
        { "emoji", QStringLiteral("小狗🐶发烧🌡️") },
        { "not in GBK", QStringLiteral("한국어 ᚠᛁ ₿") },
        { "blanks only", QStringLiteral("   ") },
        { "impossible date", QStringLiteral("2017-02-30") },
        { "not a date", QStringLiteral("abc") },
    };
    return texts;
}

void addBadTextRows(const QString& prefix)
{
    for (const BadText& bad : badTexts())
        QTest::newRow(qPrintable(prefix + QString::fromLatin1(bad.name))) << bad.text;
}

void enterText(QWidget* box, const QString& text)
{
    box->setFocus();
    if (auto* line = qobject_cast<QLineEdit*>(box)) {
        line->selectAll();
        QTest::keyClick(line, Qt::Key_Delete);
        if (text.size() > kLongestTyped)
            line->insert(text);
        else
            typeText(line, text);
        return;
    }
    if (auto* edit = qobject_cast<QPlainTextEdit*>(box)) {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        if (text.size() > kLongestTyped)
            edit->insertPlainText(text);
        else
            typeText(edit, text);
        return;
    }
    typeText(box, text);
}

bool holdsSqlError(const QStringList& messages)
{
    static const QRegularExpression sql(
        QStringLiteral("syntax error|unrecognized token|near \"|no such (table|column)|SQL logic|malformed|"
                       "unable to|misuse|incomplete input"),
        QRegularExpression::CaseInsensitiveOption);
    for (const QString& m : messages) {
        if (sql.match(m).hasMatch())
            return true;
    }
    return false;
}

int rowsContaining(Database& db, const QString& table, const QString& column, const QString& needle,
    const QString& condition, const QVariantList& params)
{
    // Counted here, not with the store's LIKE: the text found anywhere, ASCII letters case-blind.
    QString sql = QStringLiteral("select \"%2\" as v from \"%1\"").arg(table, column);
    if (!condition.isEmpty())
        sql += QStringLiteral(" where ") + condition;
    const Result r = db.run(sql, params);
    if (!r)
        return -1;
    const QString wanted = foldAsciiCase(needle);
    int n = 0;
    for (const Row& row : r.rows)
        n += foldAsciiCase(row.text(QStringLiteral("v"))).contains(wanted) ? 1 : 0;
    return n;
}

StoreChange storeChange(const QStringList& before, const QStringList& after)
{
    StoreChange change;
    QStringList rest = before;
    for (const QString& row : after) {
        if (!rest.removeOne(row))
            change.added << row;
    }
    change.removed = rest;
    return change;
}

} // namespace qv::test
