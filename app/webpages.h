#pragma once
// The three web addresses of the help menu and the toolbar. They are kept scrambled in the program (decimal
// character codes combined with a one-byte key) and unscrambled just before use.

#include <QString>

namespace qv {

class UrlOpener;

QString unscrambleAddress(const QString& numbers, unsigned char key);
QString scrambleAddress(const QString& address, unsigned char key);

enum class WebPage { OperatingHelp, VideoTutorials, HomePage };
QString webPageAddress(WebPage page);
// Opens the page; the operating help is a local page that ships with the program.
void openWebPage(WebPage page, UrlOpener& urls);

} // namespace qv
