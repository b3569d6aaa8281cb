// The templates window: new, save, select, category switch, delete, and the desk's preset.

#include "catalogs/templateswindow.h"
#include "tests/catalogs/listrows.h"
#include "tests/support/testenv.h"
#include "tests/support/typing.h"

#include <sqlcipher/sqlite3.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace qv;
using namespace qv::test;

namespace {

const QString kTemplates = QStringLiteral("个人模板");

} // namespace

class TestTemplates final : public QObject {
    Q_OBJECT
private slots:
    void opensOnPersonalSetsNewestFirst();
    void savingTwiceAfterNewKeepsOneRow();
    void newTwiceInOneSecondGivesTwoTemplates();
    void otherCategoryThenSaveAddsThereAndKeepsFirst();
    void selectingShowsStoredCodeAndDeleteRemovesIt();
    void deleteInNewStateDeletesNothing();
    void blankNameOfNewTemplateIsRefused();
    void refusedSaveIsReportedAndFieldsKept();
    void deskPresetStartsNewTemplateInItsCategory();
    void exitClosesTheSubWindowFrame();
};

void TestTemplates::opensOnPersonalSetsNewestFirst()
{
    TestEnv env;
    TemplatesWindow w(env.services);
    QCOMPARE(w.windowTitle(), QStringLiteral("模板维护"));
    QVERIFY(w.categoryOptions[0]->isChecked());
    QCOMPARE(w.currentCategory(), QStringLiteral("个人组套"));
    QCOMPARE(
        listed(w.templateList), (QStringList { QStringLiteral("肺炎组套"), QStringLiteral("青霉素组套") }));
    QCOMPARE(w.currentKey(), QStringLiteral("20261208093000"));

    QTest::mouseClick(w.categoryOptions[1], Qt::LeftButton);
    QCOMPARE(w.currentCategory(), QStringLiteral("中药方剂"));
    QCOMPARE(listed(w.templateList), QStringList { QStringLiteral("华佗汤") });
}

void TestTemplates::savingTwiceAfterNewKeepsOneRow()
{
    TestEnv env;
    TemplatesWindow w(env.services);
    w.show();
    QTest::mouseClick(w.addButton, Qt::LeftButton);
    typeText(w.nameBox, QStringLiteral("感冒组套"));
    QCOMPARE(w.codeBox->text(), QStringLiteral("gmzt"));
    w.bodyBox->setPlainText(QStringLiteral("第一行\n第二行"));
    QTest::mouseClick(w.saveButton, Qt::LeftButton);
    w.bodyBox->setPlainText(QStringLiteral("改过的一行\n第二行"));
    QTest::mouseClick(w.saveButton, Qt::LeftButton);

    const QList<Row> rows
        = env.rows(QStringLiteral("select * from \"个人模板\" where \"序号\" = ?"), { w.currentKey() });
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].text(QStringLiteral("内容")), QStringLiteral("改过的一行\r\n第二行"));
    QCOMPARE(rows[0].text(QStringLiteral("查询")), QStringLiteral("感冒组套gmzt"));
    QCOMPARE(rows[0].text(QStringLiteral("分类")), QStringLiteral("个人组套"));
    QCOMPARE(env.count(kTemplates), 4);
    QCOMPARE(w.templateList->item(0)->text(), QStringLiteral("感冒组套"));
    QCOMPARE(w.nameBox->text(), QStringLiteral("感冒组套"));
    QVERIFY(env.messages.texts().isEmpty());
}

void TestTemplates::newTwiceInOneSecondGivesTwoTemplates()
{
    TestEnv env;
    TemplatesWindow w(env.services);
    for (const QString& name : { QStringLiteral("甲方"), QStringLiteral("乙方") }) {
        w.newTemplate();
        typeText(w.nameBox, name);
        w.bodyBox->setPlainText(name + QStringLiteral("的内容"));
        w.saveRecord();
    }
    const QList<Row> rows = env.rows(
        QStringLiteral("select * from \"个人模板\" where \"序号\" like '2026%' order by \"序号\""));
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0].text(QStringLiteral("序号")), QStringLiteral("20261208093000"));
    QCOMPARE(rows[0].text(QStringLiteral("名称")), QStringLiteral("甲方"));
    QCOMPARE(rows[0].text(QStringLiteral("内容")), QStringLiteral("甲方的内容"));
    QCOMPARE(rows[1].text(QStringLiteral("序号")), QStringLiteral("20261208093001"));
    QCOMPARE(rows[1].text(QStringLiteral("名称")), QStringLiteral("乙方"));
}

