// Text colours that read: WCAG 2.1 asks text of the window's sizes for a contrast of 4.5:1 with
// its background, and a desktop's own colours (a selection colour drawn as text, a palette that
// changes to dark) need not give it.
#pragma once

#include <QColor>

// WCAG 2.1's contrast ratio of two colours, from 1 (the same) to 21 (black and white).
double Contrast(const QColor& a, const QColor& b);

// psFore where it reaches 4.5:1 against back; otherwise the colour of its hue and saturation,
// lighter or darker, nearest to it that does.
QColor ReadableOn(const QColor& back, const QColor& fore);
