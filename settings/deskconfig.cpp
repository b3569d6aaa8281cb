#include "settings/deskconfig.h"
#include "platform/privatefile.h"

#include <QFile>
#include <QStandardPaths>

namespace qv {

namespace {

    struct Entry {
        const char* key;
        std::optional<QString> DeskValues::*value;
    };
    const Entry kEntries[] = {
        { "执业兽医", &DeskValues::veterinarian },
        { "注册号", &DeskValues::practisingNumber },
        { "发药人", &DeskValues::dispenser },
        { "处方打印机", &DeskValues::slipPrinter },
        { "默认打印机", &DeskValues::defaultPrinter },
    };

    // One value on one line: backslash and line breaks written as \\, \n and \r.
    QString escaped(const QString& value)
    {
        QString out;
        for (const QChar c : value) {
            if (c == u'\\')
                out += QStringLiteral("\\\\");
            else if (c == u'\n')
                out += QStringLiteral("\\n");
            else if (c == u'\r')
                out += QStringLiteral("\\r");
            else
                out += c;
        }
        return out;
    }

    QString unescaped(QStringView text)
    {
        QString out;
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i] != u'\\' || i + 1 == text.size()) {
                out += text[i];
                continue;
            }
            const QChar next = text[++i];
            out += next == u'n' ? QChar(u'\n') : next == u'r' ? QChar(u'\r') : next;
        }
        return out;
    }

} // namespace

QString deskConfigPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QStringLiteral("/desk.conf");
}

DeskValues readDeskValues(const QString& path)
{
    DeskValues values;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return values;
    for (QString line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        // A file edited on Windows ends its lines in CR LF; a CR of the value itself is written as \r.
        if (line.endsWith(u'\r'))
            line.chop(1);
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0)
            continue;
        const QString key = line.left(equals).trimmed();
        for (const Entry& entry : kEntries) {
            if (key == QString::fromUtf8(entry.key))
                values.*entry.value = unescaped(QStringView(line).mid(equals + 1));
        }
    }
    return values;
}

bool writeDeskValues(const QString& path, const DeskValues& values, QString* error)
{
    QString text = QStringLiteral("# 这台电脑自己的设置（Quorvela）\n");
    for (const Entry& entry : kEntries) {
        if (const std::optional<QString>& value = values.*entry.value)
            text += QString::fromUtf8(entry.key) + u'=' + escaped(*value) + u'\n';
    }
    return writePrivateFile(path, text.toUtf8(), error);
}

} // namespace qv
