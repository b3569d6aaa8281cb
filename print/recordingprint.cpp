#include "print/recordingprint.h"

#include "print/printsystem.h"
#include "print/qtprint.h"

namespace qv {

namespace {

    QList<PrintedItem> itemsOfKind(const QList<PrintedItem>& items, PrintedItem::Kind kind)
    {
        QList<PrintedItem> result;
        for (const PrintedItem& item : items) {
            if (item.kind == kind)
                result.append(item);
        }
        return result;
    }

} // namespace

QList<PrintedItem> PrintRecording::texts() const { return itemsOfKind(items, PrintedItem::Kind::Text); }

QList<PrintedItem> PrintRecording::lines() const { return itemsOfKind(items, PrintedItem::Kind::Line); }

RecordingPrintSurface::RecordingPrintSurface(std::shared_ptr<PrintRecording> into, const QString& cannotPrint)
    : m_recording(std::move(into))
{
    if (!cannotPrint.isEmpty())
        fail(cannotPrint);
}

RecordingPrintSurface::~RecordingPrintSurface() { abandonOpenJob(); }

bool RecordingPrintSurface::beginJob(Orientation orientation)
{
    ++m_job;
    m_page = 1;
    m_recording->jobNames.append(jobName());
    m_pageOrientation = orientation;
    return true;
}

bool RecordingPrintSurface::beginNextPage(Orientation orientation)
{
    ++m_page;
    m_pageOrientation = orientation;
    return true;
}

bool RecordingPrintSurface::finishJob()
{
    m_recording->pagesPerFinishedJob.append(m_page);
    return true;
}

void RecordingPrintSurface::abandonJob() { ++m_recording->abandonedJobs; }

void RecordingPrintSurface::drawText(QPointF topLeftTwips, const QString& text, const QFont& font)
{
    PrintedItem item = newItem(PrintedItem::Kind::Text);
    item.at = topLeftTwips;
    item.text = text;
    item.fontName = font.family();
    item.fontSize = font.pointSizeF();
    item.bold = font.bold();
    m_recording->items.append(item);
}

void RecordingPrintSurface::drawLine(QPointF fromTwips, QPointF toTwips, double widthTwips)
{
    PrintedItem item = newItem(PrintedItem::Kind::Line);
    item.at = fromTwips;
    item.to = toTwips;
    item.lineWidthTwips = widthTwips;
    m_recording->items.append(item);
}

PrintedItem RecordingPrintSurface::newItem(PrintedItem::Kind kind) const
{
    PrintedItem item;
    item.kind = kind;
    item.job = m_job;
    item.page = m_page;
    item.orientation = m_pageOrientation;
    return item;
}

std::unique_ptr<PrintSurface> RecordingPrinterAccess::defaultPrinterSurface()
{
    return handOut(defaultPrinter.isEmpty() ? noPrinterMessage() : QString());
}

std::unique_ptr<PrintSurface> RecordingPrinterAccess::pdfSurface(const QString& path)
{
    m_pdfPaths.append(path);
    return handOut({});
}

std::unique_ptr<PrintSurface> RecordingPrinterAccess::printerSurface(const QString& name)
{
    surfacePrinters.append(name);
    if (name.isEmpty())
        return defaultPrinterSurface();
    return handOut(printers.contains(name) ? QString() : chosenNotInstalledSentence(name));
}

std::unique_ptr<PrintSurface> RecordingPrinterAccess::handOut(const QString& cannotPrint)
{
    auto recording = std::make_shared<PrintRecording>();
    m_recordings.append(recording);
    return std::make_unique<RecordingPrintSurface>(recording, cannotPrint);
}

} // namespace qv
