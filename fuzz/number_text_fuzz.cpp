// Reading number text must never crash, and what it reads must print and convert sanely.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "engine/amounts.h"
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const engine::NumberFormat& format = fuzz::FormatFor(data[0]);
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    double value = 0;
    try {
        value = engine::TextToDouble(text, format);
    } catch (const engine::NumberError&) {
        return 0;
    }
    // Text that reads holds a digit; other than ASCII ones only outside ASCII.
    const bool ascii = std::ranges::all_of(text, [](char c) { return c >= 0; });
    if (!std::isfinite(value) ||
        (ascii && text.find_first_of("0123456789") == std::string_view::npos)) {
        std::abort();
    }
    // What the number prints as must read back within its 15 significant digits.
    const double back = engine::TextToDouble(engine::DoubleToText(value, format), format);
    if (std::fabs(back - value) > std::fabs(value) * 1e-14) {
        std::abort();
    }
    if (const auto money = engine::TryToCurrency(value)) {
        engine::FormatAmount(*money, format);
    }
    engine::FormatWholeAmount(value, format);
    try {
        engine::RoundToLong(value);
    } catch (const engine::NumberError&) {
    }
    return 0;
}
