// The one-line file that Cancel writes: the starting balance as the user typed it.
#pragma once

#include <QString>

#include <optional>

namespace storage {

// C:\file1.txt on Windows; elsewhere there is no drive C, so file1.txt in the home folder.
QString StartBalanceFilePath();

struct SaveFailure {
    QString fileName;  // with the platform's own separators, ready to show
    QString reason;
};

// Replaces the file with psText and a carriage return and line feed, in the locale's 8-bit
// encoding. The new file is swapped in whole or not at all, so a failure leaves any earlier
// file as it was.
[[nodiscard]] std::optional<SaveFailure> SaveStartBalance(
    const QString& psText, const QString& psFileName = StartBalanceFilePath());

}  // namespace storage
