#include "print/printeraccess.h"

#include "print/printsystem.h"
#include "print/qtprint.h"

#include <QPrinter>

namespace qv {

std::unique_ptr<PrintSurface> PrinterAccess::printerSurface(const QString& name)
{
    if (name.isEmpty() || name == defaultPrinterName())
        return defaultPrinterSurface();
    const QString reason = installedPrinters().contains(name)
        ? QStringLiteral("无法在打印机“%1”上打印。").arg(name)
        : chosenNotInstalledSentence(name);
    return std::make_unique<QtPrintSurface>(nullptr, reason);
}

} // namespace qv
