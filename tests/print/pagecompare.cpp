#include "pagecompare.h"

namespace qv::test {

namespace {

    // Ink is darker than mid grey. The other page's ink may be fainter: a hairline of 宋体 renders as light
    // grey at this resolution, darker or lighter as each rasteriser rounds it.
    constexpr int kInk = 128;
    constexpr int kFaintInk = 192;

    bool inkNear(const GreyPage& page, int x, int y)
    {
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const int nx = x + dx, ny = y + dy;
                if (nx >= 0 && ny >= 0 && nx < page.width && ny < page.height && page.at(nx, ny) < kFaintInk)
                    return true;
            }
        }
        return false;
    }

    // Ink of from that to lacks nearby.
    int stray(const GreyPage& from, const GreyPage& to, int& ink, QRect& area)
    {
        int count = 0;
        for (int y = 0; y < from.height; ++y) {
            for (int x = 0; x < from.width; ++x) {
                if (from.at(x, y) >= kInk)
                    continue;
                ++ink;
                if (!inkNear(to, x, y)) {
                    ++count;
                    area |= QRect(x, y, 1, 1);
                }
            }
        }
        return count;
    }

} // namespace

bool PageComparison::matches() const
{
    return sameSize && inkA > 0 && inkB > 0 && strayA <= kAllowedStray * inkA
        && strayB <= kAllowedStray * inkB;
}

QString PageComparison::describe() const
{
    if (!sameSize)
        return QStringLiteral("the pages differ in size");
    return QStringLiteral("ink %1 / %2 pixels, stray %3 / %4, stray area x %5–%6, y %7–%8 (pixels at %9 dpi)")
        .arg(inkA)
        .arg(inkB)
        .arg(strayA)
        .arg(strayB)
        .arg(strayArea.left())
        .arg(strayArea.right())
        .arg(strayArea.top())
        .arg(strayArea.bottom())
        .arg(kCompareDotsPerInch);
}

PageComparison comparePages(const GreyPage& a, const GreyPage& b)
{
    PageComparison result;
    result.sameSize = a.width == b.width && a.height == b.height && a.width > 0 && a.height > 0;
    if (!result.sameSize)
        return result;
    result.strayA = stray(a, b, result.inkA, result.strayArea);
    result.strayB = stray(b, a, result.inkB, result.strayArea);
    return result;
}

PageComparison comparePdfPages(const QString& pdfA, int pageA, const QString& pdfB, int pageB)
{
    return comparePages(
        renderPage(pdfA, pageA, kCompareDotsPerInch), renderPage(pdfB, pageB, kCompareDotsPerInch));
}

} // namespace qv::test
