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
#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

namespace engine {

// How the user's locale writes numbers, as UTF-8 text (a French locale groups with U+202F).
struct NumberFormat {
    std::string decimal = ".";
    std::string group = ",";
    // Zero to nine, ten consecutive characters: figures are written with these (Arabic-Indic
    // in Egypt). ASCII digits are read in every locale besides them.
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

// Why a calculation failed: a text that is not a number, or a value beyond its type's range
// (a floating-point operation that overflowed or was invalid, as in FV, among them).
enum class Failure { NotANumber, TooLarge };

// Thrown by the operations below. They give only the kind of failure: which input it came from,
// and the words a user reads, are for their callers to add.
class NumberError : public std::exception {
  public:
    explicit NumberError(Failure failure) : failure_(failure) {}
    Failure failure() const { return failure_; }

  private:
    Failure failure_;
};

// Signed 64-bit fixed point with four decimals: every projected balance is one.
class Currency {
  public:
    static constexpr std::int64_t kUnitsPerDollar = 10'000;

    constexpr Currency() = default;
    static constexpr Currency FromUnits(std::int64_t units) { return Currency(units); }
    constexpr std::int64_t Units() const { return units_; }

    friend constexpr auto operator<=>(Currency, Currency) = default;

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
// typewriter apostrophe or the comma groups too; where its decimal separator is the Arabic
// one, the full stop separates too. The minus sign U+2212 reads as "-", and the direction marks
// U+200E, U+200F and U+061C beside the sign are passed over. Fails as NotANumber for anything
// else, as TooLarge beyond the double range.
double TextToDouble(std::string_view text, const NumberFormat& format = kPlainNumbers);

// Nearest whole number, an exact half to the even neighbour; TooLarge outside 32 bits.
std::int32_t RoundToLong(double value);

// Times 10,000, then to the nearest unit, an exact half to the even neighbour.
std::optional<Currency> TryToCurrency(double value);
Currency ToCurrency(double value);  // TooLarge where TryToCurrency gives nothing

// Decimal digits with a leading "-" for negatives, no grouping.
std::string LongToText(std::int32_t value, const NumberFormat& format = kPlainNumbers);

// At most 15 significant digits, trailing zeros and a bare separator dropped, so that
// 0.07 * 100 reads 7. Beyond 15 integer digits or below 1e-4 the exponent form (1E+15).
std::string DoubleToText(double value, const NumberFormat& format = kPlainNumbers);

// "###,###,###,###.00": grouped whole dollars (none shown below one dollar) and two
// decimals, the third rounded half away from zero. No "-" on a value that shows as .00.
std::string FormatAmount(Currency value, const NumberFormat& format = kPlainNumbers);
// "###,###,###,###": rounded to whole dollars, half away from zero; zero shows as "".
std::string FormatWholeAmount(double value, const NumberFormat& format = kPlainNumbers);

// Future value of equal payments; with g = (1 + rate)^nper:
//   rate != 0:  -(pv * g + pmt * (1 + rate * type) * (g - 1) / rate)
//   rate == 0:  -(pv + pmt * nper)
// Money paid in is negative. TryFV gives nothing where a step overflows or is invalid.
std::optional<double> TryFV(double rate, double nper, double pmt, double pv, int type);
double FV(double rate, double nper, double pmt, double pv, int type);  // TooLarge

}  // namespace engine
