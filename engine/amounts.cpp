#include "engine/amounts.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace engine {

namespace {

constexpr double kTwoTo63 = 9223372036854775808.0;
constexpr double kLowestLong = static_cast<double>(std::numeric_limits<std::int32_t>::min());
constexpr double kHighestLong = static_cast<double>(std::numeric_limits<std::int32_t>::max());
// Every Currency lies within this many dollars either side of zero.
constexpr double kCurrencyDollarBound = 1e15;
constexpr int kSignificantDigits = 15;
constexpr std::size_t kDigitsPerGroup = 3;
constexpr std::uint64_t kCentsPerDollar = 100;
constexpr std::uint64_t kUnitsPerCent =
    static_cast<std::uint64_t>(Currency::kUnitsPerDollar) / kCentsPerDollar;
// Far beyond every double's exponent; counting stops there so that it cannot overflow.
constexpr long long kExponentCap = 1'000'000'000;

// Blanks that group digits. Where the locale groups with one of them, people type whichever
// their keyboard gives, so there each of them is read as grouping.
constexpr std::array<std::string_view, 4> kGroupingBlanks{" ", "\u00a0", "\u2009", "\u202f"};

std::string Describe(std::optional<Input> input, std::string_view text, std::string_view reason) {
    std::string message;
    if (input) {
        message.append(InputName(*input)).append(": ");
    }
    message.append("\"").append(text).append("\" ").append(reason);
    return message;
}

double RoundHalfEven(double value) {
    const double below = std::floor(value);
    const double fraction = value - below;  // exact for every finite double
    if (fraction < 0.5) {
        return below;
    }
    if (fraction > 0.5) {
        return below + 1.0;
    }
    return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Groups the decimal digits of a whole number in threes from the right.
std::string Grouped(std::string_view digits, std::string_view separator) {
    std::string out;
    out.reserve(digits.size() + digits.size() / kDigitsPerGroup * separator.size());
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % kDigitsPerGroup == 0) {
            out.append(separator);
        }
        out.push_back(digits[i]);
    }
    return out;
}

// What TextToDouble accepts, rewritten for std::from_chars ("-1234.5e6"), plus the decimal
// magnitude needed to tell an overflow from an underflow when from_chars gives up.
struct CleanNumber {
    std::string text;
    long long magnitude = 0;  // roughly log10 of the value
};

// Takes `prefix` off the front of `rest` when it is there (and not empty).
bool SkipPrefix(std::string_view& rest, std::string_view prefix) {
    if (prefix.empty() || !rest.starts_with(prefix)) {
        return false;
    }
    rest.remove_prefix(prefix.size());
    return true;
}

bool IsGroupingBlank(std::string_view text) {
    return std::ranges::find(kGroupingBlanks, text) != kGroupingBlanks.end();
}

