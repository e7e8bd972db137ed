#include <QApplication>
#include <QComboBox>
#include <QImageReader>
#include <QLineEdit>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QValidator>

#include <algorithm>
#include <initializer_list>
#include <limits>

#include "engine/amounts.h"
#include "window/accessibility.h"
#include "window/form1.h"
#include "window/locale_number_format.h"
#include "window/readable_colour.h"
#include "window/screen_fit.h"

namespace {

// The desktop's colours, as the running application's palette carries them.
constexpr QPalette::ColorRole kActiveBorder = QPalette::Window;
constexpr QPalette::ColorRole kMenuText = QPalette::WindowText;
constexpr QPalette::ColorRole kActiveCaption = QPalette::Highlight;

// A box holds one line of plain text. A line break or tab that comes in by paste, drop or code
// becomes the blank the box shows for it, so that what is shown is what is saved; other control
// characters are dropped, so that no escape sequence reaches the saved file and, through it, a
// terminal that shows it.
class OneLineValidator : public QValidator {
  public:
    using QValidator::QValidator;

    // Each kept character moves once, so that a paste of millions of characters with controls
    // between them takes no longer than one without.
    State validate(QString& input, int& pos) const override {
        const auto changes = [](QChar c) { return ShowsAsBlank(c) || IsDropped(c); };
        qsizetype kept = std::find_if(input.cbegin(), input.cend(), changes) - input.cbegin();
        const int cursor = pos;
        for (qsizetype i = kept; i < input.size(); ++i) {
            const QChar c = input.at(i);
            if (ShowsAsBlank(c)) {
                input[kept++] = QLatin1Char(' ');
            } else if (IsDropped(c)) {
                pos -= i < cursor ? 1 : 0;
            } else {
                input[kept++] = c;
            }
        }
        input.truncate(kept);
        return Acceptable;
    }

  private:
    static bool IsDropped(QChar c) { return c.category() == QChar::Other_Control; }
    static bool ShowsAsBlank(QChar c) {
        switch (c.unicode()) {
            case u'\t':
            case u'\n':
            case u'\v':
            case u'\f':
            case u'\r':
            case 0x0085:  // next line
            case 0x2028:  // line separator
            case 0x2029:  // paragraph separator
                return true;
            default:
                return false;
        }
    }
};

// A form keeps whole points only. The design's fonts of 9.75 and 14.25 points (13 and 19 pixels
// at 96 dots per inch) stand in form1.ui as 10 and 14 points, and take their own size here.
void SetFractionalPointSizes(const Ui::Form1& form) {
    const auto setPoints = [](QWidget* control, double points) {
        QFont font = control->font();
        font.setPointSizeF(points);
        control->setFont(font);
    };
    for (QWidget* control : std::initializer_list<QWidget*>{
             form.inRetireAge, form.comboRate, form.inCurrentAge, form.inPayment, form.inStartBal,
             form.Label10, form.Label8, form.Label7, form.Label6, form.labelResult1, form.Label5,
             form.Label4, form.Label3, form.Label2}) {
        setPoints(control, 9.75);
    }
    setPoints(form.Label9, 14.25);
}

// Each box holds one line. The boxes open with the form's figures as the user's locale writes
// figures ("40.000" in German, where "40,000" is forty), and take text of any length, as pasted:
// the form says so of the boxes, but cannot reach the rate list's text part.
void PrepareBoxes(const Ui::Form1& form) {
    const engine::NumberFormat format = UsersNumberFormat();
    for (QLineEdit* box : {form.inRetireAge, form.inCurrentAge, form.inPayment, form.inStartBal}) {
        box->setValidator(new OneLineValidator(box));
        const double figure = engine::TextToDouble(box->text().toStdString());
        box->setText(QString::fromStdString(engine::FormatWholeAmount(figure, format)));
    }
    form.comboRate->setValidator(new OneLineValidator(form.comboRate));
    form.comboRate->lineEdit()->setMaxLength(std::numeric_limits<int>::max());
}

// The desktop's font for the button, made smaller where the caption would not fit inside the
// button's frame and would lose its first and last letters.
void FitCaption(QPushButton* button) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.features =
        button->autoDefault() ? QStyleOptionButton::AutoDefaultButton : QStyleOptionButton::None;
    const QRect room =
        button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    const QFont desktop = QApplication::font(button);
    QFont font = desktop;
    const auto fits = [&] {
        const QFontMetrics metrics(font, button);
        return metrics.horizontalAdvance(button->text()) <= room.width() &&
               metrics.height() <= room.height();
    };
    while (!fits() && font.pointSizeF() > 1) {  // a font sized in pixels has no points: -1
        font.setPointSizeF(font.pointSizeF() - 0.5);
    }
    button->setFont(font == desktop ? QFont() : font);
}

// Set on the control rather than inherited from the window, which shows the same colours.
void SetColours(QWidget* control, const QColor& back, const QColor& text = {}) {
    QPalette palette = control->palette();
    palette.setColor(QPalette::Window, back);
    if (text.isValid()) {
        palette.setColor(QPalette::WindowText, text);
    }
    control->setPalette(palette);
}

}  // namespace

Form1::Form1(QWidget* parent) : QWidget(parent) {
    InstallAccessibleInterfaces();
    // Read as the PNG it is: left to guess, Qt would load its other image plugins to ask them.
    QImageReader icon(QStringLiteral(":/nestegg/nestegg-32.png"), "png");
    icon.setAutoDetectImageFormat(false);
    setWindowIcon(QPixmap::fromImage(icon.read()));
    // The size is fixed: the title bar offers to minimise and close, but not to maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setupUi(this);
    new ScreenFit(this);

    SetFractionalPointSizes(*this);
    FollowDesktopColours();
    PrepareBoxes(*this);
    FitButtonCaptions();
    ConnectEvents();
    Form_Load();
    Command2->setFocus();
}

void Form1::FitButtonCaptions() {
    FitCaption(Command1);
    FitCaption(Command2);
}

// The desktop's colours now: they change while the window is open (a dark look switched on), and
// set on the window and its labels they would otherwise stay as they were at the start.
void Form1::FollowDesktopColours() {
    const QPalette desktop = QApplication::palette();
    const QColor back = desktop.color(kActiveBorder);
    SetColours(this, back);
    SetColours(Label10, back);
    for (QLabel* caption : {Label8, Label7, Label6, Label5, Label4, Label3, Label2, Label1}) {
        SetColours(caption, back, desktop.color(kMenuText));
    }
    // The selection colour is made to be drawn behind text, not as text: where it does not read
    // on the window, the link takes the nearest colour that does.
    SetColours(Label9, back, ReadableOn(back, desktop.color(kActiveCaption)));
}
