// A fixed-size window within its screen's available area. Where the window would not fit (a
// large scale on a small screen), it is made as large as fits, with scroll bars that move its
// controls, and the control that takes the keyboard focus is scrolled into view. Where it fits,
// nothing changes.
#pragma once

#include <QObject>
#include <QPoint>
#include <QSize>

#include <array>

class QScrollBar;
class QWidget;

class ScreenFit : public QObject {
  public:
    // The window's size now is the size of what it shows.
    explicit ScreenFit(QWidget* window);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Fit();
    void Scroll();
    void Reveal(QWidget* focus);

    QWidget* window_;
    QSize content_;
    QPoint scrolled_;
    std::array<QScrollBar*, 2> bars_{};  // across, down; made when first needed
};
