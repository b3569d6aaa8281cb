#pragma once
// A print surface and printer list that record instead of printing, for tests of the code that prints.
// Positions are recorded resolved: twips from the printable area's top-left corner, after scale unit and
// origin, measured with the same font metrics a real print uses.

#include "print/printeraccess.h"
#include "print/scaledsurface.h"

#include <QList>

#include <memory>

namespace qv {

struct PrintedItem {
    enum class Kind { Text, Line };
    Kind kind = Kind::Text;
    int job = 1; // 1 for the first job of the surface
    int page = 1; // 1 for the first page of the job
    Orientation orientation = Orientation::PrinterDefault; // of the page
    QPointF at; // text: its top-left corner; line: its start
    QPointF to; // line: its end
    QString text;
    QString fontName;
    double fontSize = 0;
    bool bold = false;
    double lineWidthTwips = 0;
};

// What the jobs of one surface drew. It outlives the surface, so a test can look at it after the code under
// test has let go of its surface.
struct PrintRecording {
    QList<PrintedItem> items;
    // Jobs handed to the printer with endDocument(), and the pages each of them had.
    QList<int> pagesPerFinishedJob;
    // Jobs given up because the surface went away before endDocument().
    int abandonedJobs = 0;
    // The name of every job begun, in order.
    QStringList jobNames;

    QList<PrintedItem> texts() const;
    QList<PrintedItem> lines() const;
    int finishedJobs() const { return pagesPerFinishedJob.size(); }
};

class RecordingPrintSurface final : public ScaledPrintSurface {
public:
    // cannotPrint: the surface behaves as one without a printer, with that reason.
    explicit RecordingPrintSurface(std::shared_ptr<PrintRecording> into = std::make_shared<PrintRecording>(),
        const QString& cannotPrint = {});
    ~RecordingPrintSurface() override;

    const PrintRecording& recording() const { return *m_recording; }

protected:
    bool beginJob(Orientation orientation) override;
    bool beginNextPage(Orientation orientation) override;
    bool finishJob() override;
    void abandonJob() override;
    void drawText(QPointF topLeftTwips, const QString& text, const QFont& font) override;
    void drawLine(QPointF fromTwips, QPointF toTwips, double widthTwips) override;

private:
    PrintedItem newItem(PrintedItem::Kind kind) const;

    std::shared_ptr<PrintRecording> m_recording;
    int m_job = 0;
    int m_page = 0;
    Orientation m_pageOrientation = Orientation::PrinterDefault;
};

// Printers as a test sets them, and recording surfaces. A surface for the default printer cannot print when
// defaultPrinter is empty.
class RecordingPrinterAccess final : public PrinterAccess {
public:
    QStringList printers;
    QString defaultPrinter;

    QStringList installedPrinters() const override { return printers; }
    QString defaultPrinterName() const override { return defaultPrinter; }
    std::unique_ptr<PrintSurface> defaultPrinterSurface() override;
    std::unique_ptr<PrintSurface> pdfSurface(const QString& path) override;
    // A printer that is not in printers cannot print.
    std::unique_ptr<PrintSurface> printerSurface(const QString& name) override;
    PrintSystem* printSystem() override { return system; }

    // The print service the code under test checks with; none unless a test sets one.
    PrintSystem* system = nullptr;
    // The printer asked for by each printerSurface() call ("" for the default printer), in order.
    QStringList surfacePrinters;

    // One recording per surface handed out, oldest first (PDF surfaces too), and the PDF paths asked for.
    const QList<std::shared_ptr<PrintRecording>>& recordings() const { return m_recordings; }
    QStringList pdfPaths() const { return m_pdfPaths; }
    // The recording of the last surface handed out; null before the first.
    const PrintRecording* last() const
    {
        return m_recordings.isEmpty() ? nullptr : m_recordings.last().get();
    }

private:
    std::unique_ptr<PrintSurface> handOut(const QString& cannotPrint);

    QList<std::shared_ptr<PrintRecording>> m_recordings;
    QStringList m_pdfPaths;
};

} // namespace qv