void TestTemplates::otherCategoryThenSaveAddsThereAndKeepsFirst()
{
    TestEnv env;
    TemplatesWindow w(env.services);
    w.show();
    clickRow(w.templateList, QStringLiteral("青霉素组套"));
    const QString key = w.currentKey();
    QCOMPARE(key, QStringLiteral("20170417180102"));
    const QString storedBody
        = env.rows(QStringLiteral("select \"内容\" from \"个人模板\" where \"序号\" = ?"), { key })
              .first()
              .text(QStringLiteral("内容"));

    QTest::mouseClick(w.categoryOptions[1], Qt::LeftButton);
    QCOMPARE(w.nameBox->text(), QStringLiteral("青霉素组套"));
    QTest::mouseClick(w.saveButton, Qt::LeftButton);

    QCOMPARE(env.count(kTemplates, QStringLiteral("\"序号\" = ?"), { key }), 2);
    const QList<Row> copy = env.rows(
        QStringLiteral("select * from \"个人模板\" where \"序号\" = ? and \"分类\" = '中药方剂'"), { key });
    QCOMPARE(copy.size(), 1);
    QCOMPARE(copy[0].text(QStringLiteral("内容")), storedBody);
    QCOMPARE(
        listed(w.templateList), (QStringList { QStringLiteral("华佗汤"), QStringLiteral("青霉素组套") }));
    QCOMPARE(
        env.count(kTemplates,
            QStringLiteral("\"序号\" = ? and \"分类\" = '个人组套' and \"名称\" = '青霉素组套'"), { key }),
        1);
}

void TestTemplates::selectingShowsStoredCodeAndDeleteRemovesIt()
{
    TestEnv env;
    env.rows(QStringLiteral("update \"个人模板\" set \"拼音\" = 'zdy' where \"名称\" = '肺炎组套'"));
    TemplatesWindow w(env.services);
    w.show();
    clickRow(w.templateList, QStringLiteral("肺炎组套"));
    QCOMPARE(w.nameBox->text(), QStringLiteral("肺炎组套"));
    QCOMPARE(w.codeBox->text(), QStringLiteral("zdy"));
    QVERIFY(w.bodyBox->toPlainText().contains(QStringLiteral("\n    用法：")));
    QVERIFY(!w.bodyBox->toPlainText().contains(QLatin1Char('\r')));

    QTest::mouseClick(w.deleteButton, Qt::LeftButton);
    QCOMPARE(env.count(kTemplates, QStringLiteral("\"名称\" = '肺炎组套'")), 0);
    QCOMPARE(env.count(kTemplates), 2);
    QCOMPARE(listed(w.templateList), QStringList { QStringLiteral("青霉素组套") });
    QVERIFY(w.nameBox->text().isEmpty());
    QCOMPARE(w.currentKey(), QStringLiteral("20261208093000"));
    QVERIFY(env.messages.texts().isEmpty());
}

void TestTemplates::deleteInNewStateDeletesNothing()
{
    TestEnv env;
    TemplatesWindow w(env.services);
    typeText(w.nameBox, QStringLiteral("未保存"));
    w.bodyBox->setPlainText(QStringLiteral("内容"));
    w.deleteRecord();
    QCOMPARE(env.count(kTemplates), 3);
    QVERIFY(w.nameBox->text().isEmpty());
    QVERIFY(w.bodyBox->toPlainText().isEmpty());
    QCOMPARE(w.templateList->count(), 2);
}

