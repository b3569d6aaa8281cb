#include "store/jet/jetcheck.h"
#include "store/jet/jetfile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qv {

int jetCheckTimeoutMs(qint64 fileSize)
{
    // Thirty seconds, and one more for every 5 MB: a slow memory stick still reads twice as fast.
    return int(qMin<qint64>(30000 + fileSize / (5 * 1024 * 1024) * 1000, 3600000));
}

namespace {

    // In the child: read everything, say how it went on the pipe, and leave without running any of the
    // parent's exit handlers.
    [[noreturn]] void readInChild(const QString& path, int out)
    {
        JetFile file;
        QString error;
        bool ok = file.open(path, &error);
        for (int i = 0; ok && i < file.tables().size(); ++i)
            ok = file.forEachRow(
                file.tables()[i].name, [](const QVariantList&) { return true; }, &error);
        const QByteArray said = ok ? QByteArray() : error.toUtf8();
        qsizetype written = 0;
        while (written < said.size()) {
            const ssize_t n = write(out, said.constData() + written, size_t(said.size() - written));
            if (n <= 0 && errno != EINTR)
                break;
            written += n > 0 ? n : 0;
        }
        _exit(ok ? 0 : 1);
    }

    QString brokenOff(const QString& path, const QString& how)
    {
        return QStringLiteral("“%1”已损坏，无法读取（%2）。").arg(QDir::toNativeSeparators(path), how);
    }

} // namespace

bool checkJetFileApart(const QString& path, int timeoutMs, QString* error)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        *error = QStringLiteral("无法检查“%1”：%2。")
                     .arg(QDir::toNativeSeparators(path), qt_error_string(errno));
        return false;
    }
    const pid_t child = fork();
    if (child < 0) {
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        *error = QStringLiteral("无法检查“%1”：%2。")
                     .arg(QDir::toNativeSeparators(path), qt_error_string(errno));
        return false;
    }
    if (child == 0) {
        close(pipeEnds[0]);
        readInChild(path, pipeEnds[1]);
    }
    close(pipeEnds[1]);
    QByteArray said;
    QElapsedTimer clock;
    clock.start();
    bool ended = false;
    while (!ended) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0)
            break;
        pollfd wait { pipeEnds[0], POLLIN, 0 };
        const int r = poll(&wait, 1, int(left));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break;
        char chunk[4096];
        const ssize_t n = read(pipeEnds[0], chunk, sizeof chunk);
        if (n > 0)
            said.append(chunk, n);
        else if (n == 0 || errno != EINTR)
            ended = true;
    }
    close(pipeEnds[0]);
    if (!ended)
        kill(child, SIGKILL);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) { }
    if (!ended) {
        *error
            = brokenOff(path, QStringLiteral("读取 %1 秒仍未结束，文件的结构已损坏").arg(timeoutMs / 1000));
        return false;
    }
    if (WIFSIGNALED(status)) {
        *error = brokenOff(path, QStringLiteral("读取时程序出错退出，信号 %1").arg(WTERMSIG(status)));
        return false;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        *error = said.isEmpty() ? brokenOff(path, QStringLiteral("读取没有完成")) : QString::fromUtf8(said);
        return false;
    }
    return true;
}

} // namespace qv
