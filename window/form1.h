// The calculator's one window: twenty controls and the handlers of their events.
//
// The names look old-fashioned on purpose. The controls keep the names the window was designed
// with (inCurrentAge, Command2, Label9), and each handler is named after its control and event
// (Command2_Click, comboRate_Change), so the code, its tests and what accessibility tools see all
// use the same words. Positions and sizes are kept in twips, 1/1440 inch, the unit the layout
// was drawn in: the control table can be checked against the design figure for figure, and at
// 96 dots per inch 15 twips make one pixel.
#pragma once

#include <QWidget>

#include <functional>

class ClickLabel;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace engine {
class ProjectionError;
enum class Input;
}  // namespace engine

class Form1 : public QWidget {
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

    QLineEdit* inCurrentAge = nullptr;
    QLineEdit* inRetireAge = nullptr;
    QLineEdit* inStartBal = nullptr;
    QLineEdit* inPayment = nullptr;
    QComboBox* comboRate = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QLabel* Label7 = nullptr;
    ClickLabel* Label9 = nullptr;
    QLabel* labelResult1 = nullptr;
    QLabel* labelResult2 = nullptr;
    QLabel* labelResult3 = nullptr;
};
