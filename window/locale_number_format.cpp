#include "window/locale_number_format.h"

#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

namespace {

// Long enough to show every group size a locale uses.
constexpr qlonglong kManyDigits = 1'234'567'890'123;

std::size_t CharacterCount(const QString& text) {
    return static_cast<std::size_t>(text.toUcs4().size());
}

}  // namespace

engine::NumberFormat UsersNumberFormat() {
    const QLocale locale = QLocale::system();
    engine::NumberFormat format;
    format.decimal = locale.decimalPoint().toStdString();
    format.group = locale.groupSeparator().toStdString();
    const QList<uint> zero = locale.zeroDigit().toUcs4();
    if (zero.size() == 1) {
        for (std::size_t i = 0; i < format.digits.size(); ++i) {
            const auto digit = static_cast<char32_t>(zero.front() + i);
            format.digits[i] = QString::fromUcs4(&digit, 1).toStdString();
        }
    }
    // Qt keeps its group sizes to itself; they show in how it writes a long number.
    if (!locale.groupSeparator().isEmpty()) {
        const QStringList groups = locale.toString(kManyDigits).split(locale.groupSeparator());
        if (groups.size() > 2) {
            format.lowestGroup = CharacterCount(groups.at(groups.size() - 1));
            format.higherGroups = CharacterCount(groups.at(groups.size() - 2));
        }
    }
    return format;
}
