// Window tests route messages through Form1's hook. A modal dialog that opens anyway would
// wait for a click no test gives; this guard closes it and remembers, so the test fails
// instead of hanging.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <utility>

class ModalGuard {
  public:
    ModalGuard() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                tripped_ = true;
                modal->close();
            }
        });
        timer_.start(100);
    }
    // True once a modal dialog had to be closed; reading it clears it.
    bool Tripped() { return std::exchange(tripped_, false); }

  private:
    QTimer timer_;
    bool tripped_ = false;
};
