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
constexpr int kSignificantDigits = 15;
constexpr std::size_t kDigitsPerGroup = 3;
constexpr std::uint64_t kCentsPerDollar = 100;
constexpr std::uint64_t kUnitsPerCent =
    static_cast<std::uint64_t>(Currency::kUnitsPerDollar) / kCentsPerDollar;

// Marks that group digits alike. Where the locale groups with one of them, people type
// whichever their keyboard gives, so there each of them is read as grouping: the blanks, one of
// which groups in French; the apostrophes, as Swiss German groups with "’" where keyboards give
// "'"; the commas, as Arabic groups with "٬", which keyboards lack.
constexpr std::array<std::string_view, 4> kGroupingBlanks{" ", "\u00a0", "\u2009", "\u202f"};
constexpr std::array<std::string_view, 2> kGroupingApostrophes{"'", "\u2019"};
constexpr std::array<std::string_view, 2> kGroupingCommas{",", "\u066c"};
// The same for decimal separators: where the locale's is the Arabic "٫", the full stop.
constexpr std::array<std::string_view, 2> kDecimalPoints{".", "\u066b"};

// The minus sign as Swedish and Persian write negatives ("−1 234,5").
constexpr std::string_view kMinusSign = "\u2212";
// Marks that set the direction of the text beside them: Qt writes them around the sign in
// right-to-left locales (U+061C before the "-" in Egypt, U+200E in Iran), and copied text keeps
// them. Beside the sign they are read as nothing.
constexpr std::array<std::string_view, 3> kDirectionMarks{"\u200e", "\u200f", "\u061c"};

// East Asian input methods type full-width forms, U+FF01 to U+FF5E, each the ASCII character
// 0xFEE0 below it ("４０，０００"), and the ideographic space U+3000.
constexpr char32_t kFirstFullWidth = 0xFF01;
constexpr char32_t kLastFullWidth = 0xFF5E;
constexpr char32_t kFullWidthOffset = 0xFEE0;
constexpr std::string_view kIdeographicSpace = "\u3000";

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

// The locale's digit at the start of `text`, where its digits lie beyond ASCII. They are ten
// consecutive characters, so the last byte of one tells which it can be, and a single
// comparison settles it: long pastes stay cheap to read.
std::optional<std::size_t> LocaleDigitAt(std::string_view text, const NumberFormat& format) {
    const std::string& zero = format.digits.front();
    if (zero.size() < 2 || text.size() < zero.size()) {
        return std::nullopt;
    }
    const int which =
        static_cast<unsigned char>(text[zero.size() - 1]) - static_cast<unsigned char>(zero.back());
    if (which < 0 || which > 9 || !text.starts_with(format.digits[std::size_t(which)])) {
        return std::nullopt;
    }
    return std::size_t(which);
}

// The text with the locale's digits and full-width forms written as ASCII, so that the reading
// below knows one set of digits. Everything else is kept as it is.
std::string Folded(std::string_view text, const NumberFormat& format) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        if (static_cast<unsigned char>(text.front()) < 0x80) {
            out.push_back(text.front());
            text.remove_prefix(1);
        } else if (const std::optional<std::size_t> digit = LocaleDigitAt(text, format)) {
            out.push_back(static_cast<char>('0' + *digit));
            text.remove_prefix(format.digits[*digit].size());
        } else if (const std::optional<char> twin = FullWidthAsAscii(text)) {
            out.push_back(*twin);
            text.remove_prefix(twin == ' ' ? kIdeographicSpace.size() : 3);
        } else {
            out.push_back(text.front());
            text.remove_prefix(1);
        }
    }
    return out;
}

// Takes `prefix` off the front of `rest` when it is there (and not empty).
bool SkipPrefix(std::string_view& rest, std::string_view prefix) {
    if (prefix.empty() || !rest.starts_with(prefix)) {
        return false;
    }
    rest.remove_prefix(prefix.size());
    return true;
}

// Takes one of `marks` off `rest`, where there is one.
bool SkipAny(std::string_view& rest, std::span<const std::string_view> marks) {
    return std::ranges::any_of(marks,
                               [&](std::string_view mark) { return SkipPrefix(rest, mark); });
}

// Takes a mark of `alike` off `rest` where the locale's separator `own` is one of them and its
// other separator is not.
bool SkipAlike(std::string_view& rest, std::string_view own, std::string_view other,
               std::span<const std::string_view> alike) {
    const auto isAlike = [&](std::string_view text) {
        return std::ranges::find(alike, text) != alike.end();
    };
    return isAlike(own) && !isAlike(other) && SkipAny(rest, alike);
}

// Takes a grouping separator off `rest`: the locale's own or one that groups alike.
bool SkipGrouping(std::string_view& rest, const NumberFormat& format) {
    // A locale whose two separators coincide cannot be read unambiguously; read no grouping.
    if (format.group == format.decimal) {
        return false;
    }
    return SkipPrefix(rest, format.group) ||
           SkipAlike(rest, format.group, format.decimal, kGroupingBlanks) ||
           SkipAlike(rest, format.group, format.decimal, kGroupingApostrophes) ||
           SkipAlike(rest, format.group, format.decimal, kGroupingCommas);
}

