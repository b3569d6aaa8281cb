#include "tests/support/files.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace qv::test {

QByteArray contentsOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QMap<QString, QByteArray> filesBelow(const QString& root)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            qFatal("cannot read %s", qPrintable(path));
        files.insert(QDir(root).relativeFilePath(path), f.readAll());
    }
    return files;
}

void putBack(const QString& root, const QMap<QString, QByteArray>& files)
{
    for (const QString& entry : QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        QDir(root + QLatin1Char('/') + entry).removeRecursively();
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        const QString path = root + QLatin1Char('/') + it.key();
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(it.value()) != it.value().size())
            qFatal("cannot write %s", qPrintable(path));
    }
}

} // namespace qv::test
