#include <QComboBox>
#include <QDesktopServices>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include <algorithm>

#include "engine/projection.h"
#include "storage/start_balance_file.h"
#include "window/accessibility.h"
#include "window/click_label.h"
#include "window/form1.h"
#include "window/locale_number_format.h"
#include "window/save_failure_text.h"

namespace {

// The rate list: whole percents, lowest first.
constexpr int kLowestRate = 5;
constexpr int kHighestRate = 20;

// A combo's index when none of its items is selected.
constexpr int kNoItem = -1;

// The first result line grows to this size with its first result, and keeps it.
constexpr int kResultPoints = 12;

// A message quotes the start of a bad text, enough to find it in its box. Longer lines (a deep
// folder's path) lose their middle, so that the message always fits the screen.
constexpr qsizetype kQuotedLength = 40;
constexpr qsizetype kLongestMessageLine = 200;

// At most `length` characters of psText, with "…" for what is left out at the end or in the
// middle; a character made of two UTF-16 units is never split.
QString Shortened(const QString& psText, qsizetype length, Qt::TextElideMode mode) {
    if (psText.size() <= length) {
        return psText;
    }
    qsizetype head = mode == Qt::ElideMiddle ? length / 2 : length;
    qsizetype tail = length - head;
    if (psText.at(head - 1).isHighSurrogate()) {
        --head;
    }
    if (tail > 0 && psText.at(psText.size() - tail).isLowSurrogate()) {
        --tail;
    }
    return psText.left(head) + QChar(0x2026) + psText.right(tail);
}

// Typed text inside a first-strong isolate, so that direction marks in it (a right-to-left
// override) cannot reorder the words around it. Isolates it opens are closed, and closings it
// has no opening for are dropped: they would end this isolate early.
QString Isolated(const QString& psText) {
    constexpr char16_t kLeftToRightIsolate = 0x2066;
    constexpr char16_t kFirstStrongIsolate = 0x2068;
    constexpr char16_t kPopIsolate = 0x2069;
    QString isolated(QChar{kFirstStrongIsolate});
    qsizetype open = 0;
    for (const QChar c : psText) {
        if (c.unicode() >= kLeftToRightIsolate && c.unicode() <= kFirstStrongIsolate) {
            ++open;
        } else if (c.unicode() == kPopIsolate) {
            if (open == 0) {
                continue;
            }
            --open;
        }
        isolated += c;
    }
    return isolated + QString(open + 1, QChar{kPopIsolate});
}

QString FitForScreen(const QString& psText) {
    QStringList lines = psText.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        line = Shortened(line, kLongestMessageLine, Qt::ElideMiddle);
    }
    return lines.join(QLatin1Char('\n'));
}

// The engine reads UTF-8, which cannot hold half a character (a lone surrogate, as a broken
// paste can leave). The half goes in by its code, as the save's message names it, so that a
// message quoting the text shows that rather than a "?".
std::string ToEngine(const QString& text) {
    QString named;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            named += c;
            named += text.at(++i);
        } else if (c.isSurrogate()) {
            named += CodePointName(c.unicode());
        } else {
            named += c;
        }
    }
    return named.toStdString();
}

QString FromEngine(const std::string& text) {
    return QString::fromStdString(text);
}

// Each input of the calculation: the box it is typed in and the caption a message names it by.
struct InputBox {
    engine::Input input;
    const char* box;  // its objectName
    const char* caption;
};
constexpr InputBox kInputBoxes[] = {
    {engine::Input::Rate, "comboRate", QT_TRANSLATE_NOOP("Form1", "Expected Interest Rate")},
    {engine::Input::CurrentAge, "inCurrentAge", QT_TRANSLATE_NOOP("Form1", "Current Age")},
    {engine::Input::RetireAge, "inRetireAge", QT_TRANSLATE_NOOP("Form1", "Retirement Age")},
    {engine::Input::Monthly, "inPayment", QT_TRANSLATE_NOOP("Form1", "Monthly Contribution")},
    {engine::Input::StartBal, "inStartBal", QT_TRANSLATE_NOOP("Form1", "Starting Balance")},
};

