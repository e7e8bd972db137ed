#include "window/click_label.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

// A dotted frame around the text, in the text's own colour: it shows wherever the text reads,
// where a style's focus frame may fill the space behind the text and take from its contrast.
void ClickLabel::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (hasFocus()) {
        QPainter painter(this);
        painter.setPen(QPen(palette().color(foregroundRole()), 1, Qt::DotLine));
        const QRect text =
            fontMetrics().boundingRect(rect(), int(alignment()) | Qt::TextWordWrap, this->text());
        painter.drawRect(text.intersected(rect()).adjusted(0, 0, -1, -1));
    }
}

// A key held down opens the page once, not once for each repeat.
void ClickLabel::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
            if (!event->isAutoRepeat()) {
                emit clicked();
            }
            event->accept();
            return;
        default:
            QLabel::keyPressEvent(event);
    }
}

void ClickLabel::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
    if (pressed_) {
        event->accept();  // keeps the release coming here rather than to the window
    }
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click) {
        emit clicked();
    }
}

// The second press of a double click: its first click has been reported already.
void ClickLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    pressed_ = false;
    event->accept();
}
