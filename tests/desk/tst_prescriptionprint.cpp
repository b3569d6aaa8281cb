// Printing the prescription paper: what lands where on a recording surface, and on a real PDF read back with
// pdftotext, where the margins and the body lines must show at their twips (x = twips / 20 points).

#include "desk/bodylayout.h"
#include "desk/prescriptionprint.h"
#include "print/fonts.h"
#include "print/qtprint.h"
#include "print/recordingprint.h"
#include "tests/desk/fakesettings.h"
#include "tests/print/noprinter.h"
#include "tests/print/pdfreader.h"
#include "tests/support/testenv.h"

#include <QDir>
#include <QPrinter>
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

// A prescription of 30 printed lines, each carrying its own mark R01 … R30, with empty lines between groups.
QString thirtyLineBody()
{
    QStringList lines;
    for (int i = 1; i <= 30; ++i) {
        const QString mark = QString("R%1").arg(i, 2, 10, QChar('0'));
        if (i % 3 == 1)
            lines << mark + " 阿莫西林胶囊 0.25g×24粒";
        else if (i % 3 == 2)
            lines << "    用法：0.5g 口服 每日3次 " + mark << "";
        else
            lines << alignHerbEntry("丁香 10g") + alignHerbEntry("五倍子 10g") + "    " + mark;
    }
    return lines.join("\r\n");
}

QFont bodyFont()
{
    QFont song("宋体");
    song.setPointSizeF(12);
    return song;
}

