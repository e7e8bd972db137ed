#include "window/readable_colour.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kLeastContrast = 4.5;
constexpr int kLightnessSteps = 255;

// WCAG 2.1's relative luminance of an sRGB colour.
double Luminance(const QColor& colour) {
    const auto linear = [](float channel) {
        return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

}  // namespace

double Contrast(const QColor& a, const QColor& b) {
    const auto [dark, light] = std::minmax({Luminance(a), Luminance(b)});
    return (light + 0.05) / (dark + 0.05);
}

QColor ReadableOn(const QColor& back, const QColor& fore) {
    if (Contrast(back, fore) >= kLeastContrast) {
        return fore;
    }
    // Away from its lightness a step at a time, both ways at once: the first that reads is the
    // nearest. Black or white reads on any background, and the last step reaches both.
    const QColor hsl = fore.toHsl();
    for (int step = 1; step <= kLightnessSteps; ++step) {
        for (const int way : {-1, 1}) {
            const float lightness =
                std::clamp(hsl.lightnessF() + float(way * step) / kLightnessSteps, 0.0F, 1.0F);
            const QColor nearer =
                QColor::fromHslF(hsl.hslHueF(), hsl.hslSaturationF(), lightness).toRgb();
            if (Contrast(back, nearer) >= kLeastContrast) {
                return nearer;
            }
        }
    }
    return fore;
}
