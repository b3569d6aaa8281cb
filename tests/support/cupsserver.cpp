#include "tests/support/cupsserver.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <cups/cups.h>

namespace qv::test {

namespace {

    // A start waits at most 10 s for the scheduler; a tool is given the same.
    constexpr int kToolTimeoutMs = 30000;

    bool runProcess(const QString& program, const QStringList& arguments, QString& error)
    {
        QProcess process;
        process.start(program, arguments);
        if (!process.waitForFinished(kToolTimeoutMs)) {
            process.kill();
            process.waitForFinished();
            error = QStringLiteral("%1 did not finish: %2").arg(program, process.errorString());
            return false;
        }
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
            error = QStringLiteral("%1 %2 failed: %3")
                        .arg(program, arguments.join(' '),
                            QString::fromLocal8Bit(process.readAllStandardError()));
            return false;
        }
        return true;
    }

    // Job states that end a job; 9 is completed.
    int jobState(int jobId)
    {
        cups_job_t* jobs = nullptr;
        const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, nullptr, 0, CUPS_WHICHJOBS_ALL);
        int state = 0;
        for (int i = 0; i < count; ++i) {
            if (jobs[i].id == jobId)
                state = jobs[i].state;
        }
        cupsFreeJobs(count, jobs);
        return state;
    }

} // namespace

CupsServer::CupsServer()
    : m_state(
        QDir::temp().filePath(QStringLiteral("qv-cups-state-%1").arg(QCoreApplication::applicationPid())))
{
}

CupsServer::~CupsServer()
{
    if (!m_folder.isEmpty())
        script(QStringLiteral("stop"));
}

bool CupsServer::start()
{
    if (!script(QStringLiteral("start")))
        return false;
    QFile state(m_state);
    if (!state.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("no state file %1").arg(m_state);
        return false;
    }
    m_folder = QString::fromLocal8Bit(state.readAll()).trimmed();
    // This process and every tool it runs ask this service, whatever the machine's own settings name.
    qputenv("CUPS_SERVER", QFile::encodeName(socket()));
    qputenv("CUPS_SERVERROOT", QFile::encodeName(m_folder + QStringLiteral("/etc")));
    qunsetenv("PRINTER");
    qunsetenv("LPDEST");
    // libcups reads the server name once per thread; make it read it again.
    cupsSetServer(nullptr);
    return true;
}

bool CupsServer::halt() { return script(QStringLiteral("halt")); }

bool CupsServer::resume() { return script(QStringLiteral("resume")); }

bool CupsServer::run(const QString& tool, const QStringList& arguments)
{
    return runProcess(tool, arguments, m_error);
}

bool CupsServer::addPrinter(const QString& name)
{
    return run(QStringLiteral("lpadmin"),
        { "-p", name, "-E", "-v", "cups-pdf:/", "-P", "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd" });
}

bool CupsServer::keepJobNamesPrivate()
{
    if (!halt())
        return false;
    QFile conf(m_folder + QStringLiteral("/cupsd.conf"));
    if (!conf.open(QIODevice::ReadOnly)) {
        m_error = conf.errorString();
        return false;
    }
    QByteArray text = conf.readAll();
    conf.close();
    text.replace("JobPrivateAccess all", "JobPrivateAccess default");
    text.replace("JobPrivateValues none", "JobPrivateValues default");
    if (!conf.open(QIODevice::WriteOnly | QIODevice::Truncate) || conf.write(text) != text.size()) {
        m_error = conf.errorString();
        return false;
    }
    conf.close();
    return resume();
}

void CupsServer::askAs(const QString& user)
{
    cupsSetUser(user.isEmpty() ? nullptr : user.toUtf8().constData());
}

QString CupsServer::waitForPdf(int jobId, int timeoutMs)
{
    const QRegularExpression ofJob(QStringLiteral("(^|[-_])job_%1([-_.])").arg(jobId));
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        // The file is complete once the job is.
        if (jobState(jobId) == IPP_JSTATE_COMPLETED) {
            for (const QString& name : QDir(pdfFolder()).entryList(QDir::Files)) {
                if (ofJob.match(name).hasMatch())
                    return QDir(pdfFolder()).filePath(name);
            }
        }
        QThread::msleep(50);
    }
    m_error = QStringLiteral("job %1 left no PDF in %2 within %3 ms (state %4)")
                  .arg(jobId)
                  .arg(pdfFolder())
                  .arg(timeoutMs)
                  .arg(jobState(jobId));
    return {};
}

bool CupsServer::script(const QString& action)
{
    return runProcess(QStringLiteral(QV_CUPSSERVER),
        { action, m_state, QString::number(QCoreApplication::applicationPid()) }, m_error);
}

} // namespace qv::test
