#include "window/accessibility.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>

#include "window/click_label.h"
#include "window/form1.h"

namespace {

// Screen readers meet the web link as a link they can follow.
class AccessibleLink : public QAccessibleWidget {
  public:
    explicit AccessibleLink(ClickLabel* link) : QAccessibleWidget(link, QAccessible::Link) {}

    QString text(QAccessible::Text kind) const override {
        return kind == QAccessible::Name ? Link()->text() : QAccessibleWidget::text(kind);
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

// A result line is read as the sentence it shows. Screen readers speak a notification when it
// is shown, and ignore a label's new name: so each line is a notification, shown anew by
// AnnounceResult whenever it takes a new sentence.
class AccessibleResult : public QAccessibleWidget {
  public:
    explicit AccessibleResult(QLabel* line) : QAccessibleWidget(line, QAccessible::Notification) {}

    QString text(QAccessible::Text kind) const override {
        return kind == QAccessible::Name ? static_cast<QLabel*>(widget())->text()
                                         : QAccessibleWidget::text(kind);
    }
};

// The rate list as Qt's own combo box interface gives it (the list and the text part as its
// children, the list opened by its action), but named by its caption like every other input, with
// the rate as its value: Qt names an editable combo by its text on Linux.
class AccessibleCombo : public QAccessibleWidget {
  public:
    explicit AccessibleCombo(QComboBox* combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}

    QString text(QAccessible::Text kind) const override {
        return kind == QAccessible::Value ? Combo()->currentText() : QAccessibleWidget::text(kind);
    }
    int childCount() const override { return 2; }  // the list, then the text part
    QAccessibleInterface* child(int index) const override {
        if (index == 0) {
            return QAccessible::queryAccessibleInterface(Combo()->view());
        }
        return index == 1 ? QAccessible::queryAccessibleInterface(Combo()->lineEdit()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child->object() == Combo()->view()       ? 0
               : child->object() == Combo()->lineEdit() ? 1
                                                        : -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const QRect text(Combo()->lineEdit()->mapToGlobal(QPoint(0, 0)),
                         Combo()->lineEdit()->size());
        return text.contains(x, y) ? child(1) : nullptr;
    }
    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString& action) override {
        if (actionNames().contains(action)) {
            Combo()->view()->isVisible() ? Combo()->hidePopup() : Combo()->showPopup();
        }
    }

  private:
    QComboBox* Combo() const { return static_cast<QComboBox*>(widget()); }
};

// A box's text as Qt gives it, but in one attribute run: Qt's own reports an empty run at each
// character, and screen readers that build the value from the runs lose its last character.
class AccessibleBox : public QAccessibleWidget,
                      public QAccessibleTextInterface,
                      public QAccessibleEditableTextInterface {
  public:
    explicit AccessibleBox(QLineEdit* box) : QAccessibleWidget(box, QAccessible::EditableText) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        switch (type) {
            case QAccessible::TextInterface:
                return static_cast<QAccessibleTextInterface*>(this);
            case QAccessible::EditableTextInterface:
                return static_cast<QAccessibleEditableTextInterface*>(this);
            default:
                return QAccessibleWidget::interface_cast(type);
        }
    }
    QString text(QAccessible::Text kind) const override {
        return kind == QAccessible::Value ? Shown() : QAccessibleWidget::text(kind);
    }
    QAccessible::State state() const override {
        QAccessible::State boxState = QAccessibleWidget::state();
        boxState.editable = !Box()->isReadOnly();
        boxState.readOnly = Box()->isReadOnly();
        boxState.selectableText = true;
        return boxState;
    }

    QString attributes(int, int* startOffset, int* endOffset) const override {
        *startOffset = 0;
        *endOffset = characterCount();
        return {};
    }
    QString text(int startOffset, int endOffset) const override {
        return Shown().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return static_cast<int>(Shown().size()); }
    int cursorPosition() const override { return Box()->cursorPosition(); }
    void setCursorPosition(int position) override { Box()->setCursorPosition(position); }
    int selectionCount() const override { return Box()->hasSelectedText() ? 1 : 0; }
    void selection(int index, int* startOffset, int* endOffset) const override {
        *startOffset = *endOffset = 0;
        if (index == 0 && Box()->hasSelectedText()) {
            *startOffset = Box()->selectionStart();
            *endOffset = Box()->selectionEnd();
        }
    }
    void addSelection(int startOffset, int endOffset) override {
        setSelection(0, startOffset, endOffset);
    }
    void setSelection(int, int startOffset, int endOffset) override {
        Box()->setSelection(startOffset, endOffset - startOffset);
    }
    void removeSelection(int) override { Box()->deselect(); }
    // Measured from the text cursor, the one place whose position Qt tells.
    QRect characterRect(int offset) const override {
        const QString shown = Shown();
        if (offset < 0 || offset >= shown.size()) {
            return {};
        }
        const QFontMetrics metrics(Box()->font());
        const QRect cursor = Box()->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        const int x = cursor.center().x() + metrics.horizontalAdvance(shown.left(offset)) -
                      metrics.horizontalAdvance(shown.left(Box()->cursorPosition()));
        const QRect character(x, cursor.top(), metrics.horizontalAdvance(shown.mid(offset, 1)),
                              cursor.height());
        return character.translated(Box()->mapToGlobal(QPoint(0, 0)));
    }
    int offsetAtPoint(const QPoint& point) const override {
        return Box()->cursorPositionAt(Box()->mapFromGlobal(point));
    }
    void scrollToSubstring(int, int endIndex) override { Box()->setCursorPosition(endIndex); }

    void deleteText(int startOffset, int endOffset) override {
        replaceText(startOffset, endOffset, {});
    }
    void insertText(int offset, const QString& text) override { replaceText(offset, offset, text); }
    void replaceText(int startOffset, int endOffset, const QString& text) override {
        Box()->setText(Box()->text().replace(startOffset, endOffset - startOffset, text));
    }

  private:
    QLineEdit* Box() const { return static_cast<QLineEdit*>(widget()); }
    // What the box shows: its text, or the dots of a password.
    QString Shown() const { return Box()->displayText(); }
};

// The hidden label that carries a control's news to screen readers.
constexpr char kNewsName[] = "news";

// Known by name: a result line or a control's news starts empty, so nothing asks for its
// interface before the window names it.
bool IsAnnounced(const QObject* object) {
    return object->objectName().startsWith(QLatin1String("labelResult")) ||
           object->objectName() == QLatin1String(kNewsName);
}

QAccessibleInterface* CreateAccessible(const QString& className, QObject* object) {
    const auto is = [&className](const QMetaObject& kind) {
        return className == QLatin1String(kind.className());
    };
    if (is(Form1::staticMetaObject)) {
        // A frame, as screen readers expect of a window: they speak its title on request.
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    }
    if (is(ClickLabel::staticMetaObject)) {
        return new AccessibleLink(static_cast<ClickLabel*>(object));
    }
    if (is(QComboBox::staticMetaObject)) {
        return new AccessibleCombo(static_cast<QComboBox*>(object));
    }
    if (is(QLineEdit::staticMetaObject)) {
        return new AccessibleBox(static_cast<QLineEdit*>(object));
    }
    if (is(QLabel::staticMetaObject) && IsAnnounced(object)) {
        return new AccessibleResult(static_cast<QLabel*>(object));
    }
    return nullptr;
}

}  // namespace

void InstallAccessibleInterfaces() {
    QAccessible::installFactory(CreateAccessible);  // once: Qt ignores a factory it has already
}

void AnnounceResult(QLabel* line) {
    QAccessibleEvent shown(line, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}

void Announce(QWidget* control, const QString& psText) {
    auto* news = control->findChild<QLabel*>(QLatin1String(kNewsName));
    if (news == nullptr) {
        news = new QLabel(control);  // made after the control is shown, it stays hidden
        news->setObjectName(QLatin1String(kNewsName));
    }
    news->setText(psText);
    AnnounceResult(news);
}