const InputBox& RowFor(engine::Input input) {
    return *std::ranges::find(kInputBoxes, input, &InputBox::input);
}

QString Caption(engine::Input input) {
    return Form1::tr(RowFor(input).caption);
}

// Where Cancel saves the starting balance, as the user finds it.
QString SavedFileName() {
    const auto path = storage::StartBalanceFilePath();
    return path ? ShownFileName(*path) : Form1::tr("file1.txt in your home folder");
}

QString Reason(engine::Failure failure) {
    return failure == engine::Failure::NotANumber ? Form1::tr("is not a number.")
                                                  : Form1::tr("is too large to calculate with.");
}

}  // namespace

void Form1::SetMessageHook(MessageHook hook) {
    messageHook_ = std::move(hook);
}

void Form1::ConnectEvents() {
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Label9, &ClickLabel::clicked, this, &Form1::Label9_Click);
    // Enter in a box calculates, as whoever types the last figure and presses it expects; Alt
    // with a letter types nothing there (eventFilter).
    for (QLineEdit* box :
         {inCurrentAge, inRetireAge, inStartBal, comboRate->lineEdit(), inPayment}) {
        connect(box, &QLineEdit::returnPressed, Command2, &QPushButton::click);
        box->installEventFilter(this);
    }

    // Only a pick from the list selects a rate. Qt would otherwise complete typed text and
    // select a matching item when editing ends; the rate must then stay unselected.
    comboRate->setCompleter(nullptr);
    QObject::disconnect(comboRate->lineEdit(), SIGNAL(editingFinished()), comboRate, nullptr);
    connect(comboRate->lineEdit(), &QLineEdit::textEdited, this, &Form1::comboRate_Change);
}

bool Form1::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::ApplicationPaletteChange) {
        FollowDesktopColours();
    } else if (event->type() == QEvent::FontChange) {  // the desktop's font, the window's
        FitButtonCaptions();
    }
    return handled;
}

