#include "storage/start_balance_file.h"

#include "storage/start_balance_file_p.h"

namespace storage {
namespace {

// A lone UTF-16 surrogate is half a character: no character set can write it.
Result<> WholeCharacters(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate()) {
            return Failure{.kind = Failure::Kind::HalfCharacter, .character = c.unicode()};
        }
    }
    return {};
}

Result<> Saved(const QString& psText, const std::filesystem::path& fileName) {
    if (auto whole = WholeCharacters(psText); !whole) {
        return whole;
    }
    const auto line =
        platform::Encoded(psText.normalized(QString::NormalizationForm_C) + QStringLiteral("\r\n"));
    if (!line) {
        return line.failure();
    }
    return platform::Write(*line, fileName);
}

}  // namespace

Result<std::filesystem::path> StartBalanceFilePath() {
    const std::filesystem::path name = "file1.txt";
    auto folder = platform::HomeFolder();
    if (!folder) {
        folder.failure().file = name;
        return folder;
    }
    return *folder / name;
}

Result<> SaveStartBalance(const QString& psText, const std::filesystem::path& fileName) {
    auto saved = Saved(psText, fileName);
    if (!saved) {
        saved.failure().file = fileName;
    }
    return saved;
}

Result<> SaveStartBalance(const QString& psText) {
    const auto path = StartBalanceFilePath();
    if (!path) {
        return path.failure();
    }
    return SaveStartBalance(psText, *path);
}

}  // namespace storage
