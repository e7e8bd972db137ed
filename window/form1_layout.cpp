#include <QApplication>
#include <QComboBox>
#include <QIcon>
#include <QImageReader>
#include <QLineEdit>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QValidator>

#include <algorithm>
#include <array>
#include <limits>
#include <type_traits>
#include <utility>
#include <vector>

#include "engine/amounts.h"
#include "window/accessibility.h"
#include "window/click_label.h"
#include "window/form1.h"
#include "window/locale_number_format.h"
#include "window/readable_colour.h"
#include "window/screen_fit.h"

namespace {

constexpr char kCaption[] = "Dar Uridizo Dodode Vozo Rov  (v1.0)";

// The layout is drawn in twips; at 96 dots per inch a pixel is 15 of them, and Qt scales
// logical pixels for other screens.
constexpr int kTwipsPerPixel = 15;

constexpr int ToPixels(int twips) {
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

constexpr int kClientWidth = ToPixels(8250);
constexpr int kClientHeight = ToPixels(9180);

// One per control, named as the control, in the order the window defines them.
enum class Control {
    inRetireAge,
    Command2,
    Command1,
    comboRate,
    inCurrentAge,
    inPayment,
    inStartBal,
    Label10,
    Label9,
    Label8,
    Label7,
    Label6,
    labelResult3,
    labelResult2,
    labelResult1,
    Label5,
    Label4,
    Label3,
    Label2,
    Label1
};

constexpr std::size_t Index(Control control) {
    return static_cast<std::size_t>(control);
}

constexpr std::size_t kControlCount = Index(Control::Label1) + 1;

enum class Kind { TextBox, Button, Combo, Label, Link };

struct FontDef {
    const char* family;  // nullptr: the platform's default font for the kind
    double points;
    bool bold;
    bool italic;
    bool underline;
};

constexpr FontDef kDefaultFont{nullptr, 0, false, false, false};
constexpr FontDef kArial9{"Arial", 9, false, false, false};
constexpr FontDef kArial975{"Arial", 9.75, false, false, false};
constexpr FontDef kArial975Bold{"Arial", 9.75, true, false, false};
constexpr FontDef kArial975BoldItalic{"Arial", 9.75, true, true, false};
constexpr FontDef kTimes1425Underlined{"Times New Roman", 14.25, false, false, true};

// The desktop's colours, as the running application's palette carries them.
constexpr QPalette::ColorRole kNoColour = QPalette::NoRole;
constexpr QPalette::ColorRole kActiveBorder = QPalette::Window;
constexpr QPalette::ColorRole kMenuText = QPalette::WindowText;
constexpr QPalette::ColorRole kActiveCaption = QPalette::Highlight;

struct ControlDef {
    Control id;
    const char* name;
    Kind kind;
    int left, top, width, height;  // twips
    int focusOrder;
    const char* text;
    FontDef font;
    QPalette::ColorRole back;
    QPalette::ColorRole fore;
    const char* accessibleName;  // what a screen reader calls it; nullptr: its own text
};

// clang-format off
constexpr std::array<ControlDef, kControlCount> kControls{{
    // id and name,                         kind,          left,   top, width, height, focus order,
    //  text, font, back colour, text colour, accessible name
    {Control::inRetireAge, "inRetireAge",   Kind::TextBox,  5280,   720,  1095,   375,  2,
     "67", kArial975, kNoColour, kNoColour, "Retirement Age"},
    {Control::Command2, "Command2",         Kind::Button,   4080,  3600,  1695,   495,  0,
     "Calculate", kDefaultFont, kNoColour, kNoColour, "Calculate"},
    {Control::Command1, "Command1",         Kind::Button,   2520,  3600,  1335,   495,  7,
     "Cancel", kDefaultFont, kNoColour, kNoColour, "Cancel"},
    {Control::comboRate, "comboRate",       Kind::Combo,    5280,  1920,  1455,   360,  4,
     "10%", kArial975, kNoColour, kNoColour, "Expected Interest Rate"},
    {Control::inCurrentAge, "inCurrentAge", Kind::TextBox,  1680,   720,  1095,   360,  1,
     "40", kArial975, kNoColour, kNoColour, "Current Age"},
    {Control::inPayment, "inPayment",       Kind::TextBox,  5280,  2400,  1455,   375,  6,
     "200", kArial975, kNoColour, kNoColour, "Monthly Contribution"},
    {Control::inStartBal, "inStartBal",     Kind::TextBox,  5280,  1320,  1455,   405,  3,
     "40,000", kArial975, kNoColour, kNoColour,
     "Starting Balance available to transfer to a self-directed IRA"},
    {Control::Label10, "Label10",           Kind::Label,    2040,  8280,  4215,   255, 19,
     "Take control of your future. Get 20% returns today!",
     kArial975BoldItalic, kActiveBorder, kNoColour, nullptr},
    {Control::Label9, "Label9",             Kind::Link,     2520,  8640,  3135,   375, 18,
     "nesteggpress.example", kTimes1425Underlined, kActiveBorder, kActiveCaption, nullptr},
    {Control::Label8, "Label8",             Kind::Label,    1800,   120,  4335,   375, 17,
     "Getting to that Dar Uridizo Dodode Vozo Rov", kArial975Bold, kActiveBorder, kMenuText,
     nullptr},
    {Control::Label7, "Label7",             Kind::Label,     480,  5760,  4815,   375, 16,
     "Getting to that 2 Million Dollar Nest Egg", kArial975, kActiveBorder, kMenuText, nullptr},
    {Control::Label6, "Label6",             Kind::Label,     480,  4200,  1695,   375, 15,
     "Result:", kArial975, kActiveBorder, kMenuText, nullptr},
    {Control::labelResult3, "labelResult3", Kind::Label,     480,  7080,  7095,   855, 14,
     "", kArial9, kNoColour, kNoColour, nullptr},
    {Control::labelResult2, "labelResult2", Kind::Label,     480,  6120,  7095,   855, 13,
     "", kArial9, kNoColour, kNoColour, nullptr},
    {Control::labelResult1, "labelResult1", Kind::Label,     480,  4560,  7095,   855, 12,
     "", kArial975, kNoColour, kNoColour, nullptr},
    {Control::Label5, "Label5",             Kind::Label,    3720,   720,  1455,   375, 11,
     "Retirement Age", kArial975, kActiveBorder, kMenuText, nullptr},
    {Control::Label4, "Label4",             Kind::Label,     480,   720,  1215,   375, 10,
     "Current Age", kArial975, kActiveBorder, kMenuText, nullptr},
    {Control::Label3, "Label3",             Kind::Label,    3240,  2520,  1935,   255,  9,
     "Montly Contribution  $", kArial975, kActiveBorder, kMenuText, nullptr},
    {Control::Label2, "Label2",             Kind::Label,    3120,  2040,  2055,   255,  8,
     "Expected Interest Rate", kArial975, kActiveBorder, kMenuText, nullptr},
    {Control::Label1, "Label1",             Kind::Label,     120,  1440,  5175,   375,  5,
     "Starting Balance available to transfer to a self-directed IRA   $",
     kArial9, kActiveBorder, kMenuText, nullptr},
}};
// clang-format on

// The result lines have no accessible name of their own: screen readers then read each by the
// sentence it shows, and Qt announces every new sentence. This says which line is which.
constexpr std::array<std::pair<Control, const char*>, 3> kResultDescriptions{{
    {Control::labelResult1, "Result: projection"},
    {Control::labelResult2, "Result: the 2 million goal"},
    {Control::labelResult3, "Result: at 20%"},
}};

constexpr bool InControlOrder() {
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        if (Index(kControls[i].id) != i) {
            return false;
        }
    }
    return true;
}
static_assert(InControlOrder(), "kControls lists every control once, in the order of Control");

using Controls = std::array<QWidget*, kControlCount>;

// Whether CreateControl makes controls of `kind` as class T.
template <class T>
constexpr bool MadeAs(Kind kind) {
    switch (kind) {
        case Kind::TextBox:
            return std::is_same_v<T, QLineEdit>;
        case Kind::Button:
            return std::is_same_v<T, QPushButton>;
        case Kind::Combo:
            return std::is_same_v<T, QComboBox>;
        case Kind::Label:
            return std::is_same_v<T, QLabel>;
        case Kind::Link:
            break;
    }
    return std::is_same_v<T, ClickLabel>;
}

// The control as the class its row makes it; a wrong name or class does not compile.
template <Control id, class T>
T* Widget(const Controls& controls) {
    static_assert(MadeAs<T>(kControls[Index(id)].kind), "the control is made as another class");
    return static_cast<T*>(controls[Index(id)]);
}

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

QLabel* CreateLabel(Kind kind, const QString& text, QWidget* parent) {
    QLabel* label = kind == Kind::Link ? new ClickLabel(text, parent) : new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (kind == Kind::Link) {
        label->setCursor(Qt::PointingHandCursor);
        label->setFocusPolicy(Qt::StrongFocus);  // so that a keyboard reaches it
    }
    return label;
}

QWidget* CreateControl(const ControlDef& def, QWidget* parent) {
    const QString text = QString::fromUtf8(def.text);
    switch (def.kind) {
        case Kind::TextBox: {
            auto* box = new QLineEdit(text, parent);
            box->setValidator(new OneLineValidator(box));
            return box;
        }
        case Kind::Button: {
            auto* button = new QPushButton(text, parent);
            button->setAutoDefault(true);  // Enter presses the focused button
            return button;
        }
        case Kind::Combo: {
            auto* combo = new QComboBox(parent);
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->setValidator(new OneLineValidator(combo));
            combo->setEditText(text);
            return combo;
        }
        case Kind::Label:
        case Kind::Link:
            return CreateLabel(def.kind, text, parent);
    }
    return nullptr;
}

void ApplyFont(const FontDef& def, QWidget* control) {
    if (def.family == nullptr) {
        return;
    }
    QFont font(QString::fromUtf8(def.family));
    font.setPointSizeF(def.points);
    font.setWeight(def.bold ? QFont::Bold : QFont::Normal);
    font.setItalic(def.italic);
    font.setUnderline(def.underline);
    control->setFont(font);
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

void ApplyColours(QPalette::ColorRole back, QPalette::ColorRole fore, QWidget* control) {
    const QPalette desktop = QApplication::palette();
    QPalette palette = control->palette();
    if (back != kNoColour) {
        palette.setColor(QPalette::Window, desktop.color(back));
        control->setAutoFillBackground(true);
    }
    // The selection colour is made to be drawn behind text, not as text: where it does not read
    // on the window, the link takes the nearest colour that does.
    if (fore == kActiveCaption) {
        palette.setColor(QPalette::WindowText,
                         ReadableOn(palette.color(QPalette::Window), desktop.color(fore)));
    } else if (fore != kNoColour) {
        palette.setColor(QPalette::WindowText, desktop.color(fore));
    }
    control->setPalette(palette);
}

Controls BuildControls(QWidget* window) {
    Controls controls{};
    std::vector<std::pair<int, QWidget*>> focusChain;
    for (const ControlDef& def : kControls) {
        QWidget* control = CreateControl(def, window);
        controls[Index(def.id)] = control;
        control->setObjectName(QString::fromLatin1(def.name));
        control->setGeometry(ToPixels(def.left), ToPixels(def.top), ToPixels(def.width),
                             ToPixels(def.height));
        ApplyFont(def.font, control);
        if (def.accessibleName != nullptr) {
            control->setAccessibleName(QString::fromUtf8(def.accessibleName));
        }
        if (control->focusPolicy() != Qt::NoFocus) {
            focusChain.emplace_back(def.focusOrder, control);
        }
    }
    std::sort(focusChain.begin(), focusChain.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < focusChain.size(); ++i) {
        QWidget::setTabOrder(focusChain[i - 1].second, focusChain[i].second);
    }
    for (const auto& [label, description] : kResultDescriptions) {
        controls[Index(label)]->setAccessibleDescription(QString::fromUtf8(description));
    }
    return controls;
}

// The caption beside each box, which screen readers announce with it.
void LinkCaptionsToBoxes(const Controls& controls) {
    Widget<Control::Label4, QLabel>(controls)->setBuddy(controls[Index(Control::inCurrentAge)]);
    Widget<Control::Label5, QLabel>(controls)->setBuddy(controls[Index(Control::inRetireAge)]);
    Widget<Control::Label1, QLabel>(controls)->setBuddy(controls[Index(Control::inStartBal)]);
    Widget<Control::Label2, QLabel>(controls)->setBuddy(controls[Index(Control::comboRate)]);
    Widget<Control::Label3, QLabel>(controls)->setBuddy(controls[Index(Control::inPayment)]);
}

// The boxes open with their figures as the user's locale writes figures ("40.000" in German,
// where "40,000" is forty), and take text of any length, as pasted.
void PrepareBoxes(const Controls& controls) {
    const engine::NumberFormat format = UsersNumberFormat();
    for (const ControlDef& def : kControls) {
        QWidget* control = controls[Index(def.id)];
        if (auto* combo = qobject_cast<QComboBox*>(control)) {
            combo->lineEdit()->setMaxLength(std::numeric_limits<int>::max());
        } else if (auto* box = qobject_cast<QLineEdit*>(control)) {
            box->setMaxLength(std::numeric_limits<int>::max());
            const double figure = engine::TextToDouble(def.text);
            box->setText(QString::fromStdString(engine::FormatWholeAmount(figure, format)));
        }
    }
}

}  // namespace

Form1::Form1(QWidget* parent) : QWidget(parent) {
    InstallAccessibleInterfaces();
    setWindowTitle(QString::fromUtf8(kCaption));
    // Read as the PNG it is: left to guess, Qt would load its other image plugins to ask them.
    QImageReader icon(QStringLiteral(":/nestegg/nestegg-32.png"), "png");
    icon.setAutoDetectImageFormat(false);
    setWindowIcon(QPixmap::fromImage(icon.read()));
    setFixedSize(kClientWidth, kClientHeight);
    // The size is fixed: the title bar offers to minimise and close, but not to maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    new ScreenFit(this);

    const Controls controls = BuildControls(this);
    FollowDesktopColours();
    PrepareBoxes(controls);
    LinkCaptionsToBoxes(controls);
    inCurrentAge = Widget<Control::inCurrentAge, QLineEdit>(controls);
    inRetireAge = Widget<Control::inRetireAge, QLineEdit>(controls);
    inStartBal = Widget<Control::inStartBal, QLineEdit>(controls);
    inPayment = Widget<Control::inPayment, QLineEdit>(controls);
    comboRate = Widget<Control::comboRate, QComboBox>(controls);
    Command1 = Widget<Control::Command1, QPushButton>(controls);
    Command2 = Widget<Control::Command2, QPushButton>(controls);
    Label7 = Widget<Control::Label7, QLabel>(controls);
    Label9 = Widget<Control::Label9, ClickLabel>(controls);
    labelResult1 = Widget<Control::labelResult1, QLabel>(controls);
    labelResult2 = Widget<Control::labelResult2, QLabel>(controls);
    labelResult3 = Widget<Control::labelResult3, QLabel>(controls);

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
    ApplyColours(kActiveBorder, kNoColour, this);
    for (const ControlDef& def : kControls) {
        ApplyColours(
            def.back, def.fore,
            findChild<QWidget*>(QString::fromLatin1(def.name), Qt::FindDirectChildrenOnly));
    }
}
