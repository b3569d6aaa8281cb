#include "platform/windowframe.h"
#include "platform/services.h"

#include <QGuiApplication>
#include <QMdiSubWindow>
#include <QScreen>
#include <QWidget>

namespace qv {

namespace {

    QSize screenSize(QWidget* w)
    {
        QScreen* screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
        return screen ? screen->size() : QSize();
    }

} // namespace

QWidget* windowFrame(QWidget* w)
{
    if (auto* sub = qobject_cast<QMdiSubWindow*>(w->parentWidget()))
        return sub;
    return w;
}

void centreOnScreen(QWidget* w)
{
    QWidget* frame = windowFrame(w);
    const QSize screen = screenSize(frame);
    if (screen.isEmpty())
        return;
    frame->move((screen.width() - frame->width()) / 2, (screen.height() - frame->height()) / 2);
}

void placeAsChildWindow(QWidget* w)
{
    // Measured against the main window, as every child of the main window is.
    QWidget* frame = windowFrame(w);
    const QSize area = frame->parentWidget() ? frame->parentWidget()->window()->size() : screenSize(frame);
    if (area.isEmpty())
        return;
    frame->move(childWindowPosition(area, frame->size()));
}

void closeWindowFrame(QWidget* w) { windowFrame(w)->close(); }

} // namespace qv
