#pragma once
// Reads printed PDFs back with poppler's tools, so the tests check our output with someone else's code.

#include <QList>
#include <QSizeF>
#include <QString>
#include <QStringList>

namespace qv::test {

// One word as `pdftotext -bbox` places it, in points from the page's top-left corner.
struct PdfWord {
    int page = 0; // 1-based
    QString text; // NFKC-normalised
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
};

struct PdfText {
    QList<QSizeF> pageSizes; // points
    QList<PdfWord> words;
    // The only word with this text; fails the running test (and returns an empty word) otherwise.
    PdfWord word(const QString& text) const;
};

PdfText readPdfText(const QString& pdfPath);
// A font as `pdffonts` lists it.
struct PdfFont {
    QString name; // with the subset prefix, as "ABCDEF+ARPLUMingCN"
    bool embedded = false;
};
QList<PdfFont> pdfFonts(const QString& pdfPath);
// Font names that `pdffonts` lists for the file.
QStringList pdfFontNames(const QString& pdfPath);

// A page rendered by `pdftoppm` in grey at the given resolution: 0 is black, 255 white.
struct GreyPage {
    int width = 0, height = 0;
    QByteArray pixels;
    int at(int x, int y) const { return uchar(pixels.at(y * width + x)); }
};
GreyPage renderPage(const QString& pdfPath, int page, int dotsPerInch);

} // namespace qv::test
