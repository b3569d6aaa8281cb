#include "desk/paperlayout.h"

namespace qv {

const std::array<FieldBox, kFieldCount>& fieldBoxes()
{
    static const std::array<FieldBox, kFieldCount> boxes = { {
        { { 240, 960, 7155, 315 }, QStringLiteral("动物主人/饲养单位：") },
        { { 7440, 960, 3075, 315 }, QStringLiteral("档案号") },
        { { 240, 1380, 3915, 315 }, QStringLiteral("动物种类") },
        { { 4260, 1380, 3135, 315 }, QStringLiteral("动物性别") },
        { { 7440, 1380, 3075, 315 }, QStringLiteral("体重/数量") },
        { { 240, 1800, 3915, 315 }, QStringLiteral("年（日）龄") },
        { { 4260, 1800, 6255, 315 }, QStringLiteral("开具日期") },
        { { 240, 6720, 3495, 315 }, QStringLiteral("执业兽医师") },
        { { 3840, 6720, 3375, 315 }, QStringLiteral("注册号") },
        { { 7260, 6720, 3255, 315 }, QStringLiteral("发药人") },
        { { 660, 2820, 2295, 315 }, QString() },
        { { 660, 3240, 2295, 315 }, QString() },
        { { 660, 3660, 2295, 315 }, QString() },
    } };
    return boxes;
}

FieldBoxLayout fieldBoxLayout(double boxWidth, double captionWidth)
{
    const double left = captionWidth + 100;
    const double width = boxWidth - captionWidth - 135;
    // The value sits 15 below the box's top and ends on the underline at 300.
    return { QRectF(left, 15, width, 285), QLineF(left, 300, left + width + 60, 300) };
}

const std::array<QLineF, 7>& paperLines()
{
    static const std::array<QLineF, 7> lines = { {
        { 120, 120, 10620, 120 },
        { 120, 120, 120, 7080 },
        { 120, 7080, 10620, 7080 },
        { 10620, 7080, 10620, 120 },
        { 120, 6660, 10620, 6660 },
        { 120, 2220, 10620, 2220 },
        { 3060, 2220, 3060, 6660 },
    } };
    return lines;
}

const std::array<QLineF, 3>& diagnosisGuides()
{
    static const std::array<QLineF, 3> lines = { {
        { 900, 3180, 2940, 3180 },
        { 900, 3600, 2940, 3600 },
        { 900, 4020, 2940, 4020 },
    } };
    return lines;
}

} // namespace qv
