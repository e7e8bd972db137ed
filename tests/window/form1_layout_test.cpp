#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <map>
#include <utility>

#include "window/readable_colour.h"
#include "window_test_support.h"

namespace {

// Colours no desktop would use, so that each role can be told from the defaults.
QPalette DistinctPalette() {
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Window, QColor(0x20, 0x40, 0x60));
    palette.setColor(QPalette::WindowText, QColor(0xa0, 0x10, 0x10));
    palette.setColor(QPalette::Highlight, QColor(0x10, 0xa0, 0x30));
    return palette;
}

using Role = QPalette::ColorRole;
constexpr Role kNone = QPalette::NoRole;

// The background (most pixels) and the text (the pixel that stands out most) as `control` draws
// them within its frame, or as its text part does: a combo's focus proxy.
std::pair<QColor, QColor> Drawn(QWidget* control) {
    control = control->focusProxy() != nullptr ? control->focusProxy() : control;
    const QImage image = control->grab(control->rect() - QMargins(4, 4, 4, 4)).toImage();
    std::map<QRgb, int> counts;
    for (int i = 0; i < image.width() * image.height(); ++i) {
        ++counts[image.pixel(i % image.width(), i / image.width())];
    }
    QColor back = counts.begin()->first, text = back;
    for (const auto& [rgb, count] : counts) {
        back = count > counts[back.rgb()] ? QColor(rgb) : back;
    }
    for (const auto& [rgb, count] : counts) {
        text = Contrast(rgb, back) > Contrast(text, back) ? QColor(rgb) : text;
    }
    return {text, back};
}

}  // namespace

class Form1LayoutTest : public QObject, public WindowFixture {
    Q_OBJECT

  private slots:
    void initTestCase() {
        QApplication::setPalette(DistinctPalette());
        QVERIFY(Open());
        form_ = &Window();
    }

    void cleanupTestCase() { QVERIFY(Close()); }

    // First: the window's icon is read without loading Qt's other image plugins to ask them.
    void loadsNoImagePlugins() {
        QFile maps(QStringLiteral("/proc/self/maps"));
        if (!maps.open(QIODevice::ReadOnly)) {
            QSKIP("no /proc/self/maps to list the loaded libraries");
        }
        QVERIFY(!maps.readAll().contains("/imageformats/"));
    }

    void window() {
        QCOMPARE(form_->windowTitle(), QStringLiteral("Dar Uridizo Dodode Vozo Rov  (v1.0)"));
        QCOMPARE(form_->size(), QSize(550, 612));
        QCOMPARE(form_->minimumSize(), form_->maximumSize());
        QVERIFY(form_->windowIcon().availableSizes().contains(QSize(32, 32)));
        QVERIFY(form_->autoFillBackground());
        QVERIFY(form_->palette().isBrushSet(QPalette::Active, QPalette::Window));  // not inherited
        QCOMPARE(form_->palette().color(QPalette::Window), QColor(0x20, 0x40, 0x60));
    }

    void hasTwentyControls() {
        const auto controls = form_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        QCOMPARE(controls.size(), 20);
    }

    void control_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("family");  // empty: the default font
        QTest::addColumn<double>("points");
        QTest::addColumn<QString>("style");  // b = bold, i = italic, u = underlined
        QTest::addColumn<int>("back");
        QTest::addColumn<int>("fore");