// Alt with a key is a command, never text, though a box would type the key's letter. AltGr, which
// types (and reaches Windows programs as Ctrl+Alt), passes.
bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const auto modifiers = key->modifiers() & (Qt::AltModifier | Qt::ControlModifier);
        if (modifiers == Qt::AltModifier && !key->text().isEmpty()) {
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::Form_Load() {
    const engine::NumberFormat format = UsersNumberFormat();
    for (int rate = kLowestRate; rate <= kHighestRate; ++rate) {
        comboRate->addItem(FromEngine(engine::LongToText(rate, format)) + QLatin1Char('%'));
    }
    comboRate->setEditText(comboRate->itemText(0));
    // Cancel saves rather than cancels: its tooltip, and what screen readers say of it, tell where.
    const QString saves = tr("Saves the starting balance to %1").arg(SavedFileName());
    Command1->setToolTip(saves);
    Command1->setAccessibleDescription(saves);
}

void Form1::comboRate_Change() {
    const int picked = comboRate->currentIndex();
    if (picked == kNoItem) {
        return;
    }
    // The first edit after a pick unselects the rate. QComboBox then empties the text part, and
    // with it the undo history, so the edit is made again on the picked item for Ctrl+Z to take
    // back.
    QLineEdit* edit = comboRate->lineEdit();
    const QString typed = edit->text();
    const int cursor = edit->cursorPosition();
    const QString before = comboRate->itemText(picked);
    comboRate->setCurrentIndex(kNoItem);
    edit->setText(before);
    qsizetype head = 0;
    while (head < before.size() && head < typed.size() && before[head] == typed[head]) {
        ++head;
    }
    qsizetype tail = 0;
    while (tail < before.size() - head && tail < typed.size() - head &&
           before[before.size() - 1 - tail] == typed[typed.size() - 1 - tail]) {
        ++tail;
    }
    edit->setSelection(static_cast<int>(head), static_cast<int>(before.size() - head - tail));
    edit->insert(typed.mid(head, typed.size() - head - tail));
    edit->setCursorPosition(cursor);
}

void Form1::Command2_Click() {
    const int selected = comboRate->currentIndex();
    engine::NestEggInputs inputs;
    inputs.rateItem = ToEngine(comboRate->itemText(selected == kNoItem ? 0 : selected));
    inputs.currentAge = ToEngine(inCurrentAge->text());
    inputs.retireAge = ToEngine(inRetireAge->text());
    inputs.monthly = ToEngine(inPayment->text());
    inputs.startBal = ToEngine(inStartBal->text());

    engine::NestEggResult result;
    try {
        result = engine::ProjectNestEgg(inputs, UsersNumberFormat());
    } catch (const engine::ProjectionError& error) {
        ReportCalculationFailure(error);
        return;
    }

    QFont font = labelResult1->font();
    font.setPointSize(kResultPoints);
    labelResult1->setFont(font);
    labelResult1->setText(FromEngine(result.projectionText));
    AnnounceResult(labelResult1);
    Label7->setText(FromEngine(result.headingText));
    labelResult2->setText(FromEngine(result.goalText));
    AnnounceResult(labelResult2);
    if (result.hasScenario) {
        labelResult3->setText(FromEngine(result.scenarioText));
        AnnounceResult(labelResult3);
    }
}

void Form1::Command1_Click() {
    SaveStartBal();
}

void Form1::Label9_Click() {
    QDesktopServices::openUrl(QUrl(QStringLiteral("http://") + Label9->text() + QLatin1Char('/')));
}

void Form1::SaveStartBal() {
    if (const auto saved = storage::SaveStartBalance(inStartBal->text()); !saved) {
        ShowMessage(
            tr("The starting balance could not be saved to %1.\n\n%2")
                .arg(ShownFileName(saved.failure().file), SaveFailureReason(saved.failure())));
    } else {
        Announce(Command1, tr("Starting balance saved to %1.").arg(SavedFileName()));
    }
}

void Form1::ReportCalculationFailure(const engine::ProjectionError& error) {
    const QString quoted =
        Isolated(Shortened(FromEngine(error.text()), kQuotedLength, Qt::ElideRight));
    if (const std::optional<std::int32_t> span = error.spanYears()) {
        ShowMessage(
            tr("Please check the %1 and %2 boxes: a span of %3 years from \"%4\" to "
               "\"%5\" is too long to calculate with.\n\nCorrect them and press Calculate "
               "again.")
                .arg(Caption(engine::Input::CurrentAge), Caption(engine::Input::RetireAge),
                     FromEngine(engine::LongToText(*span, UsersNumberFormat())),
                     Isolated(Shortened(inCurrentAge->text(), kQuotedLength, Qt::ElideRight)),
                     quoted));
    } else {
        ShowMessage(
            tr("Please check the %1 box: \"%2\" %3\n\nCorrect it and press Calculate again.")
                .arg(Caption(error.input()), quoted, Reason(error.failure())));
    }

    QWidget* box = BoxFor(error.input());
    box->setFocus(Qt::OtherFocusReason);
    if (auto* combo = qobject_cast<QComboBox*>(box)) {
        combo->lineEdit()->selectAll();
    } else if (auto* edit = qobject_cast<QLineEdit*>(box)) {
        edit->selectAll();
    }
}

QWidget* Form1::BoxFor(engine::Input input) const {
    return findChild<QWidget*>(QLatin1String(RowFor(input).box));
}

void Form1::ShowMessage(const QString& psText) {
    const QString text = FitForScreen(psText);
    if (messageHook_) {
        messageHook_(this, windowTitle(), text);
        return;
    }
    // Messages quote typed text and file paths: never read them as markup.
    QMessageBox box(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}