// Takes a grouping separator off `rest`: the locale's own or, where that is a blank (and the
// decimal separator is not), any grouping blank.
bool SkipGrouping(std::string_view& rest, const NumberFormat& format) {
    // A locale whose two separators coincide cannot be read unambiguously; read no grouping.
    if (format.group == format.decimal) {
        return false;
    }
    if (SkipPrefix(rest, format.group)) {
        return true;
    }
    if (!IsGroupingBlank(format.group) || IsGroupingBlank(format.decimal)) {
        return false;
    }
    for (const std::string_view blank : kGroupingBlanks) {
        if (SkipPrefix(rest, blank)) {
            return true;
        }
    }
    return false;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// Takes a leading sign off `rest`; only a "-" needs writing.
void ReadSign(std::string_view& rest, std::string& out) {
    if (rest.starts_with('-')) {
        out.push_back('-');
    }
    if (rest.starts_with('-') || rest.starts_with('+')) {
        rest.remove_prefix(1);
    }
}

// Roughly log10 of a number, from where its first significant digit stands.
class Magnitude {
  public:
    void Count(char digit, bool inFraction) {
        significant_ = significant_ || digit != '0';
        if (significant_ && !inFraction) {
            ++wholeDigits_;
        }
        if (!significant_ && inFraction) {
            ++fractionZeros_;
        }
    }
    long long Value() const { return wholeDigits_ > 0 ? wholeDigits_ : -fractionZeros_; }

  private:
    bool significant_ = false;
    long long wholeDigits_ = 0;    // significant digits before the separator
    long long fractionZeros_ = 0;  // zeros after the separator before the first significant one
};

// Takes the digits with their grouping and decimal separator off `rest`, writing the digits and
// a "." for the separator. Gives the digits' magnitude, or nothing when there is no digit.
std::optional<long long> ReadDigits(std::string_view& rest, const NumberFormat& format,
                                    std::string& out) {
    Magnitude magnitude;
    bool anyDigit = false;
    bool inFraction = false;
    while (!rest.empty()) {
        if (IsDigit(rest.front())) {
            magnitude.Count(rest.front(), inFraction);
            out.push_back(rest.front());
            anyDigit = true;
            rest.remove_prefix(1);
        } else if (!inFraction && anyDigit && SkipGrouping(rest, format)) {
            continue;  // grouping only guides the eye
        } else if (!inFraction && SkipPrefix(rest, format.decimal)) {
            out.push_back('.');
            inFraction = true;
        } else {
            break;
        }
    }
    return anyDigit ? std::optional(magnitude.Value()) : std::nullopt;
}

// Takes an exponent ("e-5") off `rest`, writing it as from_chars reads it. Gives its value, 0
// when there is none, and nothing when its "e" has no digits.
std::optional<long long> ReadExponent(std::string_view& rest, std::string& out) {
    if (!rest.starts_with('e') && !rest.starts_with('E')) {
        return 0;
    }
    out.push_back('e');
    rest.remove_prefix(1);
    const bool negative = rest.starts_with('-');
    if (rest.starts_with('+') || negative) {
        out.push_back(rest.front());
        rest.remove_prefix(1);
    }
    const std::size_t digitsStart = out.size();
    long long exponent = 0;
    for (; !rest.empty() && IsDigit(rest.front()); rest.remove_prefix(1)) {
        if (exponent < kExponentCap) {
            exponent = exponent * 10 + (rest.front() - '0');
        }
        out.push_back(rest.front());
    }
    if (out.size() == digitsStart) {
        return std::nullopt;
    }
    return negative ? -exponent : exponent;
}

std::optional<CleanNumber> Clean(std::string_view text, const NumberFormat& format) {
    std::string_view rest = TrimBlanks(text);
    CleanNumber clean;
    ReadSign(rest, clean.text);
    const std::optional<long long> digits = ReadDigits(rest, format, clean.text);
    if (!digits) {
        return std::nullopt;
    }
    const std::optional<long long> exponent = ReadExponent(rest, clean.text);
    if (!exponent || !rest.empty()) {
        return std::nullopt;
    }
    clean.magnitude = *digits + *exponent;
    return clean;
}

}  // namespace

std::string_view InputName(Input input) {
    switch (input) {
        case Input::Rate:
            return "Expected Interest Rate";
        case Input::CurrentAge:
            return "Current Age";
        case Input::RetireAge:
            return "Retirement Age";
        case Input::Monthly:
            return "Monthly Contribution";
        case Input::StartBal:
            return "Starting Balance";
    }
    return "Input";
}

NumberError::NumberError(const std::string& reason, std::string text, std::optional<Input> input)
    : std::runtime_error(Describe(input, text, reason)),
      reason_(reason),
      text_(std::move(text)),
      input_(input) {}

ConversionError::ConversionError(std::string text, std::optional<Input> input)
    : NumberError("is not a number.", std::move(text), input) {}

OverflowError::OverflowError(std::string text, std::optional<Input> input)
    : NumberError("is too large to calculate with.", std::move(text), input) {}

std::partial_ordering operator<=>(Currency value, double number) {
    if (std::isnan(number)) {
        return std::partial_ordering::unordered;
    }
    if (number >= kCurrencyDollarBound) {
        return std::partial_ordering::less;
    }
    if (number <= -kCurrencyDollarBound) {
        return std::partial_ordering::greater;
    }
    const double wholeNumber = std::floor(number);
    const auto numberDollars = static_cast<std::int64_t>(wholeNumber);
    std::int64_t dollars = value.Units() / Currency::kUnitsPerDollar;
    std::int64_t units = value.Units() % Currency::kUnitsPerDollar;
    if (units < 0) {
        dollars -= 1;
        units += Currency::kUnitsPerDollar;
    }
    if (dollars != numberDollars) {
        return dollars <=> numberDollars;
    }
    // fma rounds once, so the sign of (fraction * 10000 - units) is the exact one.
    const double gap = std::fma(number - wholeNumber, double(Currency::kUnitsPerDollar),
                                -static_cast<double>(units));
    return 0.0 <=> gap;
}

bool operator==(Currency value, double number) {
    return (value <=> number) == 0;
}

