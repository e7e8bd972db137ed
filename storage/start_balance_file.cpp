#include "storage/start_balance_file.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <variant>

#ifdef Q_OS_UNIX
#include <iconv.h>
#include <langinfo.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <memory>
#else
#include <qt_windows.h>
#endif

namespace storage {
namespace {

using Reason = QString;

#ifdef Q_OS_UNIX

QString HomeFolder() {
    if (QString home = qEnvironmentVariable("HOME"); !home.isEmpty()) {
        return home;
    }
    const passwd* entry = getpwuid(geteuid());
    return entry != nullptr ? QFile::decodeName(entry->pw_dir) : QString();
}

Reason SystemError() {
    return qt_error_string(errno) + QLatin1Char('.');
}

QString KindOf(mode_t mode) {
    if (S_ISDIR(mode)) {
        return QStringLiteral("a folder");
    }
    if (S_ISFIFO(mode)) {
        return QStringLiteral("a named pipe");
    }
    return S_ISSOCK(mode) ? QStringLiteral("a socket") : QStringLiteral("a device");
}

// The save replaces what the name leads to, so a link to a pipe or a device would turn it into a
// plain file. A missing file, or a link to one, is created.
std::optional<Reason> NotAnOrdinaryFile(const QString& path) {
    struct stat target {};
    if (stat(QFile::encodeName(path).constData(), &target) != 0) {
        return errno == ENOENT ? std::nullopt : std::optional(SystemError());
    }
    if (S_ISREG(target.st_mode)) {
        return std::nullopt;
    }
    return QStringLiteral("%1 is %2, not an ordinary file; it was left as it is.")
        .arg(QDir::toNativeSeparators(QFileInfo(path).canonicalFilePath()), KindOf(target.st_mode));
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

// The locale is the one QCoreApplication set from the environment.
std::variant<QByteArray, Reason> Encoded(const QString& text) {
    const char* codeset = nl_langinfo(CODESET);
    QByteArray utf8 = text.toUtf8();
    if (qstricmp(codeset, "UTF-8") == 0) {
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
        return errno == EILSEQ ? Unwritable(in, inLeft, codeset) : SystemError();
    }
    encoded.truncate(out - encoded.data());
    return encoded;
}

// Past a file size limit the system would end the program in the middle of the write; ignored,
// it shows as a short write instead.
class FileSizeSignalIgnored {
  public:
    FileSizeSignalIgnored() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        sigaction(SIGXFSZ, &ignore, &earlier_);
    }
    ~FileSizeSignalIgnored() { sigaction(SIGXFSZ, &earlier_, nullptr); }
    FileSizeSignalIgnored(const FileSizeSignalIgnored&) = delete;
    FileSizeSignalIgnored& operator=(const FileSizeSignalIgnored&) = delete;

  private:
    struct sigaction earlier_ {};
};

#else

// The folder Windows names in USERPROFILE, or else the profile of the account the program runs as.
QString ProfileFolder() {
    const QString profile = qEnvironmentVariable("USERPROFILE");
    return profile.isEmpty() ? QDir::homePath() : QDir::fromNativeSeparators(profile);
}

std::optional<Reason> NotAnOrdinaryFile(const QString&) {
    return std::nullopt;
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

struct FileSizeSignalIgnored {};

#endif

std::optional<Reason> Write(const QByteArray& line, const QString& path) {
    [[maybe_unused]] const FileSizeSignalIgnored duringTheSave;
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    // Unbuffered, so that a short write (disk full, file size limit) shows in write()'s count:
    // a buffered QSaveFile would commit the truncated line.
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

}  // namespace

std::optional<QString> StartBalanceFilePath() {
#ifdef Q_OS_WIN
    return QDir(ProfileFolder()).filePath(QStringLiteral("file1.txt"));
#else
    const QString home = HomeFolder();
    if (home.isEmpty()) {
        return std::nullopt;
    }
    return QDir(home).filePath(QStringLiteral("file1.txt"));
#endif
}

std::optional<SaveFailure> SaveStartBalance(const QString& psText, const QString& psFileName) {
    const auto failure = [&](const Reason& reason) {
        return SaveFailure{QDir::toNativeSeparators(psFileName), reason};
    };
    if (const auto refused = NotAnOrdinaryFile(psFileName)) {
        return failure(*refused);
    }
    const auto line = Encoded(psText + QStringLiteral("\r\n"));
    if (const auto* unwritable = std::get_if<Reason>(&line)) {
        return failure(*unwritable);
    }
    if (const auto failed = Write(std::get<QByteArray>(line), psFileName)) {
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
