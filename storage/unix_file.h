// Saving a file on Unix so that it stays what it was: the POSIX calls QSaveFile does not make.
#pragma once

#include <QByteArray>

#include <cerrno>
#include <filesystem>

#include "storage/result.h"

namespace storage::unix_file {

// The system call that just failed, or the errno value given.
Failure SystemFailure(int error = errno);

// Puts bytes into the file the name leads to, following links, or fails and says why.
// Only an ordinary file the user may write, or no file yet, is written. The new bytes go into a
// new file, unnamed until it is whole, renamed over the old one when that keeps every name, the
// owner, group, mode, ACL and extended attributes of the old one; otherwise they are written in
// place, and a failure at any step, the flush included, puts the old bytes and length back. Two
// saves of one file take turns.
Result<> Save(const QByteArray& bytes, const std::filesystem::path& fileName);

}  // namespace storage::unix_file