double TextToDouble(std::string_view text, const NumberFormat& format) {
    const std::optional<CleanNumber> clean = Clean(text, format);
    if (!clean) {
        throw ConversionError(std::string(text));
    }
    double value = 0;
    const char* begin = clean->text.data();
    const char* end = begin + clean->text.size();
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (error == std::errc::result_out_of_range) {
        if (clean->magnitude > 0) {
            throw OverflowError(std::string(text));
        }
        return clean->text.front() == '-' ? -0.0 : 0.0;  // too small to tell from zero
    }
    if (error != std::errc{} || stop != end) {
        throw ConversionError(std::string(text));
    }
    return value;
}

std::int32_t RoundToLong(double value) {
    const double rounded = RoundHalfEven(value);
    if (!(rounded >= kLowestLong && rounded <= kHighestLong)) {
        throw OverflowError(DoubleToText(value));
    }
    return static_cast<std::int32_t>(rounded);
}

std::optional<Currency> TryToCurrency(double value) {
    const double units = RoundHalfEven(value * double(Currency::kUnitsPerDollar));
    if (!(units >= -kTwoTo63 && units < kTwoTo63)) {
        return std::nullopt;
    }
    return Currency::FromUnits(static_cast<std::int64_t>(units));
}

Currency ToCurrency(double value) {
    if (const std::optional<Currency> money = TryToCurrency(value)) {
        return *money;
    }
    throw OverflowError(std::isfinite(value) ? DoubleToText(value) : std::string("non-finite"));
}

std::string LongToText(std::int32_t value) {
    return std::to_string(value);
}

std::string DoubleToText(double value, const NumberFormat& format) {
    if (!std::isfinite(value)) {
        throw OverflowError(std::isnan(value) ? "NaN" : "infinity");
    }
    if (value == 0.0) {
        return "0";  // never "-0"
    }
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::general, kSignificantDigits);
    std::string out;
    for (const char* p = buffer.data(); p != result.ptr; ++p) {
        if (*p == '.') {
            out.append(format.decimal);
        } else {
            out.push_back(*p == 'e' ? 'E' : *p);
        }
    }
    return out;
}

std::string FormatAmount(Currency value, const NumberFormat& format) {
    const bool negative = value.Units() < 0;
    // Magnitude in unsigned arithmetic: the most negative Currency has no positive twin.
    const std::uint64_t units = negative ? 0 - static_cast<std::uint64_t>(value.Units())
                                         : static_cast<std::uint64_t>(value.Units());
    const std::uint64_t cents = (units + kUnitsPerCent / 2) / kUnitsPerCent;
    const std::uint64_t dollars = cents / kCentsPerDollar;
    const std::uint64_t remainder = cents % kCentsPerDollar;
    std::string out;
    if (negative && cents != 0) {
        out.push_back('-');
    }
    if (dollars != 0) {
        out.append(Grouped(std::to_string(dollars), format.group));
    }
    out.append(format.decimal);
    out.push_back(static_cast<char>('0' + remainder / 10));
    out.push_back(static_cast<char>('0' + remainder % 10));
    return out;
}

std::string FormatAmount(double value, const NumberFormat& format) {
    if (!std::isfinite(value)) {
        throw OverflowError(std::isnan(value) ? "NaN" : "infinity");
    }
    const double rounded = std::round(value);
    if (rounded == 0.0) {
        return "";
    }
    std::array<char, 400> buffer{};  // the largest double has 309 whole digits
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                      std::fabs(rounded), std::chars_format::fixed, 0);
    const std::string digits = Grouped(std::string_view(buffer.data(), result.ptr), format.group);
    return rounded < 0 ? "-" + digits : digits;
}

std::optional<double> TryFV(double rate, double nper, double pmt, double pv, int type) {
    double value = 0;
    if (rate == 0) {
        value = -(pv + pmt * nper);
    } else {
        const double growth = std::pow(1.0 + rate, nper);
        value = -(pv * growth + pmt * (1.0 + rate * type) * (growth - 1.0) / rate);
    }
    // An overflow or invalid step anywhere above leaves an infinity or a NaN here.
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

double FV(double rate, double nper, double pmt, double pv, int type) {
    if (const std::optional<double> value = TryFV(rate, nper, pmt, pv, type)) {
        return *value;
    }
    throw OverflowError("FV(" + DoubleToText(rate) + ", " + DoubleToText(nper) + ", " +
                        DoubleToText(pmt) + ", " + DoubleToText(pv) + ", " + std::to_string(type) +
                        ")");
}

}  // namespace engine
