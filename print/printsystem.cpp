#include "print/printsystem.h"

namespace qv {

namespace {

    struct ReasonWords {
        const char* keyword;
        const char16_t* words;
    };
    // The reasons a practice meets; others are shown as the service names them.
    constexpr ReasonWords kReasonWords[] = {
        { "media-empty", u"缺纸" },
        { "media-needed", u"缺纸" },
        { "media-jam", u"卡纸" },
        { "toner-empty", u"墨粉用完" },
        { "toner-low", u"墨粉不足" },
        { "marker-supply-empty", u"墨水用完" },
        { "marker-supply-low", u"墨水不足" },
        { "door-open", u"机盖打开" },
        { "cover-open", u"机盖打开" },
        { "input-tray-missing", u"缺少纸盒" },
        { "output-area-full", u"出纸盒已满" },
        { "offline", u"打印机脱机" },
        { "shutdown", u"打印机已关闭" },
        { "connecting-to-device", u"正在连接打印机" },
        { "timed-out", u"打印机没有响应" },
    };

    // "media-jam-error" → "media-jam"; empty for what is not worth saying.
    QString reasonKeyword(const QString& reason)
    {
        // "paused" is the stop itself; "-report" is news, not trouble; cups-… are the service's own states.
        if (reason == QLatin1String("none") || reason == QLatin1String("paused")
            || reason.endsWith(QLatin1String("-report")) || reason.startsWith(QLatin1String("cups-")))
            return {};
        for (const char* suffix : { "-error", "-warning" }) {
            if (reason.endsWith(QLatin1String(suffix)))
                return reason.chopped(int(qstrlen(suffix)));
        }
        return reason;
    }

    QString reasonWords(const QString& keyword)
    {
        for (const ReasonWords& r : kReasonWords) {
            if (keyword == QLatin1String(r.keyword))
                return QString::fromUtf16(r.words);
        }
        return keyword;
    }

    // The state messages the service sets itself when no reason was given: they restate the state, in
    // English.
    bool isServicesOwnMessage(const QString& message)
    {
        QString m = message.trimmed();
        if (m.endsWith(QLatin1Char('.')))
            m.chop(1);
        for (const char* own : { "Rejecting Jobs", "Paused", "Reason Unknown" }) {
            if (m.compare(QLatin1String(own), Qt::CaseInsensitive) == 0)
                return true;
        }
        return false;
    }

    QString withReason(const QString& statement, const PrinterStatus& status)
    {
        const QString reason = stateReasonText(status);
        return reason.isEmpty() ? statement + QStringLiteral("。")
                                : QStringLiteral("%1，原因：%2。").arg(statement, reason);
    }

    QString serviceDownSentence(const PrinterListing& listing)
    {
        return listing.serviceStalled ? serviceNotAnsweringSentence() : serviceNotRunningSentence();
    }

    PrinterCheck unavailable(PrinterProblem problem, const QString& sentence)
    {
        PrinterCheck check;
        check.problem = problem;
        check.sentence = sentence;
        return check;
    }

