// The one-line file that Cancel writes: the starting balance as the user typed it.
#pragma once

#include <QString>

#include <optional>

namespace storage {

// file1.txt in the home folder: $HOME, or the password database's entry when HOME is unset or
// empty, none when neither names one; on Windows in the profile folder, %USERPROFILE%.
std::optional<QString> StartBalanceFilePath();

struct SaveFailure {
    QString fileName;  // with the platform's own separators, ready to show
    QString reason;
};

// Replaces the file with psText and a carriage return and line feed, in the character set of
// the locale the application runs in. The new file is swapped in whole or not at all, so a
// failure leaves any earlier file as it was; only a folder that allows no new file in it makes
// the save write the file in place. A link is written through to its target, but never to
// anything other than an ordinary file.
[[nodiscard]] std::optional<SaveFailure> SaveStartBalance(const QString& psText,
                                                          const QString& psFileName);

// The same, to StartBalanceFilePath().
[[nodiscard]] std::optional<SaveFailure> SaveStartBalance(const QString& psText);

}  // namespace storage
