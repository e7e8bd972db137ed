// How the user's locale writes numbers, in the terms the engine reads and writes them.
#pragma once

#include "engine/amounts.h"

// Separators, digits and grouping of the locale the program runs in.
engine::NumberFormat UsersNumberFormat();
