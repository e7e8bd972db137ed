#include "storage/unix_file.h"

#include <QByteArrayList>
#include <QRandomGenerator>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <utility>

namespace storage::unix_file {
namespace {

using Kind = Failure::Kind;

constexpr int kMostLinks = 40;  // as many as the kernel follows in one name
// Attempts at a call that a signal cuts short, and at a save whose file another save replaces
// meanwhile: a failure that keeps coming is reported rather than waited out.
constexpr int kAttempts = 10;

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

template <typename Call>
auto Retried(Call call) {
    auto result = call();
    for (int attempt = 1; result < 0 && errno == EINTR && attempt < kAttempts; ++attempt) {
        result = call();
    }
    return result;
}

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
    struct stat folderStatus {};
    QByteArray folderPath;
    QByteArray name;
    std::optional<struct stat> found;  // none: nothing has that name yet
};

// The kernel's rule for links in a sticky folder that anyone may write to (/tmp), applied
// whatever this machine's fs.protected_symlinks says: only the saver's own links and the folder
// owner's are followed, so that no other user can lead the save to a file of their choosing.
bool MayFollow(const Place& place, const struct stat& link) {
    constexpr mode_t kShared = S_ISVTX | S_IWOTH;
    return link.st_uid == geteuid() || (place.folderStatus.st_mode & kShared) != kShared ||
           link.st_uid == place.folderStatus.st_uid;
}

// Opens the next folder on the way ("/": the root), with what the rule for links needs of it.
Result<> Enter(Place& place, const QByteArray& name) {
    const int from = place.folder ? place.folder.get() : AT_FDCWD;
    place.folder =
        Descriptor(openat(from, name.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!place.folder || fstat(place.folder.get(), &place.folderStatus) != 0) {
        return SystemFailure();
    }
    if (name == "/") {
        place.folderPath.clear();
    } else if (name != ".") {
        place.folderPath += '/' + name;
    }
    return {};
}

// One part of the name at a time, so that the rule holds for the links among the folders too.
Result<Place> Follow(const QByteArray& fileName) {
    Place place;
    place.folderPath = ".";
    QByteArrayList rest = fileName.split('/');
    Result<> entered = Enter(place, fileName.startsWith('/') ? "/" : ".");
    for (int links = 0; entered;) {
        const QByteArray name = rest.takeFirst();
        struct stat status {};
        if (name.isEmpty()) {
            if (rest.isEmpty()) {  // "folder/": the folder itself
                place.found = place.folderStatus;
                return place;
            }
        } else if (fstatat(place.folder.get(), name.constData(), &status, AT_SYMLINK_NOFOLLOW) !=
                   0) {
            if (errno != ENOENT || !rest.isEmpty()) {
                return SystemFailure();
            }
            place.name = name;
            return place;
        } else if (S_ISLNK(status.st_mode)) {
            if (++links > kMostLinks) {
                return SystemFailure(ELOOP);
            }
            if (!MayFollow(place, status)) {
                return Failure{.kind = Kind::OthersLink};
            }
            QByteArray target(PATH_MAX, Qt::Uninitialized);
            const ssize_t size = readlinkat(place.folder.get(), name.constData(), target.data(),
                                            size_t(target.size()));
            if (size < 0) {
                return SystemFailure();
            }
            target.truncate(size);
            rest = target.split('/') + rest;
            if (target.startsWith('/')) {
                entered = Enter(place, "/");
            }
        } else if (rest.isEmpty()) {
            place.name = name;
            place.found = status;
            return place;
        } else {
            entered = Enter(place, name);
        }
    }
    return entered.failure();
}

Failure NotAnOrdinaryFile(const Place& place, mode_t mode) {
    QByteArray path = place.folderPath + '/' + place.name;
    if (char* resolved = realpath(path.constData(), nullptr)) {
        path = resolved;
        std::free(resolved);
    }
    using Type = Failure::FileType;
    return Failure{.kind = Kind::NotAnOrdinaryFile,
                   .found = path.toStdString(),
                   .foundType = S_ISDIR(mode)    ? Type::Folder
                                : S_ISFIFO(mode) ? Type::NamedPipe
                                : S_ISSOCK(mode) ? Type::Socket
                                                 : Type::Device};
}

// The file as it is before the save, opened once: what was checked is what gets written.
struct Existing {
    Descriptor fd;
    bool readWrite = false;
    struct stat status {};
};

Result<Existing> OpenExisting(const Place& place) {
    Existing file;
    for (const int access : {O_RDWR, O_WRONLY}) {
        file.fd = Descriptor(openat(place.folder.get(), place.name.constData(),
                                    access | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        file.readWrite = access == O_RDWR;
        if (file.fd || errno != EACCES) {
            break;
        }
    }
    // Replacing a file the user may not write (one made read-only) would overrule its mode.
    if (!file.fd && errno == EACCES) {
        return Failure{.kind = Kind::ReadOnly};
    }
    if (!file.fd || fstat(file.fd.get(), &file.status) != 0) {
        return SystemFailure();
    }
    if (!S_ISREG(file.status.st_mode)) {
        return NotAnOrdinaryFile(place, file.status.st_mode);
    }
    return file;
}

// Two saves of one file, by this program or another copy of it, take turns instead of mixing
// their lines; a program that keeps the file locked is waited for five seconds at most.
Result<> Lock(int fd) {
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    for (int wait = 0; wait < 500; ++wait) {
        if (fcntl(fd, F_OFD_SETLK, &whole) == 0 || errno == ENOLCK || errno == EINVAL) {
            return {};  // locked, or a file system without locks: nothing to wait for
        }
        if (errno != EAGAIN && errno != EACCES) {
            return SystemFailure();
        }
        const timespec moment{0, 10'000'000};
        nanosleep(&moment, nullptr);
    }
    return Failure{.kind = Kind::Locked};
}

// pread or pwrite of all the bytes from the start of the file.
template <typename Transfer, typename Byte>
Result<> Whole(Transfer transfer, int fd, Byte* bytes, qsizetype size) {
    for (qsizetype done = 0; done < size;) {
        const ssize_t count =
            Retried([&] { return transfer(fd, bytes + done, size_t(size - done), off_t(done)); });
        if (count <= 0) {
            return SystemFailure(count == 0 ? EIO : errno);
        }
        done += count;
    }
    return {};
}

Result<> Flushed(int fd) {
    if (Retried([&] { return fsync(fd); }) != 0) {
        return SystemFailure();
    }
    return {};
}

// Every old byte and the old length, after a failure at any step.
bool PutBack(int fd, const QByteArray& old, qsizetype writtenSize) {
    const bool back = Whole(pwrite, fd, old.constData(), old.size()) &&
                      (writtenSize <= old.size() || ftruncate(fd, off_t(old.size())) == 0);
    (void)Flushed(fd);  // the failure that led here is the one to report
    return back;
}

// Overwrites without cutting the file first, so that until the whole line is in, the old length
// stands; the old bytes, all of them, are kept to put back.
Result<> WriteInPlace(const QByteArray& bytes, const Existing& file) {
    if (!file.readWrite) {
        return SystemFailure(EACCES);
    }
    const int fd = file.fd.get();
    QByteArray old(qsizetype(file.status.st_size), Qt::Uninitialized);
    if (auto read = Whole(pread, fd, old.data(), old.size()); !read) {
        return read;
    }
    auto written = Whole(pwrite, fd, bytes.constData(), bytes.size());
    if (written && bytes.size() < old.size() && ftruncate(fd, off_t(bytes.size())) != 0) {
        written = SystemFailure();
    }
    if (written) {
        written = Flushed(fd);
    }
    if (!written && !PutBack(fd, old, bytes.size())) {
        written.failure().putBackFailed = true;
    }
    return written;
}

// None when the list cannot be read; empty where the file system keeps no attributes.
std::optional<QByteArrayList> AttributeNames(int fd) {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const ssize_t size = flistxattr(fd, nullptr, 0);
        if (size <= 0) {
            return size == 0 || errno == ENOTSUP ? std::optional(QByteArrayList()) : std::nullopt;
        }
        QByteArray names(size, Qt::Uninitialized);
        const ssize_t listed = flistxattr(fd, names.data(), size_t(size));
        if (listed >= 0) {
            names.truncate(listed);
            names.chop(1);  // each name ends with a zero byte
            return names.isEmpty() ? QByteArrayList() : names.split('\0');
        }
        if (errno != ERANGE) {  // not just a list that grew in between
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// The extended attributes, the ACL among them, made the same as the old file's.
bool CopyAttributes(int from, int to) {
    const std::optional<QByteArrayList> wanted = AttributeNames(from);
    const std::optional<QByteArrayList> present = AttributeNames(to);
    if (!wanted || !present) {
        return false;
    }
    for (const QByteArray& name : *present) {
        if (!wanted->contains(name) && fremovexattr(to, name.constData()) != 0) {
            return false;
        }
    }
    for (const QByteArray& name : *wanted) {
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

// A save's new file has this name only for the moment before it is renamed over the old one
// (or, where the file system makes no unnamed files, while it is written), so a name of this
// shape that stays was left by a save that was killed.
QByteArray TemporaryName(const QByteArray& name) {
    return '.' + name + ".saving-" +
           QByteArray::number(QRandomGenerator::global()->generate(), 36).rightJustified(7, '0');
}

bool IsTemporaryName(const QByteArray& entry, const QByteArray& name) {
    const QByteArray prefix = '.' + name + ".saving-";
    return entry.size() == prefix.size() + 7 && entry.startsWith(prefix) &&
           std::all_of(entry.begin() + prefix.size(), entry.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'); });
}

// Removes what killed saves of this name left: the saver's own ordinary files of that shape.
void RemoveLeftovers(const Place& place) {
    const int listed = openat(place.folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const std::unique_ptr<DIR, int (*)(DIR*)> folder(listed < 0 ? nullptr : fdopendir(listed),
                                                     closedir);
    if (!folder) {
        if (listed >= 0) {
            close(listed);
        }
        return;
    }
    while (const dirent* entry = readdir(folder.get())) {
        struct stat status {};
        if (IsTemporaryName(entry->d_name, place.name) &&
            fstatat(place.folder.get(), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(status.st_mode) && status.st_uid == geteuid() && status.st_nlink == 1) {
            unlinkat(place.folder.get(), entry->d_name, 0);
        }
    }
}

// A new file in the folder that gets the name only when it is whole: unnamed until then where the
// file system can make such a file, otherwise under a temporary name. Removed again unless named.
class NewFile {
  public:
    NewFile(const Place& place, mode_t mode) : place_(place) {
        fd_ = Descriptor(openat(place.folder.get(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode));
        if (fd_ && access(ThroughProc().constData(), F_OK) != 0) {
            fd_ = Descriptor();  // no /proc to name it through
        }
        for (int attempt = 0; !fd_ && attempt < kAttempts; ++attempt) {
            temporary_ = TemporaryName(place.name);
            fd_ = Descriptor(openat(place.folder.get(), temporary_.constData(),
                                    O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
            if (!fd_) {
                temporary_.clear();  // free() keeps errno
                if (errno != EEXIST) {
                    break;
                }
            }
        }
        if (!fd_) {
            made_ = SystemFailure();
        }
    }
    ~NewFile() {
        if (!temporary_.isEmpty()) {
            unlinkat(place_.folder.get(), temporary_.constData(), 0);
        }
    }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    const Result<>& Made() const { return made_; }
    int fd() const { return fd_.get(); }

    // Over the old file by a rename; where there was none, unnamed, by a link that fails with
    // EEXIST if another save made one meanwhile.
    Result<> Name(bool over) {
        const int folder = place_.folder.get();
        if (temporary_.isEmpty()) {
            const QByteArray name = over ? TemporaryName(place_.name) : place_.name;
            if (linkat(AT_FDCWD, ThroughProc().constData(), folder, name.constData(),
                       AT_SYMLINK_FOLLOW) != 0) {
                return SystemFailure();
            }
            if (!over) {
                return {};
            }
            temporary_ = name;
        }
        if (renameat(folder, temporary_.constData(), folder, place_.name.constData()) != 0) {
            return SystemFailure();
        }
        temporary_.clear();
        return {};
    }

  private:
    QByteArray ThroughProc() const { return "/proc/self/fd/" + QByteArray::number(fd_.get()); }

    const Place& place_;
    QByteArray temporary_;  // empty: unnamed, or named as the file it replaces
    Descriptor fd_;
    Result<> made_;
};

// How far a save got: done; to start again, another save having given the name a file meanwhile;
// or to write in place, a new file being unable to keep all that the old one was.
enum class Outcome { Saved, Again, InPlace };

Result<Outcome> Replace(const QByteArray& bytes, const Place& place, const Existing* file) {
    // Private until the old file's mode is carried over.
    NewFile replacement(place, file ? 0600 : 0666);
    if (!replacement.Made()) {
        // The folder takes no new file (no right to add one, or no room): write in place.
        return file ? Result<Outcome>(Outcome::InPlace) : replacement.Made().failure();
    }
    if (auto written = Whole(pwrite, replacement.fd(), bytes.constData(), bytes.size()); !written) {
        return written.failure();
    }
    // Metadata after the bytes: a write by a user other than root drops set-user-ID bits.
    if (file && !CarryOver(*file, replacement.fd())) {
        return Outcome::InPlace;
    }
    if (auto flushed = Flushed(replacement.fd()); !flushed) {
        return flushed.failure();
    }
    if (auto named = replacement.Name(file != nullptr); !named) {
        if (file) {
            return Outcome::InPlace;  // the rename was refused
        }
        return named.failure().code == EEXIST ? Result<Outcome>(Outcome::Again) : named.failure();
    }
    return Outcome::Saved;
}

// A folder with the sticky bit lets only the file's owner, the folder's and root replace a file:
// known before anything is written there.
bool MayReplace(const Place& place, const struct stat& file) {
    const uid_t saver = geteuid();
    return !(place.folderStatus.st_mode & S_ISVTX) || saver == 0 || saver == file.st_uid ||
           saver == place.folderStatus.st_uid;
}

Result<Outcome> SaveTo(const QByteArray& bytes, const Place& place) {
    if (!place.found) {
        return Replace(bytes, place, nullptr);
    }
    if (!S_ISREG(place.found->st_mode)) {
        return NotAnOrdinaryFile(place, place.found->st_mode);
    }
    auto opened = OpenExisting(place);
    if (!opened) {
        return opened.failure();
    }
    Existing& file = *opened;
    if (auto locked = Lock(file.fd.get()); !locked) {
        return locked.failure();
    }
    // Locked, the file is still the one the name leads to unless another save replaced it.
    struct stat named {};
    if (fstatat(place.folder.get(), place.name.constData(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
        named.st_dev != file.status.st_dev || named.st_ino != file.status.st_ino) {
        return Outcome::Again;
    }
    if (fstat(file.fd.get(), &file.status) != 0) {  // as the other save left it
        return SystemFailure();
    }
    RemoveLeftovers(place);
    if (file.status.st_nlink == 1 && MayReplace(place, file.status)) {
        auto replaced = Replace(bytes, place, &file);
        if (!replaced || *replaced != Outcome::InPlace) {
            return replaced;
        }
    }
    if (auto written = WriteInPlace(bytes, file); !written) {
        return written.failure();
    }
    return Outcome::Saved;
}

}  // namespace

Failure SystemFailure(int error) {
    return Failure{.kind = Kind::System, .code = error};
}

Result<> Save(const QByteArray& bytes, const std::filesystem::path& fileName) {
    [[maybe_unused]] const FileSizeSignalIgnored duringTheSave;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const auto followed = Follow(QByteArray::fromStdString(fileName.native()));
        if (!followed) {
            return followed.failure();
        }
        const auto saved = SaveTo(bytes, *followed);
        if (!saved) {
            return saved.failure();
        }
        if (*saved == Outcome::Saved) {
            return {};
        }
    }
    return Failure{.kind = Kind::KeptReplaced};
}

}  // namespace storage::unix_file
