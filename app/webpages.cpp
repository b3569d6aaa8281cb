#include "app/webpages.h"
#include "platform/services.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStringList>
#include <QUrl>

namespace qv {

namespace {

    constexpr unsigned char kAddressKey = 0x5A;
    // https://quorvela.example.org/video
    const char* const kVideoAddress = "50,46,46,42,41,96,117,117,43,47,53,40,44,63,54,59,116,63,34,59,55,42,"
                                      "54,63,116,53,40,61,117,44,51,62,63,53";
    // https://quorvela.example.org/
    const char* const kHomeAddress
        = "50,46,46,42,41,96,117,117,43,47,53,40,44,63,54,59,116,63,34,59,55,42,54,63,116,53,40,61,117";

    // The operating help ships inside the program; it is written out once so a browser can open it.
    QString localHelpPage()
    {
        const QString path = QDir::temp().filePath(QStringLiteral("Quorvela操作帮助.html"));
        QFile source(QStringLiteral(":/app/help.html"));
        QSaveFile target(path);
        if (source.open(QIODevice::ReadOnly) && target.open(QIODevice::WriteOnly)) {
            target.write(source.readAll());
            target.commit();
        }
        return QUrl::fromLocalFile(path).toString();
    }

} // namespace

QString unscrambleAddress(const QString& numbers, unsigned char key)
{
    QString address;
    for (const QString& n : numbers.split(QLatin1Char(','), Qt::SkipEmptyParts))
        address += QChar::fromLatin1(char(n.trimmed().toInt() ^ key));
    return address;
}

QString scrambleAddress(const QString& address, unsigned char key)
{
    QStringList numbers;
    for (const QChar c : address)
        numbers << QString::number(c.toLatin1() ^ key);
    return numbers.join(QLatin1Char(','));
}

QString webPageAddress(WebPage page)
{
    switch (page) {
    case WebPage::OperatingHelp:
        return localHelpPage();
    case WebPage::VideoTutorials:
        return unscrambleAddress(QString::fromLatin1(kVideoAddress), kAddressKey);
    case WebPage::HomePage:
        break;
    }
    return unscrambleAddress(QString::fromLatin1(kHomeAddress), kAddressKey);
}

void openWebPage(WebPage page, UrlOpener& urls) { urls.open(webPageAddress(page)); }

} // namespace qv
