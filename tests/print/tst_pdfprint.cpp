// Prints through the Qt back end into PDF files and reads the pages back with poppler, so positions are
// checked by an independent reader: pdftotext gives each word's top-left corner in points (twips / 20).

#include "pdfreader.h"
#include "print/fonts.h"
#include "print/qtprint.h"
#include "print/recordingprint.h"

#include <QDir>
#include <QPrinterInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace qv;
using namespace qv::test;

namespace {

constexpr double kTolerancePt = 0.6; // about 12 twips
constexpr double kTwipsPerMm = 1440 / 25.4;

double pt(double twips) { return twips / 20; }

// A Latin font whose words pdftotext reads back exactly.
void useLatinFont(PrintSurface& surface, double points = 12)
{
    surface.setFontName("DejaVu Sans");
    surface.setFontSize(points);
    surface.setFontBold(false);
}

#define QCOMPARE_PT(actual, expected)                                                                        \
    QVERIFY2(qAbs((actual) - (expected)) < kTolerancePt,                                                     \
        qPrintable(QStringLiteral("%1 is %2, expected %3").arg(#actual).arg(actual).arg(expected)))

} // namespace

class PdfPrintTest final : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_pdf = m_dir.filePath(QString("%1.pdf").arg(QTest::currentTestFunction()));
    }

    void textIsPlacedByItsTopLeftCornerInTwips()
    {
        auto surface = m_printers.pdfSurface(m_pdf);
        useLatinFont(*surface);
        surface->setCurrentX(1440);
        surface->setCurrentY(2880);
        surface->printText("ALPHA");
        surface->setFontSize(20);
        surface->setCurrentX(567);
        surface->setCurrentY(7257);
        surface->printText("OMEGA");
        QVERIFY(surface->endDocument());
        QVERIFY(surface->ok());

        const PdfText pdf = readPdfText(m_pdf);
        QCOMPARE(pdf.pageSizes.size(), 1);
        QCOMPARE_PT(pdf.word("ALPHA").xMin, 72.0);
        QCOMPARE_PT(pdf.word("ALPHA").yMin, 144.0);
        QCOMPARE_PT(pdf.word("OMEGA").xMin, pt(567));
        QCOMPARE_PT(pdf.word("OMEGA").yMin, pt(7257));
        // The larger font really is larger: 20 pt text is taller than 12 pt text.
        QVERIFY(pdf.word("OMEGA").yMax - pdf.word("OMEGA").yMin
            > pdf.word("ALPHA").yMax - pdf.word("ALPHA").yMin);
    }

    void scaleOriginShiftsOutputByMinusItsValue()
    {
        auto surface = m_printers.pdfSurface(m_pdf);
        useLatinFont(*surface);
        // Prescription margins of 20 mm left and 15 mm top: the paper moves 567 right and 283.5 down.
        surface->setScaleLeft(float(10 * 56.7 - 20 * 56.7));
        surface->setScaleTop(float(10 * 56.7 - 15 * 56.7));
        surface->setCurrentX(240);
        surface->setCurrentY(960);
        surface->printText("SHIFTED");
        // A positive origin moves output up and left.
        surface->setScaleLeft(1000);
        surface->setScaleTop(1000);
        surface->setCurrentX(3000);
        surface->setCurrentY(4000);
        QCOMPARE(surface->currentX(), 3000.0);
        surface->printText("BACK");
        QVERIFY(surface->endDocument());

        const PdfText pdf = readPdfText(m_pdf);
        QCOMPARE_PT(pdf.word("SHIFTED").xMin, pt(240 + 567));
        QCOMPARE_PT(pdf.word("SHIFTED").yMin, pt(960 + 283.5));
        QCOMPARE_PT(pdf.word("BACK").xMin, pt(2000));
        QCOMPARE_PT(pdf.word("BACK").yMin, pt(3000));
    }

    void millimetreModeScalesCoordinatesNotFonts()
    {
        auto twips = m_printers.pdfSurface(m_dir.filePath("twips.pdf"));
        useLatinFont(*twips, 26);
        twips->printText("SIZE");
        QVERIFY(twips->endDocument());

        auto surface = m_printers.pdfSurface(m_pdf);
        surface->setOrientation(Orientation::Landscape);
        surface->setScaleLeft(500); // forgotten by the change of unit
        surface->setScaleMode(ScaleMode::Millimetres);
        // Log margins of 15 mm left and 20 mm top.
        surface->setScaleLeft(-15);
        surface->setScaleTop(10 - 20);
        useLatinFont(*surface, 26);
        surface->setCurrentX(90);
        surface->setCurrentY(0);
        surface->printText("SIZE");
        useLatinFont(*surface, 11);
        surface->setCurrentX(240);
        surface->setCurrentY(166);
        surface->printText("PAGE");
        QVERIFY(surface->endDocument());

        const PdfText pdf = readPdfText(m_pdf);
        QCOMPARE_PT(pdf.word("SIZE").xMin, pt(105 * kTwipsPerMm));
        QCOMPARE_PT(pdf.word("SIZE").yMin, pt(10 * kTwipsPerMm));
        QCOMPARE_PT(pdf.word("PAGE").xMin, pt(255 * kTwipsPerMm));
        QCOMPARE_PT(pdf.word("PAGE").yMin, pt(176 * kTwipsPerMm));
        const PdfWord inTwips = readPdfText(m_dir.filePath("twips.pdf")).word("SIZE");
        const PdfWord inMm = pdf.word("SIZE");
        QCOMPARE_PT(inMm.xMax - inMm.xMin, inTwips.xMax - inTwips.xMin);
    }

    void printTextAdvancesOneLineAndReturnsToScaleLeft()
    {
        auto surface = m_printers.pdfSurface(m_pdf);
        useLatinFont(*surface);
        surface->setScaleLeft(-300);
        surface->setCurrentX(2000);
        surface->setCurrentY(1000);
        surface->printText("FIRST");
        QCOMPARE(surface->currentX(), -300.0);
        const double advance = surface->currentY() - 1000;
        surface->printText("SECOND");
        surface->setCurrentX(2000);
        surface->setCurrentY(surface->currentY() + 90); // the body lines' extra gap
        surface->printText("THIRD");
        QVERIFY(surface->endDocument());

        // One line of 12 pt text: somewhat more than 12 pt, well below two lines.
        QVERIFY2(advance > 12 * 20 && advance < 18 * 20, qPrintable(QString::number(advance)));
        const PdfText pdf = readPdfText(m_pdf);
        QCOMPARE_PT(pdf.word("FIRST").xMin, pt(2300));
        QCOMPARE_PT(pdf.word("SECOND").xMin, 0.0);
        QCOMPARE_PT(pdf.word("SECOND").yMin - pdf.word("FIRST").yMin, pt(advance));
        QCOMPARE_PT(pdf.word("THIRD").yMin - pdf.word("SECOND").yMin, pt(advance + 90));
        // The advance keeps lines apart: each line starts below the previous one's glyphs.
        QVERIFY(pdf.word("SECOND").yMin >= pdf.word("FIRST").yMax - kTolerancePt);
    }

    void printWithoutAdvanceContinuesOnTheSameLine()
    {
        auto surface = m_printers.pdfSurface(m_pdf);
        surface->setScaleMode(ScaleMode::Millimetres);
        useLatinFont(*surface, 11);
        surface->setCurrentX(2);
        surface->setCurrentY(28);
        surface->printTextNoAdvance("OWNER");
        QCOMPARE(surface->currentY(), 28.0);
        QVERIFY(surface->currentX() > 2);
        surface->printTextNoAdvance(" CONTINUED");
        QCOMPARE(surface->currentY(), 28.0);
        surface->setCurrentX(52);
        surface->printTextNoAdvance("COLUMN");
        QVERIFY(surface->endDocument());

        const PdfText pdf = readPdfText(m_pdf);
        const PdfWord owner = pdf.word("OWNER"), continued = pdf.word("CONTINUED"),
                      column = pdf.word("COLUMN");
        QCOMPARE_PT(owner.xMin, pt(2 * kTwipsPerMm));
        QCOMPARE_PT(owner.yMin, pt(28 * kTwipsPerMm));
        QCOMPARE_PT(continued.yMin, owner.yMin);
        QCOMPARE_PT(column.yMin, owner.yMin);
        QCOMPARE_PT(column.xMin, pt(52 * kTwipsPerMm));
        // The second text starts where the first ended, after its own leading blank (a third of an em).
        const double gap = continued.xMin - owner.xMax;
        QVERIFY2(gap > 0.2 * 11 && gap < 0.45 * 11, qPrintable(QString::number(gap)));
    }

    void linesAreBlackWithTheirWidthAndFollowTheScale()
    {
        auto surface = m_printers.pdfSurface(m_pdf);
        surface->setDrawWidth(50); // 50 dots of 1/600 inch: 120 twips, 12 pixels at 144 dpi
        surface->line(1440, 1440, 5760, 1440);
        surface->setDrawWidth(1);
        surface->setScaleMode(ScaleMode::Millimetres);
        surface->setScaleLeft(-10);
        surface->setDrawWidth(10); // 24 twips, 2.4 pixels
        surface->line(50, 60, 50, 100); // lands at x = 60 mm
        QVERIFY(surface->endDocument());

        // At 144 dpi one pixel is 10 twips.
        const GreyPage page = renderPage(m_pdf, 1, 144);
        QVERIFY(page.width > 0);
        for (int x : { 150, 300, 570 })
            QVERIFY2(page.at(x, 144) < 40, qPrintable(QString("x %1: %2").arg(x).arg(page.at(x, 144))));
        QVERIFY(page.at(144, 139) < 40 && page.at(144, 149) < 40); // inside the thick line
        QVERIFY(page.at(300, 134) > 215 && page.at(300, 154) > 215); // beyond its width
        QVERIFY(page.at(600, 144) > 215); // beyond its end
        const int lineX = qRound(60 * kTwipsPerMm / 10);
        for (int y :
            { qRound(62 * kTwipsPerMm / 10), qRound(80 * kTwipsPerMm / 10), qRound(98 * kTwipsPerMm / 10) })
            QVERIFY2(page.at(lineX, y) < 100, qPrintable(QString("y %1: %2").arg(y).arg(page.at(lineX, y))));
        QVERIFY(page.at(lineX - 4, qRound(80 * kTwipsPerMm / 10)) > 215);
        QVERIFY(page.at(lineX + 4, qRound(80 * kTwipsPerMm / 10)) > 215);
    }

    void newPageAndLandscapeMakeFreshPages()
    {
        auto surface = m_printers.pdfSurface(m_pdf);
        surface->setOrientation(Orientation::Landscape);
        useLatinFont(*surface);
        surface->setCurrentX(1000);
        surface->setCurrentY(1000);
        surface->printText("PAGEONE");
        surface->newPage();
        surface->setCurrentX(1000);
        surface->setCurrentY(1000);
        surface->printText("PAGETWO");
        QVERIFY(surface->endDocument());

        const PdfText pdf = readPdfText(m_pdf);
        QCOMPARE(pdf.pageSizes.size(), 2);
        for (const QSizeF& size : pdf.pageSizes)
            QVERIFY(size.width() > size.height());
        QCOMPARE(pdf.word("PAGEONE").page, 1);
        QCOMPARE(pdf.word("PAGETWO").page, 2);
        QCOMPARE_PT(pdf.word("PAGETWO").yMin, pt(1000));
    }

    void settingsStayForTheNextJobOfTheSameSurface()
    {
        auto surface = m_printers.pdfSurface(m_pdf);
        surface->setScaleMode(ScaleMode::Millimetres);
        surface->setScaleLeft(-15);
        useLatinFont(*surface);
        surface->printText("EARLIER");
        QVERIFY(surface->endDocument());
        surface->setCurrentX(0);
        surface->setCurrentY(20);
        surface->printText("LATER");
        QVERIFY(surface->endDocument());

        const PdfText pdf = readPdfText(m_pdf);
        QCOMPARE(pdf.pageSizes.size(), 1);
        QCOMPARE(pdf.words.size(), 1); // the second job replaced the file
        QCOMPARE_PT(pdf.word("LATER").xMin, pt(15 * kTwipsPerMm));
        QCOMPARE_PT(pdf.word("LATER").yMin, pt(20 * kTwipsPerMm));
    }

    void recordingMatchesWhatThePdfShows()
    {
        const auto draw = [](PrintSurface& surface) {
            surface.setScaleLeft(-200);
            surface.setScaleTop(150);
            useLatinFont(surface, 15.75);
            surface.setFontBold(true);
            surface.setCurrentX(3180);
            surface.setCurrentY(2280);
            surface.printText("RP");
            surface.printTextNoAdvance("NEXT ");
            surface.printText("AFTER");
            surface.line(120, 120, 10620, 120);
            QVERIFY(surface.endDocument());
        };
        auto pdfSurface = m_printers.pdfSurface(m_pdf);
        draw(*pdfSurface);
        RecordingPrintSurface recorded;
        draw(recorded);

        const PdfText pdf = readPdfText(m_pdf);
        const QList<PrintedItem> texts = recorded.recording().texts();
        QCOMPARE(texts.size(), 3);
        for (const PrintedItem& item : texts) {
            QCOMPARE_PT(pdf.word(item.text.trimmed()).xMin, pt(item.at.x()));
            QCOMPARE_PT(pdf.word(item.text.trimmed()).yMin, pt(item.at.y()));
        }
        QCOMPARE_PT(pdf.word("NEXT").xMin, 0.0); // back at scale left, the printable area's edge
    }

    void theLayoutsFontsMapToFacesWithTheDesignsMetrics()
    {
        installFontSubstitutions();
        installFontSubstitutions(); // a second call changes nothing
        QCOMPARE(QFont::substitutes("宋体"), QStringList({ "ar pl uming cn", "noto serif cjk sc" }));
        QCOMPARE(QFontInfo(QFont("宋体")).family(), songSubstituteFace());
        QCOMPARE(QFontInfo(QFont("SimSun")).family(), songSubstituteFace());
        QCOMPARE(QFontInfo(QFont("黑体")).family(), heiSubstituteFace());
        QCOMPARE(QFontInfo(QFont("SimHei")).family(), heiSubstituteFace());

        // Measured in twips at the print's resolution: a blank, Latin letters and digits are exactly half a
        // Chinese character, bold as well, and 宋体's line is close to one em.
        for (const char* family : { "宋体", "黑体" }) {
            for (bool bold : { false, true }) {
                QFont font(family);
                font.setPointSizeF(12);
                font.setBold(bold);
                const double em = textWidthTwips(font, "丁");
                QCOMPARE(em, 240.0);
                for (const QString& text : { " ", "g", "m", "W", "0", "9", "/", "*" })
                    QVERIFY2(textWidthTwips(font, text) == em / 2,
                        qPrintable(QString(family) + " '" + text + "'"));
                QCOMPARE(textWidthTwips(font, "     丁香 10g"), textWidthTwips(font, " 制何首乌 10g"));
            }
        }
        QFont song("宋体");
        song.setPointSizeF(12);
        QVERIFY2(lineSpacingTwips(song) >= 240 && lineSpacingTwips(song) <= 264,
            qPrintable(QString::number(lineSpacingTwips(song))));
    }

    void printedFontsAreTheSubstitutesEmbedded()
    {
        installFontSubstitutions();
        auto surface = m_printers.pdfSurface(m_pdf);
        surface->setFontName("宋体");
        surface->setFontSize(12);
        surface->setCurrentX(1440);
        surface->setCurrentY(1440);
        surface->printText("动物种类");
        surface->setFontName("黑体");
        surface->setFontSize(20.25);
        surface->printText("兽医院");
        QVERIFY(surface->endDocument());

        const QList<PdfFont> fonts = pdfFonts(m_pdf);
        QStringList names;
        for (const PdfFont& font : fonts) {
            names << font.name;
            QVERIFY2(font.embedded, qPrintable(font.name + " is not embedded"));
        }
        // The faces' PostScript names.
        QVERIFY2(names.filter("UMingCN").size() == 1 && names.filter("WenQuanYiZenHeiMono").size() == 1,
            qPrintable(names.join(", ")));
        QCOMPARE_PT(readPdfText(m_pdf).word("动物种类").yMin, 72.0);
    }

    void unwritablePdfIsReportedNotSwallowed()
    {
        auto surface = m_printers.pdfSurface(m_dir.filePath("missing-folder/out.pdf"));
        surface->printText("LOST");
        surface->line(0, 0, 100, 100);
        QVERIFY(!surface->endDocument());
        QVERIFY(!surface->ok());
        QVERIFY2(surface->errorText().contains("out.pdf"), qPrintable(surface->errorText()));
    }

    void withoutPrinterTheDefaultPrinterFailsVisibly()
    {
        if (!QPrinterInfo::availablePrinters().isEmpty())
            QSKIP("a printer is installed on this machine");
        QCOMPARE(m_printers.installedPrinters(), QStringList());
        QCOMPARE(m_printers.defaultPrinterName(), QString());

        // Nothing may be written anywhere: run in an empty folder and look at it afterwards.
        QTemporaryDir cwd;
        const QString before = QDir::currentPath();
        QDir::setCurrent(cwd.path());
        auto surface = m_printers.defaultPrinterSurface();
        QVERIFY(!surface->ok());
        QCOMPARE(surface->errorText(), noPrinterMessage());
        surface->printText("NOWHERE");
        surface->newPage();
        QVERIFY(!surface->endDocument());
        QDir::setCurrent(before);
        QCOMPARE(QDir(cwd.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    }

    void pdfPreferenceSendsDefaultPrinterJobsToTheFile()
    {
        qputenv("QUORVELA_PRINT_PDF", m_pdf.toUtf8());
        auto surface = m_printers.defaultPrinterSurface();
        qunsetenv("QUORVELA_PRINT_PDF");
        QVERIFY(surface->ok());
        useLatinFont(*surface);
        surface->setCurrentX(400);
        surface->setCurrentY(600);
        surface->printText("FORCED");
        QVERIFY(surface->endDocument());
        QCOMPARE_PT(readPdfText(m_pdf).word("FORCED").xMin, pt(400));
    }

private:
    QTemporaryDir m_dir;
    QString m_pdf;
    QtPrinterAccess m_printers;
};

QTEST_MAIN(PdfPrintTest)
#include "tst_pdfprint.moc"
