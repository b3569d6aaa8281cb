// The desk's rules that need no window: display columns, body layout, the storage boundary, the field box
// layout, and the picker queries run against a fresh template database.
#include "catalogs/catalogindex.h"
#include "desk/bodylayout.h"
#include "desk/paperlayout.h"
#include "desk/pickerqueries.h"
#include "tests/support/testenv.h"

#include <QTest>

using namespace qv;

namespace {

QStringList texts(const PickerRows& rows)
{
    QStringList out;
    for (const PickerRow& r : rows.rows)
        out << r.text;
    return out;
}

void addCatalogRow(test::TestEnv& env, const QString& id, const QString& category, const QString& name,
    const QString& usage, const QString& code)
{
    const Result r = env.db.run(QStringLiteral("insert into \"商品\" (\"ID号\", \"分类\", \"名称\", "
                                               "\"用法\", \"拼音\", \"查询\") values (?, ?, ?, ?, ?, ?)"),
        { id, category, name, usage, code, name + code });
    QVERIFY2(r.ok, qPrintable(r.error));
}

QList<QPair<QString, qint64>> listed(const PickerRows& rows)
{
    QList<QPair<QString, qint64>> out;
    for (const PickerRow& r : rows.rows)
        out.append({ r.text, r.rowId });
    return out;
}

} // namespace

class DeskLogicTest final : public QObject {
    Q_OBJECT

private slots:
    void displayColumnsCountGbkDoubleByteCharactersTwice()
    {
        QCOMPARE(displayWidth(u"阿莫西林"), 8);
        QCOMPARE(displayWidth(u"0.25g×24粒"), 11); // × and 粒 are two-byte in GBK
        QCOMPARE(displayWidth(u"用法："), 6); // so is the full-width colon
        QCOMPARE(displayWidth(u"abc 1"), 5);
        QCOMPARE(displayWidth(u"한"), 1); // GBK cannot write it: one column
        QCOMPARE(displayWidth(u""), 0);
    }

    void herbEntriesAreRightAlignedInThirteenColumns()
    {
        QCOMPARE(alignHerbEntry(QStringLiteral("黄芪 10g")), QStringLiteral("     黄芪 10g"));
        QCOMPARE(displayWidth(alignHerbEntry(QStringLiteral("金银花 10g"))), 13);
        // 13 columns or more are neither padded nor cut.
        QCOMPARE(alignHerbEntry(QStringLiteral("一二三四五六x")), QStringLiteral("一二三四五六x"));
        QCOMPARE(alignHerbEntry(QStringLiteral("一二三四五六七八")), QStringLiteral("一二三四五六七八"));
    }

    void caretColumnCountsDisplayColumnsWithinTheCaretsLine()
    {
        const QString text = QStringLiteral("第一行\n  黄芪 10g\n");
        QCOMPARE(caretColumn(text, 0), 1);
        QCOMPARE(caretColumn(text, 3), 7); // after three Chinese characters
        QCOMPARE(caretColumn(text, 4), 1); // start of the second line
        QCOMPARE(caretColumn(text, 4 + 4), 7); // "  黄芪" is 6 columns
        QCOMPARE(caretColumn(text, int(text.size())), 1); // the empty last line
    }

    void drugRowsAppendTheirLinesWithTheRightBreaks()
    {
        QCOMPARE(drugRowAppendText(QStringLiteral("阿莫西林胶囊 0.25g×24粒\\0.5g 口服 每日3次")),
            QStringLiteral("阿莫西林胶囊 0.25g×24粒\n    用法：0.5g 口服 每日3次\n\n"));
        QCOMPARE(drugRowAppendText(QStringLiteral("用法：静脉滴注 每日1次")),
            QStringLiteral("    用法：静脉滴注 每日1次\n\n"));
        QCOMPARE(drugRowAppendText(QStringLiteral("0.9%氯化钠注射液  250ml")),
            QStringLiteral("0.9%氯化钠注射液  250ml\n"));
        // Every backslash opens a usage line.
        QCOMPARE(
            drugRowAppendText(QStringLiteral("a\\b\\c")), QStringLiteral("a\n    用法：b\n    用法：c\n\n"));
    }

    void herbStartsANewRowOnlyPastColumnThirtyOne()
    {
        QCOMPARE(herbInsertText(QStringLiteral("黄芪 10g"), 1), QStringLiteral("     黄芪 10g"));
        QCOMPARE(herbInsertText(QStringLiteral("黄芪 10g"), 31), QStringLiteral("     黄芪 10g"));
        QCOMPARE(herbInsertText(QStringLiteral("黄芪 10g"), 32), QStringLiteral("\n\n     黄芪 10g"));
    }

