#include "engine/amounts.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <span>
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

// Marks that group digits alike. Where the locale groups with one of them, people type
// whichever their keyboard gives, so there each of them is read as grouping: the blanks, one of
// which groups in French; the apostrophes, as Swiss German groups with "’" where keyboards give
// "'"; the commas, as Arabic groups with "٬", which keyboards lack.
constexpr std::array<std::string_view, 4> kGroupingBlanks{" ", "\u00a0", "\u2009", "\u202f"};
constexpr std::array<std::string_view, 2> kGroupingApostrophes{"'", "\u2019"};
constexpr std::array<std::string_view, 2> kGroupingCommas{",", "\u066c"};

// East Asian input methods type full-width forms, U+FF01 to U+FF5E, each the ASCII character
// 0xFEE0 below it ("４０，０００"), and the ideographic space U+3000.
constexpr char32_t kFirstFullWidth = 0xFF01;
constexpr char32_t kLastFullWidth = 0xFF5E;
constexpr char32_t kFullWidthOffset = 0xFEE0;
constexpr std::string_view kIdeographicSpace = "\u3000";

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

// Appends an ASCII digit as the locale writes it.
void AppendDigit(std::string& out, char digit, const NumberFormat& format) {
    const std::string& written = format.digits[static_cast<std::size_t>(digit - '0')];
    if (written.size() == 1) {
        out.push_back(written.front());  // the common case, and a good deal faster
    } else {
        out.append(written);
    }
}

