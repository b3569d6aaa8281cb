#include "tests/support/commitproxy.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace qv::test {

namespace {

    int unixSocket(const QString& path, bool listen)
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        const QByteArray bytes = QFile::encodeName(path);
        std::strncpy(address.sun_path, bytes.constData(), sizeof(address.sun_path) - 1);
        const auto* a = reinterpret_cast<const sockaddr*>(&address);
        const bool ok = listen ? ::bind(fd, a, sizeof address) == 0 && ::listen(fd, 16) == 0
                               : ::connect(fd, a, sizeof address) == 0;
        if (!ok) {
            ::close(fd);
            qFatal(
                "commit proxy: %s %s: %s", listen ? "listen" : "connect", bytes.constData(), strerror(errno));
        }
        return fd;
    }

    bool sendAll(int fd, const char* data, qsizetype size)
    {
        while (size > 0) {
            const ssize_t n = ::send(fd, data, size_t(size), MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            data += n;
            size -= n;
        }
        return true;
    }

    // One connection: the program's side, the server's side, and the program's messages not yet complete.
    struct Link {
        int program = -1;
        int server = -1;
        QByteArray pending;
        bool started = false; // the start-up message (without a type byte) has passed
        void close()
        {
            ::close(program);
            ::close(server);
            program = server = -1;
        }
    };

    bool isCommit(const QByteArray& message)
    {
        if (message.isEmpty() || message[0] != 'Q')
            return false;
        return QString::fromUtf8(message.mid(5))
                   .remove(QLatin1Char('\0'))
                   .trimmed()
                   .compare(QLatin1String("commit"), Qt::CaseInsensitive)
            == 0;
    }

} // namespace

CommitProxy::CommitProxy(const QString& serverConnection)
{
    static int made = 0;
    m_folder = QDir::temp().filePath(QStringLiteral("qv-proxy-%1-%2").arg(::getpid()).arg(++made));
    QDir().mkpath(m_folder);
    const QRegularExpressionMatch host
        = QRegularExpression(QStringLiteral("host=(\\S+)")).match(serverConnection);
    const QRegularExpressionMatch port
        = QRegularExpression(QStringLiteral("port=(\\d+)")).match(serverConnection);
    const QString portNumber = port.hasMatch() ? port.captured(1) : QStringLiteral("5432");
    m_serverSocket = host.captured(1) + QStringLiteral("/.s.PGSQL.") + portNumber;
    m_connection = QString(serverConnection).replace(host.captured(0), QStringLiteral("host=") + m_folder);
    m_listener = unixSocket(m_folder + QStringLiteral("/.s.PGSQL.") + portNumber, true);
    m_thread = std::thread([this] { serve(); });
}

CommitProxy::~CommitProxy()
{
    m_stop = true;
    m_thread.join();
    ::close(m_listener);
    QDir(m_folder).removeRecursively();
}

void CommitProxy::serve()
{
    std::vector<Link> links;
    char buffer[65536];
    while (!m_stop) {
        std::vector<pollfd> watched { { m_listener, POLLIN, 0 } };
        for (const Link& l : links)
            watched.insert(watched.end(), { { l.program, POLLIN, 0 }, { l.server, POLLIN, 0 } });
        if (::poll(watched.data(), watched.size(), 50) <= 0)
            continue;
        if (watched[0].revents & POLLIN) {
            const int program = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (m_refusing)
                ::close(program);
            else
                links.push_back({ program, unixSocket(m_serverSocket, false), {}, false });
        }
        for (size_t i = 0; i + 1 < watched.size() && i / 2 < links.size(); i += 2) {
            Link& link = links[i / 2];
            const pollfd& fromProgram = watched[i + 1];
            const pollfd& fromServer = watched[i + 2];
            if (fromServer.revents & (POLLIN | POLLHUP)) {
                const ssize_t n = ::recv(link.server, buffer, sizeof buffer, 0);
                if (n <= 0 || !sendAll(link.program, buffer, n)) {
                    link.close();
                    continue;
                }
            }
            if (!(fromProgram.revents & (POLLIN | POLLHUP)))
                continue;
            const ssize_t n = ::recv(link.program, buffer, sizeof buffer, 0);
            if (n <= 0) {
                link.close();
                continue;
            }
            link.pending.append(buffer, n);
            // Pass whole messages on, looking at each: a type byte (but for the start-up) and a length.
            for (;;) {
                const int head = link.started ? 1 : 0;
                if (link.pending.size() < head + 4)
                    break;
                quint32 length = 0;
                std::memcpy(&length, link.pending.constData() + head, 4);
                length = ntohl(length);
                if (link.pending.size() < qsizetype(head + length))
                    break;
                const QByteArray message = link.pending.left(head + length);
                link.pending.remove(0, head + length);
                link.started = true;
                const Cut cut = m_cut;
                if (cut != Cut::Nothing && isCommit(message) && m_passing-- <= 0) {
                    if (cut == Cut::AfterTheServerAnswers) {
                        sendAll(link.server, message.constData(), message.size());
                        pollfd answer { link.server, POLLIN, 0 };
                        ::poll(&answer, 1, 10000);
                    }
                    link.close();
                    m_cut = Cut::Nothing;
                    break;
                }
                if (!sendAll(link.server, message.constData(), message.size())) {
                    link.close();
                    break;
                }
            }
        }
        std::erase_if(links, [](const Link& l) { return l.program < 0; });
    }
    for (Link& l : links)
        l.close();
}

} // namespace qv::test
