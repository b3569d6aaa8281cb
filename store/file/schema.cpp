#include "store/file/schema.h"
#include "store/file/upgrade.h"

namespace qv {

namespace {

    // Declared types keep the text / memo / date / currency distinction. LONGTEXT and TEXT(n) have text
    // affinity, so a memo or a name made of digits stays text; CURRENCY is numeric; DATE holds "yyyy-mm-dd"
    // text, which compares correctly with between.
    QString archiveTable()
    {
        QStringList columns;
        for (int i = 1; i <= 22; ++i) {
            const char* type = (i == 3 || i == 4) ? "TEXT(10)" : (i == 6 ? "DATE" : "TEXT(50)");
            columns << QStringLiteral("\"%1\" %2").arg(i).arg(QLatin1String(type));
        }
        columns << QStringLiteral("[T1] LONGTEXT") << QStringLiteral("[T2] LONGTEXT")
                << QStringLiteral("[T3] LONGTEXT") << QStringLiteral("[0] TEXT(50)")
                << QStringLiteral("[序号] TEXT(50)");
        return QStringLiteral("create table \"档案\" (%1);\n").arg(columns.join(QStringLiteral(", ")));
    }

    // What later versions added to existing files is part of every new file as well.
    QString upgradeStatements()
    {
        QString script;
        for (const UpgradeStep& step : upgradeSteps())
            script += step.createSql + QStringLiteral(";\n");
        return script;
    }

} // namespace

QString schemaScript()
{
    return archiveTable() + QStringLiteral(R"(create unique index "档案.ID号" on "档案" ("序号");
create table "商品" ("ID号" TEXT(50), "查询" TEXT(200), "用法" TEXT(50), "名称" TEXT(100), "拼音" TEXT(50),
  "单位" TEXT(10), "进价" CURRENCY, "售价" CURRENCY, "备用1" TEXT(50), "备用2" TEXT(50), "备用3" TEXT(50),
  "分类" TEXT(50), "厂家" TEXT(50), "库存" CURRENCY);
create unique index "商品.ID号" on "商品" ("ID号");
create table "设置" ("密码" TEXT(20), "单位名称" TEXT(50), "执业兽医" TEXT(50), "注册号" TEXT(50), "发药人" TEXT(50),
  "备用1" TEXT(50), "备用2" TEXT(50), "备用3" TEXT(50), "左边距" TEXT(10), "上边距" TEXT(10), "自动打印" TEXT(5),
  "默认打印机" TEXT(50), "处方打印机" TEXT(50), "左边距1" TEXT(10), "上边距1" TEXT(10));
create table "个人模板" ("序号" TEXT(50), "名称" TEXT(50), "内容" LONGTEXT, "拼音" TEXT(50), "查询" TEXT(50),
  "分类" TEXT(10));
create table "诊断" ("名称" TEXT(50), "拼音" TEXT(50), "序号" TEXT(50));
create unique index "诊断.序号" on "诊断" ("序号");
create table "动物种类" ("名称" TEXT(50), "拼音" TEXT(50), "序号" TEXT(50));
create unique index "动物种类.序号" on "动物种类" ("序号");
)") + upgradeStatements();
}

Result createSchema(Database& db)
{
    return db.transaction([&] { return db.script(schemaScript()); });
}

} // namespace qv