// ASCII text with its digits as the locale writes them.
std::string InLocaleDigits(std::string_view text, const NumberFormat& format) {
    std::string out;
    out.reserve(text.size() * format.digits.front().size());
    for (const char c : text) {
        if (IsDigit(c)) {
            AppendDigit(out, c, format);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// Groups the decimal digits of a whole number in threes from the right, in the locale's digits.
std::string Grouped(std::string_view digits, const NumberFormat& format) {
    std::string out;
    out.reserve(digits.size() * format.digits.front().size() +
                digits.size() / kDigitsPerGroup * format.group.size());
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % kDigitsPerGroup == 0) {
            out.append(format.group);
        }
        AppendDigit(out, digits[i], format);
    }
    return out;
}

// The full-width form at the start of `text` (three UTF-8 bytes) as its ASCII twin.
std::optional<char> FullWidthAsAscii(std::string_view text) {
    if (text.starts_with(kIdeographicSpace)) {
        return ' ';
    }
    constexpr unsigned kThreeByteLead = 0xEF;  // U+F000 to U+FFFF
    constexpr unsigned kTailMask = 0xC0;
    constexpr unsigned kTailBits = 0x80;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    if (text.size() < 3 || byte(0) != kThreeByteLead || (byte(1) & kTailMask) != kTailBits ||
        (byte(2) & kTailMask) != kTailBits) {
        return std::nullopt;
    }
    const char32_t code =
        0xF000 | char32_t(byte(1) & ~kTailMask) << 6 | char32_t(byte(2) & ~kTailMask);
    if (code < kFirstFullWidth || code > kLastFullWidth) {
        return std::nullopt;
    }
    return static_cast<char>(code - kFullWidthOffset);
}

// The text with the locale's digits and full-width forms written as ASCII, so that the reading
// below knows one set of digits. Everything else is kept as it is.
std::string Folded(std::string_view text, const NumberFormat& format) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const auto digit = std::ranges::find_if(
            format.digits, [&](const std::string& d) { return !d.empty() && text.starts_with(d); });
        if (digit != format.digits.end()) {
            out.push_back(static_cast<char>('0' + (digit - format.digits.begin())));
            text.remove_prefix(digit->size());
        } else if (const std::optional<char> ascii = FullWidthAsAscii(text)) {
            out.push_back(*ascii);
            text.remove_prefix(ascii == ' ' ? kIdeographicSpace.size() : 3);
        } else {
            out.push_back(text.front());
            text.remove_prefix(1);
        }
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

// Takes a mark of `alike` off `rest` where the locale groups with one of them (and does not
// also use one as its decimal separator).
bool SkipAlike(std::string_view& rest, const NumberFormat& format,
               std::span<const std::string_view> alike) {
    const auto isAlike = [&](std::string_view text) {
        return std::ranges::find(alike, text) != alike.end();
    };
    if (!isAlike(format.group) || isAlike(format.decimal)) {
        return false;
    }
    return std::ranges::any_of(alike,
                               [&](std::string_view mark) { return SkipPrefix(rest, mark); });
}

// Takes a grouping separator off `rest`: the locale's own or one that groups alike.
bool SkipGrouping(std::string_view& rest, const NumberFormat& format) {
    // A locale whose two separators coincide cannot be read unambiguously; read no grouping.
    if (format.group == format.decimal) {
        return false;
    }
    return SkipPrefix(rest, format.group) || SkipAlike(rest, format, kGroupingBlanks) ||
           SkipAlike(rest, format, kGroupingApostrophes) ||
           SkipAlike(rest, format, kGroupingCommas);
}

// The digit groups of a whole part, kept as far as telling whether they group in threes or in
// the locale's own pattern needs.
class Groups {
  public:
    explicit Groups(const NumberFormat& format)
        : lowest_(format.lowestGroup), higher_(format.higherGroups) {}

    void Digit() { ++current_; }
    // A separator ends the group before it; false when that group is empty.
    bool Separator() {
        if (current_ == 0) {
            return false;
        }
        if (closed_ == 0) {
            first_ = current_;
        } else {
            middleInThrees_ = middleInThrees_ && current_ == kDigitsPerGroup;
            middleAsLocale_ = middleAsLocale_ && current_ == higher_;
        }
        ++closed_;
        current_ = 0;
        return true;
    }
    // With the whole part read: a first group of one to three digits followed by groups of
    // three, or the same in the locale's pattern. A part without separators is not grouped.
    bool Fit() const {
        if (closed_ == 0) {
            return true;
        }
        return (first_ <= kDigitsPerGroup && middleInThrees_ && current_ == kDigitsPerGroup) ||
               (first_ <= higher_ && middleAsLocale_ && current_ == lowest_);
    }

  private:
    std::size_t lowest_;
    std::size_t higher_;
    std::size_t current_ = 0;
    std::size_t closed_ = 0;
    std::size_t first_ = 0;
    bool middleInThrees_ = true;
    bool middleAsLocale_ = true;
};

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
// a "." for the separator. Gives the digits' magnitude, or nothing when there is no digit or a
// separator stands where it does not group.
std::optional<long long> ReadDigits(std::string_view& rest, const NumberFormat& format,
                                    std::string& out) {
    Magnitude magnitude;
    Groups groups(format);
    bool anyDigit = false;
    bool inFraction = false;
    while (!rest.empty()) {
        if (IsDigit(rest.front())) {
            magnitude.Count(rest.front(), inFraction);
            if (!inFraction) {
                groups.Digit();
            }
            out.push_back(rest.front());
            anyDigit = true;
            rest.remove_prefix(1);
        } else if (!inFraction && anyDigit && SkipGrouping(rest, format)) {
            if (!groups.Separator()) {
                return std::nullopt;
            }
        } else if (!inFraction && SkipPrefix(rest, format.decimal)) {
            out.push_back('.');
            inFraction = true;
        } else {
            break;
        }
    }
    if (!anyDigit || !groups.Fit()) {
        return std::nullopt;
    }
    return magnitude.Value();
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
    // The locale's own digits and full-width forms lie beyond ASCII: most text needs no folding.
    const bool ascii = std::ranges::all_of(text, [](char c) { return c >= 0; });
    const std::string folded = ascii ? std::string() : Folded(text, format);
    std::string_view rest = TrimBlanks(ascii ? text : std::string_view(folded));
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

std::string LongToText(std::int32_t value, const NumberFormat& format) {
    std::array<char, std::numeric_limits<std::int32_t>::digits10 + 2> buffer{};
    const char* end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value).ptr;
    return InLocaleDigits(std::string_view(buffer.data(), end), format);
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
        } else if (IsDigit(*p)) {
            AppendDigit(out, *p, format);
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
        out.append(Grouped(std::to_string(dollars), format));
    }
    out.append(format.decimal);
    AppendDigit(out, static_cast<char>('0' + remainder / 10), format);
    AppendDigit(out, static_cast<char>('0' + remainder % 10), format);
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
    const std::string digits = Grouped(std::string_view(buffer.data(), result.ptr), format);
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
