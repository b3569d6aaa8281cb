#include "store/tables.h"

namespace qv {

const QList<StoreTable>& storeTables()
{
    static const QList<StoreTable> tables = [] {
        QStringList archive;
        for (int i = 1; i <= 22; ++i)
            archive << QString::number(i);
        archive << QStringLiteral("T1") << QStringLiteral("T2") << QStringLiteral("T3") << QStringLiteral("0")
                << QStringLiteral("序号");
        const QStringList names = { "名称", "拼音", "序号" };
        return QList<StoreTable> {
            { QStringLiteral("档案"), archive, {} },
            { QStringLiteral("商品"),
                { "ID号", "查询", "用法", "名称", "拼音", "单位", "进价", "售价", "备用1", "备用2", "备用3",
                    "分类", "厂家", "库存" },
                { "进价", "售价", "库存" } },
            { QStringLiteral("设置"),
                { "密码", "单位名称", "执业兽医", "注册号", "发药人", "备用1", "备用2", "备用3", "左边距",
                    "上边距", "自动打印", "默认打印机", "处方打印机", "左边距1", "上边距1" },
                {} },
            { QStringLiteral("个人模板"), { "序号", "名称", "内容", "拼音", "查询", "分类" }, {} },
            { QStringLiteral("诊断"), names, {} },
            { QStringLiteral("动物种类"), names, {} },
        };
    }();
    return tables;
}

} // namespace qv