    void prescriptionSetStartsOnALineOfItsOwn()
    {
        QCOMPARE(prescriptionSetInsertText(QStringLiteral("A\nB"), 1), QStringLiteral("A\nB\n\n"));
        QCOMPARE(prescriptionSetInsertText(QStringLiteral("A\nB"), 5), QStringLiteral("\nA\nB\n\n"));
    }

    void quickInsertAddsAnEmptyLineOnlyAfterUsage()
    {
        QCOMPARE(quickInsertText(QStringLiteral("×")), QStringLiteral("×"));
        QCOMPARE(quickInsertText(QStringLiteral("    用法：肌肉注射 每日1次")),
            QStringLiteral("    用法：肌肉注射 每日1次\n\n"));
    }

    void bodyIsStoredWithCrLfWhateverTheEditorUses()
    {
        QCOMPARE(bodyToStored(QStringLiteral("a\n\nb")), QStringLiteral("a\r\n\r\nb"));
        QCOMPARE(bodyFromStored(QStringLiteral("a\r\n\r\nb")), QStringLiteral("a\n\nb"));
        QCOMPARE(bodyFromStored(QStringLiteral("a\rb\nc")), QStringLiteral("a\nb\nc"));
        const QString stored = QStringLiteral("青霉素\r\n    用法：x\r\n\r\n");
        QCOMPARE(bodyToStored(bodyFromStored(stored)), stored);
    }

    void fieldValueFollowsItsCaptionAndUnderlineRunsPastTheBox()
    {
        const FieldBoxLayout layout = fieldBoxLayout(3075, 700);
        QCOMPARE(layout.value.left(), 800.0);
        QCOMPARE(layout.value.width(), 3075.0 - 700 - 135);
        QCOMPARE(layout.value.top(), 15.0);
        QCOMPARE(layout.underline.y1(), 300.0);
        QCOMPARE(layout.underline.x1(), 800.0);
        QCOMPARE(layout.underline.x2(), 3075.0 + 25);
    }

    void blankOnlyUsageShowsTheNameAlone()
    {
        QCOMPARE(drugRowText(QStringLiteral("红药水"), QStringLiteral("   ")), QStringLiteral("红药水"));
        QCOMPARE(drugRowText(QStringLiteral("红药水"), QString()), QStringLiteral("红药水"));
        QCOMPARE(drugRowText(QStringLiteral("红药水"), QStringLiteral(" 外用 ")),
            QStringLiteral("红药水\\ 外用 "));
        QCOMPARE(trimBlanks(QStringLiteral("  肺炎 ")), QStringLiteral("肺炎"));
    }

    void categoryListsOnlyItsOwnRowsButSearchSpansAllNonHerbs()
    {
        test::TestEnv env;
        const PickerRows usage = fetchPickerRows(env.db, categoryListQuery(Usage, QString()));
        QVERIFY(usage.ok);
        QStringList usageNames;
        for (const Row& row : env.rows(
                 QStringLiteral("select \"名称\" from \"商品\" where \"分类\" = '用法' order by \"名称\"")))
            usageNames << row.text(QStringLiteral("名称"));
        QCOMPARE(texts(usage), usageNames);

        // yf from "用法" finds western drugs too (氧氟沙星片 has the initials yfsxp), and never a herb.
        const QStringList found
            = texts(fetchPickerRows(env.db, searchListQuery(Usage, QStringLiteral("yf"))));
        QVERIFY(found.contains(QStringLiteral("氧氟沙星片 0.1g×12片\\0.2g 口服 每日3次")));
        QVERIFY(found.contains(QStringLiteral("用法：静脉滴注 每日1次")));
        QCOMPARE(found, texts(fetchPickerRows(env.db, searchListQuery(Western, QStringLiteral("yf")))));
        const QStringList herbs = texts(fetchPickerRows(env.db, searchListQuery(Herbs, QString())));
        for (const QString& herb : herbs)
            QVERIFY(!found.contains(herb));
        QVERIFY(!herbs.isEmpty());
        // The herb search never lists western drugs; rows come sorted by name.
        QVERIFY(!herbs.contains(QStringLiteral("氧氟沙星片 0.1g×12片\\0.2g 口服 每日3次")));
        QStringList sorted = herbs;
        std::sort(sorted.begin(), sorted.end(),
            [](const QString& a, const QString& b) { return a.toUtf8() < b.toUtf8(); });
        QCOMPARE(herbs, sorted);
    }

