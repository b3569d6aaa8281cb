#include "desk/deskwidgets.h"

#include "platform/units.h"

#include <QMouseEvent>
#include <QPainter>

namespace qv {

LineControl::LineControl(const QLineF& twipsLine, QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setLine(twipsLine);
}

void LineControl::setLine(const QLineF& twipsLine)
{
    m_line = twipsLine;
    const QPoint from(twips(twipsLine.x1()), twips(twipsLine.y1()));
    const QPoint to(twips(twipsLine.x2()), twips(twipsLine.y2()));
    // One pixel of room on each side so a horizontal or vertical line has a body to paint in.
    setGeometry(QRect(from, to).normalized().adjusted(-1, -1, 1, 1));
    update();
}

void LineControl::setPenStyle(Qt::PenStyle style)
{
    m_style = style;
    update();
}

void LineControl::setColor(const QColor& color)
{
    m_color = color;
    update();
}

void LineControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(QPen(m_color, 1, m_style));
    const QPoint origin = geometry().topLeft();
    painter.drawLine(QPoint(twips(m_line.x1()), twips(m_line.y1())) - origin,
        QPoint(twips(m_line.x2()), twips(m_line.y2())) - origin);
}

void FieldEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    deselect();
    end(false);
    emit focusEntered();
}

void FieldEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    emit focusLeft();
}

void FieldEdit::mouseReleaseEvent(QMouseEvent* event)
{
    QLineEdit::mouseReleaseEvent(event);
    emit clicked();
}

void ClickLabel::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    emit pressed();
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    emit released();
    if (rect().contains(event->position().toPoint()))
        emit clicked();
}

} // namespace qv
