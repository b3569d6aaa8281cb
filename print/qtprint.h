#pragma once
// Printing through Qt: the system's default printer or a PDF file.

#include "print/printeraccess.h"
#include "print/scaledsurface.h"

#include <QPageLayout>
#include <QPainter>

#include <memory>

class QPrinter;

namespace qv {

// Draws on a QPrinter at 1440 dots per inch with the origin at the printable area's top-left corner.
class QtPrintSurface final : public ScaledPrintSurface {
public:
    // printer may be null: the surface then fails every job with unavailableReason.
    QtPrintSurface(std::unique_ptr<QPrinter> printer, const QString& unavailableReason = {});
    ~QtPrintSurface() override;

protected:
    bool beginJob(Orientation orientation) override;
    bool beginNextPage(Orientation orientation) override;
    bool finishJob() override;
    void abandonJob() override;
    void drawText(QPointF topLeftTwips, const QString& text, const QFont& font) override;
    void drawLine(QPointF fromTwips, QPointF toTwips, double widthTwips) override;

private:
    void applyOrientation(Orientation orientation);
    QPointF toDevice(QPointF twips) const;
    QString outputFailure() const;

    std::unique_ptr<QPrinter> m_printer;
    QPainter m_painter;
    QPageLayout::Orientation m_defaultOrientation = QPageLayout::Portrait;
    QPointF m_printableOrigin; // printable area's corner on the paper, in twips
    double m_devicePerTwip = 1;
};

// The printers Qt knows. Setting the environment variable QUORVELA_PRINT_PDF to a file path sends every job
// for the default printer to that PDF file instead (for running without a printer).
class QtPrinterAccess final : public PrinterAccess {
public:
    QtPrinterAccess();
    ~QtPrinterAccess() override;

    QStringList installedPrinters() const override;
    QString defaultPrinterName() const override;
    std::unique_ptr<PrintSurface> defaultPrinterSurface() override;
    std::unique_ptr<PrintSurface> pdfSurface(const QString& path) override;
    std::unique_ptr<PrintSurface> printerSurface(const QString& name) override;
    // The CUPS scheduler Qt prints through; none while jobs go to QUORVELA_PRINT_PDF.
    PrintSystem* printSystem() override;

private:
    std::unique_ptr<PrintSystem> m_system;
};

// Message texts of a surface that cannot print.
QString noPrinterMessage();

} // namespace qv