    void catalogFillsStopAtTwoHundredRows()
    {
        test::TestEnv env;
        env.db.run(QStringLiteral("begin"));
        for (int i = 0; i < 250; ++i)
            addCatalogRow(env, QStringLiteral("9%1").arg(i, 5, 10, QLatin1Char('0')), QStringLiteral("中药"),
                QStringLiteral("aa药%1").arg(i, 3, 10, QLatin1Char('0')), QString(), QStringLiteral("ay"));
        env.db.run(QStringLiteral("commit"));
        QCOMPARE(fetchPickerRows(env.db, categoryListQuery(Herbs, QString())).rows.size(), kPickerRowLimit);
        const PickerRows searched = fetchPickerRows(env.db, searchListQuery(Herbs, QStringLiteral("aa")));
        QCOMPARE(searched.rows.size(), kPickerRowLimit);
        QCOMPARE(searched.rows.first().text, QStringLiteral("aa药000"));
        QCOMPARE(searched.rows.last().text, QStringLiteral("aa药199"));
    }

    void typedQuotesAndWildcardsAreSearchedLiterally()
    {
        test::TestEnv env;
        addCatalogRow(env, QStringLiteral("90001"), QStringLiteral("西药"), QStringLiteral("O'Brien 滴剂"),
            QString(), QStringLiteral("obdj"));
        addCatalogRow(env, QStringLiteral("90002"), QStringLiteral("西药"), QStringLiteral("a_b 片"),
            QString(), QStringLiteral("abp"));
        const PickerRows quote = fetchPickerRows(env.db, searchListQuery(Western, QStringLiteral("'")));
        QVERIFY2(quote.ok, qPrintable(quote.error));
        QCOMPARE(texts(quote), QStringList { QStringLiteral("O'Brien 滴剂") });
        // "%" matches only names holding a percent sign, "_" only names holding an underscore.
        const QStringList percent
            = texts(fetchPickerRows(env.db, searchListQuery(Western, QStringLiteral("%"))));
        QVERIFY(!percent.isEmpty());
        for (const QString& t : percent)
            QVERIFY2(t.contains(QLatin1Char('%')), qPrintable(t));
        QCOMPARE(texts(fetchPickerRows(env.db, searchListQuery(Western, QStringLiteral("_")))),
            QStringList { QStringLiteral("a_b 片") });
        QCOMPARE(completionNames(env.db, CompletionCatalog::Diagnoses, QStringLiteral("'")), QStringList());
    }

    void templateSearchStaysInItsCategoryAndKeepsTheRowsId()
    {
        test::TestEnv env;
        QCOMPARE(texts(fetchPickerRows(env.db, categoryListQuery(PrescriptionSets, QString()))),
            (QStringList { QStringLiteral("青霉素组套"), QStringLiteral("肺炎组套") }));
        // "htt" is the formula 华佗汤; from the set category it finds nothing.
        QCOMPARE(texts(fetchPickerRows(env.db, searchListQuery(PrescriptionSets, QStringLiteral("htt")))),
            QStringList());
        const PickerRows sets
            = fetchPickerRows(env.db, searchListQuery(PrescriptionSets, QStringLiteral("fy")));
        QCOMPARE(texts(sets), QStringList { QStringLiteral("肺炎组套") });
        QString content;
        QVERIFY(templateContent(env.db, sets.rows.first().rowId, &content));
        QVERIFY(content.startsWith(QStringLiteral("头孢曲松注射液粉  3.0g\r\n")));
        QVERIFY(!templateContent(env.db, 999999, &content));
    }

    void completionMatchesNameOrInitialsInStoreOrder()
    {
        test::TestEnv env;
        QCOMPARE(completionNames(env.db, CompletionCatalog::Species, QString()),
            (QStringList { QStringLiteral("猪"), QStringLiteral("狗"), QStringLiteral("鸡"),
                QStringLiteral("牛"), QStringLiteral("猫") }));
        QCOMPARE(completionNames(env.db, CompletionCatalog::Species, QStringLiteral("G")),
            QStringList { QStringLiteral("狗") });
        QCOMPARE(completionNames(env.db, CompletionCatalog::Diagnoses, QStringLiteral("炎")),
            (QStringList { QStringLiteral("肺炎"), QStringLiteral("肠炎") }));
    }

