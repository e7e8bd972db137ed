// What storage gives back: a value, or the facts of why it could not be had. The words the user
// reads are the window's; storage names the kind of failure, the system's own error and the file.
#pragma once

#include <QObject>
#include <QString>

#include <filesystem>
#include <type_traits>
#include <utility>
#include <variant>

namespace storage {

struct Failure {
    Q_GADGET

  public:
    enum class Kind {
        System,               // a system call failed: `code` is its errno
        QtFile,               // Qt's file functions failed: `code` and `systemText` say why
        NoHomeFolder,         // no folder is known to keep the file in
        HalfCharacter,        // `character` is half of one, a lone surrogate
        NotInLocaleCharset,   // the locale's `characterSet` cannot hold `character`
        UnknownCharacterSet,  // the system cannot convert to the locale's `characterSet`
        NotInCodePage,        // the code page `characterSet` cannot hold `character`
        TextNotInCodePage,    // the code page `characterSet` cannot hold the text
        OthersLink,           // the name leads through another user's link in a shared folder
        NotAnOrdinaryFile,    // the name leads to `found`, which is a `foundType`
        ReadOnly,             // the file may not be written
        Locked,               // another program kept the file locked
        KeptReplaced,         // other programs replaced the file at every attempt
        ShortWrite,           // only `written` of `size` bytes went in
    };
    Q_ENUM(Kind)
    enum class FileType { Folder, NamedPipe, Socket, Device };
    Q_ENUM(FileType)

    Kind kind = Kind::System;
    std::filesystem::path file{};  // the file the save was for
    int code = 0;                  // errno, or on Windows Qt's QFileDevice::FileError
    QString systemText{};          // Qt's words for `code`, which the code alone does not give
    char32_t character = 0;
    QString characterSet{};  // as the locale names it, or the code page's number
    std::filesystem::path found{};
    FileType foundType = FileType::Device;
    qint64 written = 0;
    qint64 size = 0;
    bool putBackFailed = false;  // in place, and the old bytes could not be put back either
};

// The one way storage reports a failure: true with a value, false with a Failure.
template <typename T = std::monostate>
class [[nodiscard]] Result {
  public:
    // Done, with nothing to give.
    Result() requires std::is_same_v<T, std::monostate> {}
    Result(T value) : state_(std::move(value)) {}
    Result(Failure failure) : state_(std::move(failure)) {}

    explicit operator bool() const { return std::holds_alternative<T>(state_); }
    T& operator*() { return std::get<T>(state_); }
    const T& operator*() const { return std::get<T>(state_); }
    T value_or(T otherwise) const { return *this ? **this : std::move(otherwise); }
    Failure& failure() { return std::get<Failure>(state_); }
    const Failure& failure() const { return std::get<Failure>(state_); }

  private:
    std::variant<T, Failure> state_;
};

}  // namespace storage
