#include "window/save_failure_text.h"

#include <QDir>
#include <QFileInfo>

#include "window/form1.h"

namespace {

using Kind = storage::Failure::Kind;

QString FileType(storage::Failure::FileType type) {
    switch (type) {
        case storage::Failure::FileType::Folder:
            return Form1::tr("a folder");
        case storage::Failure::FileType::NamedPipe:
            return Form1::tr("a named pipe");
        case storage::Failure::FileType::Socket:
            return Form1::tr("a socket");
        case storage::Failure::FileType::Device:
            break;
    }
    return Form1::tr("a device");
}

QString Reason(const storage::Failure& failure) {
    const QString character = QString::fromUcs4(&failure.character, 1);
    switch (failure.kind) {
        case Kind::System:
            return qt_error_string(failure.code) + QLatin1Char('.');
        case Kind::QtFile:
            return failure.systemText;
        case Kind::NoHomeFolder:
            return Form1::tr(
                "No home folder is known: HOME is unset or empty, and the password database has "
                "no entry for this user.");
        case Kind::HalfCharacter:
            return Form1::tr(
                       "The text holds %1, half of a character without its other half (as a "
                       "broken paste can leave); no character set can write it.")
                .arg(CodePointName(failure.character));
        case Kind::NotInLocaleCharset:
            return Form1::tr(
                       "The character \"%1\" (%2) cannot be written in %3, the character set of "
                       "the current locale.")
                .arg(character, CodePointName(failure.character), failure.characterSet);
        case Kind::UnknownCharacterSet:
            return Form1::tr(
                       "This system cannot write %1, the character set of the current locale.")
                .arg(failure.characterSet);
        case Kind::NotInCodePage:
            return Form1::tr(
                       "The character \"%1\" (%2) cannot be written in code page %3, the "
                       "character set of this system's language settings.")
                .arg(character, CodePointName(failure.character))
                .arg(failure.characterSet);
        case Kind::TextNotInCodePage:
            return Form1::tr("The text cannot be written in code page %1.")
                .arg(failure.characterSet);
        case Kind::OthersLink:
            return Form1::tr(
                "The name leads through another user's link in a shared folder; it was not "
                "followed.");
        case Kind::NotAnOrdinaryFile:
            return Form1::tr("%1 is %2, not an ordinary file; it was left as it is.")
                .arg(ShownFileName(failure.found), FileType(failure.foundType));
        case Kind::ReadOnly:
            return Form1::tr("You may not write to this file; it was left as it is.");
        case Kind::Locked:
            return Form1::tr(
                "Another program kept the file locked for five seconds; it was left as it is.");
        case Kind::KeptReplaced:
            return Form1::tr(
                "Other programs kept replacing the file during the save; it was left as they "
                "made it.");
        case Kind::ShortWrite:
            break;
    }
    return Form1::tr("Only %1 of %2 bytes could be written.")
        .arg(failure.written)
        .arg(failure.size);
}

}  // namespace

QString CodePointName(char32_t character) {
    return QStringLiteral("U+") +
           QString::number(character, 16).toUpper().rightJustified(4, QLatin1Char('0'));
}

QString ShownFileName(const std::filesystem::path& file) {
    return QDir::toNativeSeparators(QFileInfo(file).filePath());
}

QString SaveFailureReason(const storage::Failure& failure) {
    QString reason = Reason(failure);
    if (failure.putBackFailed) {
        reason += Form1::tr(
            " Putting the earlier line back failed too, so the file may hold parts of both.");
    }
    // Qt's own words lack the full stop.
    return reason.endsWith(QLatin1Char('.')) ? reason : reason + QLatin1Char('.');
}
