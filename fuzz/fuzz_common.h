// Shared by the fuzz targets: the locales they read numbers in.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/amounts.h"

namespace fuzz {

// The first byte picks the separators, so one corpus covers every locale's reading.
inline const engine::NumberFormat& FormatFor(std::uint8_t selector) {
    static const engine::NumberFormat kFormats[] = {
        {".", ","}, {",", "."}, {",", "\u202f"}, {".", "'"}};
    return kFormats[selector % (sizeof kFormats / sizeof kFormats[0])];
}

}  // namespace fuzz
