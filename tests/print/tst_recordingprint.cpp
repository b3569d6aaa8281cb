// The recording back end that tests of printing code use: what it records, and how it stands in for a machine
// without a printer.

#include "print/qtprint.h"
#include "print/recordingprint.h"

#include <QtTest>

using namespace qv;

class RecordingPrintTest final : public QObject {
    Q_OBJECT

private slots:
    void recordsResolvedPositionsFontsAndPages()
    {
        RecordingPrinterAccess printers;
        printers.printers = QStringList { "Office Laser", "Label Printer" };
        printers.defaultPrinter = "Office Laser";
        {
            auto surface = printers.defaultPrinterSurface();
            surface->setScaleMode(ScaleMode::Millimetres);
            surface->setScaleLeft(-15);
            surface->setScaleTop(-10);
            surface->setOrientation(Orientation::Landscape);
            surface->setFontName("宋体");
            surface->setFontBold(true);
            surface->setFontSize(26);
            surface->setCurrentX(90);
            surface->setCurrentY(0);
            surface->printText("门 诊 日 志 登 记 本");
            surface->setDrawWidth(2);
            surface->line(0, 15, 260, 15);
            surface->newPage();
            surface->setFontBold(false);
            surface->setFontSize(11);
            surface->setCurrentX(240);
            surface->setCurrentY(166);
            surface->printTextNoAdvance("第 2 页");
            QVERIFY(surface->endDocument());
        }
        const PrintRecording& recording = *printers.last();
        QCOMPARE(recording.pagesPerFinishedJob, QList<int> { 2 });
        QCOMPARE(recording.abandonedJobs, 0);

        const double mm = 1440 / 25.4;
        const QList<PrintedItem> texts = recording.texts();
        QCOMPARE(texts.size(), 2);
        QCOMPARE(texts[0].text, QString("门 诊 日 志 登 记 本"));
        QCOMPARE(texts[0].fontName, QString("宋体"));
        QCOMPARE(texts[0].fontSize, 26.0);
        QVERIFY(texts[0].bold);
        QCOMPARE(texts[0].page, 1);
        QCOMPARE(texts[0].orientation, Orientation::Landscape);
        QCOMPARE(texts[0].at.x(), 105 * mm);
        QCOMPARE(texts[0].at.y(), 10 * mm);
        QCOMPARE(texts[1].page, 2);
        QVERIFY(!texts[1].bold);
        QCOMPARE(texts[1].at.x(), 255 * mm);
        QCOMPARE(texts[1].at.y(), 176 * mm);

        const QList<PrintedItem> lines = recording.lines();
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines[0].at, QPointF(15 * mm, 25 * mm));
        QCOMPARE(lines[0].to, QPointF(275 * mm, 25 * mm));
        QCOMPARE(lines[0].lineWidthTwips, 2 * kTwipsPerPixel);
    }

    void lineAdvanceUsesTheFontOfTheText()
    {
        RecordingPrintSurface surface;
        surface.setFontName("宋体");
        surface.setFontSize(12);
        surface.setCurrentY(2580);
        surface.printText("甲");
        const double small = surface.currentY() - 2580;
        surface.setFontSize(24);
        surface.printText("乙");
        const double large = surface.currentY() - 2580 - small;
        QVERIFY2(small > 240 && small < 480, qPrintable(QString::number(small)));
        QVERIFY2(qAbs(large - 2 * small) < 30, qPrintable(QString("%1 vs %2").arg(large).arg(small)));
        QCOMPARE(surface.recording().texts()[1].at.y(), 2580 + small);
    }

    void withoutDefaultPrinterNothingIsPrintedAndTheFailureShows()
    {
        RecordingPrinterAccess printers; // no printer installed
        auto surface = printers.defaultPrinterSurface();
        QVERIFY(!surface->ok());
        QCOMPARE(surface->errorText(), noPrinterMessage());
        surface->printText("处方");
        surface->line(0, 0, 10, 10);
        QVERIFY(!surface->endDocument());
        QVERIFY(printers.last()->items.isEmpty());
        QCOMPARE(printers.last()->finishedJobs(), 0);
    }

    void aJobNeverEndedIsAbandonedAndAnEmptyOneIsNoJob()
    {
        RecordingPrinterAccess printers;
        printers.defaultPrinter = "Office Laser";
        printers.defaultPrinterSurface()->printText("未完");
        QCOMPARE(printers.last()->abandonedJobs, 1);
        QCOMPARE(printers.last()->finishedJobs(), 0);

        auto empty = printers.defaultPrinterSurface();
        empty->setScaleMode(ScaleMode::Millimetres);
        QVERIFY(empty->endDocument());
        QCOMPARE(printers.last()->finishedJobs(), 0);

        auto pdf = printers.pdfSurface("/tmp/out.pdf");
        pdf->printText("A");
        QVERIFY(pdf->endDocument());
        pdf->printText("B");
        QVERIFY(pdf->endDocument());
        QCOMPARE(printers.pdfPaths(), QStringList { "/tmp/out.pdf" });
        QCOMPARE(printers.last()->pagesPerFinishedJob, (QList<int> { 1, 1 }));
        QCOMPARE(printers.last()->texts()[1].job, 2);
        QCOMPARE(printers.recordings().size(), 3);
    }
};

QTEST_MAIN(RecordingPrintTest)
#include "tst_recordingprint.moc"
