// Money, number text and future value: the numeric ground floor of the calculator.
//
// Plain standard C++: no toolkit, no I/O. Every rounding rule here decides where a goal
// search stops, so each function states its rule.
//
// The number rules stay as they are: a 32-bit whole-year count, text positions counted up to
// 32,767, 15 significant digits, exact halves rounded to even and money in four decimals. The
// result sentences depend on them, and people compare the figures they saved, to the cent, with
// the ones this calculator has always given.
#pragma once

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace engine {

// How the user's locale writes numbers, as UTF-8 text (a French locale groups with U+202F).
struct NumberFormat {
    std::string decimal = ".";
    std::string group = ",";
    // Zero to nine: figures are written with these (Arabic-Indic in Egypt). ASCII digits are
    // read in every locale besides them.
    std::array<std::string, 10> digits{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
    // How many digits the locale puts in the lowest group and in each group above it, where it
    // does not group in threes (India writes 2,80,544: 3 and 2). Text grouped either way reads;
    // figures are always written in threes.
    std::size_t lowestGroup = 3;
    std::size_t higherGroups = 3;
};

// "." and "," with ASCII digits, as the English and C locales write numbers; the default below,
// kept once rather than built anew on every call.
inline const NumberFormat kPlainNumbers{};

// The calculator's inputs, so that a failure can point at the box to fix.
enum class Input { Rate, CurrentAge, RetireAge, Monthly, StartBal };

// "Current Age", "Retirement Age", ... as the window's captions call them.
std::string_view InputName(Input input);

// Base of every failure of a calculation. `input()` is empty when the failing operation
// was called on its own rather than for one of the calculator's inputs.
class NumberError : public std::runtime_error {
  public:
    NumberError(const std::string& reason, std::string text, std::optional<Input> input);
    const std::string& text() const { return text_; }
    std::optional<Input> input() const { return input_; }
    const std::string& reason() const { return reason_; }

  private:
    std::string reason_;
    std::string text_;
    std::optional<Input> input_;
};

// The text is not a number.
class ConversionError : public NumberError {
  public:
    explicit ConversionError(std::string text, std::optional<Input> input = std::nullopt);
};

// A value does not fit its type, or a floating-point operation overflowed or was invalid.
class OverflowError : public NumberError {
  public:
    explicit OverflowError(std::string text, std::optional<Input> input = std::nullopt);
};

// Signed 64-bit fixed point with four decimals: every projected balance is one.
class Currency {
  public:
    static constexpr std::int64_t kUnitsPerDollar = 10'000;

    constexpr Currency() = default;
    static constexpr Currency FromUnits(std::int64_t units) { return Currency(units); }
    constexpr std::int64_t Units() const { return units_; }

    friend constexpr auto operator<=>(Currency, Currency) = default;
    // Exact: a Currency of 2,000,000.0000 equals the double 2e6, and 0.1 (binary, a little
    // above one tenth) is greater than a Currency of 0.1000.
    friend std::partial_ordering operator<=>(Currency value, double number);
    friend bool operator==(Currency value, double number);

  private:
    constexpr explicit Currency(std::int64_t units) : units_(units) {}
    std::int64_t units_ = 0;
};

// Reads a number in the user's locale: surrounding blanks, a leading sign, grouping
// separators within the whole part, one decimal separator and an exponent (1.5e3) are
// accepted. A separator groups only between digits and only where it groups: in threes after a
// first group of one to three digits, or in the locale's own pattern. Digits are ASCII or the
// locale's; the full-width forms of East Asian input methods read as their ASCII twins. Where
// the locale groups with a blank, a space, no-break space, thin space or narrow no-break space
// all group; where it groups with an apostrophe or the Arabic thousands separator, the
// typewriter apostrophe or the comma groups too. Throws
// ConversionError for anything else, OverflowError beyond the double range.
double TextToDouble(std::string_view text, const NumberFormat& format = kPlainNumbers);

// Nearest whole number, an exact half to the even neighbour; OverflowError outside 32 bits.
std::int32_t RoundToLong(double value);

// Times 10,000, then to the nearest unit, an exact half to the even neighbour.
std::optional<Currency> TryToCurrency(double value);
Currency ToCurrency(double value);  // OverflowError where TryToCurrency gives nothing

// Decimal digits with a leading "-" for negatives, no grouping.
std::string LongToText(std::int32_t value, const NumberFormat& format = kPlainNumbers);

// At most 15 significant digits, trailing zeros and a bare separator dropped, so that
// 0.07 * 100 reads 7. Beyond 15 integer digits or below 1e-4 the exponent form (1E+15).
std::string DoubleToText(double value, const NumberFormat& format = kPlainNumbers);

// "###,###,###,###.00": grouped whole dollars (none shown below one dollar) and two
// decimals, the third rounded half away from zero. No "-" on a value that shows as .00.
std::string FormatAmount(Currency value, const NumberFormat& format = kPlainNumbers);
// "###,###,###,###": rounded to whole dollars, half away from zero; zero shows as "".
std::string FormatAmount(double value, const NumberFormat& format = kPlainNumbers);

// Future value of equal payments; with g = (1 + rate)^nper:
//   rate != 0:  -(pv * g + pmt * (1 + rate * type) * (g - 1) / rate)
//   rate == 0:  -(pv + pmt * nper)
// Money paid in is negative. TryFV gives nothing where a step overflows or is invalid.
std::optional<double> TryFV(double rate, double nper, double pmt, double pv, int type);
double FV(double rate, double nper, double pmt, double pv, int type);  // OverflowError

}  // namespace engine
