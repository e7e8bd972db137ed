// What the window tests share: a guard against modal dialogs and a snapshot of the controls.
#pragma once

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <utility>

// Window tests route messages through Form1's hook. A modal dialog that opens anyway would
// wait for a click no test gives; this guard closes it and remembers, so the test fails
// instead of hanging.
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

// Everything a person could see of a window's controls, but which of them has the focus.
inline QStringList ControlsSnapshot(const QWidget& window) {
    QStringList state;
    for (QWidget* control : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        QString text;
        if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            text = edit->text();
        } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
            text = combo->currentText() + '#' + QString::number(combo->currentIndex());
        } else if (auto* label = qobject_cast<QLabel*>(control)) {
            text = label->text();
        } else if (auto* button = qobject_cast<QPushButton*>(control)) {
            text = button->text();
        }
        const QRect g = control->geometry();
        state.append(QStringLiteral("%1 %2 %3,%4 %5x%6 %7 %8")
                         .arg(control->objectName(), text)
                         .arg(g.x())
                         .arg(g.y())
                         .arg(g.width())
                         .arg(g.height())
                         .arg(control->font().toString())
                         .arg(control->isVisible()));
    }
    return state;
}
