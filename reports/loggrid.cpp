#include "reports/loggrid.h"

namespace qv {

QString LogGridRecords::text(int record, int column) const
{
    if (column < 0 || column >= LogRecord::kFieldCount)
        return QString();
    return m_records.field(size_t(record), column);
}

LabelGridLayout logGridLayout()
{
    LabelGridLayout layout;
    layout.rows = 20;
    layout.headers = {
        { 8, QStringLiteral("动物主人/饲养单位"), 0, 1815 },
        { 0, QStringLiteral("档案号"), 1800, 1935 },
        { 1, QStringLiteral("动物种类"), 3720, 1155 },
        { 2, QStringLiteral("性别"), 4860, 675 },
        { 3, QStringLiteral("体重/数量"), 5520, 1335 },
        { 4, QStringLiteral("年(日)龄"), 6840, 855 },
        { 5, QStringLiteral("执业兽医"), 7680, 1035 },
        { 6, QStringLiteral("开具日期"), 8700, 1335 },
        { 7, QStringLiteral("备注"), 10020, 1275 },
    };
    layout.cells = {
        { 60, 1695, Qt::AlignLeft },
        { 1860, 1815, Qt::AlignLeft },
        { 3780, 1035, Qt::AlignHCenter },
        { 4920, 555, Qt::AlignHCenter },
        { 5580, 1215, Qt::AlignHCenter },
        { 6900, 735, Qt::AlignHCenter },
        { 7740, 915, Qt::AlignLeft },
        { 8760, 1215, Qt::AlignLeft },
        { 10080, 1155, Qt::AlignLeft },
    };
    layout.left = 120;
    layout.top = 120;
    layout.width = 11595;
    layout.innerWidth = 11595;
    layout.rowLineEnd = 11520;
    layout.columnLineEnd = 8880;
    return layout;
}

} // namespace qv
