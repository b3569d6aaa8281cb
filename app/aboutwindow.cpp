#include "app/aboutwindow.h"
#include "app/appicon.h"
#include "app/webpages.h"
#include "platform/controls.h"
#include "platform/services.h"
#include "platform/units.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>

namespace qv {

namespace {

    QLabel* label(QWidget* parent, const QString& name, const QString& text, double left, double top,
        double width, double height = 255)
    {
        return placed(new QLabel(text, parent), name, twipsRect(left, top, width, height));
    }

} // namespace

AboutWindow::AboutWindow(UrlOpener& urls, QWidget* parent)
    : QWidget(parent)
    , m_urls(urls)
{
    setObjectName(QStringLiteral("Form10"));
    setWindowTitle(QStringLiteral("关于"));
    setWindowIcon(appIcon());
    setFixedSize(twipsSize(6600, 3900));

    auto* icon = new QLabel(this);
    icon->setPixmap(appIcon().pixmap(twips(600), twips(600)));
    icon->setGeometry(twipsRect(360, 240, 600, 600));

    QLabel* product = label(this, QStringLiteral("Label2"), QStringLiteral("Quorvela"), 1200, 240, 3000, 480);
    QFont big = product->font();
    big.setPointSize(20);
    big.setBold(true);
    product->setFont(big);
    label(this, QStringLiteral("Label4"), QStringLiteral("版本：V2.0"), 3000, 780, 1400);

    label(this, QStringLiteral("Label1"), QStringLiteral("开发：Quorvela 开发组"), 360, 1260, 3600);
    label(this, QStringLiteral("Label3"), QStringLiteral("邮箱：support@quorvela.example.org"), 360, 1560,
        3600);
    label(this, QStringLiteral("Label8"), QStringLiteral("QQ：800 123 456"), 360, 1860, 3600);
    label(this, QStringLiteral("Label5"), QStringLiteral("主页："), 360, 2160, 600);
    homePageLink = label(this, QStringLiteral("Label7"), webPageAddress(WebPage::HomePage), 960, 2160, 3000);
    homePageLink->setStyleSheet(QStringLiteral("color: blue; text-decoration: underline;"));
    homePageLink->setCursor(Qt::PointingHandCursor);
    homePageLink->installEventFilter(this);

    // The contact picture: the program's mark in a frame, with its caption.
    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::Box);
    frame->setGeometry(twipsRect(4500, 1200, 1560, 1560));
    auto* code = new QLabel(frame);
    code->setPixmap(appIcon().pixmap(twips(1200), twips(1200)));
    code->setGeometry(twipsRect(180, 180, 1200, 1200));
    label(this, QStringLiteral("Label6"), QStringLiteral("扫一扫加作者微信"), 4500, 2820, 1800);
}

void AboutWindow::openHomePage() { openWebPage(WebPage::HomePage, m_urls); }

bool AboutWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == homePageLink && event->type() == QEvent::MouseButtonRelease) {
        openHomePage();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace qv
