#include "print/printoutcome.h"

#include "platform/services.h"
#include "print/printeraccess.h"
#include "print/printsurface.h"
#include "print/printsystem.h"

#include <memory>
#include <optional>

namespace qv {

namespace {

    PrintOutcome offerPdf(Services& services, const PrintRequest& request, const DrawDocument& draw,
        const QString& reason, QWidget* parent)
    {
        if (!services.messages->askYesNo(savePdfQuestion(request.document, reason), Messages::Icon::Warning))
            return PrintOutcome::NotPrinted;
        const QString folder = services.context ? services.context->dataFolder : QString();
        QString path = services.fileDialogs->saveFileName(
            parent, QStringLiteral("保存") + request.document, folder, QStringLiteral("PDF 文件 (*.pdf)"));
        if (path.isEmpty())
            return PrintOutcome::NotPrinted;
        if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
            path += QStringLiteral(".pdf");
        const std::unique_ptr<PrintSurface> surface = services.printers->pdfSurface(path);
        surface->setJobName(request.jobName);
        if (draw(*surface))
            return PrintOutcome::SavedAsPdf;
        services.messages->inform(
            notSavedMessage(request.document, surface->errorText()), Messages::Icon::Warning);
        return PrintOutcome::NotPrinted;
    }

    QString checkReason(const PrinterCheck& check)
    {
        return check.problem == PrinterProblem::ChosenNotInstalled ? check.sentence + choosePrinterHint()
                                                                   : check.sentence;
    }

} // namespace

PrintOutcome printDocument(
    Services& services, const PrintRequest& request, const DrawDocument& draw, QWidget* parent)
{
    if (!services.printers) {
        services.messages->inform(
            notPrintedMessage(request.document, QStringLiteral("没有打印机。")), Messages::Icon::Warning);
        return PrintOutcome::NotPrinted;
    }
    PrintSystem* system = services.printers->printSystem();
    QString printer = request.printer;
    std::optional<PrinterCheck> check;
    if (system) {
        check = checkPrinter(*system, request.printer);
        switch (check->verdict) {
        case PrinterCheck::Verdict::Ready:
            break;
        case PrinterCheck::Verdict::Stopped:
            if (!services.messages->askYesNo(
                    sendAnywayQuestion(request.document, check->sentence), Messages::Icon::Warning))
                return PrintOutcome::NotPrinted;
            break;
        case PrinterCheck::Verdict::Refusing:
        case PrinterCheck::Verdict::Unavailable:
            return offerPdf(services, request, draw, checkReason(*check), parent);
        }
        printer = check->printer;
    }

    const std::unique_ptr<PrintSurface> surface = services.printers->printerSurface(printer);
    if (!surface->ok())
        return offerPdf(services, request, draw, surface->errorText(), parent);
    surface->setJobName(request.jobName);
    if (!draw(*surface))
        return offerPdf(services, request, draw, surface->errorText(), parent);
    if (check) {
        // Qt calls every job sent a success; only the service knows whether it is in the queue.
        const JobConfirmation confirmation = confirmJob(*system, check->mark, request.jobName);
        if (!confirmation.arrived)
            return offerPdf(services, request, draw, confirmation.sentence, parent);
    }
    return PrintOutcome::Printed;
}

QString sendAnywayQuestion(const QString& document, const QString& stoppedSentence)
{
    return QStringLiteral("%1\n仍然发送%2吗？").arg(stoppedSentence, document);
}

QString savePdfQuestion(const QString& document, const QString& reason)
{
    return QStringLiteral("%1没有打印！\n%2\n要把%1保存为 PDF 文件吗？").arg(document, reason);
}

QString notPrintedMessage(const QString& document, const QString& reason)
{
    return QStringLiteral("%1没有打印！\n%2").arg(document, reason);
}

QString notSavedMessage(const QString& document, const QString& reason)
{
    return QStringLiteral("%1没有保存为 PDF 文件！\n%2").arg(document, reason);
}

QString choosePrinterHint() { return QStringLiteral("请在“综合设置”里另选打印机。"); }

} // namespace qv