    void catalogIndexGivesExactlyTheRowsOfTheStatement()
    {
        test::TestEnv env;
        env.db.run(QStringLiteral("begin"));
        for (int i = 0; i < 320; ++i)
            addCatalogRow(env, QStringLiteral("7%1").arg(i),
                i % 4 ? QStringLiteral("中药") : QStringLiteral("西药"),
                QStringLiteral("Ab药%1").arg(i % 150), i % 3 ? QString() : QStringLiteral("  外用 "),
                QStringLiteral("aby"));
        env.db.run(QStringLiteral("commit"));
        addCatalogRow(env, QStringLiteral("80001"), QStringLiteral("其他"), QStringLiteral("O'Brien_1%"),
            QString(), QStringLiteral("ob"));
        // Rows a filter must leave out: no lookup text, no category.
        env.db.run(QStringLiteral(
            "insert into \"商品\" (\"ID号\", \"分类\", \"名称\") values ('80002', '西药', '无查询')"));
        env.db.run(QStringLiteral(
            "insert into \"商品\" (\"ID号\", \"名称\", \"查询\") values ('80003', '无分类', '无分类wfl')"));
        env.db.run(QStringLiteral(
            "insert into \"商品\" (\"ID号\", \"分类\", \"查询\") values ('80004', '西药', 'wmc')"));

        CatalogIndex index(env.db);
        const QStringList typed = { QString(), QStringLiteral("a"), QStringLiteral("AB"),
            QStringLiteral("b药1"), QStringLiteral("'"), QStringLiteral("%"), QStringLiteral("_"),
            QStringLiteral("黄"), QStringLiteral("10g"), QStringLiteral("w"), QStringLiteral("nothing") };
        for (int category = Herbs; category <= Usage; ++category) {
            QList<PickerQuery> queries { categoryListQuery(category, QString()) };
            for (const QString& t : typed)
                queries << searchListQuery(category, t) << categoryListQuery(category, t);
            for (const PickerQuery& q : queries) {
                const PickerRows fromStore = fetchPickerRows(env.db, q);
                const PickerRows fromIndex = fetchCatalogRows(index, q);
                QVERIFY(fromStore.ok && fromIndex.ok);
                QVERIFY2(listed(fromIndex) == listed(fromStore),
                    qPrintable(QStringLiteral("category %1, typed '%2'").arg(category).arg(q.typed)));
            }
        }
        QCOMPARE(index.loads(), 1);
        QCOMPARE(fetchCatalogRows(index, searchListQuery(Herbs, QStringLiteral("ab"))).rows.size(),
            kPickerRowLimit);
    }

    void catalogIndexSeesEveryWriteToTheCatalogAndOnlyThose()
    {
        test::TestEnv env;
        CatalogIndex index(env.db);
        const PickerQuery query = searchListQuery(Western, QStringLiteral("xyz"));
        QVERIFY(fetchCatalogRows(index, query).rows.isEmpty());
        addCatalogRow(env, QStringLiteral("90001"), QStringLiteral("西药"), QStringLiteral("新药"), QString(),
            QStringLiteral("xyz"));
        QCOMPARE(texts(fetchCatalogRows(index, query)), QStringList { QStringLiteral("新药") });
        env.db.run(QStringLiteral("update \"商品\" set \"名称\" = '改名' where \"ID号\" = '90001'"));
        QCOMPARE(texts(fetchCatalogRows(index, query)), QStringList { QStringLiteral("改名") });
        // Each write was applied to the one row it changed; the catalog was read once.
        QCOMPARE(index.loads(), 1);
        QCOMPARE(index.rowsRefreshed(), 2);
        const int loads = index.loads();
        // A prescription saved meanwhile does not make the catalog be read again.
        env.db.run(QStringLiteral("insert into \"档案\" (\"序号\", \"0\") values ('k1', '张三')"));
        QCOMPARE(texts(fetchCatalogRows(index, query)), QStringList { QStringLiteral("改名") });
        QCOMPARE(index.loads(), loads);
        env.db.run(QStringLiteral("delete from \"商品\" where \"ID号\" = '90001'"));
        QVERIFY(fetchCatalogRows(index, query).rows.isEmpty());

        // A connection opened again has lost the counter; the index notices and reads the catalog anew.
        QString error;
        env.db.close();
        QVERIFY(env.db.open(env.context.databasePath, &error));
        addCatalogRow(env, QStringLiteral("90002"), QStringLiteral("西药"), QStringLiteral("再开"), QString(),
            QStringLiteral("xyz"));
        QCOMPARE(texts(fetchCatalogRows(index, query)), QStringList { QStringLiteral("再开") });
    }
};

QTEST_GUILESS_MAIN(DeskLogicTest)
#include "tst_desklogic.moc"
