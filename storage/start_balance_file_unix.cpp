// The starting-balance file on Unix: the home folder byte for byte, the locale's character set
// through iconv, and the save that keeps the file what it was (unix_file).
#include <iconv.h>
#include <langinfo.h>
#include <pwd.h>
#include <unistd.h>

#include <memory>

#include "storage/start_balance_file_p.h"
#include "storage/unix_file.h"

namespace storage::platform {
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

}  // namespace storage::platform
