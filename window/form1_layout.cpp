#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QComboBox>
#include <QIcon>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPalette>
#include <QPushButton>

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "window/form1.h"

namespace {

constexpr char kCaption[] = "Dar Uridizo Dodode Vozo Rov  (v1.0)";

// The layout is drawn in twips; at 96 dots per inch a pixel is 15 of them, and Qt scales
// logical pixels for other screens.
constexpr int kTwipsPerPixel = 15;
constexpr int kClientWidth = 8250 / kTwipsPerPixel;
constexpr int kClientHeight = 9180 / kTwipsPerPixel;

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
constexpr std::array<ControlDef, 20> kControls{{
    // name,         kind,          left,   top, width, height, focus order,
    //  text, font, back colour, text colour, accessible name
    {"inRetireAge",  Kind::TextBox,  5280,   720,  1095,   375,  2,
     "67", kArial975, kNoColour, kNoColour, "Retirement Age"},
    {"Command2",     Kind::Button,   4080,  3600,  1695,   495,  0,
     "Calculate", kDefaultFont, kNoColour, kNoColour, "Calculate"},
    {"Command1",     Kind::Button,   2520,  3600,  1335,   495,  7,
     "Cancel", kDefaultFont, kNoColour, kNoColour, "Cancel"},
    {"comboRate",    Kind::Combo,    5280,  1920,  1455,   360,  4,
     "10%", kArial975, kNoColour, kNoColour, "Expected Interest Rate"},
    {"inCurrentAge", Kind::TextBox,  1680,   720,  1095,   360,  1,
     "40", kArial975, kNoColour, kNoColour, "Current Age"},
    {"inPayment",    Kind::TextBox,  5280,  2400,  1455,   375,  6,
     "200", kArial975, kNoColour, kNoColour, "Monthly Contribution"},
    {"inStartBal",   Kind::TextBox,  5280,  1320,  1455,   405,  3,
     "40,000", kArial975, kNoColour, kNoColour,
     "Starting Balance available to transfer to a self-directed IRA"},
    {"Label10",      Kind::Label,    2040,  8280,  4215,   255, 19,
     "Take control of your future. Get 20% returns today!",
     kArial975BoldItalic, kActiveBorder, kNoColour, nullptr},
    {"Label9",       Kind::Link,     2520,  8640,  3135,   375, 18,
     "nesteggpress.example", kTimes1425Underlined, kActiveBorder, kActiveCaption, nullptr},
    {"Label8",       Kind::Label,    1800,   120,  4335,   375, 17,
     "Getting to that Dar Uridizo Dodode Vozo Rov", kArial975Bold, kActiveBorder, kMenuText,
     nullptr},
    {"Label7",       Kind::Label,     480,  5760,  4815,   375, 16,
     "Getting to that 2 Million Dollar Nest Egg", kArial975, kActiveBorder, kMenuText, nullptr},
    {"Label6",       Kind::Label,     480,  4200,  1695,   375, 15,
     "Result:", kArial975, kActiveBorder, kMenuText, nullptr},
    {"labelResult3", Kind::Label,     480,  7080,  7095,   855, 14,
     "", kArial9, kNoColour, kNoColour, nullptr},
    {"labelResult2", Kind::Label,     480,  6120,  7095,   855, 13,
     "", kArial9, kNoColour, kNoColour, nullptr},
    {"labelResult1", Kind::Label,     480,  4560,  7095,   855, 12,
     "", kArial975, kNoColour, kNoColour, nullptr},
    {"Label5",       Kind::Label,    3720,   720,  1455,   375, 11,
     "Retirement Age", kArial975, kActiveBorder, kMenuText, nullptr},
    {"Label4",       Kind::Label,     480,   720,  1215,   375, 10,
     "Current Age", kArial975, kActiveBorder, kMenuText, nullptr},
    {"Label3",       Kind::Label,    3240,  2520,  1935,   255,  9,
     "Montly Contribution  $", kArial975, kActiveBorder, kMenuText, nullptr},
    {"Label2",       Kind::Label,    3120,  2040,  2055,   255,  8,
     "Expected Interest Rate", kArial975, kActiveBorder, kMenuText, nullptr},
    {"Label1",       Kind::Label,     120,  1440,  5175,   375,  5,
     "Starting Balance available to transfer to a self-directed IRA   $",
     kArial9, kActiveBorder, kMenuText, nullptr},
}};
// clang-format on

// The caption beside each box, which screen readers announce with it.
constexpr std::array<std::pair<const char*, const char*>, 5> kCaptionOfBox{{
    {"Label4", "inCurrentAge"},
    {"Label5", "inRetireAge"},
    {"Label1", "inStartBal"},
    {"Label2", "comboRate"},
    {"Label3", "inPayment"},
}};

// The result lines have no accessible name of their own: screen readers then read each by the
// sentence it shows, and Qt announces every new sentence. This says which line is which.
constexpr std::array<std::pair<const char*, const char*>, 3> kResultDescriptions{{
    {"labelResult1", "Result: projection"},
    {"labelResult2", "Result: the 2 million goal"},
    {"labelResult3", "Result: at 20%"},
}};

int ToPixels(int twips) {
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

QWidget* CreateControl(const ControlDef& def, QWidget* parent) {
    const QString text = QString::fromUtf8(def.text);
    switch (def.kind) {
        case Kind::TextBox:
            return new QLineEdit(text, parent);
        case Kind::Button: {
            auto* button = new QPushButton(text, parent);
            button->setAutoDefault(true);  // Enter presses the focused button
            return button;
        }
        case Kind::Combo: {
            auto* combo = new QComboBox(parent);
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->setEditText(text);
            return combo;
        }
        case Kind::Label:
        case Kind::Link: {
            QLabel* label =
                def.kind == Kind::Link ? new ClickLabel(text, parent) : new QLabel(text, parent);
            label->setTextFormat(Qt::PlainText);
            label->setWordWrap(true);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            if (def.kind == Kind::Link) {
                label->setCursor(Qt::PointingHandCursor);
            }
            return label;
        }
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

void ApplyColours(QPalette::ColorRole back, QPalette::ColorRole fore, QWidget* control) {
    const QPalette desktop = QApplication::palette();
    QPalette palette = control->palette();
    if (back != kNoColour) {
        palette.setColor(QPalette::Window, desktop.color(back));
        control->setAutoFillBackground(true);
    }
    if (fore != kNoColour) {
        palette.setColor(QPalette::WindowText, desktop.color(fore));
    }
    control->setPalette(palette);
}

// Screen readers meet the web link as a link they can follow.
class AccessibleLink : public QAccessibleWidget {
  public:
    explicit AccessibleLink(ClickLabel* link) : QAccessibleWidget(link, QAccessible::Link) {}

    QString text(QAccessible::Text kind) const override {
        switch (kind) {
            case QAccessible::Name:
                return Link()->text();
            case QAccessible::Description:
                return QObject::tr("Opens the publisher's web page");
            default:
                return QAccessibleWidget::text(kind);
        }
    }
    QAccessible::State state() const override {
        QAccessible::State linkState = QAccessibleWidget::state();
        linkState.linked = true;
        return linkState;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override {
        if (action == pressAction()) {
            emit Link()->clicked();
        }
    }

  private:
    ClickLabel* Link() const { return static_cast<ClickLabel*>(widget()); }
};

QAccessibleInterface* CreateAccessibleLink(const QString& className, QObject* object) {
    if (className == QLatin1String(ClickLabel::staticMetaObject.className())) {
        return new AccessibleLink(static_cast<ClickLabel*>(object));
    }
    return nullptr;
}

}  // namespace

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

Form1::Form1(QWidget* parent) : QWidget(parent) {
    static const bool linkAccessible = (QAccessible::installFactory(CreateAccessibleLink), true);
    Q_UNUSED(linkAccessible);
    setWindowTitle(QString::fromUtf8(kCaption));
    setWindowIcon(QIcon(QStringLiteral(":/nestegg/nestegg-32.png")));
    setFixedSize(kClientWidth, kClientHeight);
    ApplyColours(kActiveBorder, kNoColour, this);

    BuildControls();
    inCurrentAge = Control<QLineEdit>("inCurrentAge");
    inRetireAge = Control<QLineEdit>("inRetireAge");
    inStartBal = Control<QLineEdit>("inStartBal");
    inPayment = Control<QLineEdit>("inPayment");
    comboRate = Control<QComboBox>("comboRate");
    Command1 = Control<QPushButton>("Command1");
    Command2 = Control<QPushButton>("Command2");
    Label7 = Control<QLabel>("Label7");
    Label9 = Control<ClickLabel>("Label9");
    labelResult1 = Control<QLabel>("labelResult1");
    labelResult2 = Control<QLabel>("labelResult2");
    labelResult3 = Control<QLabel>("labelResult3");

    ConnectEvents();
    Form_Load();
    Command2->setFocus();
}

void Form1::BuildControls() {
    std::vector<std::pair<int, QWidget*>> focusChain;
    for (const ControlDef& def : kControls) {
        QWidget* control = CreateControl(def, this);
        control->setObjectName(QString::fromLatin1(def.name));
        control->setGeometry(ToPixels(def.left), ToPixels(def.top), ToPixels(def.width),
                             ToPixels(def.height));
        ApplyFont(def.font, control);
        ApplyColours(def.back, def.fore, control);
        if (def.accessibleName != nullptr) {
            control->setAccessibleName(QString::fromUtf8(def.accessibleName));
        }
        if (control->focusPolicy() != Qt::NoFocus) {
            focusChain.emplace_back(def.focusOrder, control);
        }
    }
    for (const auto& [caption, box] : kCaptionOfBox) {
        Control<QLabel>(caption)->setBuddy(Control<QWidget>(box));
    }
    for (const auto& [label, description] : kResultDescriptions) {
        Control<QLabel>(label)->setAccessibleDescription(QString::fromUtf8(description));
    }
    std::sort(focusChain.begin(), focusChain.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < focusChain.size(); ++i) {
        QWidget::setTabOrder(focusChain[i - 1].second, focusChain[i].second);
    }
}

template <typename T>
T* Form1::Control(const char* name) const {
    T* control = findChild<T*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
    Q_ASSERT(control != nullptr);
    return control;
}
