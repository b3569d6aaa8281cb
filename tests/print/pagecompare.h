#pragma once
// Compares a page as a printer's queue produced it with our own PDF of the same page, both rendered by
// pdftoppm. A printed PDF has been through the print service's conversions (PDF → PostScript → PDF), which
// leave no usable text layer but draw the same outlines (as Type 3 glyphs), so the pages are compared as
// pictures: the ink of each page (pixels darker than mid grey) must have ink of the other, if only faint,
// within one pixel.

#include "pdfreader.h"

#include <QRect>
#include <QString>

namespace qv::test {

// 100 dots per inch: one pixel is 0.25 mm, finer than any fault a reader of the page would see, coarse
// enough that the conversions' different anti-aliasing stays within one pixel.
inline constexpr int kCompareDotsPerInch = 100;

struct PageComparison {
    bool sameSize = false;
    int inkA = 0, inkB = 0;
    // Ink pixels of one page with no ink of the other within one pixel.
    int strayA = 0, strayB = 0;
    QRect strayArea; // where the stray pixels are, in pixels of the rendering
    // At most this share of either page's ink may stray (a dozen pixels of a prescription's ~6000). A page
    // printed through the service strays by none; the same page with three body lines half a millimetre
    // lower strays by about 2 %, with one character missing by about 0.6 %.
    static constexpr double kAllowedStray = 0.002;

    bool matches() const;
    QString describe() const;
};

PageComparison comparePages(const GreyPage& a, const GreyPage& b);
PageComparison comparePdfPages(const QString& pdfA, int pageA, const QString& pdfB, int pageB);

} // namespace qv::test
