#include "window/screen_fit.h"

#include <QApplication>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {

constexpr std::array kDirections{Qt::Horizontal, Qt::Vertical};

int Along(Qt::Orientation direction, QSize size) {
    return direction == Qt::Horizontal ? size.width() : size.height();
}

int Along(Qt::Orientation direction, QPoint point) {
    return direction == Qt::Horizontal ? point.x() : point.y();
}

}  // namespace

ScreenFit::ScreenFit(QWidget* window) : QObject(window), window_(window), content_(window->size()) {
    window->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* focus) { Reveal(focus); });
}

bool ScreenFit::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        // Shown, and moved: the window manager's frame, and with it the room left, is known
        // once it has framed the window, and another screen has other room.
        case QEvent::Show:
        case QEvent::Move:
            Fit();
            break;
        case QEvent::Wheel:  // what no control took
            if (QScrollBar* bar = bars_[1] != nullptr ? bars_[1] : bars_[0]) {
                return QApplication::sendEvent(bar, event);
            }
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

void ScreenFit::Fit() {
    const QWindow* handle = window_->windowHandle();
    const QSize room = window_->screen()->availableGeometry().size().shrunkBy(
        handle != nullptr ? handle->frameMargins() : QMargins());
    const int extent = window_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, window_);
    // A bar takes room across the other direction, which may then need a bar of its own.
    std::array<bool, 2> needs{};
    for (int pass = 0; pass < 2; ++pass) {
        for (std::size_t i = 0; i < needs.size(); ++i) {
            needs[i] = Along(kDirections[i], content_) >
                       Along(kDirections[i], room) - (needs[1 - i] ? extent : 0);
        }
    }
    const QSize bars(needs[1] ? extent : 0, needs[0] ? extent : 0);
    const QSize view(needs[0] ? room.width() - bars.width() : content_.width(),
                     needs[1] ? room.height() - bars.height() : content_.height());
    for (std::size_t i = 0; i < needs.size(); ++i) {
        QScrollBar*& bar = bars_[i];
        if (needs[i] && bar == nullptr) {
            bar = new QScrollBar(kDirections[i], window_);
            connect(bar, &QScrollBar::valueChanged, this, &ScreenFit::Scroll);
        }
        if (bar != nullptr) {
            bar->setRange(0, needs[i] ? Along(kDirections[i], content_ - view) : 0);
            bar->setPageStep(Along(kDirections[i], view));
            bar->setGeometry(i == 0 ? QRect(0, view.height(), view.width(), extent)
                                    : QRect(view.width(), 0, extent, view.height()));
            bar->setVisible(needs[i]);
        }
    }
    window_->setFixedSize(view + bars);
}

// The controls moved by as much as the bars have moved since they were last moved.
void ScreenFit::Scroll() {
    const QPoint scrolled(bars_[0] != nullptr ? bars_[0]->value() : 0,
                          bars_[1] != nullptr ? bars_[1]->value() : 0);
    for (QWidget* control : window_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!control->isWindow() && std::find(bars_.begin(), bars_.end(), control) == bars_.end()) {
            control->move(control->pos() + scrolled_ - scrolled);
        }
    }
    scrolled_ = scrolled;
}

// As little scrolling as brings the whole control into view, or at least its start.
void ScreenFit::Reveal(QWidget* focus) {
    while (focus != nullptr && focus->parentWidget() != window_) {
        focus = focus->parentWidget();
    }
    if (focus == nullptr || focus->isWindow()) {
        return;
    }
    for (std::size_t i = 0; i < bars_.size(); ++i) {
        if (QScrollBar* bar = bars_[i]; bar != nullptr && bar->isVisible()) {
            const int start = Along(kDirections[i], focus->geometry().topLeft());
            const int end = start + Along(kDirections[i], focus->size());
            bar->setValue(bar->value() + std::min(start, std::max(0, end - bar->pageStep())));
        }
    }
}
