#include "storage/start_balance_file.h"

#ifdef Q_OS_UNIX
#include <iconv.h>
#include <langinfo.h>
#include <pwd.h>
#include <unistd.h>

#include <memory>

#include "storage/unix_file.h"
#else
#include <qt_windows.h>
#include <QDir>
#include <QSaveFile>

#include <algorithm>
#endif

namespace storage {
namespace platform {

#ifdef Q_OS_UNIX

namespace {

// The C and POSIX locales, and a locale that is not installed (which leaves C), claim plain
// ASCII; like Qt itself, read that as UTF-8 rather than refuse every other character.
bool MeansUtf8(const char* codeset) {
    for (const char* name : {"UTF-8", "ANSI_X3.4-1968", "ASCII", "US-ASCII"}) {
        if (qstricmp(codeset, name) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

// Byte for byte: a folder named on an older system need not be valid in today's character set.
Result<std::filesystem::path> HomeFolder() {
    QByteArray home = qgetenv("HOME");
    if (home.isEmpty()) {
        const passwd* entry = getpwuid(geteuid());
        home = entry != nullptr ? QByteArray(entry->pw_dir) : QByteArray();
    }
    if (home.isEmpty()) {
        return Failure{.kind = Failure::Kind::NoHomeFolder};
    }
    return std::filesystem::path(home.toStdString());
}

// The locale is the one QCoreApplication set from the environment.
Result<QByteArray> Encoded(const QString& text) {
    const char* codeset = nl_langinfo(CODESET);
    QByteArray utf8 = text.toUtf8();
    if (MeansUtf8(codeset)) {
        return utf8;
    }
    const iconv_t converter = iconv_open(codeset, "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return Failure{.kind = Failure::Kind::UnknownCharacterSet,
                       .characterSet = QLatin1String(codeset)};
    }
    const std::unique_ptr<void, int (*)(iconv_t)> closer(converter, iconv_close);
    QByteArray encoded(utf8.size() * 4 + 16, Qt::Uninitialized);  // room for any shift sequences
    char* in = utf8.data();
    char* out = encoded.data();
    size_t inLeft = size_t(utf8.size());
    size_t outLeft = size_t(encoded.size());
    if (iconv(converter, &in, &inLeft, &out, &outLeft) == size_t(-1) ||
        iconv(converter, nullptr, nullptr, &out, &outLeft) == size_t(-1)) {
        if (errno != EILSEQ) {
            return unix_file::SystemFailure();
        }
        return Failure{.kind = Failure::Kind::NotInLocaleCharset,
                       .character = QString::fromUtf8(in, qsizetype(inLeft)).toUcs4().value(0),
                       .characterSet = QLatin1String(codeset)};
    }
    encoded.truncate(out - encoded.data());
    return encoded;
}

Result<> Write(const QByteArray& line, const std::filesystem::path& fileName) {
    return unix_file::Save(line, fileName);
}

#else

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

#endif

}  // namespace platform

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
