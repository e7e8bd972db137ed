// The words for what storage reports of a failed save.
#pragma once

#include <QString>

#include <filesystem>

#include "storage/result.h"

// A character by its code, as the messages name one that cannot be shown: "U+D800".
QString CodePointName(char32_t character);

// A file's name as the user finds it, with the platform's own separators.
QString ShownFileName(const std::filesystem::path& file);

// Why the save failed, as a sentence that ends with a full stop.
QString SaveFailureReason(const storage::Failure& failure);
