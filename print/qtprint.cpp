#include "print/qtprint.h"
#include "platform/failures.h"
#include "print/cupsprintsystem.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>

namespace qv {

namespace {

    // 1440 dots per inch makes one device unit one twip; a back end that keeps its own resolution is scaled
    // to.
    constexpr int kTwipsPerInch = 1440;

    std::unique_ptr<QPrinter> preparedPrinter(std::unique_ptr<QPrinter> printer)
    {
        printer->setResolution(kTwipsPerInch);
        // Full page: the origin is placed on the printable area by the surface itself, so it does not depend
        // on margins Qt would add.
        printer->setFullPage(true);
        return printer;
    }

} // namespace

QString noPrinterMessage() { return QStringLiteral("没有安装打印机，或者没有设置默认打印机。"); }

QtPrintSurface::QtPrintSurface(std::unique_ptr<QPrinter> printer, const QString& unavailableReason)
    : m_printer(std::move(printer))
{
    if (!m_printer) {
        fail(unavailableReason.isEmpty() ? noPrinterMessage() : unavailableReason);
        return;
    }
    m_defaultOrientation = m_printer->pageLayout().orientation();
}

QtPrintSurface::~QtPrintSurface() { abandonOpenJob(); }

bool QtPrintSurface::beginJob(Orientation orientation)
{
    applyOrientation(orientation);
    m_printer->setDocName(jobName());
    if (!m_painter.begin(m_printer.get())) {
        fail(outputFailure());
        return false;
    }
    m_devicePerTwip = double(m_printer->resolution()) / kTwipsPerInch;
    QPageLayout layout = m_printer->pageLayout();
    layout.setUnits(QPageLayout::Point);
    const QMarginsF hardware = layout.minimumMargins();
    m_printableOrigin = QPointF(hardware.left() * 20, hardware.top() * 20);
    return true;
}

bool QtPrintSurface::beginNextPage(Orientation orientation)
{
    applyOrientation(orientation);
    if (!m_printer->newPage()) {
        fail(QStringLiteral("打印机无法开始新的一页。"));
        return false;
    }
    return true;
}

bool QtPrintSurface::finishJob()
{
    if (!m_painter.end()) {
        fail(outputFailure());
        return false;
    }
    if (m_printer->printerState() == QPrinter::Error) {
        fail(outputFailure());
        return false;
    }
    return true;
}

void QtPrintSurface::abandonJob()
{
    if (m_painter.isActive()) {
        m_printer->abort();
        m_painter.end();
    }
}

void QtPrintSurface::drawText(QPointF topLeftTwips, const QString& text, const QFont& font)
{
    m_painter.setFont(font);
    m_painter.setPen(Qt::black);
    const QPointF topLeft = toDevice(topLeftTwips);
    m_painter.drawText(
        QPointF(topLeft.x(), topLeft.y() + QFontMetricsF(font, m_printer.get()).ascent()), text);
}

void QtPrintSurface::drawLine(QPointF fromTwips, QPointF toTwips, double widthTwips)
{
    QPen pen(Qt::black);
    pen.setWidthF(widthTwips * m_devicePerTwip);
    pen.setCapStyle(Qt::SquareCap);
    m_painter.setPen(pen);
    m_painter.drawLine(toDevice(fromTwips), toDevice(toTwips));
}

void QtPrintSurface::applyOrientation(Orientation orientation)
{
    switch (orientation) {
    case Orientation::Landscape:
        m_printer->setPageOrientation(QPageLayout::Landscape);
        break;
    case Orientation::Portrait:
        m_printer->setPageOrientation(QPageLayout::Portrait);
        break;
    case Orientation::PrinterDefault:
        m_printer->setPageOrientation(m_defaultOrientation);
        break;
    }
}

QPointF QtPrintSurface::toDevice(QPointF twips) const
{
    return (twips + m_printableOrigin) * m_devicePerTwip;
}

QString QtPrintSurface::outputFailure() const
{
    if (m_printer->outputFormat() == QPrinter::PdfFormat) {
        // Qt gives no reason for a PDF it could not write; the file system shows it.
        const QString path = m_printer->outputFileName();
        return QStringLiteral("无法写入文件“%1”：%2")
            .arg(QDir::toNativeSeparators(path), explainFileFailure(path, QString()));
    }
    return QStringLiteral("无法在打印机“%1”上打印。").arg(m_printer->printerName());
}

QtPrinterAccess::QtPrinterAccess()
    : m_system(std::make_unique<CupsPrintSystem>())
{
}

QtPrinterAccess::~QtPrinterAccess() = default;

QStringList QtPrinterAccess::installedPrinters() const { return QPrinterInfo::availablePrinterNames(); }

QString QtPrinterAccess::defaultPrinterName() const { return QPrinterInfo::defaultPrinterName(); }

std::unique_ptr<PrintSurface> QtPrinterAccess::defaultPrinterSurface()
{
    const QString forcedPdf = qEnvironmentVariable("QUORVELA_PRINT_PDF");
    if (!forcedPdf.isEmpty())
        return pdfSurface(forcedPdf);

    // Without a printer QPrinter would quietly write a PDF somewhere; refuse instead.
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        return std::make_unique<QtPrintSurface>(nullptr, noPrinterMessage());
    return std::make_unique<QtPrintSurface>(
        preparedPrinter(std::make_unique<QPrinter>(info, QPrinter::HighResolution)));
}

std::unique_ptr<PrintSurface> QtPrinterAccess::printerSurface(const QString& name)
{
    if (name.isEmpty() || !qEnvironmentVariableIsEmpty("QUORVELA_PRINT_PDF"))
        return defaultPrinterSurface();
    // Given a name it does not know, QPrinter would print on the default printer instead.
    const QPrinterInfo info = QPrinterInfo::printerInfo(name);
    auto printer = info.isNull() ? nullptr : std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    if (!printer || printer->printerName() != name)
        return std::make_unique<QtPrintSurface>(nullptr, chosenNotInstalledSentence(name));
    return std::make_unique<QtPrintSurface>(preparedPrinter(std::move(printer)));
}

PrintSystem* QtPrinterAccess::printSystem()
{
    return qEnvironmentVariableIsEmpty("QUORVELA_PRINT_PDF") ? m_system.get() : nullptr;
}

std::unique_ptr<PrintSurface> QtPrinterAccess::pdfSurface(const QString& path)
{
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(QFileInfo(path).absoluteFilePath());
    // A PDF has no printer default; the practice's paper is A4.
    printer->setPageSize(QPageSize(QPageSize::A4));
    return std::make_unique<QtPrintSurface>(preparedPrinter(std::move(printer)));
}

} // namespace qv
