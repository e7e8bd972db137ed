// What the window tests share: one fixture (a window in a temporary home, its messages
// collected, a guard against modal dialogs) and a snapshot of the controls. The tests run on
// Qt's offscreen platform, which their CMake file sets for them.
#pragma once

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <utility>

#include "window/form1.h"

// Window tests route messages through Form1's hook. A modal dialog that opens anyway would
// wait for a click no test gives; this guard closes it and remembers, so the test fails
// instead of hanging.
class ModalGuard {
  public:
    using Inspector = std::function<void(QWidget* modal)>;

    ModalGuard() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                tripped_ = true;
                if (inspect_) {
                    inspect_(modal);
                }
                modal->close();
            }
        });
        timer_.start(100);
    }
    // True once a modal dialog had to be closed; reading it clears it.
    bool Tripped() { return std::exchange(tripped_, false); }
    // Lets a test look at each modal dialog before the guard closes it.
    void Inspect(Inspector inspect) { inspect_ = std::move(inspect); }

  private:
    QTimer timer_;
    bool tripped_ = false;
    Inspector inspect_;
};

// Typed text as the window's messages quote it, isolated so that it cannot reorder them.
inline QString Quoted(const QString& text) {
    return QStringLiteral("\"\u2068") + text + QStringLiteral("\u2069\"");
}

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

// Where Cancel saves file1.txt.
#ifdef Q_OS_WIN
inline constexpr char kHomeVariable[] = "USERPROFILE";
#else
inline constexpr char kHomeVariable[] = "HOME";
#endif

// One window under test: the home folder is a temporary folder (Cancel writes file1.txt there),
// the window's messages are collected instead of shown, and modal dialogs are guarded against.
class WindowFixture {
  public:
    struct Message {
        QString title;
        QString text;
    };

    WindowFixture() : oldHome_(qgetenv(kHomeVariable)) {
        qputenv(kHomeVariable, QDir::toNativeSeparators(home_.path()).toLocal8Bit());
    }
    ~WindowFixture() { qputenv(kHomeVariable, oldHome_); }
    WindowFixture(const WindowFixture&) = delete;
    WindowFixture& operator=(const WindowFixture&) = delete;

    // A new window, shown; false when the home folder or the window is not ready.
    [[nodiscard]] bool Open() {
        messages.clear();
        form_ = std::make_unique<Form1>();
        CollectMessages();
        form_->show();
        return home_.isValid() && QTest::qWaitForWindowActive(form_.get());
    }
    // Closes the window; false when a modal dialog had to be closed while it was open.
    [[nodiscard]] bool Close() {
        form_.reset();
        guard.Inspect({});
        return !guard.Tripped();
    }

    // Puts the window's messages into `messages` instead of showing them.
    void CollectMessages() {
        form_->SetMessageHook([this](QWidget*, const QString& title, const QString& text) {
            messages.append({title, text});
        });
    }

    Form1& Window() const { return *form_; }
    QString SavedFile() const { return home_.filePath(QStringLiteral("file1.txt")); }

    template <typename T>
    T* Find(const QString& name) const {
        T* control = form_->findChild<T*>(name, Qt::FindDirectChildrenOnly);
        if (control == nullptr) {
            qFatal("no control %s", qPrintable(name));
        }
        return control;
    }
    QComboBox* Combo() const { return Find<QComboBox>(QStringLiteral("comboRate")); }
    QLineEdit* Edit(const QString& name) const { return Find<QLineEdit>(name); }
    QLabel* Label(const QString& name) const { return Find<QLabel>(name); }
    QPushButton* Button(const QString& name) const { return Find<QPushButton>(name); }
    void Click(const QString& name) const { QTest::mouseClick(Button(name), Qt::LeftButton); }
    QStringList Snapshot() const { return ControlsSnapshot(*form_); }

    ModalGuard guard;
    QList<Message> messages;

  private:
    QTemporaryDir home_;
    QByteArray oldHome_;
    std::unique_ptr<Form1> form_;
};
