#include "tests/support/mdbexport.h"

#include <QProcess>

namespace qv::test {

// mdb-export's CSV: fields split by commas, rows by LF; quoted fields double their quotes and may hold CR LF.
QList<QStringList> parseCsv(const QString& text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted && c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
            field += c;
            ++i;
        } else if (c == u'"') {
            quoted = !quoted;
        } else if (!quoted && c == u',') {
            row << field;
            field.clear();
        } else if (!quoted && c == u'\n') {
            row << field;
            rows << row;
            row.clear();
            field.clear();
        } else {
            field += c;
        }
    }
    return rows;
}

QList<QStringList> mdbExport(const QString& path, const QString& table)
{
    QProcess exporter;
    const QString format = QStringLiteral("%Y-%m-%d %H:%M:%S");
    exporter.start(QStringLiteral("mdb-export"),
        { QStringLiteral("-D"), format, QStringLiteral("-T"), format, path, table });
    if (!exporter.waitForFinished(120000) || exporter.exitStatus() != QProcess::NormalExit
        || exporter.exitCode() != 0)
        return {};
    return parseCsv(QString::fromUtf8(exporter.readAllStandardOutput()));
}

QString amountAsStored(QString printed)
{
    if (!printed.contains(u'.'))
        return printed;
    while (printed.endsWith(u'0'))
        printed.chop(1);
    if (printed.endsWith(u'.'))
        printed.chop(1);
    return printed;
}

QString dateAsExported(const QString& stored)
{
    return stored.size() == 10 ? stored + QStringLiteral(" 00:00:00") : stored;
}

} // namespace qv::test
