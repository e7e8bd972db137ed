// The starting-balance file on Windows: the profile folder, the ANSI code page, and QSaveFile.
#include <qt_windows.h>
#include <QDir>
#include <QSaveFile>

#include <algorithm>

#include "storage/start_balance_file_p.h"

namespace storage::platform {
namespace {

// Fails when the code page lacks a character. Its best fits ("l" for "ł") would change the text
// without a word, so they count as lacking too.
Result<QByteArray> InCodePage(UINT codePage, const QString& text) {
    QByteArray bytes(text.size() * 2 + 1, Qt::Uninitialized);  // two bytes a unit at most
    BOOL lacking = FALSE;
    const int size = WideCharToMultiByte(
        codePage, WC_NO_BEST_FIT_CHARS, reinterpret_cast<const wchar_t*>(text.utf16()),
        int(text.size()), bytes.data(), int(bytes.size()), nullptr, &lacking);
    if (lacking || (size == 0 && !text.isEmpty())) {
        return Failure{.kind = Failure::Kind::TextNotInCodePage,
                       .characterSet = QString::number(codePage)};
    }
    bytes.truncate(size);
    return bytes;
}

Failure Failed(const QSaveFile& file) {
    return Failure{
        .kind = Failure::Kind::QtFile, .code = file.error(), .systemText = file.errorString()};
}

}  // namespace

// The folder Windows names in USERPROFILE, or else the profile of the account the program runs as.
Result<std::filesystem::path> HomeFolder() {
    const QString profile = qEnvironmentVariable("USERPROFILE");
    return std::filesystem::path(
        (profile.isEmpty() ? QDir::toNativeSeparators(QDir::homePath()) : profile).toStdWString());
}

// In the ANSI code page, the one Windows reads and writes plain text files in for programs
// that are not Unicode.
Result<QByteArray> Encoded(const QString& text) {
    const UINT codePage = GetACP();
    if (codePage == CP_UTF8) {
        return text.toUtf8();
    }
    auto bytes = InCodePage(codePage, text);
    if (bytes) {
        return bytes;
    }
    for (const char32_t character : text.toUcs4()) {
        if (!InCodePage(codePage, QString::fromUcs4(&character, 1))) {
            Failure lacking = bytes.failure();
            lacking.kind = Failure::Kind::NotInCodePage;
            lacking.character = character;
            return lacking;
        }
    }
    return bytes;
}

Result<> Write(const QByteArray& line, const std::filesystem::path& fileName) {
    QSaveFile file(QString::fromStdWString(fileName.native()));
    file.setDirectWriteFallback(true);
    // Unbuffered, so that a short write (disk full) shows in write()'s count: a buffered
    // QSaveFile would commit the truncated line.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return Failed(file);
    }
    const qint64 written = file.write(line);
    if (written != line.size()) {
        const Failure failure = file.error() != QFileDevice::NoError
                                    ? Failed(file)
                                    : Failure{.kind = Failure::Kind::ShortWrite,
                                              .written = std::max<qint64>(written, 0),
                                              .size = line.size()};
        file.cancelWriting();
        return failure;
    }
    if (!file.commit()) {
        return Failed(file);
    }
    return {};
}

}  // namespace storage::platform