    // Why a job sent to printer is not in its queue, as the service shows it now.
    QString missingJobCause(PrintSystem& system, const QString& printer, const ServiceAnswer& answer)
    {
        const PrinterListing listing = system.printers();
        if (!listing.serviceRunning)
            return serviceDownSentence(listing);
        const PrinterStatus status = system.printerStatus(printer);
        if (!status.installed)
            return chosenNotInstalledSentence(printer);
        if (!status.acceptingJobs)
            return refusingSentence(printer, status);
        if (answer.failed)
            return QStringLiteral("打印服务的回答：%1").arg(answer.text);
        return QStringLiteral("打印服务里没有这份打印任务。");
    }

} // namespace

PrinterCheck checkPrinter(PrintSystem& system, const QString& chosenPrinter)
{
    const PrinterListing listing = system.printers();
    if (!listing.serviceRunning)
        return unavailable(PrinterProblem::ServiceNotRunning, serviceDownSentence(listing));
    QString printer = chosenPrinter;
    if (printer.isEmpty()) {
        if (listing.printers.isEmpty())
            return unavailable(PrinterProblem::NoPrinterInstalled, noPrinterInstalledSentence());
        if (listing.defaultPrinter.isEmpty())
            return unavailable(PrinterProblem::NoDefaultPrinter, noDefaultPrinterSentence());
        printer = listing.defaultPrinter;
    } else if (!listing.printers.contains(printer)) {
        return unavailable(PrinterProblem::ChosenNotInstalled, chosenNotInstalledSentence(printer));
    }

    const PrinterStatus status = system.printerStatus(printer);
    const int lastJob = system.lastJobId(printer);
    // Gone or unreachable since the listing a moment ago.
    if (lastJob < 0)
        return unavailable(PrinterProblem::ServiceNotRunning, serviceNotRunningSentence());
    if (!status.installed)
        return unavailable(PrinterProblem::ChosenNotInstalled, chosenNotInstalledSentence(printer));

    PrinterCheck check;
    check.printer = printer;
    check.mark = { printer, lastJob };
    if (!status.acceptingJobs) {
        check.verdict = PrinterCheck::Verdict::Refusing;
        check.sentence = refusingSentence(printer, status);
    } else if (status.activity == PrinterActivity::Stopped) {
        check.verdict = PrinterCheck::Verdict::Stopped;
        check.sentence = stoppedSentence(printer, status);
    } else {
        check.verdict = PrinterCheck::Verdict::Ready;
    }
    return check;
}

JobConfirmation confirmJob(PrintSystem& system, const JobMark& mark, const QString& jobName)
{
    const ServiceAnswer answer = system.lastAnswer();
    JobConfirmation confirmation;
    for (const QueuedJob& job : system.jobsAfter(mark.printer, mark.lastJobId)) {
        // A service that keeps job names private shows none: the newest job after the mark is ours then.
        if (!job.name.isEmpty() && job.name != jobName)
            continue;
        confirmation.jobId = job.id;
        if (!job.ended) {
            confirmation.arrived = true;
            return confirmation;
        }
        confirmation.sentence
            = withReason(QStringLiteral("打印机“%1”上的打印任务被中止，没有打印").arg(mark.printer),
                system.printerStatus(mark.printer));
        return confirmation;
    }
    confirmation.sentence = QStringLiteral("打印任务没有送到打印机“%1”。\n%2")
                                .arg(mark.printer, missingJobCause(system, mark.printer, answer));
    return confirmation;
}

QString prescriptionJobName(const QString& owner, const QString& date)
{
    QStringList parts { QStringLiteral("处方"), owner.simplified(), date.trimmed() };
    parts.removeAll(QString());
    return parts.join(QLatin1Char(' '));
}

QString logBookJobName(const QString& from, const QString& to)
{
    return QStringLiteral("门诊日志 %1–%2").arg(from.trimmed(), to.trimmed());
}

QString serviceNotRunningSentence() { return QStringLiteral("打印服务（CUPS）没有运行，无法打印。"); }

QString serviceNotAnsweringSentence() { return QStringLiteral("打印服务（CUPS）没有响应，无法打印。"); }

QString noPrinterInstalledSentence() { return QStringLiteral("没有安装打印机。"); }

QString noDefaultPrinterSentence() { return QStringLiteral("没有设置默认打印机。"); }

QString chosenNotInstalledSentence(const QString& printer)
{
    return QStringLiteral("选定的打印机“%1”没有安装。").arg(printer);
}

QString refusingSentence(const QString& printer, const PrinterStatus& status)
{
    return withReason(QStringLiteral("打印机“%1”拒绝接受打印任务").arg(printer), status);
}

QString stoppedSentence(const QString& printer, const PrinterStatus& status)
{
    return withReason(QStringLiteral("打印机“%1”已停止").arg(printer), status)
        + QStringLiteral("现在发送的打印任务要等打印机重新启动后才会打印。");
}

QString stateReasonText(const PrinterStatus& status)
{
    QStringList parts;
    if (!status.message.trimmed().isEmpty() && !isServicesOwnMessage(status.message))
        parts << QStringLiteral("“%1”").arg(status.message.trimmed());
    for (const QString& reason : status.reasons) {
        const QString keyword = reasonKeyword(reason);
        if (keyword.isEmpty())
            continue;
        const QString words = reasonWords(keyword);
        if (!parts.contains(words))
            parts << words;
    }
    return parts.join(QStringLiteral("、"));
}

} // namespace qv
