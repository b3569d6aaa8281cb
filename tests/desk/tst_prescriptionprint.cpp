// Printing the prescription paper: what lands where on a recording surface, and on a real PDF read back with
// pdftotext, where the margins and the body lines must show at their twips (x = twips / 20 points).

#include "desk/prescriptionprint.h"
#include "print/fonts.h"
#include "print/qtprint.h"
#include "print/recordingprint.h"
#include "tests/desk/fakesettings.h"
#include "tests/print/pdfreader.h"
#include "tests/support/testenv.h"

#include <QDir>
#include <QtTest>

using namespace qv;
using namespace qv::test;

namespace {

constexpr double kTolerancePt = 0.6; // about 12 twips

std::array<QString, kFieldCount> sampleValues()
{
    std::array<QString, kFieldCount> v;
    v[0] = "OWNERX";
    v[1] = "20261208093000";
    v[3] = "公";
    v[6] = "2026-12-08";
    v[7] = "VETX";
    v[10] = "DIAGX";
    return v;
}

QList<PrintedItem> textsAt(const PrintRecording& r, const QString& text)
{
    QList<PrintedItem> found;
    for (const PrintedItem& item : r.texts())
        if (item.text == text)
            found << item;
    return found;
}

PrintedItem onlyText(const PrintRecording& r, const QString& text)
{
    const QList<PrintedItem> found = textsAt(r, text);
    if (found.size() != 1)
        qWarning("\"%s\" printed %d times", qPrintable(text), int(found.size()));
    return found.value(0);
}

QString letterLines(int count)
{
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << QString("LINE") + QChar('A' + i);
    return lines.join("\r\n");
}

#define QCOMPARE_NEAR(actual, expected, tolerance)                                                           \
    QVERIFY2(qAbs((actual) - (expected)) < (tolerance),                                                      \
        qPrintable(QStringLiteral("%1 is %2, expected %3").arg(#actual).arg(actual).arg(expected)))

} // namespace

class PrescriptionPrintTest final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { installFontSubstitutions(); }

    void theBodyPrintsItsFirstTwentyNonBlankLinesAsTheyAre()
    {
        QCOMPARE(printedBodyLines("A\r\n\r\n   \r\nB\rC\nD"), QStringList({ "A", "B", "C", "D" }));
        QCOMPARE(printedBodyLines("    用法：肌肉注射 每日1次\r\n"),
            QStringList({ "    用法：肌肉注射 每日1次" }));
        const QStringList many = printedBodyLines("\r\n" + letterLines(25));
        QCOMPARE(many.size(), 20);
        QCOMPARE(many.last(), QString("LINET"));
        QVERIFY(printedBodyLines("").isEmpty());
    }

    void marginsAreTheirLeadingNumber()
    {
        QCOMPARE(leadingNumber("20"), 20.0);
        QCOMPARE(leadingNumber(" 12.5mm"), 12.5);
        QCOMPARE(leadingNumber("-3"), -3.0);
        QCOMPARE(leadingNumber("左20"), 0.0);
        QCOMPARE(leadingNumber(""), 0.0);
    }

    void thePaperPrintsAtItsScreenLayout()
    {
        RecordingPrintSurface surface;
        PrescriptionPaper paper = measuredPaper("青禾动物诊所", sampleValues(), "LINEA");
        QVERIFY(printPaper(surface, paper, 10, 10));
        const PrintRecording& r = surface.recording();
        QCOMPARE(r.pagesPerFinishedJob, QList<int>({ 1 }));

        const PrintedItem title = onlyText(r, "青禾动物诊所");
        QCOMPARE(title.at, QPointF((10830 - paper.titleWidth) / 2, 300));
        QCOMPARE(title.fontName, QString("黑体"));
        QCOMPARE(title.fontSize, 20.25);
        QVERIFY(!title.bold);
        const PrintedItem diagnosis = onlyText(r, "诊断：");
        QCOMPARE(diagnosis.at, QPointF(240, 2340));
        QVERIFY(diagnosis.bold);
        const PrintedItem rp = onlyText(r, "Rp：");
        QCOMPARE(rp.at, QPointF(3180, 2280));
        QCOMPARE(rp.fontSize, 15.75);
        QVERIFY(rp.bold);

        // Caption at (0, 60) of its box, bold; the value 100 after the caption, 15 down, regular.
        const PrintedItem owner = onlyText(r, "动物主人/饲养单位：");
        QCOMPARE(owner.at, QPointF(240, 1020));
        QVERIFY(owner.bold);
        QCOMPARE(owner.fontName, QString("宋体"));
        const PrintedItem ownerValue = onlyText(r, "OWNERX");
        QCOMPARE(ownerValue.at, QPointF(240 + paper.captionWidths[0] + 100, 975));
        QVERIFY(!ownerValue.bold);
        QCOMPARE(ownerValue.fontSize, 12.0);
        QCOMPARE(onlyText(r, "VETX").at, QPointF(240 + paper.captionWidths[7] + 100, 6735));
        QCOMPARE(onlyText(r, "发药人").at, QPointF(7260, 6780));
        // A diagnosis line has no caption: its text starts 100 into its box.
        QCOMPARE(onlyText(r, "DIAGX").at, QPointF(760, 2835));

        // Ten captions, six values, three free captions and one body line; empty fields print nothing.
        QCOMPARE(r.texts().size(), 10 + 6 + 3 + 1);

        // Seven frame lines and ten underlines, each ending 25 past its box; no guide under the diagnoses.
        const QList<PrintedItem> lines = r.lines();
        QCOMPARE(lines.size(), 17);
        QCOMPARE(lines[0].at, QPointF(120, 120));
        QCOMPARE(lines[6].to, QPointF(3060, 6660));
        const PrintedItem underline = lines[7];
        QCOMPARE(underline.at, QPointF(240 + paper.captionWidths[0] + 100, 1260));
        QCOMPARE(underline.to, QPointF(240 + 7155 + 25, 1260));
        QCOMPARE(lines[16].to, QPointF(7260 + 3255 + 25, 7020));
        for (const PrintedItem& line : lines)
            QCOMPARE(line.lineWidthTwips, kTwipsPerPixel);
    }

    void bodyLinesAreOneLineAndNinetyTwipsApart()
    {
        RecordingPrintSurface surface;
        // LINEA, LINEB, the usage line, then LINEC onwards: the 20th printed line is LINES.
        const QString body = "LINEA\r\n\r\n  \r\nLINEB\r\n    usage: oral\r\n" + letterLines(25).mid(14);
        QVERIFY(printPaper(surface, measuredPaper("", {}, body), 10, 10));
        const PrintRecording& r = surface.recording();
        QList<PrintedItem> bodyLines;
        for (const PrintedItem& item : r.texts())
            if (item.at.x() == 4560)
                bodyLines << item;
        QCOMPARE(bodyLines.size(), 20);
        QCOMPARE(bodyLines[0].text, QString("LINEA"));
        QCOMPARE(bodyLines[0].at.y(), 2580.0 + 90);
        QCOMPARE(bodyLines[2].text, QString("    usage: oral"));
        QFont song("宋体");
        song.setPointSizeF(12);
        const double step = lineSpacingTwips(song) + 90;
        for (int i = 1; i < bodyLines.size(); ++i)
            QCOMPARE_NEAR(bodyLines[i].at.y() - bodyLines[i - 1].at.y(), step, 0.01);
        QCOMPARE(bodyLines.last().text, QString("LINES"));
    }

    void thePrescriptionIsPortraitAfterALandscapeJob()
    {
        RecordingPrintSurface surface;
        surface.setOrientation(Orientation::Landscape);
        surface.printText("LOG");
        QVERIFY(surface.endDocument());
        QVERIFY(printPaper(surface, measuredPaper("", {}, "LINEA"), 10, 10));
        const PrintRecording& r = surface.recording();
        QCOMPARE(onlyText(r, "LOG").orientation, Orientation::Landscape);
        QCOMPARE(onlyText(r, "LINEA").orientation, Orientation::Portrait);
    }

    void withoutAPrinterTheUserMaySaveAPdf()
    {
        TestEnv env;
        RecordingPrinterAccess printers; // no default printer
        FakeSettings settings;
        env.services.printers = &printers;
        env.services.settings = &settings;
        const PrescriptionPaper paper = measuredPaper("", sampleValues(), "LINEA");

        env.messages.setNextAnswers({ false });
        QVERIFY(!printPrescription(env.services, paper));
        QCOMPARE(env.messages.shown().size(), 1);
        QVERIFY(env.messages.last().contains(noPrinterMessage()));
        QCOMPARE(env.messages.shown().last().icon, Messages::Icon::Warning);
        QVERIFY(printers.pdfPaths().isEmpty());
        QCOMPARE(printers.last()->finishedJobs(), 0);

        env.messages.setNextAnswers({ true });
        env.fileDialogs.next = env.dir.filePath("处方");
        QVERIFY(printPrescription(env.services, paper));
        QCOMPARE(printers.pdfPaths(), QStringList({ env.dir.filePath("处方.pdf") }));
        QCOMPARE(printers.last()->finishedJobs(), 1);
        QCOMPARE(env.fileDialogs.lastDirectory, env.dataFolder());

        // Cancelling the file dialog prints nothing and says nothing more.
        env.messages.setNextAnswers({ true });
        env.fileDialogs.next.clear();
        QVERIFY(!printPrescription(env.services, paper));
        QCOMPARE(printers.recordings().size(), 4);
        QCOMPARE(env.messages.shown().size(), 3);
    }

    void aPrintThatFailsIsReported()
    {
        TestEnv env;
        QtPrinterAccess printers;
        env.services.printers = &printers;
        // The default printer's jobs go to a PDF in a folder that does not exist.
        qputenv("QUORVELA_PRINT_PDF", env.dir.filePath("missing/处方.pdf").toUtf8());
        QVERIFY(!printPrescription(env.services, measuredPaper("", sampleValues(), "LINEA")));
        qunsetenv("QUORVELA_PRINT_PDF");
        QVERIFY(env.messages.last().startsWith("处方没有打印"));
        QCOMPARE(env.messages.shown().last().icon, Messages::Icon::Warning);
    }

    void marginsShiftTheRealPageByTheirMillimetres()
    {
        QTemporaryDir dir;
        QtPrinterAccess printers;
        const QString body = "LINEA\r\n\r\n\r\nLINEB\r\n    usage\r\n" + letterLines(25).mid(14);
        const PrescriptionPaper paper = measuredPaper("", sampleValues(), body);
        const QString unshiftedPdf = dir.filePath("unshifted.pdf"), shiftedPdf = dir.filePath("shifted.pdf");
        QVERIFY(printPaper(*printers.pdfSurface(unshiftedPdf), paper, 10, 10));
        QVERIFY(printPaper(*printers.pdfSurface(shiftedPdf), paper, 20, 15));
        const PdfText unshifted = readPdfText(unshiftedPdf);
        const PdfText shifted = readPdfText(shiftedPdf);
        QCOMPARE(unshifted.pageSizes.size(), 1);
        QVERIFY(unshifted.pageSizes.first().height() > unshifted.pageSizes.first().width());

        // 10 mm margins print the paper where the screen shows it.
        const PdfWord owner = unshifted.word("OWNERX");
        QCOMPARE_NEAR(owner.xMin, (240 + paper.captionWidths[0] + 100) / 20, kTolerancePt);
        QCOMPARE_NEAR(owner.yMin, 975.0 / 20, kTolerancePt);
        QCOMPARE_NEAR(unshifted.word("LINEA").xMin, 4560.0 / 20, kTolerancePt);
        QCOMPARE_NEAR(unshifted.word("LINEA").yMin, (2580.0 + 90) / 20, kTolerancePt);

        // 20 mm left and 15 mm top move everything 567 right and 283.5 down.
        for (const QString& w : { "OWNERX", "VETX", "DIAGX", "LINEA", "LINEB", "usage" }) {
            QCOMPARE_NEAR(shifted.word(w).xMin - unshifted.word(w).xMin, 567.0 / 20, kTolerancePt);
            QCOMPARE_NEAR(shifted.word(w).yMin - unshifted.word(w).yMin, 283.5 / 20, kTolerancePt);
        }

        // Blank lines leave no gap; the indented line keeps its four blanks.
        QFont song("宋体");
        song.setPointSizeF(12);
        const double step = (lineSpacingTwips(song) + 90) / 20;
        QCOMPARE_NEAR(unshifted.word("LINEB").yMin - unshifted.word("LINEA").yMin, step, kTolerancePt);
        QCOMPARE_NEAR(unshifted.word("usage").xMin - unshifted.word("LINEB").xMin,
            textWidthTwips(song, "    ") / 20, kTolerancePt);
        // LINEA, LINEB, the usage line, then LINEC onwards: the 20th printed line is LINES.
        QCOMPARE_NEAR(unshifted.word("LINES").yMin - unshifted.word("LINEA").yMin, 19 * step, kTolerancePt);
        for (const PdfWord& w : unshifted.words)
            QVERIFY2(w.text != "LINET" && w.text != "LINEY", qPrintable(w.text));
    }
};

QTEST_MAIN(PrescriptionPrintTest)
#include "tst_prescriptionprint.moc"
