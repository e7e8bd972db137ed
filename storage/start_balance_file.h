// The one-line file that Cancel writes: the starting balance as the user typed it.
#pragma once

#include <QString>

#include <filesystem>

#include "storage/result.h"

namespace storage {

// file1.txt in the home folder: $HOME, or the password database's entry when HOME is unset or
// empty, byte for byte (a folder named on an older system need not be valid UTF-8), NoHomeFolder
// when neither names one; on Windows in the profile folder, %USERPROFILE%.
Result<std::filesystem::path> StartBalanceFilePath();

// Writes psText and a carriage return and line feed, composed (Unicode NFC) and in the
// character set of the locale the application runs in (on Windows its ANSI code page); where
// that set is plain ASCII (the C locale), in UTF-8. A character the set cannot hold, or half of
// one (a lone surrogate), is refused, never written as "?".
//
// Either the whole new line is saved or the file keeps exactly what it held. A link is written
// through to its target, but never to anything other than an ordinary file. On Unix the file
// also stays what it was: the new line goes into a new file renamed over the old one only when
// that keeps the old one's every name (hard links), owner, group, mode, ACL and extended
// attributes; otherwise (another name, an owner or group the user cannot give away, attributes
// that cannot be read, a folder that takes no new file or, with the sticky bit, refuses the
// rename) the file is written in place, and a failure at any step puts its old bytes back. A
// file the user may not write is refused, and so is a link another user made in a sticky folder
// that anyone may write to.
Result<> SaveStartBalance(const QString& psText, const std::filesystem::path& fileName);

// The same, to StartBalanceFilePath().
Result<> SaveStartBalance(const QString& psText);

}  // namespace storage
