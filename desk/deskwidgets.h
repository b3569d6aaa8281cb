#pragma once
// Small widgets the desk is built from: a drawn line that keeps its twips end points, a header field that
// reports focus and clicks, and a label that can be clicked.

#include <QColor>
#include <QLabel>
#include <QLineEdit>
#include <QLineF>
#include <QWidget>

namespace qv {

// A straight line drawn on its parent, placed in twips. It ignores the mouse, like a drawn line.
class LineControl final : public QWidget {
public:
    LineControl(const QLineF& twipsLine, QWidget* parent);

    // End points in twips, in the parent's coordinates.
    QLineF line() const { return m_line; }
    void setLine(const QLineF& twipsLine);
    int borderWidth() const { return 1; }
    void setPenStyle(Qt::PenStyle style);
    void setColor(const QColor& color);
    QColor color() const { return m_color; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLineF m_line;
    Qt::PenStyle m_style = Qt::SolidLine;
    QColor m_color = Qt::black;
};

// A header field of the paper. On focus the caret goes to the end without a selection, whatever brought the
// focus; focus changes and mouse clicks are announced after the line edit has handled them.
class FieldEdit final : public QLineEdit {
    Q_OBJECT
public:
    explicit FieldEdit(QWidget* parent)
        : QLineEdit(parent)
    {
    }

signals:
    void focusEntered();
    void focusLeft();
    void clicked();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// A label that reports presses and releases of any mouse button; clicked() only when released over itself.
class ClickLabel final : public QLabel {
    Q_OBJECT
public:
    explicit ClickLabel(QWidget* parent)
        : QLabel(parent)
    {
    }

signals:
    void pressed();
    void released();
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace qv
