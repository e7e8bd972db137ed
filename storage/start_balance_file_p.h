// Each platform's half of the starting-balance file, in start_balance_file_unix.cpp and
// start_balance_file_win.cpp; CMake builds the one that fits.
#pragma once

#include <QByteArray>
#include <QString>

#include <filesystem>

#include "storage/result.h"

namespace storage::platform {

// The folder the file is kept in.
Result<std::filesystem::path> HomeFolder();

// The text in the character set the file is written in.
Result<QByteArray> Encoded(const QString& text);

// The whole line into the file, or the file left as it was.
Result<> Write(const QByteArray& line, const std::filesystem::path& fileName);

}  // namespace storage::platform
