#include "store/jet/jetcheck.h"
#include "store/jet/jetfile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace qv {

int jetCheckTimeoutMs(qint64 fileSize)
{
    // Thirty seconds, and one more for every 5 MB: a slow memory stick still reads twice as fast.
    return int(qMin<qint64>(30000 + fileSize / (5 * 1024 * 1024) * 1000, 3600000));
}

namespace {

    // The child is this program started afresh with these two set: the file to read, and the pipe to say on.
    constexpr char kFileVariable[] = "QV_JET_CHECK_FILE";
    constexpr char kPipeVariable[] = "QV_JET_CHECK_PIPE";
    constexpr int kNotStarted = 127; // the child's exit when the fresh start itself failed

    // In the child: read everything, say how it went on the pipe, and leave without running any exit handler.
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

    // Runs while the program's file is loaded, before main: in the child it reads and leaves, so none of the
    // program's own start (its window, its database, a test's main) happens there.
    const bool kStartedAsChecker = [] {
        const char* file = std::getenv(kFileVariable);
        const char* pipe = std::getenv(kPipeVariable);
        if (file && pipe)
            readInChild(QFile::decodeName(file), std::atoi(pipe));
        return false;
    }();

    // The environment of the child, made before the fork: after it only calls safe in a forked copy of a
    // program with threads may be made.
    std::vector<std::string> childEnvironment(const QString& path, int pipe)
    {
        std::vector<std::string> vars;
        for (char** e = environ; *e; ++e) {
            if (std::strncmp(*e, "QV_JET_CHECK_", 13) != 0)
                vars.emplace_back(*e);
        }
        vars.push_back(std::string(kFileVariable) + '=' + QFile::encodeName(path).toStdString());
        vars.push_back(std::string(kPipeVariable) + '=' + std::to_string(pipe));
        return vars;
    }

    QString cannotCheck(const QString& path, const QString& why)
    {
        return QStringLiteral("无法检查“%1”：%2。").arg(QDir::toNativeSeparators(path), why);
    }

    QString brokenOff(const QString& path, const QString& how)
    {
        return QStringLiteral("“%1”已损坏，无法读取（%2）。").arg(QDir::toNativeSeparators(path), how);
    }

} // namespace

bool checkJetFileApart(
    const QString& path, int timeoutMs, QString* error, const std::function<bool()>& keepWaiting)
{
    // Both ends closed on exec: another thread's child must not hold the write end, or the end of the
    // reading would never be seen. The check's own child clears the flag on its end.
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        *error = cannotCheck(path, qt_error_string(errno));
        return false;
    }
    const std::vector<std::string> vars = childEnvironment(path, pipeEnds[1]);
    std::vector<char*> envp;
    for (const std::string& v : vars)
        envp.push_back(const_cast<char*>(v.c_str()));
    envp.push_back(nullptr);
    char name[] = "quorvela-jet-check";
    char* argv[] = { name, nullptr };
    const pid_t child = fork();
    if (child < 0) {
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        *error = cannotCheck(path, qt_error_string(errno));
        return false;
    }
    if (child == 0) {
        fcntl(pipeEnds[1], F_SETFD, 0);
        execve("/proc/self/exe", argv, envp.data());
        _exit(kNotStarted);
    }
    close(pipeEnds[1]);
    QByteArray said;
    QElapsedTimer clock;
    clock.start();
    bool ended = false;
    bool stopped = false;
    while (!ended) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0)
            break;
        if (keepWaiting && !keepWaiting()) {
            stopped = true;
            break;
        }
        pollfd wait { pipeEnds[0], POLLIN, 0 };
        const int r = poll(&wait, 1, int(keepWaiting ? qMin<qint64>(left, 100) : left));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            break;
        if (r == 0)
            continue;
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
    if (stopped) {
        error->clear();
        return false;
    }
    if (!ended) {
        *error
            = brokenOff(path, QStringLiteral("读取 %1 秒仍未结束，文件的结构已损坏").arg(timeoutMs / 1000));
        return false;
    }
    if (WIFSIGNALED(status)) {
        *error = brokenOff(path, QStringLiteral("读取时程序出错退出，信号 %1").arg(WTERMSIG(status)));
        return false;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == kNotStarted && said.isEmpty()) {
        *error = cannotCheck(path, QStringLiteral("检查程序没有启动"));
        return false;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        *error = said.isEmpty() ? brokenOff(path, QStringLiteral("读取没有完成")) : QString::fromUtf8(said);
        return false;
    }
    return true;
}

} // namespace qv
