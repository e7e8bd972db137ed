#include "storage/start_balance_file.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <variant>

#ifdef Q_OS_UNIX
#include <iconv.h>
#include <langinfo.h>
#include <pwd.h>
#include <unistd.h>

#include <memory>

#include "storage/unix_file.h"
#else
#include <qt_windows.h>
#include <QSaveFile>

#include <algorithm>
#endif

namespace storage {
namespace {

using Reason = QString;

// A lone UTF-16 surrogate is half a character: no character set can write it.
std::optional<Reason> BrokenCharacter(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate()) {
            return QStringLiteral(
                       "The text holds U+%1, half of a character without its other half (as a "
                       "broken paste can leave); no character set can write it.")
                .arg(QString::number(c.unicode(), 16).toUpper());
        }
    }
    return std::nullopt;
}

#ifdef Q_OS_UNIX

QString Shown(const std::filesystem::path& file) {
    return QFile::decodeName(QByteArray::fromStdString(file.native()));
}

// Byte for byte: a folder named on an older system need not be valid in today's character set.
QByteArray HomeFolder() {
    if (QByteArray home = qgetenv("HOME"); !home.isEmpty()) {
        return home;
    }
    const passwd* entry = getpwuid(geteuid());
    return entry != nullptr ? QByteArray(entry->pw_dir) : QByteArray();
}

Reason Unwritable(const char* rest, size_t left, const char* codeset) {
    const char32_t character = QString::fromUtf8(rest, qsizetype(left)).toUcs4().value(0);
    return QStringLiteral(
               "The character \"%1\" (U+%2) cannot be written in %3, the character set of the "
               "current locale.")
        .arg(QString::fromUcs4(&character, 1),
             QString::number(character, 16).toUpper().rightJustified(4, QLatin1Char('0')),
             QLatin1String(codeset));
}

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

// The locale is the one QCoreApplication set from the environment.
std::variant<QByteArray, Reason> Encoded(const QString& text) {
    const char* codeset = nl_langinfo(CODESET);
    QByteArray utf8 = text.toUtf8();
    if (MeansUtf8(codeset)) {
        return utf8;
    }
    const iconv_t converter = iconv_open(codeset, "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return QStringLiteral(
                   "This system cannot write %1, the character set of the current locale.")
            .arg(QLatin1String(codeset));
    }
    const std::unique_ptr<void, int (*)(iconv_t)> closer(converter, iconv_close);
    QByteArray encoded(utf8.size() * 4 + 16, Qt::Uninitialized);  // room for any shift sequences
    char* in = utf8.data();
    char* out = encoded.data();
    size_t inLeft = size_t(utf8.size());
    size_t outLeft = size_t(encoded.size());
    if (iconv(converter, &in, &inLeft, &out, &outLeft) == size_t(-1) ||
        iconv(converter, nullptr, nullptr, &out, &outLeft) == size_t(-1)) {
        return errno == EILSEQ ? Unwritable(in, inLeft, codeset) : unix_file::SystemError();
    }
    encoded.truncate(out - encoded.data());
    return encoded;
}

std::optional<Reason> Write(const QByteArray& line, const std::filesystem::path& file) {
    return unix_file::Save(line, file);
}

#else

// The folder Windows names in USERPROFILE, or else the profile of the account the program runs as.
QString ProfileFolder() {
    const QString profile = qEnvironmentVariable("USERPROFILE");
    return profile.isEmpty() ? QDir::toNativeSeparators(QDir::homePath()) : profile;
}

QString Shown(const std::filesystem::path& file) {
    return QDir::toNativeSeparators(QString::fromStdWString(file.native()));
}

