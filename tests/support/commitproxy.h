#pragma once
// A proxy between the program and the tests' PostgreSQL server, on a Unix socket of its own, that can break
// the connection at the next commit: after the server has stored it and answered (the answer is lost), or
// before the commit reaches the server. Everything else passes through unchanged.

#include <QString>

#include <atomic>
#include <memory>
#include <thread>

namespace qv::test {

class CommitProxy {
public:
    enum class Cut { Nothing, AfterTheServerAnswers, BeforeTheServerHearsIt };

    // serverConnection is a connection string of the tests' server ("host=<folder> …"); the proxy listens
    // in a folder of its own.
    explicit CommitProxy(const QString& serverConnection);
    ~CommitProxy();
    CommitProxy(const CommitProxy&) = delete;
    CommitProxy& operator=(const CommitProxy&) = delete;

    // The same connection string, through the proxy.
    QString connection() const { return m_connection; }
    // Breaks the connection that sends the next commit (after passing `passing` commits on), once.
    void cutNextCommit(Cut how, int passing = 0)
    {
        m_passing = passing;
        m_cut = how;
    }
    // Whether the armed cut has happened.
    bool cutDone() const { return m_cut == Cut::Nothing; }
    // While set, a new connection is closed at once, as by a server that is not there (a connection already
    // made passes on).
    void refuseNewConnections(bool refuse) { m_refusing = refuse; }

private:
    void serve();

    QString m_folder;
    QString m_serverSocket;
    QString m_connection;
    int m_listener = -1;
    std::atomic<Cut> m_cut { Cut::Nothing };
    std::atomic<int> m_passing { 0 };
    std::atomic<bool> m_stop { false };
    std::atomic<bool> m_refusing { false };
    std::thread m_thread;
};

} // namespace qv::test