        const auto row = [](const char* name, const char* kind, QRect twips, const QString& text,
                            const QString& family, double points, const QString& style, Role back,
                            Role fore) {
            QTest::newRow(name) << QString(name) << QString(kind) << twips << text << family
                                << points << style << int(back) << int(fore);
        };
        const QString arial = "Arial";
        const Role border = QPalette::Window;
        const Role menuText = QPalette::WindowText;
        row("inRetireAge", "QLineEdit", {5280, 720, 1095, 375}, "67", arial, 9.75, "", kNone,
            kNone);
        row("Command2", "QPushButton", {4080, 3600, 1695, 495}, "Calculate", "", 0, "", kNone,
            kNone);
        row("Command1", "QPushButton", {2520, 3600, 1335, 495}, "Cancel", "", 0, "", kNone, kNone);
        row("comboRate", "QComboBox", {5280, 1920, 1455, 360}, "5%", arial, 9.75, "", kNone, kNone);
        row("inCurrentAge", "QLineEdit", {1680, 720, 1095, 360}, "40", arial, 9.75, "", kNone,
            kNone);
        row("inPayment", "QLineEdit", {5280, 2400, 1455, 375}, "200", arial, 9.75, "", kNone,
            kNone);
        row("inStartBal", "QLineEdit", {5280, 1320, 1455, 405}, "40,000", arial, 9.75, "", kNone,
            kNone);
        row("Label10", "QLabel", {2040, 8280, 4215, 255},
            "Take control of your future. Get 20% returns today!", arial, 9.75, "bi", border,
            kNone);
        row("Label9", "ClickLabel", {2520, 8640, 3135, 375}, "nesteggpress.example",
            "Times New Roman", 14.25, "u", border, kNone);  // its colour: everyTextReads
        row("Label8", "QLabel", {1800, 120, 4335, 375},
            "Getting to that Dar Uridizo Dodode Vozo Rov", arial, 9.75, "b", border, menuText);
        row("Label7", "QLabel", {480, 5760, 4815, 375}, "Getting to that 2 Million Dollar Nest Egg",
            arial, 9.75, "", border, menuText);
        row("Label6", "QLabel", {480, 4200, 1695, 375}, "Result:", arial, 9.75, "", border,
            menuText);
        row("labelResult3", "QLabel", {480, 7080, 7095, 855}, "", arial, 9, "", kNone, kNone);
        row("labelResult2", "QLabel", {480, 6120, 7095, 855}, "", arial, 9, "", kNone, kNone);
        row("labelResult1", "QLabel", {480, 4560, 7095, 855}, "", arial, 9.75, "", kNone, kNone);
        row("Label5", "QLabel", {3720, 720, 1455, 375}, "Retirement Age", arial, 9.75, "", border,
            menuText);
        row("Label4", "QLabel", {480, 720, 1215, 375}, "Current Age", arial, 9.75, "", border,
            menuText);
        row("Label3", "QLabel", {3240, 2520, 1935, 255}, "Montly Contribution  $", arial, 9.75, "",
            border, menuText);
        row("Label2", "QLabel", {3120, 2040, 2055, 255}, "Expected Interest Rate", arial, 9.75, "",
            border, menuText);
        row("Label1", "QLabel", {120, 1440, 5175, 375},
            "Starting Balance available to transfer to a self-directed IRA   $", arial, 9, "",
            border, menuText);
    }
    void control() {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(QRect, twips);
        QFETCH(QString, text);
        QFETCH(QString, family);
        QFETCH(double, points);
        QFETCH(QString, style);
        QFETCH(int, back);
        QFETCH(int, fore);

        auto* control = form_->findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
        QVERIFY(control != nullptr);
        QCOMPARE(QString(control->metaObject()->className()), kind);
        const QRect pixels(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15);
        QCOMPARE(control->geometry(), pixels);

        if (auto* edit = qobject_cast<QLineEdit*>(control)) {
            QCOMPARE(edit->text(), text);
        } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
            QVERIFY(combo->isEditable());
            QCOMPARE(combo->insertPolicy(), QComboBox::NoInsert);
            QCOMPARE(combo->currentText(), text);
        } else if (auto* button = qobject_cast<QPushButton*>(control)) {
            QCOMPARE(button->text(), text);
        } else if (auto* label = qobject_cast<QLabel*>(control)) {
            QCOMPARE(label->text(), text);
            QVERIFY(label->wordWrap());
            QCOMPARE(label->alignment(), Qt::AlignLeft | Qt::AlignTop);
            QCOMPARE(label->textFormat(), Qt::PlainText);
        }

        if (family.isEmpty()) {
            QVERIFY(!control->testAttribute(Qt::WA_SetFont));
        } else {
            const QFont font = control->font();
            QCOMPARE(font.family(), family);
            QCOMPARE(font.pointSizeF(), points);
            QCOMPARE(font.bold(), style.contains('b'));
            QCOMPARE(font.weight(), style.contains('b') ? QFont::Bold : QFont::Normal);
            QCOMPARE(font.italic(), style.contains('i'));
            QCOMPARE(font.underline(), style.contains('u'));
        }

        const QPalette desktop = QApplication::palette();
        QCOMPARE(control->autoFillBackground(), back != kNone);
        // Set on the control, not inherited from the window, which shows the same colours.
        if (back != kNone) {
            QVERIFY(control->palette().isBrushSet(QPalette::Active, QPalette::Window));
            QCOMPARE(control->palette().color(QPalette::Window), desktop.color(Role(back)));
        }
        if (fore != kNone) {
            QVERIFY(control->palette().isBrushSet(QPalette::Active, QPalette::WindowText));
            QCOMPARE(control->palette().color(QPalette::WindowText), desktop.color(Role(fore)));
        }
    }

    // Only the tagline is cut by the height its row leaves it; every other caption shows whole.
    void captionsFitTheirLabels() {
        for (QLabel* label : form_->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
            const QRect needed =
                QFontMetrics(label->font())
                    .boundingRect(QRect(0, 0, label->width(), 1000),
                                  Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, label->text());
            QVERIFY2(needed.width() <= label->width(), qPrintable(label->objectName()));
            const bool fits = needed.height() <= label->height();
            QVERIFY2(fits == (label->objectName() != "Label10"), qPrintable(label->objectName()));
        }
    }

    void linkShowsAPointingHand() {
        auto* link = form_->findChild<QLabel*>("Label9");
        QVERIFY(link != nullptr);
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
    }

    void startsWithCalculateFocused() {
        form_->show();
        QVERIFY(QTest::qWaitForWindowActive(form_));
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Command2"));
    }

    void screenReadersNameEveryInputAndResult_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("spoken");
        QTest::addColumn<int>("role");
        const auto row = [](const char* name, const char* spoken, QAccessible::Role role) {
            QTest::newRow(name) << QString(name) << QString(spoken) << int(role);
        };
        row("inCurrentAge", "Current Age", QAccessible::EditableText);
        row("inRetireAge", "Retirement Age", QAccessible::EditableText);
        row("inStartBal", "Starting Balance available to transfer to a self-directed IRA",
            QAccessible::EditableText);
        row("comboRate", "Expected Interest Rate", QAccessible::ComboBox);
        row("inPayment", "Monthly Contribution", QAccessible::EditableText);
        row("Command2", "Calculate", QAccessible::Button);
        row("Command1", "Cancel", QAccessible::Button);
        // A result line is named by the sentence it shows, and shows none before Calculate.
        row("labelResult1", "", QAccessible::Notification);
        row("labelResult2", "", QAccessible::Notification);
        row("labelResult3", "", QAccessible::Notification);
        row("Label9", "nesteggpress.example", QAccessible::Link);
    }

    void screenReadersNameEveryInputAndResult() {
        QFETCH(QString, name);
        QFETCH(QString, spoken);
        QFETCH(int, role);
        auto* control = form_->findChild<QWidget*>(name);
        QVERIFY(control != nullptr);
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
        QVERIFY(accessible != nullptr);
        QCOMPARE(int(accessible->role()), role);
        QCOMPARE(accessible->text(QAccessible::Name), spoken);
        // Fails when the rate box is named by its value, as Qt names an editable combo on Linux.
        if (role == QAccessible::ComboBox) {
            QCOMPARE(accessible->text(QAccessible::Value), QStringLiteral("5%"));
        }
    }

    // A fixed name would hide each new sentence. That each is spoken needs a real screen reader:
    // orca_check.sh.
    void screenReadersReadEachNewResult() {
        Form1 form;
        form.findChild<QPushButton*>("Command2")->click();
        const std::pair<const char*, const char*> results[] = {
            {"labelResult1", "Result: projection"},
            {"labelResult2", "Result: the 2 million goal"},
            {"labelResult3", "Result: at 20%"}};
        for (const auto& [name, description] : results) {
            auto* label = form.findChild<QLabel*>(name);
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(label);
            QCOMPARE(accessible->text(QAccessible::Description), QString(description));
            QVERIFY2(!label->text().isEmpty(), name);
            QCOMPARE(accessible->text(QAccessible::Name), label->text());
        }
    }

    void screenReadersHearTheCaptionBesideEachBox_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("caption");
        QTest::newRow("inCurrentAge") << "inCurrentAge"
                                      << "Current Age";
        QTest::newRow("inRetireAge") << "inRetireAge"
                                     << "Retirement Age";
        QTest::newRow("inStartBal")
            << "inStartBal"
            << "Starting Balance available to transfer to a self-directed IRA   $";
        QTest::newRow("comboRate") << "comboRate"
                                   << "Expected Interest Rate";
        QTest::newRow("inPayment") << "inPayment"
                                   << "Montly Contribution  $";
    }

    void screenReadersHearTheCaptionBesideEachBox() {
        QFETCH(QString, box);
        QFETCH(QString, caption);
        QAccessibleInterface* accessible =
            QAccessible::queryAccessibleInterface(form_->findChild<QWidget*>(box));
        QStringList labels;
        for (const auto& [other, relation] : accessible->relations(QAccessible::Label)) {
            labels.append(other->text(QAccessible::Name));
        }
        QCOMPARE(labels, QStringList{caption});
    }

    void screenReadersCanFollowTheLink() {
        auto* link = form_->findChild<QLabel*>("Label9");
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(link);
        QVERIFY(accessible->state().linked);
        QAccessibleActionInterface* actions = accessible->actionInterface();
        QVERIFY(actions != nullptr);
        QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
        QSignalSpy followed(link, SIGNAL(clicked()));
        actions->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(followed.count(), 1);
    }

    // Fails when Tab skips a control, the link above all, or the link hides that it has the focus;
    // on too small a screen (window.scaled_screen), when the window or the focus is off it.
    void tabVisitsEveryControlInOrder() {
        QVERIFY(QTest::qWaitForWindowActive(form_));
        QVERIFY(form_->screen()->availableGeometry().contains(form_->frameGeometry()));
        form_->findChild<QWidget*>("Command2")->setFocus();
        auto* link = form_->findChild<QLabel*>("Label9");
        const QImage unfocused = link->grab().toImage();
        const QStringList expected{"inCurrentAge", "inRetireAge", "inStartBal", "comboRate",
                                   "inPayment",    "Command1",    "Label9",     "Command2"};
        QStringList visited;
        for (int i = 0; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            // The combo takes the focus in its text part.
            if (qobject_cast<QLineEdit*>(focus) && qobject_cast<QComboBox*>(focus->parent())) {
                focus = focus->parentWidget();
            }
            visited.append(focus->objectName());
            QVERIFY((link->grab().toImage() == unfocused) == (focus != link));
            QVERIFY(form_->rect().contains(focus->geometry()));  // scrolled into view
        }
        QCOMPARE(visited, expected);
    }

    // Fails when a large desktop font cuts the buttons' captions, their first and last letters.
    void captionsFitALargeDesktopFont() {
        QApplication::setFont(QFont(QApplication::font().family(), 20));
        QCoreApplication::processEvents();  // the window hears of it as of a desktop's change
        for (auto* button : form_->findChildren<QPushButton*>()) {  // within the frame
            QVERIFY(button->fontMetrics().horizontalAdvance(button->text()) <= button->width() - 4);
        }
        QApplication::setFont(QFont());
    }

    // Fails when a text is drawn below 4.5:1 against what lies behind it: the link in a
    // selection colour that does not read, or colours kept from before the desktop's look changed.
    void everyTextReads_data() {
        QTest::addColumn<QPalette>("look");
        QPalette dark(QColor(0x353535), QColor(0x353535)), black(Qt::black, Qt::black);
        dark.setColor(QPalette::Highlight, QColor(0x2a82da));
        black.setColor(QPalette::Highlight, QColor(0x1aebff));
        QTest::newRow("default") << QPalette();  // the platform's and the style's
        QTest::newRow("dark") << dark;
        QTest::newRow("default again") << QPalette();
        QTest::newRow("high contrast") << black;
    }
    void everyTextReads() {
        QFETCH(QPalette, look);
        if (look.resolveMask() != 0 && QApplication::style()->inherits("QWindowsVistaStyle")) {
            QSKIP("Windows' own style draws boxes in its theme, which a dark Windows changes");
        }
        QApplication::setPalette(look);
        QCoreApplication::processEvents();  // the window hears of it as of a desktop's change
        form_->findChild<QPushButton*>("Command2")->click();
        for (QWidget* control : form_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            const auto [text, back] = Drawn(control);
            const double contrast = Contrast(text, back);
            qInfo() << control->objectName() << text.name() << "on" << back.name() << contrast;
            QVERIFY2(contrast >= 4.5, qPrintable(control->objectName()));
            if (control->objectName() == "Label9") {  // else the nearest colour of its hue
                const QColor selection = QApplication::palette().color(QPalette::Highlight);
                const bool reads = Contrast(selection, back) >= 4.5;
                QCOMPARE(text == selection, reads);
                QVERIFY(qAbs(text.hslHue() - selection.hslHue()) <= 1 && (reads || contrast < 4.7));
            }
        }
    }

  private:
    Form1* form_ = nullptr;
};

QTEST_MAIN(Form1LayoutTest)
#include "form1_layout_test.moc"
