#include "storage/unix_file.h"

#include <QByteArrayList>
#include <QFile>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <utility>
#include <variant>

namespace storage::unix_file {
namespace {

using Reason = QString;

constexpr int kMostLinks = 40;  // as many as the kernel follows in one name

class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

  private:
    int fd_;
};

// Past a file size limit the system would end the program in the middle of the write; ignored,
// it shows as a failed write instead.
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

// Where a name leads once every link is followed: the folder and the last part of the name.
struct Place {
    Descriptor folder;
    QByteArray folderPath;
    QByteArray name;
    std::optional<struct stat> found;  // none: nothing has that name yet
};

std::variant<Place, Reason> Follow(QByteArray path) {
    for (int links = 0; links <= kMostLinks; ++links) {
        const qsizetype slash = path.lastIndexOf('/');
        Place place;
        place.folderPath = slash < 0 ? QByteArray(".") : path.left(std::max<qsizetype>(slash, 1));
        place.name = path.mid(slash + 1);
        place.folder =
            Descriptor(open(place.folderPath.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!place.folder) {
            return SystemError();
        }
        struct stat status {};
        if (fstatat(place.folder.get(), place.name.constData(), &status, AT_SYMLINK_NOFOLLOW) !=
            0) {
            return errno == ENOENT ? std::variant<Place, Reason>(std::move(place)) : SystemError();
        }
        if (!S_ISLNK(status.st_mode)) {
            place.found = status;
            return place;
        }
        QByteArray target(PATH_MAX, Qt::Uninitialized);
        const ssize_t size = readlinkat(place.folder.get(), place.name.constData(), target.data(),
                                        size_t(target.size()));
        if (size < 0) {
            return SystemError();
        }
        target.truncate(size);
        path = target.startsWith('/') ? target : place.folderPath + '/' + target;
    }
    return SystemError(ELOOP);
}

Reason NotAnOrdinaryFile(const Place& place, mode_t mode) {
    QByteArray path = place.folderPath + '/' + place.name;
    if (char* resolved = realpath(path.constData(), nullptr)) {
        path = resolved;
        std::free(resolved);
    }
    const QString kind = S_ISDIR(mode)    ? QStringLiteral("a folder")
                         : S_ISFIFO(mode) ? QStringLiteral("a named pipe")
                         : S_ISSOCK(mode) ? QStringLiteral("a socket")
                                          : QStringLiteral("a device");
    return QStringLiteral("%1 is %2, not an ordinary file; it was left as it is.")
        .arg(QFile::decodeName(path), kind);
}

// The file as it is before the save, opened once: what was checked is what gets written.
struct Existing {
    Descriptor fd;
    bool readWrite = false;
    struct stat status {};
};

std::variant<Existing, Reason> OpenExisting(const Place& place) {
    Existing file;
    for (const int access : {O_RDWR, O_RDONLY, O_WRONLY}) {
        file.fd = Descriptor(openat(place.folder.get(), place.name.constData(),
                                    access | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        file.readWrite = access == O_RDWR;
        if (file.fd || errno != EACCES) {
            break;
        }
    }
    if (!file.fd || fstat(file.fd.get(), &file.status) != 0) {
        return SystemError();
    }
    if (!S_ISREG(file.status.st_mode)) {
        return NotAnOrdinaryFile(place, file.status.st_mode);
    }
    return file;
}

// pread or pwrite of all the bytes from the start of the file.
template <typename Transfer, typename Byte>
std::optional<Reason> Whole(Transfer transfer, int fd, Byte* bytes, qsizetype size) {
    for (qsizetype done = 0; done < size;) {
        const ssize_t count = transfer(fd, bytes + done, size_t(size - done), off_t(done));
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return SystemError(count == 0 ? EIO : errno);
        }
        done += count;
    }
    return std::nullopt;
}

// Overwrites without cutting the file first, so that until the whole line is in, the old bytes
// past it are still there, and those it covered can be put back.
std::optional<Reason> WriteInPlace(const QByteArray& bytes, const Existing& file) {
    if (!file.readWrite) {
        return SystemError(EACCES);
    }
    const int fd = file.fd.get();
    const off_t oldSize = file.status.st_size;
    QByteArray covered(std::min<qint64>(oldSize, bytes.size()), Qt::Uninitialized);
    if (auto failed = Whole(pread, fd, covered.data(), covered.size())) {
        return failed;
    }
    auto failed = Whole(pwrite, fd, bytes.constData(), bytes.size());
    if (!failed && (ftruncate(fd, off_t(bytes.size())) != 0 || fsync(fd) != 0)) {
        failed = SystemError();
    }
    if (failed) {
        (void)Whole(pwrite, fd, covered.constData(), covered.size());
        (void)ftruncate(fd, oldSize);
    }
    return failed;
}

QByteArrayList AttributeNames(int fd) {
    QByteArray names;
    for (ssize_t size = flistxattr(fd, nullptr, 0); size > 0;) {
        names.resize(size);
        size = flistxattr(fd, names.data(), size_t(size));
        if (size >= 0 || errno != ERANGE) {
            names.truncate(std::max<ssize_t>(size, 0));
            break;
        }
        size = flistxattr(fd, nullptr, 0);
    }
    names.chop(1);  // each name ends with a zero byte
    return names.isEmpty() ? QByteArrayList() : names.split('\0');
}

// The extended attributes, the ACL among them, made the same as the old file's.
bool CopyAttributes(int from, int to) {
    const QByteArrayList wanted = AttributeNames(from);
    for (const QByteArray& name : AttributeNames(to)) {
        if (!wanted.contains(name) && fremovexattr(to, name.constData()) != 0) {
            return false;
        }
    }
    for (const QByteArray& name : wanted) {
        const ssize_t size = fgetxattr(from, name.constData(), nullptr, 0);
        QByteArray value(std::max<ssize_t>(size, 0), Qt::Uninitialized);
        if (size < 0 || fgetxattr(from, name.constData(), value.data(), size_t(size)) != size ||
            fsetxattr(to, name.constData(), value.constData(), size_t(size), 0) != 0) {
            return false;
        }
    }
    return true;
}

bool CarryOver(const Existing& file, int to) {
    const struct stat& was = file.status;
    struct stat now {};
    return fchown(to, was.st_uid, was.st_gid) == 0 && fchmod(to, was.st_mode & 07777) == 0 &&
           CopyAttributes(file.fd.get(), to) && fstat(to, &now) == 0 && now.st_uid == was.st_uid &&
           now.st_gid == was.st_gid && now.st_mode == was.st_mode;
}

// A new file beside the one it is to replace; removed again unless renamed.
class Replacement {
  public:
    Replacement(const Place& place, mode_t mode) : place_(place) {
        for (int attempt = 0; attempt < 100 && !fd_; ++attempt) {
            name_ =
                place.name + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
            fd_ = Descriptor(openat(place.folder.get(), name_.constData(),
                                    O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
            if (!fd_ && errno != EEXIST) {
                break;
            }
        }
    }
    ~Replacement() {
        if (fd_ && !renamed_) {
            unlinkat(place_.folder.get(), name_.constData(), 0);
        }
    }
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    explicit operator bool() const { return bool(fd_); }
    int fd() const { return fd_.get(); }
    bool RenameOver() {
        renamed_ = renameat(place_.folder.get(), name_.constData(), place_.folder.get(),
                            place_.name.constData()) == 0;
        return renamed_;
    }

  private:
    const Place& place_;
    QByteArray name_;
    Descriptor fd_;
    bool renamed_ = false;
};

enum class Replaced { Yes, NotEverythingKept };

std::variant<Replaced, Reason> Replace(const QByteArray& bytes, const Place& place,
                                       const Existing* file) {
    // Private until the old file's mode is carried over.
    Replacement replacement(place, file ? 0600 : 0666);
    if (!replacement) {
        // The folder takes no new file (no right to add one, or no room): write in place.
        return file ? std::variant<Replaced, Reason>(Replaced::NotEverythingKept) : SystemError();
    }
    if (auto failed = Whole(pwrite, replacement.fd(), bytes.constData(), bytes.size())) {
        return *failed;
    }
    // Metadata after the bytes: a write by a user other than root drops set-user-ID bits.
    if (file && !CarryOver(*file, replacement.fd())) {
        return Replaced::NotEverythingKept;
    }
    if (fsync(replacement.fd()) != 0) {
        return SystemError();
    }
    if (!replacement.RenameOver()) {
        // A folder with the sticky bit refuses to replace another user's file.
        return file ? std::variant<Replaced, Reason>(Replaced::NotEverythingKept) : SystemError();
    }
    return Replaced::Yes;
}

std::optional<Reason> SaveTo(const QByteArray& bytes, const Place& place) {
    if (place.found && !S_ISREG(place.found->st_mode)) {
        return NotAnOrdinaryFile(place, place.found->st_mode);
    }
    std::variant<Existing, Reason> opened;
    const Existing* file = nullptr;
    if (place.found) {
        opened = OpenExisting(place);
        if (const auto* reason = std::get_if<Reason>(&opened)) {
            return *reason;
        }
        file = &std::get<Existing>(opened);
    }
    if (!file || file->status.st_nlink == 1) {
        const auto replaced = Replace(bytes, place, file);
        if (const auto* reason = std::get_if<Reason>(&replaced)) {
            return *reason;
        }
        if (std::get<Replaced>(replaced) == Replaced::Yes) {
            return std::nullopt;
        }
    }
    return WriteInPlace(bytes, *file);
}

}  // namespace

QString SystemError(int error) {
    return qt_error_string(error) + QLatin1Char('.');
}

std::optional<QString> Save(const QByteArray& bytes, const std::filesystem::path& fileName) {
    [[maybe_unused]] const FileSizeSignalIgnored duringTheSave;
    auto followed = Follow(QByteArray::fromStdString(fileName.native()));
    if (auto* place = std::get_if<Place>(&followed)) {
        return SaveTo(bytes, *place);
    }
    return std::get<Reason>(followed);
}

}  // namespace storage::unix_file
