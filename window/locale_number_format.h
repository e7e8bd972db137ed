// How the user's locale writes numbers, in the terms the engine reads and writes them.
#pragma once

#include <QLocale>

#include "engine/amounts.h"

// Separators, digits and grouping of `locale`.
engine::NumberFormat LocaleNumberFormat(const QLocale& locale);
