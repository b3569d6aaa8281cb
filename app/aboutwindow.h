#pragma once
// The about window: product, version, contacts and the home page.

#include <QWidget>

class QLabel;

namespace qv {

class UrlOpener;

class AboutWindow : public QWidget {
    Q_OBJECT
public:
    explicit AboutWindow(UrlOpener& urls, QWidget* parent = nullptr);
    void openHomePage();

    QLabel* homePageLink = nullptr; // the clickable home-page address

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    UrlOpener& m_urls;
};

} // namespace qv