// Takes a decimal separator off `rest`: the locale's own or one that reads alike.
bool SkipDecimal(std::string_view& rest, const NumberFormat& format) {
    return SkipPrefix(rest, format.decimal) ||
           SkipAlike(rest, format.decimal, format.group, kDecimalPoints);
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

void SkipDirectionMarks(std::string_view& rest) {
    while (SkipAny(rest, kDirectionMarks)) {
    }
}

// Takes a leading sign, with the direction marks around it, off `rest`; only a minus needs
// writing.
void ReadSign(std::string_view& rest, std::string& out) {
    SkipDirectionMarks(rest);
    if (SkipPrefix(rest, "-") || SkipPrefix(rest, kMinusSign)) {
        out.push_back('-');
    } else {
        SkipPrefix(rest, "+");
    }
    SkipDirectionMarks(rest);
}

// Takes the digits with their grouping and decimal separator off `rest`, writing the digits and
// a "." for the separator. False when there is no digit or a separator stands where it does not
// group.
bool ReadDigits(std::string_view& rest, const NumberFormat& format, std::string& out) {
    Groups groups(format);
    bool anyDigit = false;
    bool inFraction = false;
    while (!rest.empty()) {
        if (IsDigit(rest.front())) {
            if (!inFraction) {
                groups.Digit();
            }
            out.push_back(rest.front());
            anyDigit = true;
            rest.remove_prefix(1);
        } else if (!inFraction && anyDigit && SkipGrouping(rest, format)) {
            if (!groups.Separator()) {
                return false;
            }
        } else if (!inFraction && SkipDecimal(rest, format)) {
            out.push_back('.');
            inFraction = true;
        } else {
            break;
        }
    }
    return anyDigit && groups.Fit();
}

// Takes an exponent ("E+5") off `rest`, writing it as from_chars reads it ("e5"). False when its
// "e" has no digits.
bool ReadExponent(std::string_view& rest, std::string& out) {
    if (!rest.starts_with('e') && !rest.starts_with('E')) {
        return true;
    }
    out.push_back('e');
    rest.remove_prefix(1);
    ReadSign(rest, out);
    const std::size_t digitsStart = out.size();
    for (; !rest.empty() && IsDigit(rest.front()); rest.remove_prefix(1)) {
        out.push_back(rest.front());
    }
    return out.size() > digitsStart;
}

// What TextToDouble accepts, rewritten for std::from_chars ("-1234.5e6"); nothing for the rest.
std::optional<std::string> Clean(std::string_view text, const NumberFormat& format) {
    // The locale's own digits and full-width forms lie beyond ASCII: most text needs no folding.
    const bool ascii = std::ranges::all_of(text, [](char c) { return c >= 0; });
    const std::string folded = ascii ? std::string() : Folded(text, format);
    std::string_view rest = TrimBlanks(ascii ? text : std::string_view(folded));
    std::string clean;
    ReadSign(rest, clean);
    if (!ReadDigits(rest, format, clean) || !ReadExponent(rest, clean) || !rest.empty()) {
        return std::nullopt;
    }
    return clean;
}

// Whether a clean number that from_chars finds beyond the double range lies above it rather than
// too close to zero: whether its first significant digit, moved by the exponent, stands before
// the decimal point. The two cases lie over 600 powers of ten apart.
bool AboveRange(std::string_view clean) {
    const std::size_t mark = std::min(clean.find('e'), clean.size());
    const std::string_view digits = clean.substr(0, mark);
    const std::size_t point = std::min(digits.find('.'), digits.size());
    const std::size_t first = digits.find_first_of("123456789");  // zero is in range
    long long exponent = 0;
    if (mark < clean.size() &&
        std::from_chars(clean.data() + mark + 1, clean.data() + clean.size(), exponent).ec !=
            std::errc{}) {
        return clean[mark + 1] != '-';  // an exponent beyond 64 bits decides alone
    }
    const double leading = first < point ? double(point - first) : -double(first - point - 1);
    return leading + double(exponent) > 0;
}

}  // namespace

double TextToDouble(std::string_view text, const NumberFormat& format) {
    const std::optional<std::string> clean = Clean(text, format);
    if (!clean) {
        throw NumberError(Failure::NotANumber);
    }
    double value = 0;
    const char* begin = clean->data();
    const char* end = begin + clean->size();
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (error == std::errc::result_out_of_range) {
        if (AboveRange(*clean)) {
            throw NumberError(Failure::TooLarge);
        }
        return clean->front() == '-' ? -0.0 : 0.0;  // too small to tell from zero
    }
    if (error != std::errc{} || stop != end) {
        throw NumberError(Failure::NotANumber);
    }
    return value;
}

std::int32_t RoundToLong(double value) {
    const double rounded = RoundHalfEven(value);
    if (!(rounded >= kLowestLong && rounded <= kHighestLong)) {
        throw NumberError(Failure::TooLarge);
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
    throw NumberError(Failure::TooLarge);
}

std::string LongToText(std::int32_t value, const NumberFormat& format) {
    std::array<char, std::numeric_limits<std::int32_t>::digits10 + 2> buffer{};
    const char* end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value).ptr;
    return InLocaleDigits(std::string_view(buffer.data(), end), format);
}

std::string DoubleToText(double value, const NumberFormat& format) {
    if (!std::isfinite(value)) {
        throw NumberError(Failure::TooLarge);
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

std::string FormatWholeAmount(double value, const NumberFormat& format) {
    if (!std::isfinite(value)) {
        throw NumberError(Failure::TooLarge);
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
    throw NumberError(Failure::TooLarge);
}

}  // namespace engine