void TestTemplates::blankNameOfNewTemplateIsRefused()
{
    TestEnv env;
    TemplatesWindow w(env.services);
    typeText(w.nameBox, QStringLiteral("   "));
    w.bodyBox->setPlainText(QStringLiteral("内容"));
    w.saveRecord();
    QCOMPARE(env.messages.texts(), QStringList { QStringLiteral("请输入药物名称！") });
    QCOMPARE(env.messages.shown().first().icon, Messages::Icon::None);
    QCOMPARE(env.count(kTemplates), 3);
    QCOMPARE(w.bodyBox->toPlainText(), QStringLiteral("内容"));
}

void TestTemplates::refusedSaveIsReportedAndFieldsKept()
{
    TestEnv env;
    env.failEveryWrite(SQLITE_FULL);
    TemplatesWindow w(env.services);
    w.show();
    typeText(w.nameBox, QStringLiteral("新组套"));
    w.bodyBox->setPlainText(QStringLiteral("一行"));
    w.saveRecord();
    QCOMPARE(env.messages.shown().size(), 1);
    QVERIFY2(env.messages.last().startsWith(
                 QStringLiteral("模板没有保存！\n") + test::refusalSentence(FailureKind::DiskFull)),
        qPrintable(env.messages.last()));
    QCOMPARE(env.messages.shown().first().icon, Messages::Icon::Warning);
    QCOMPARE(env.count(kTemplates), 3);
    QCOMPARE(w.nameBox->text(), QStringLiteral("新组套"));
    QCOMPARE(w.bodyBox->toPlainText(), QStringLiteral("一行"));

    // Changing a stored template that the store refuses is reported the same way.
    clickRow(w.templateList, QStringLiteral("青霉素组套"));
    w.bodyBox->setPlainText(QStringLiteral("改了"));
    w.saveRecord();
    QCOMPARE(env.messages.shown().size(), 2);
    QCOMPARE(w.bodyBox->toPlainText(), QStringLiteral("改了"));
    QCOMPARE(env.count(kTemplates, QStringLiteral("\"内容\" = '改了'")), 0);
}

void TestTemplates::deskPresetStartsNewTemplateInItsCategory()
{
    TestEnv env;
    TemplatesWindow w(env.services);
    w.show();
    clickRow(w.templateList, QStringLiteral("青霉素组套"));

    w.presetFromDesk(QStringLiteral("中药方剂"), QStringLiteral("黄芪 10g\r\n甘草 10g"));
    QVERIFY(w.categoryOptions[1]->isChecked());
    QCOMPARE(w.currentCategory(), QStringLiteral("中药方剂"));
    QCOMPARE(w.categoryLabel->text(), w.categoryOptions[1]->text());
    QCOMPARE(listed(w.templateList), QStringList { QStringLiteral("华佗汤") });
    QCOMPARE(w.bodyBox->toPlainText(), QStringLiteral("黄芪 10g\n甘草 10g"));
    QVERIFY(w.nameBox->text().isEmpty());

    typeText(w.nameBox, QStringLiteral("补气方"));
    w.saveRecord();
    const QList<Row> rows = env.rows(QStringLiteral("select * from \"个人模板\" where \"名称\" = '补气方'"));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].text(QStringLiteral("分类")), QStringLiteral("中药方剂"));
    QCOMPARE(rows[0].text(QStringLiteral("内容")), QStringLiteral("黄芪 10g\r\n甘草 10g"));
    QCOMPARE(env.count(kTemplates, QStringLiteral("\"名称\" = '青霉素组套'")), 1);

    // Any other desk category files the template under "个人组套".
    w.presetFromDesk(QStringLiteral("其他"), QStringLiteral("x"));
    QVERIFY(w.categoryOptions[0]->isChecked());
    QCOMPARE(w.currentCategory(), QStringLiteral("个人组套"));
}

void TestTemplates::exitClosesTheSubWindowFrame()
{
    TestEnv env;
    QMdiArea area;
    QPointer<QMdiSubWindow> sub = area.addSubWindow(new TemplatesWindow(env.services));
    sub->setAttribute(Qt::WA_DeleteOnClose);
    area.show();
    sub->show();
    auto* w = qobject_cast<TemplatesWindow*>(sub->widget());
    QVERIFY(w);
    QTest::mouseClick(w->exitButton, Qt::LeftButton);
    QTRY_VERIFY(sub.isNull());
}

QTEST_MAIN(TestTemplates)
#include "tst_templates.moc"