#define QCOMPARE_NEAR(actual, expected, tolerance)                                                           \
    QVERIFY2(qAbs((actual) - (expected)) < (tolerance),                                                      \
        qPrintable(QStringLiteral("%1 is %2, expected %3").arg(#actual).arg(actual).arg(expected)))

} // namespace

class PrescriptionPrintTest final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { installFontSubstitutions(); }

    void theBodyPrintsEveryNonBlankLineAsItIs()
    {
        QCOMPARE(printedBodyLines("A\r\n\r\n   \r\nB\rC\nD"), QStringList({ "A", "B", "C", "D" }));
        QCOMPARE(printedBodyLines("    用法：肌肉注射 每日1次\r\n"),
            QStringList({ "    用法：肌肉注射 每日1次" }));
        const QStringList many = printedBodyLines("\r\n" + letterLines(25));
        QCOMPARE(many.size(), 25);
        QCOMPARE(many.last(), QString("LINEY"));
        QVERIFY(printedBodyLines("").isEmpty());
    }

    void aLineWiderThanTheBodyWrapsInsideIt()
    {
        const QFont song = bodyFont();
        // Without blanks it breaks after the last character that fits.
        const QString herbs = QString("当归川芎白芍熟地黄").repeated(6);
        const QStringList rows = printedBodyLines(herbs);
        QCOMPARE(rows.join(QString()), herbs);
        QCOMPARE(rows.size(), 3);
        for (const QString& row : rows)
            QVERIFY(textWidthTwips(song, row) <= kBodyWidth);
        QVERIFY(textWidthTwips(song, rows[0] + rows[1].left(1)) > kBodyWidth);
        // With blanks it breaks after one, as the screen wraps words; the indent is no place to break.
        const QString usage = "    用法：" + QString("每日3次 ").repeated(6) + "饭后服用";
        const QStringList usageRows = printedBodyLines(usage);
        QCOMPARE(usageRows.join(QString()), usage);
        QCOMPARE(usageRows.size(), 2);
        QVERIFY(usageRows[0].startsWith("    用法："));
        QVERIFY(usageRows[0].endsWith(' '));
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

    void aBodyThatFitsPrintsOnOnePageOneLineAndNinetyTwipsApart()
    {
        const QFont song = bodyFont();
        const double step = lineSpacingTwips(song) + 90;
        const int fitting = int((kSignatureRuleY - kBodyTop) / step);
        QVERIFY2(fitting >= 11, qPrintable(QString::number(fitting))); // the design's 宋体 line is about 1 em

        RecordingPrintSurface surface;
        // LINEA, LINEB, the usage line, then LINEC onwards, up to the last line that fits.
        const QString body
            = "LINEA\r\n\r\n  \r\nLINEB\r\n    usage: oral\r\n" + letterLines(fitting - 1).mid(14);
        QVERIFY(printPaper(surface, measuredPaper("", {}, body), 10, 10));
        const PrintRecording& r = surface.recording();
        QCOMPARE(r.pagesPerFinishedJob, QList<int>({ 1 }));
        QList<PrintedItem> bodyLines;
        for (const PrintedItem& item : r.texts())
            if (item.at.x() == 4560)
                bodyLines << item;
        QCOMPARE(bodyLines.size(), fitting);
        // A full sheet is still a prescription of one sheet: captions, 诊断： and Rp：, the body, and no
        // mark.
        QCOMPARE(r.texts().size(), 10 + 2 + fitting);
        QCOMPARE(bodyLines[0].text, QString("LINEA"));
        QCOMPARE(bodyLines[0].at.y(), 2580.0 + 90);
        QCOMPARE(bodyLines[2].text, QString("    usage: oral"));
        for (int i = 1; i < bodyLines.size(); ++i)
            QCOMPARE_NEAR(bodyLines[i].at.y() - bodyLines[i - 1].at.y(), step, 0.01);
        QVERIFY(bodyLines.last().at.y() + lineSpacingTwips(song) <= kSignatureRuleY);
    }

    void aLongBodyContinuesOnSheetsThatRepeatThePaper()
    {
        const QString body
            = letterLines(26).replace("\r\n", "\r\n\r\n") + "\r\nLASTA\r\nLASTB\r\nLASTC\r\nLASTD";
        const PrescriptionPaper paper = measuredPaper("青禾动物诊所", sampleValues(), body);
        const QList<QStringList> sheets = bodySheets(body);
        QVERIFY(sheets.size() >= 3);

        RecordingPrintSurface surface;
        QVERIFY(printPaper(surface, paper, 10, 10));
        const PrintRecording& r = surface.recording();
        QCOMPARE(r.pagesPerFinishedJob, QList<int>({ int(sheets.size()) }));

        // Every sheet says which of how many it is, in the header fields' font, its baseline on the title's
        // and its end where the 档案号 field ends.
        const QFont markFont = bodyFont();
        QFont titleFont("黑体");
        titleFont.setPointSizeF(20.25);
        for (int page = 1; page <= sheets.size(); ++page) {
            QList<PrintedItem> marks;
            for (const PrintedItem& item : r.texts())
                if (item.page == page && item.text.contains("页"))
                    marks << item;
            QCOMPARE(marks.size(), 1);
            QCOMPARE(marks[0].text, QString("第%1页/共%2页").arg(page).arg(sheets.size()));
            QCOMPARE(marks[0].fontName, QString("宋体"));
            QCOMPARE(marks[0].fontSize, 12.0);
            QVERIFY(!marks[0].bold);
            QCOMPARE_NEAR(marks[0].at.x() + textWidthTwips(markFont, marks[0].text), 7440.0 + 3075, 0.01);
            QCOMPARE_NEAR(marks[0].at.y() + ascentTwips(markFont), 300 + ascentTwips(titleFont), 0.01);
        }

        // The first sheet is the page a body of its own lines prints, and its mark.
        RecordingPrintSurface shortSurface;
        QVERIFY(printPaper(
            shortSurface, measuredPaper("青禾动物诊所", sampleValues(), sheets[0].join("\r\n")), 10, 10));
        QList<PrintedItem> firstSheet;
        for (const PrintedItem& item : r.items)
            if (item.page == 1 && !item.text.startsWith("第1页"))
                firstSheet << item;
        const QList<PrintedItem>& alone = shortSurface.recording().items;
        QCOMPARE(firstSheet.size(), alone.size());
        for (int i = 0; i < alone.size(); ++i) {
            QCOMPARE(firstSheet[i].text, alone[i].text);
            QCOMPARE(firstSheet[i].at, alone[i].at);
            QCOMPARE(firstSheet[i].to, alone[i].to);
        }

        QStringList printedBody;
        for (int page = 1; page <= sheets.size(); ++page) {
            QList<PrintedItem> texts, lines;
            for (const PrintedItem& item : r.items)
                if (item.page == page)
                    (item.kind == PrintedItem::Kind::Text ? texts : lines) << item;
            // Every sheet carries the whole paper: title, captions, values, frame and underlines.
            QCOMPARE(lines.size(), 17);
            QCOMPARE(lines[4].at, QPointF(120, 6660));
            for (const QString& text :
                { "青禾动物诊所", "诊断：", "Rp：", "OWNERX", "DIAGX", "执业兽医师", "VETX", "发药人" }) {
                int found = 0;
                for (const PrintedItem& item : texts)
                    found += item.text == text;
                QVERIFY2(found == 1, qPrintable(QString("%1 on page %2").arg(text).arg(page)));
            }
            for (const PrintedItem& item : texts) {
                if (item.at.x() != kBodyLeft)
                    continue;
                printedBody << item.text;
                // Above the signature rule and inside the frame.
                QVERIFY(item.at.y() >= 2580 + 90);
                QVERIFY(item.at.y() + lineSpacingTwips(bodyFont()) <= kSignatureRuleY);
                QVERIFY(item.at.x() + textWidthTwips(bodyFont(), item.text) <= 10620);
            }
        }
        // Every non-blank line once, in order.
        QStringList expected;
        for (int i = 0; i < 26; ++i)
            expected << QString("LINE") + QChar('A' + i);
        expected << "LASTA"
                 << "LASTB"
                 << "LASTC"
                 << "LASTD";
        QCOMPARE(printedBody, expected);
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

        // A folder where the PDF should go is named for what it is.
        const QString folder = env.dir.filePath("处方.pdf");
        QVERIFY(QDir().mkpath(folder));
        qputenv("QUORVELA_PRINT_PDF", folder.toUtf8());
        QVERIFY(!printPrescription(env.services, measuredPaper("", sampleValues(), "LINEA")));
        qunsetenv("QUORVELA_PRINT_PDF");
        QVERIFY2(env.messages.last().startsWith(
                     QStringLiteral("处方没有打印！\n无法写入文件“%1”：这个位置上是一个文件夹")
                         .arg(QDir::toNativeSeparators(folder))),
            qPrintable(env.messages.last()));
    }

    void marginsShiftTheRealPageByTheirMillimetres()
    {
        QTemporaryDir dir;
        QtPrinterAccess printers;
        const QString body = "LINEA\r\n\r\n\r\nLINEB\r\n    usage\r\n" + letterLines(10).mid(14);
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
        const QFont song = bodyFont();
        const double step = (lineSpacingTwips(song) + 90) / 20;
        QCOMPARE_NEAR(unshifted.word("LINEB").yMin - unshifted.word("LINEA").yMin, step, kTolerancePt);
        QCOMPARE_NEAR(unshifted.word("usage").xMin - unshifted.word("LINEB").xMin,
            textWidthTwips(song, "    ") / 20, kTolerancePt);
        // LINEA, LINEB, the usage line, then LINEC onwards: the tenth printed line is LINEI.
        QCOMPARE_NEAR(unshifted.word("LINEI").yMin - unshifted.word("LINEA").yMin, 9 * step, kTolerancePt);
    }

    void aThirtyLinePrescriptionSavedAsPdfCarriesEveryLineOnceAboveTheSignatures()
    {
        TestEnv env;
        NoPrinter printers;
        env.services.printers = &printers;
        env.messages.setNextAnswers({ true });
        env.fileDialogs.next = env.dir.filePath("处方.pdf");
        const QString body = thirtyLineBody();
        QVERIFY(printPrescription(env.services, measuredPaper("青禾动物诊所", sampleValues(), body)));

        const PdfText pdf = readPdfText(env.dir.filePath("处方.pdf"));
        // Sheets break between groups (a drug line stays with its usage), so a sheet may end a line early.
        const QList<QStringList> sheets = bodySheets(body);
        QCOMPARE(pdf.pageSizes.size(), sheets.size());
        for (int i = 1; i <= 30; ++i) {
            const QString markText = QString("R%1").arg(i, 2, 10, QChar('0'));
            const PdfWord mark = pdf.word(markText);
            int sheet = 0;
            while (sheet < sheets.size() && sheets[sheet].filter(markText).isEmpty())
                ++sheet;
            QCOMPARE(mark.page, sheet + 1);
            QVERIFY(mark.yMin >= (kBodyTop + 90) / 20 - kTolerancePt);
            QVERIFY2(mark.yMax <= kSignatureRuleY / 20, qPrintable(QString::number(mark.yMax)));
            QVERIFY(mark.xMax <= 10620.0 / 20);
        }
        // Each sheet is the whole paper: the header values and the signature row on every page.
        for (const QString& text : { "OWNERX", "VETX", "2026-12-08", "DIAGX" }) {
            QList<int> pages;
            for (const PdfWord& w : pdf.words)
                if (w.text == text)
                    pages << w.page;
            QCOMPARE(pages.size(), pdf.pageSizes.size());
            for (int page = 1; page <= pdf.pageSizes.size(); ++page)
                QVERIFY(pages.contains(page));
        }
        for (const PdfWord& w : pdf.words) {
            QVERIFY2(w.xMin >= 120.0 / 20 && w.xMax <= 10620.0 / 20, qPrintable(w.text));
            QVERIFY2(w.yMin >= 120.0 / 20 && w.yMax <= 7080.0 / 20, qPrintable(w.text));
        }
    }

    void eachSheetOfATwoSheetPrescriptionSaysSoClearOfEverythingElse_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("titleCentred");
        QTest::addColumn<bool>("markInTitleLine");
        QTest::newRow("short name") << QString("青禾动物诊所") << true << true;
        // Centred, these twenty characters would run into the mark.
        QTest::newRow("name that makes way") << QString("青禾动物诊所").repeated(3) + "门诊" << false << true;
        QTest::newRow("name too wide to share its line")
            << QString("青禾动物诊所").repeated(4) << true << false;
    }

    void eachSheetOfATwoSheetPrescriptionSaysSoClearOfEverythingElse()
    {
        QFETCH(QString, title);
        QFETCH(bool, titleCentred);
        QFETCH(bool, markInTitleLine);
        const int perSheet = int(bodySheets(letterLines(26)).first().size());
        const QString body = letterLines(perSheet + 2);
        const QList<QStringList> sheets = bodySheets(body);
        QCOMPARE(sheets.size(), 2);
        const PrescriptionPaper paper = measuredPaper(title, sampleValues(), body);
        QTemporaryDir dir;
        QtPrinterAccess printers;
        const QString path = dir.filePath("two.pdf");
        QVERIFY(printPaper(*printers.pdfSurface(path), paper, 10, 10));
        RecordingPrintSurface recorded;
        QVERIFY(printPaper(recorded, paper, 10, 10));
        const PdfText pdf = readPdfText(path);
        QCOMPARE(pdf.pageSizes.size(), 2);

        for (int page = 1; page <= 2; ++page) {
            QList<PdfWord> words, marks;
            for (const PdfWord& w : pdf.words)
                if (w.page == page)
                    (w.text.contains("页") ? marks : words) << w;
            QCOMPARE(marks.size(), 1);
            const PdfWord mark = marks[0];
            QCOMPARE(mark.text, QString("第%1页/共2页").arg(page));
            const QRectF markBox(QPointF(mark.xMin, mark.yMin), QPointF(mark.xMax, mark.yMax));
            QVERIFY(QRectF(QPointF(120.0 / 20, 120.0 / 20), QPointF(10620.0 / 20, 7080.0 / 20))
                        .contains(markBox));
            PdfWord printedTitle;
            for (const PdfWord& w : words)
                if (w.text == title)
                    printedTitle = w;
            QCOMPARE(printedTitle.text, title);
            if (markInTitleLine) {
                // On the title's line, ending where the 档案号 field ends.
                QVERIFY(mark.yMin >= printedTitle.yMin - kTolerancePt);
                QVERIFY(mark.yMax <= printedTitle.yMax + kTolerancePt);
                QCOMPARE_NEAR(mark.xMax, (7440.0 + 3075) / 20, kTolerancePt);
                QVERIFY(printedTitle.xMin >= 240.0 / 20 - kTolerancePt);
            } else {
                // In the diagnosis column, under the diagnosis lines and above the signature rule.
                QVERIFY(mark.xMax <= 3060.0 / 20);
                QVERIFY(mark.yMin >= (3660.0 + 315) / 20);
                QVERIFY(mark.yMax <= 6660.0 / 20);
            }
            if (titleCentred)
                QCOMPARE_NEAR(printedTitle.xMin, (10830 - paper.titleWidth) / 40, kTolerancePt);
            for (const PdfWord& w : words)
                QVERIFY2(!markBox.intersects(QRectF(QPointF(w.xMin, w.yMin), QPointF(w.xMax, w.yMax))),
                    qPrintable(w.text));
            for (const PrintedItem& line : recorded.recording().lines()) {
                if (line.page != page)
                    continue;
                const QRectF span = QRectF(line.at / 20, line.to / 20).normalized();
                const double half = line.lineWidthTwips / 40;
                QVERIFY(!markBox.intersects(span.adjusted(-half, -half, half, half)));
            }
        }

        if (!titleCentred)
            return;
        // Drawn, each page is the one-sheet print of its own body lines but for the mark, which lands where
        // that print has not a single dark pixel.
        constexpr int dpi = 100;
        const double toPixels = dpi / 72.0;
        for (int page = 1; page <= 2; ++page) {
            const QString alonePath = dir.filePath(QString("alone%1.pdf").arg(page));
            QVERIFY(printPaper(*printers.pdfSurface(alonePath),
                measuredPaper(title, sampleValues(), sheets[page - 1].join("\r\n")), 10, 10));
            const GreyPage marked = renderPage(path, page, dpi);
            const GreyPage alone = renderPage(alonePath, 1, dpi);
            QVERIFY(marked.width > 0);
            QCOMPARE(marked.width, alone.width);
            QCOMPARE(marked.height, alone.height);
            PdfWord mark;
            for (const PdfWord& w : pdf.words)
                if (w.page == page && w.text.contains("页"))
                    mark = w;
            const QRect markPixels(QPoint(int(mark.xMin * toPixels) - 2, int(mark.yMin * toPixels) - 2),
                QPoint(int(mark.xMax * toPixels) + 2, int(mark.yMax * toPixels) + 2));
            int darkInMark = 0, differentElsewhere = 0, darkMarkPixels = 0;
            for (int y = 0; y < marked.height; ++y) {
                for (int x = 0; x < marked.width; ++x) {
                    if (markPixels.contains(x, y)) {
                        darkInMark += alone.at(x, y) < 250;
                        darkMarkPixels += marked.at(x, y) < 128;
                    } else {
                        differentElsewhere += marked.at(x, y) != alone.at(x, y);
                    }
                }
            }
            QCOMPARE(darkInMark, 0);
            QCOMPARE(differentElsewhere, 0);
            QVERIFY(darkMarkPixels > 50); // the mark is really drawn
        }
    }

    void herbColumnsEndAtOneXOnPaper()
    {
        // Three rows of three entries of different widths; each dose is its own mark.
        const QStringList herbs = { "丁香", "五倍子", "制何首乌" };
        QStringList rows;
        for (int row = 1; row <= 3; ++row) {
            QString line;
            for (int column = 1; column <= 3; ++column)
                line += alignHerbEntry(
                    QString("%1 %2%3g").arg(herbs[(row + column) % 3]).arg(row).arg(column));
            rows << line;
        }
        QTemporaryDir dir;
        QtPrinterAccess printers;
        const QString path = dir.filePath("herbs.pdf");
        QVERIFY(printPaper(*printers.pdfSurface(path), measuredPaper("", {}, rows.join("\r\n\r\n")), 10, 10));
        const PdfText pdf = readPdfText(path);
        for (int column = 1; column <= 3; ++column) {
            // A display column is half of 宋体's 12 pt: 6 pt.
            const double end = kBodyLeft / 20 + column * kHerbEntryColumns * 6;
            for (int row = 1; row <= 3; ++row) {
                const PdfWord dose = pdf.word(QString("%1%2g").arg(row).arg(column));
                QVERIFY2(qAbs(dose.xMax - end) <= 0.5,
                    qPrintable(QString("row %1 column %2 ends at %3, not %4")
                                   .arg(row)
                                   .arg(column)
                                   .arg(dose.xMax)
                                   .arg(end)));
            }
        }
    }
};

QTEST_MAIN(PrescriptionPrintTest)
#include "tst_prescriptionprint.moc"
