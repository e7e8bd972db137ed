// The calculator's one window: twenty controls and the handlers of their events.
//
// The names look old-fashioned on purpose. The controls keep the names the window was designed
// with (inCurrentAge, Command2, Label9), and each handler is named after its control and event
// (Command2_Click, comboRate_Change), so the code, its tests and what accessibility tools see all
// use the same words. The controls are drawn in form1.ui, which Qt Designer opens and uic compiles
// into Ui::Form1; the window inherits it, so the handlers reach the controls by their names. The
// layout was drawn in twips, 1/1440 inch; the form holds it in pixels at 96 dots per inch, 15
// twips each.
#pragma once

#include <QWidget>

#include <functional>

// moc needs nothing of the form. Left to read it, moc would do so only when uic happened to
// write it first, and two builds of one source would differ.
#ifndef Q_MOC_RUN
#include "ui_form1.h"
#endif

namespace engine {
class ProjectionError;
enum class Input;
}  // namespace engine

class Form1 : public QWidget, private Ui::Form1 {
    Q_OBJECT

  public:
    explicit Form1(QWidget* parent = nullptr);

    // Shows a message and returns once the user has dismissed it. The default is a modal
    // warning box; tests put their own in its place.
    using MessageHook =
        std::function<void(QWidget* parent, const QString& psTitle, const QString& psText)>;
    void SetMessageHook(MessageHook hook);

  protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ConnectEvents();
    void FollowDesktopColours();
    void FitButtonCaptions();

    void Form_Load();
    void Command2_Click();
    void Command1_Click();
    void Label9_Click();
    void comboRate_Change();
    void SaveStartBal();

    void ReportCalculationFailure(const engine::ProjectionError& error);
    QWidget* BoxFor(engine::Input input) const;
    void ShowMessage(const QString& psText);

    MessageHook messageHook_;
};
