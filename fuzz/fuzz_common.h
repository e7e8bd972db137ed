// Shared by the fuzz targets: the locales they read numbers in.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/amounts.h"

namespace fuzz {

// The first byte picks the locale, so one corpus covers every locale's reading: English,
// German, French, Swiss German, Egyptian Arabic and Marathi (Devanagari digits grouped as India
// groups).
inline const engine::NumberFormat& FormatFor(std::uint8_t selector) {
    static const engine::NumberFormat kFormats[] = {
        {".", ","},
        {",", "."},
        {",", "\u202f"},
        {".", "’"},
        {"٫", "٬", {"٠", "١", "٢", "٣", "٤", "٥", "٦", "٧", "٨", "٩"}},
        {".", ",", {"०", "१", "२", "३", "४", "५", "६", "७", "८", "९"}, 3, 2}};
    return kFormats[selector % (sizeof kFormats / sizeof kFormats[0])];
}

}  // namespace fuzz
