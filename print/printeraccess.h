#pragma once
// The installed printers and the surfaces that print jobs are drawn on.

#include "print/printsurface.h"

#include <QStringList>

#include <memory>

namespace qv {

class PrintSystem;

class PrinterAccess {
public:
    virtual ~PrinterAccess() = default;

    // Device names of the installed printers, in system order.
    virtual QStringList installedPrinters() const = 0;
    // Empty when there is no default printer.
    virtual QString defaultPrinterName() const = 0;

    // A surface for a job on the system's default printer as it is at this moment. Never null: without a
    // printer the surface is not ok() and every job on it fails.
    virtual std::unique_ptr<PrintSurface> defaultPrinterSurface() = 0;
    // A surface whose jobs are written to a PDF file at path (each job replaces the file).
    virtual std::unique_ptr<PrintSurface> pdfSurface(const QString& path) = 0;

    // A surface for a job on the named printer; an empty name is the system's default printer. A printer that
    // is not installed gives a surface that cannot print, never another printer's. This one knows the default
    // printer only.
    virtual std::unique_ptr<PrintSurface> printerSurface(const QString& name);
    // The print service to check a print with before and after sending (see print/printsystem.h). Null when
    // there is none to ask: the print then goes out unchecked.
    virtual PrintSystem* printSystem() { return nullptr; }
};

} // namespace qv