// None when the code page lacks a character. Its best fits ("l" for "ł") would change the text
// without a word, so they count as lacking too.
std::optional<QByteArray> InCodePage(UINT codePage, const QString& text) {
    QByteArray bytes(text.size() * 2 + 1, Qt::Uninitialized);  // two bytes a unit at most
    BOOL lacking = FALSE;
    const int size = WideCharToMultiByte(
        codePage, WC_NO_BEST_FIT_CHARS, reinterpret_cast<const wchar_t*>(text.utf16()),
        int(text.size()), bytes.data(), int(bytes.size()), nullptr, &lacking);
    if (lacking || (size == 0 && !text.isEmpty())) {
        return std::nullopt;
    }
    bytes.truncate(size);
    return bytes;
}

// In the ANSI code page, the one Windows reads and writes plain text files in for programs
// that are not Unicode.
std::variant<QByteArray, Reason> Encoded(const QString& text) {
    const UINT codePage = GetACP();
    if (codePage == CP_UTF8) {
        return text.toUtf8();
    }
    if (auto bytes = InCodePage(codePage, text)) {
        return *bytes;
    }
    for (const char32_t character : text.toUcs4()) {
        const QString one = QString::fromUcs4(&character, 1);
        if (!InCodePage(codePage, one)) {
            return QStringLiteral(
                       "The character \"%1\" (U+%2) cannot be written in code page %3, the "
                       "character set of this system's language settings.")
                .arg(one,
                     QString::number(character, 16).toUpper().rightJustified(4, QLatin1Char('0')))
                .arg(codePage);
        }
    }
    return QStringLiteral("The text cannot be written in code page %1.").arg(codePage);
}

std::optional<Reason> Write(const QByteArray& line, const std::filesystem::path& fileName) {
    QSaveFile file(QString::fromStdWString(fileName.native()));
    file.setDirectWriteFallback(true);
    // Unbuffered, so that a short write (disk full) shows in write()'s count: a buffered
    // QSaveFile would commit the truncated line.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return file.errorString();
    }
    const qint64 written = file.write(line);
    if (written != line.size()) {
        const Reason reason = file.error() != QFileDevice::NoError
                                  ? file.errorString()
                                  : QStringLiteral("Only %1 of %2 bytes could be written.")
                                        .arg(std::max<qint64>(written, 0))
                                        .arg(line.size());
        file.cancelWriting();
        return reason;
    }
    if (!file.commit()) {
        return file.errorString();
    }
    return std::nullopt;
}

#endif

}  // namespace

std::optional<std::filesystem::path> StartBalanceFilePath() {
#ifdef Q_OS_WIN
    return std::filesystem::path(ProfileFolder().toStdWString()) / L"file1.txt";
#else
    const QByteArray home = HomeFolder();
    if (home.isEmpty()) {
        return std::nullopt;
    }
    return std::filesystem::path(home.toStdString()) / "file1.txt";
#endif
}

std::optional<SaveFailure> SaveStartBalance(const QString& psText,
                                            const std::filesystem::path& fileName) {
    const auto failure = [&](const Reason& reason) {  // Qt's own reasons lack the full stop
        return SaveFailure{Shown(fileName),
                           reason.endsWith(QLatin1Char('.')) ? reason : reason + QLatin1Char('.')};
    };
    if (const auto broken = BrokenCharacter(psText)) {
        return failure(*broken);
    }
    const auto line =
        Encoded(psText.normalized(QString::NormalizationForm_C) + QStringLiteral("\r\n"));
    if (const auto* unwritable = std::get_if<Reason>(&line)) {
        return failure(*unwritable);
    }
    if (const auto failed = Write(std::get<QByteArray>(line), fileName)) {
        return failure(*failed);
    }
    return std::nullopt;
}

std::optional<SaveFailure> SaveStartBalance(const QString& psText) {
    if (const auto path = StartBalanceFilePath()) {
        return SaveStartBalance(psText, *path);
    }
    return SaveFailure{QStringLiteral("file1.txt"),
                       QStringLiteral("No home folder is known: HOME is unset or empty, and the "
                                      "password database has no entry for this user.")};
}

}  // namespace storage
