// A throw-away PostgreSQL server for a benchmark (tests/support/pgserver.sh, the tests' own): a new cluster
// on a Unix socket in a temporary folder, started here and stopped when this goes.
#pragma once

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

namespace qv::bench {

class BenchServer {
public:
    BenchServer()
        : m_state(m_dir.filePath(QStringLiteral("state")))
    {
        m_started = act(QStringLiteral("start"));
        if (!m_started) {
            std::fprintf(stderr, "the benchmark's PostgreSQL server did not start\n");
            return;
        }
        QFile stateFile(m_state);
        if (stateFile.open(QIODevice::ReadOnly))
            m_host = QString::fromUtf8(stateFile.readAll()).trimmed();
    }
    ~BenchServer()
    {
        if (m_started)
            act(QStringLiteral("stop"));
    }
    BenchServer(const BenchServer&) = delete;
    BenchServer& operator=(const BenchServer&) = delete;

    bool started() const { return m_started && !m_host.isEmpty(); }
    // The libpq connection string of its one database.
    QString connection() const { return QStringLiteral("host=%1 user=postgres dbname=postgres").arg(m_host); }
    // "halt" (the server goes away, its data kept) or "resume".
    bool act(const QString& action) const
    {
        return QProcess::execute(QStringLiteral(QV_PGSERVER), { action, m_state }) == 0;
    }

private:
    QTemporaryDir m_dir;
    QString m_state;
    QString m_host;
    bool m_started = false;
};

} // namespace qv::bench
