#pragma once
// A machine without a printer: the program offers a PDF file instead, written by Qt's real PDF output.

#include "print/qtprint.h"

#include <memory>

namespace qv::test {

class NoPrinter final : public PrinterAccess {
public:
    QStringList installedPrinters() const override { return {}; }
    QString defaultPrinterName() const override { return {}; }
    std::unique_ptr<PrintSurface> defaultPrinterSurface() override
    {
        return std::make_unique<QtPrintSurface>(nullptr, noPrinterMessage());
    }
    std::unique_ptr<PrintSurface> pdfSurface(const QString& path) override { return m_qt.pdfSurface(path); }

private:
    QtPrinterAccess m_qt;
};

} // namespace qv::test
