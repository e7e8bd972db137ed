#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaEnum>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include "storage/start_balance_file.h"

#ifdef Q_OS_LINUX
#include <grp.h>
#include <pwd.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QProcess>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#endif

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

namespace {

using Kind = storage::Failure::Kind;

storage::Result<> Save(const QString& text, const QString& path) {
    return storage::SaveStartBalance(text, path.toStdU16String());
}

// What a failed save tells, in short, for a table row to name (none when it saved): the kind, the
// system's error, what the name led to, the character and its character set ("System EFBIG").
QString Facts(const storage::Result<>& saved) {
    if (saved) {
        return {};
    }
    const storage::Failure& failure = saved.failure();
    QStringList facts{QMetaEnum::fromType<Kind>().valueToKey(int(failure.kind))};
#ifdef Q_OS_LINUX
    if (failure.kind == Kind::System) {
        facts << strerrorname_np(failure.code);
    }
#endif
    if (failure.kind == Kind::QtFile) {
        facts << QString::number(failure.code);
    }
    if (failure.kind == Kind::NotAnOrdinaryFile) {
        facts << QMetaEnum::fromType<storage::Failure::FileType>().valueToKey(
            int(failure.foundType));
    }
    if (failure.character != 0) {
        facts << "U+" + QString::number(failure.character, 16).toUpper().rightJustified(4, '0');
    }
    return (facts << failure.characterSet).join(' ').trimmed();
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return "<missing>";
    }
    return file.readAll();
}

void WriteRaw(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

#ifdef Q_OS_LINUX

// Runs body in a child process, as the given user when there is one, and tells how it ended.
QString InChild(const std::function<int()>& body, std::optional<uid_t> user = std::nullopt,
                std::optional<gid_t> group = std::nullopt) {  // a group besides the user's own
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const bool asUser = !user || (setgroups(group ? 1 : 0, group ? &*group : nullptr) == 0 &&
                                      setgid(*user) == 0 && setuid(*user) == 0);
        _exit(asUser ? body() : 99);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFSIGNALED(status) ? QStringLiteral("killed by signal %1").arg(WTERMSIG(status))
                               : QStringLiteral("exit %1").arg(WEXITSTATUS(status));
}

// Names, file types and link targets of a folder's entries.
QStringList Entries(const QString& folder) {
    QStringList entries;
    for (const QFileInfo& entry : QDir(folder).entryInfoList(QDir::AllEntries | QDir::System |
                                                             QDir::Hidden | QDir::NoDotAndDotDot)) {
        struct stat status {};
        lstat(QFile::encodeName(entry.filePath()).constData(), &status);
        entries << QStringLiteral("%1 %2 %3")
                       .arg(entry.fileName())
                       .arg(status.st_mode & S_IFMT)
                       .arg(entry.symLinkTarget());
    }
    return entries;
}

// Runs shell commands in a folder and gives what they print, or why they failed.
QByteArray Shell(const QString& folder, const QString& commands) {
    QProcess shell;
    shell.setWorkingDirectory(folder);
    shell.start("sh", {"-ec", commands});
    return shell.waitForFinished() && shell.exitCode() == 0
               ? shell.readAllStandardOutput()
               : "failed: " + shell.readAllStandardError();
}

#endif

}  // namespace

class StartBalanceFileTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        QVERIFY(dir_.isValid());
        path_ = dir_.filePath("file1.txt");
        QFile::remove(path_);
    }

    // A home folder whose name is not UTF-8 (named on an older system) went through a lossy
    // conversion and was not found.
    void livesInTheHomeFolder() {
#ifdef Q_OS_WIN
        const QByteArray oldProfile = qgetenv("USERPROFILE");
        qputenv("USERPROFILE", QDir::toNativeSeparators(dir_.path()).toLocal8Bit());
        const auto path = storage::StartBalanceFilePath().value_or("");
        QCOMPARE(Facts(storage::SaveStartBalance("7,500")), QString());
        qputenv("USERPROFILE", oldProfile);
        QCOMPARE(QFileInfo(path).absoluteFilePath(), QFileInfo(path_).absoluteFilePath());
        QCOMPARE(ReadAll(path_), QByteArray("7,500\r\n"));
#else
        const QByteArray home = QFile::encodeName(dir_.path()) + "/j\xfcrgen";
        const auto removed = qScopeGuard([&] { std::filesystem::remove_all(home.toStdString()); });
        QCOMPARE(mkdir(home.constData(), 0700), 0);
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("HOME", home);
        const auto path = storage::StartBalanceFilePath().value_or("");
        QCOMPARE(Facts(storage::SaveStartBalance("7,500")), QString());
        qputenv("HOME", oldHome);
        QCOMPARE(path, std::filesystem::path(home.toStdString()) / "file1.txt");
        QCOMPARE(Shell(dir_.path(), "cat j*/file1.txt"), QByteArray("7,500\r\n"));
#endif
    }

    void writesTheTextAsOneLine_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("default") << "40,000" << QByteArray("40,000\r\n");
        QTest::newRow("empty") << "" << QByteArray("\r\n");
        QTest::newRow("blanks kept") << "  1 234,5 " << QByteArray("  1 234,5 \r\n");
        QTest::newRow("not a number") << "lots" << QByteArray("lots\r\n");
    }
    void writesTheTextAsOneLine() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(Facts(Save(text, path_)), QString());
        QCOMPARE(ReadAll(path_), bytes);
    }

    void replacesAnEarlierFile() {
        WriteRaw(path_, "a much longer earlier line\r\nand a second one\r\n");
        QCOMPARE(Facts(Save("first", path_)), QString());
        QCOMPARE(Facts(Save("2nd", path_)), QString());
        QCOMPARE(ReadAll(path_), QByteArray("2nd\r\n"));
    }

    void reportsAFolderThatIsMissing() {
        const QString path = dir_.filePath("no such folder/file1.txt");
        const auto saved = Save("40,000", path);
        QVERIFY(!saved);
        QCOMPARE(saved.failure().file, path.toStdU16String());
        QVERIFY(saved.failure().code != 0);
        QVERIFY(!QFile::exists(path));
    }

    void aFailedWriteKeepsTheEarlierFile() {
        WriteRaw(path_, "12\r\n");
#ifdef Q_OS_LINUX
        // A file size limit makes the write itself fail, even for a user who may write anywhere.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit small = old;
        small.rlim_cur = 8;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const auto saved = Save("1,234,567,890", path_);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &old), 0);
        std::signal(SIGXFSZ, SIG_DFL);
        const QString facts = "System EFBIG";
#else
        // The read-only attribute: a file the user may not write is refused, not replaced.
        QVERIFY(QFile::setPermissions(path_, QFile::ReadOwner));
        const auto saved = Save("1,234,567,890", path_);
        QVERIFY(QFile::setPermissions(path_, QFile::ReadOwner | QFile::WriteOwner));
        const QString facts = "QtFile " + QString::number(QFileDevice::WriteError);
#endif

        QCOMPARE(Facts(saved), facts);
        QCOMPARE(saved.failure().file, path_.toStdU16String());
        QCOMPARE(ReadAll(path_), QByteArray("12\r\n"));
        QCOMPARE(QDir(dir_.path()).entryList(QDir::Files), QStringList{"file1.txt"});
    }

#ifdef Q_OS_LINUX
    // A file size limit ended the program with SIGXFSZ in the middle of the save.
    void aFileSizeLimitDoesNotEndTheProgram() {
        WriteRaw(path_, "12\r\n");
        const QString ended = InChild([&] {
            std::signal(SIGXFSZ, SIG_DFL);
            rlimit small{};
            getrlimit(RLIMIT_FSIZE, &small);
            small.rlim_cur = 8;
            setrlimit(RLIMIT_FSIZE, &small);
            const bool failed = !Save("1,234,567,890", path_);
            struct sigaction now {};
            sigaction(SIGXFSZ, nullptr, &now);
            return failed && now.sa_handler == SIG_DFL ? 0 : 1;
        });
        QCOMPARE(ended, QStringLiteral("exit 0"));
        QCOMPARE(ReadAll(path_), QByteArray("12\r\n"));
    }

    // A link to a pipe or a device was replaced by a plain file; loops replaced the link.
    void followsLinksOnlyToOrdinaryFiles_data() {
        QTest::addColumn<QStringList>("links");  // name, target, name, target…
        QTest::addColumn<QString>("savedTo");    // none: refused
        QTest::addColumn<QString>("facts");
        const QString refused;
        const QString pipe = "NotAnOrdinaryFile NamedPipe";
        QTest::newRow("to a pipe") << QStringList{"file1.txt", "pipe"} << refused << pipe;
        QTest::newRow("through two links to a pipe")
            << QStringList{"file1.txt", "middle", "middle", "pipe"} << refused << pipe;
        QTest::newRow("in a loop") << QStringList{"file1.txt", "middle", "middle", "file1.txt"}
                                   << refused << "System ELOOP";
        QTest::newRow("to a file") << QStringList{"file1.txt", "real"} << "real"
                                   << "";
        QTest::newRow("to a missing file") << QStringList{"file1.txt", "gone"} << "gone"
                                           << "";
        // A temporary file was made inside the folder, and the reason was a missing file.
        QTest::newRow("to a folder, with a slash")
            << QStringList{"file1.txt", "./"} << refused << "NotAnOrdinaryFile Folder";
    }
    void followsLinksOnlyToOrdinaryFiles() {
        QFETCH(QStringList, links);
        QFETCH(QString, savedTo);
        QFETCH(QString, facts);
        const QTemporaryDir scratch;
        const QDir folder(scratch.path());
        const QString path = folder.filePath("file1.txt");
        QCOMPARE(mkfifo(QFile::encodeName(folder.filePath("pipe")).constData(), 0600), 0);
        WriteRaw(folder.filePath("real"), "12\r\n");
        for (qsizetype i = 0; i + 1 < links.size(); i += 2) {
            QVERIFY(QFile::link(links[i + 1], folder.filePath(links[i])));
        }
        const QStringList before = Entries(folder.path());

        const auto saved = Save("40,000", path);

        QVERIFY(QFileInfo(path).isSymLink());
        QCOMPARE(Facts(saved), facts);
        if (savedTo.isEmpty()) {
            QCOMPARE(Entries(folder.path()), before);
        } else {
            QCOMPARE(ReadAll(folder.filePath(savedTo)), QByteArray("40,000\r\n"));
        }
    }

    // A save replaced the file by rename whatever that lost (other names, owner, group, ACL,
    // attributes), failed where rename was refused, and cut the line short on a failed write in
    // place. Then: two saves at once mixed lines, a read-only file was replaced, a killed save's
    // file stayed, others' planted links were followed, unlistable attributes were dropped.
    void keepsTheFileWhatItWas_data() {
        QTest::addColumn<QString>("before");  // shell commands, as root, in file1.txt's folder
        QTest::addColumn<QString>("saver");   // user and a group besides its own; none: this one
        QTest::addColumn<int>("sizeLimit");
        QTest::addColumn<QString>("after");  // replaced, in place, or why the file was kept
        const QString full =
            "mount -t tmpfs -o size=64k tmpfs . && cd \"$PWD\" && printf '12\\r\\n' >file1.txt && "
            "{ dd if=/dev/zero of=filler bs=4k || true; }";
        const QString noNewFile = "chmod 0555 . && chmod 0666 file1.txt";
        const QString none;
        QTest::newRow("plain") << none << none << 0 << "replaced";
        QTest::newRow("second name") << "ln file1.txt other" << none << 0 << "in place";
        QTest::newRow("nobody's") << "chown nobody:nogroup file1.txt" << none << 0 << "replaced";
        QTest::newRow("a group of the saver's") << "chmod 0777 . && chown nobody:users file1.txt"
                                                << "nobody users" << 0 << "replaced";
        QTest::newRow("ACL") << "setfacl -m u:daemon:rw file1.txt" << none << 0 << "replaced";
        QTest::newRow("user.a") << "setfattr -n user.a -v b file1.txt" << none << 0 << "replaced";
        QTest::newRow("root's, sticky shared folder") << "chmod 1777 . && chmod 0666 file1.txt"
                                                      << "nobody" << 0 << "in place";
        QTest::newRow("no new file in the folder") << noNewFile << "nobody" << 0 << "in place";
        QTest::newRow("no new file, size limit") << noNewFile << "nobody" << 8 << "System EFBIG";
        QTest::newRow("no new file, full file system")
            << full + " && " + noNewFile << "nobody" << 0 << "System ENOSPC";
        QTest::newRow("full file system") << full << none << 0 << "System ENOSPC";
        QTest::newRow("two saves at once, one slow")
            << "ln file1.txt other && { strace -o /dev/null -e "
               "inject=fsync,ftruncate:delay_enter=1s \"$SAVER\" file1.txt 777777 & } && until "
               "grep -q 7 file1.txt || ! kill -0 $!; do sleep 0.01; done && \"$SAVER\" file1.txt 8 "
               "&& wait && printf '8\\r\\n' | cmp - file1.txt"
            << none << 0 << "in place";
        QTest::newRow("read-only, in the saver's own folder")
            << "chown nobody:nogroup . file1.txt && chmod 0444 file1.txt"
            << "nobody" << 0 << "ReadOnly";
        QTest::newRow("a save killed before its rename, and one more")
            << "{ strace -o /dev/null -e inject=renameat:signal=KILL \"$SAVER\" file1.txt 5 || "
               "true; } && \"$SAVER\" file1.txt 6 && test \"$(ls -A)\" = file1.txt"
            << none << 0 << "replaced";
        const QString planted = "OthersLink";
        QTest::newRow("another user's link, sticky shared folder")
            << "chmod 1777 . && mv file1.txt f && ln -s f file1.txt && chown -h nobody file1.txt"
            << none << 0 << planted;
        QTest::newRow("another user's link to the folder, sticky shared folder")
            << "chmod 1777 . && mkdir d && mv file1.txt d && ln -s d e && chown -h nobody e && ln "
               "-s e/file1.txt file1.txt"
            << none << 0 << planted;
        QTest::newRow("attributes too many to list")
            << "mount -t tmpfs tmpfs . && cd \"$PWD\" && touch file1.txt && { echo '# file: "
               "file1.txt'; for i in $(seq 260); do printf 'trusted.%0247d=1\\n' $i; done; } | "
               "setfattr --restore=-"
            << none << 0 << "in place";
    }
    void keepsTheFileWhatItWas() {
        QFETCH(QString, before);
        QFETCH(QString, saver);
        QFETCH(int, sizeLimit);
        QFETCH(QString, after);
        if (geteuid() != 0) {
            QSKIP("needs root: to give a file away, save as another user or mount a file system");
        }
        const QTemporaryDir scratch;
        const QString folder = scratch.path();
        const auto unmount = qScopeGuard([&] { umount2(qPrintable(folder), 0); });
        WriteRaw(folder + "/file1.txt", "12\r\n");
        QCOMPARE(Shell(folder, before), QByteArray());
        const QString facts = "stat -c '%u:%g %a %h' file1.txt && getfattr -d -m- file1.txt";
        const QByteArray factsBefore = Shell(folder, facts);
        const QByteArray inode = Shell(folder, "stat -c %i file1.txt");
        const QStringList entries = Entries(folder);
        const passwd* user = getpwnam(saver.section(' ', 0, 0).toUtf8().constData());
        const group* extra = getgrnam(saver.section(' ', 1, 1).toUtf8().constData());
        // A TMPDIR inside a folder closed to others failed these rows with "Permission denied.".
        const QString tmp = QFileInfo(folder).path();
        if (user && InChild([&] { return access(QFile::encodeName(tmp).constData(), X_OK); },
                            user->pw_uid) != QStringLiteral("exit 0")) {
            QSKIP(qPrintable(QStringLiteral("%1 cannot reach the temporary folder %2: give TMPDIR "
                                            "a folder every user may pass through")
                                 .arg(user->pw_name, tmp)));
        }
        const QString text(6000, QLatin1Char('9'));
        const bool refused = after != "replaced" && after != "in place";

        const QString ended = InChild(
            [&] {
                const rlimit small{rlim_t(sizeLimit), RLIM_INFINITY};
                const QString failure = sizeLimit > 0 && setrlimit(RLIMIT_FSIZE, &small) != 0
                                            ? "no size limit"
                                            : Facts(Save(text, folder + "/file1.txt"));
                const bool expected = failure == (refused ? after : QString());
                std::fputs(qPrintable(expected ? QString() : "Failure: " + failure + '\n'), stderr);
                return expected ? 0 : 1;
            },
            user ? std::optional(user->pw_uid) : std::nullopt,
            extra ? std::optional(extra->gr_gid) : std::nullopt);

        QCOMPARE(ended, QStringLiteral("exit 0"));
        QCOMPARE(ReadAll(folder + "/file1.txt"), refused ? "12\r\n" : text.toUtf8() + "\r\n");
        QCOMPARE(Shell(folder, facts), factsBefore);
        QCOMPARE(Entries(folder), entries);
        QCOMPARE(Shell(folder, "stat -c %i file1.txt") == inode, after != "replaced");
    }

    // The check that refuses a link to a pipe and the write each looked the name up: the last
    // of a chain of links switched in between had the save replace the pipe with a plain file.
    void writesTheFileItChecked() {
        const QTemporaryDir scratch;
        const QDir folder(scratch.path());
        QCOMPARE(Shell(folder.path(),
                       "mkfifo pipe && touch real && ln -s 1 file1.txt && "
                       "for i in $(seq 19); do ln -s $((i + 1)) $i; done"),
                 QByteArray());
        QProcess switcher;
        switcher.setWorkingDirectory(folder.path());
        switcher.start("sh", {"-c",
                              "until [ -e stop ]; do for t in pipe real; do ln -s $t n; "
                              "mv -T n 20; done; done"});
        const QDeadlineTimer deadline(2000);
        while (!deadline.hasExpired() && !QFileInfo(folder.filePath("pipe")).isFile()) {
            (void)Save("40,000", folder.filePath("file1.txt"));
        }
        WriteRaw(folder.filePath("stop"), "");
        QVERIFY(switcher.waitForFinished());
        QCOMPARE(Shell(folder.path(), "stat -c %F pipe"), QByteArray("fifo\n"));
    }

    // With HOME unset or empty the file went to /file1.txt.
    void homeFromThePasswordDatabase_data() {
        QTest::addColumn<bool>("unset");
        QTest::newRow("HOME unset") << true;
        QTest::newRow("HOME empty") << false;
    }
    void homeFromThePasswordDatabase() {
        QFETCH(bool, unset);
        const QByteArray oldHome = qgetenv("HOME");
        unset ? qunsetenv("HOME") : qputenv("HOME", "");
        const auto path = storage::StartBalanceFilePath();
        qputenv("HOME", oldHome);
        const passwd* entry = getpwuid(geteuid());
        QVERIFY(entry != nullptr);
        QCOMPARE(path.value_or("<none>"), std::filesystem::path(entry->pw_dir) / "file1.txt");
    }

    void refusesToSaveWithoutAHomeFolder() {
        const uid_t stranger = 4000000000;
        if (geteuid() != 0 || getpwuid(stranger) != nullptr) {
            QSKIP("needs root, to become a user the password database does not know");
        }
        const QString ended = InChild(
            [] {
                qunsetenv("HOME");
                const auto saved = storage::SaveStartBalance("40,000");
                return !storage::StartBalanceFilePath() && Facts(saved) == "NoHomeFolder" &&
                               saved.failure().file == "file1.txt"
                           ? 0
                           : 1;
            },
            stranger);
        QCOMPARE(ended, QStringLiteral("exit 0"));
    }

#endif

    // The line was written in UTF-8 whatever the locale's character set; then the C locale refused
    // all but ASCII, Latin-1 an accent typed apart, and half a character was written as "?". On
    // Windows it went out as Qt's local 8-bit text: "Lodz" for "Łódź", "?" for what the code page
    // lacks.
    void writesInTheLocaleCharacterSet_data() {
        QTest::addColumn<QByteArray>("locale");  // on Windows the ANSI code page
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");  // none: refused
        QTest::addColumn<QString>("facts");
#ifdef Q_OS_WIN
        // Under Wine, the C locale its CMake file gives it makes the code page 1252.
        QTest::newRow("code page 1252") << QByteArray("1252") << "40.000 Grüße €"
                                        << QByteArray("40.000 Gr\xfc\xdf\x65 \x80\r\n") << "";
        QTest::newRow("best fit") << QByteArray("1252") << "Łódź" << QByteArray()
                                  << "NotInCodePage U+0141 1252";
        QTest::newRow("lacking") << QByteArray("1252") << "40,000 ₹" << QByteArray()
                                 << "NotInCodePage U+20B9 1252";
#else
        QTest::newRow("Latin-1") << QByteArray("de_DE.ISO-8859-1") << "40.000 Grüße"
                                 << QByteArray(
                                        "40.000 Gr\xfc\xdf"
                                        "e\r\n")
                                 << "";
        QTest::newRow("euro outside Latin-1")
            << QByteArray("de_DE.ISO-8859-1") << "40.000 €" << QByteArray()
            << "NotInLocaleCharset U+20AC ISO-8859-1";
        QTest::newRow("accent typed apart")
            << QByteArray("de_DE.ISO-8859-1") << "Rene\u0301" << QByteArray("Ren\xe9\r\n") << "";
        QTest::newRow("C locale") << QByteArray("C") << "Grüße €" << QByteArray("Grüße €\r\n")
                                  << "";
        QTest::newRow("half a character")
            << QByteArray("C.UTF-8") << QString("40") + QChar(0xd800) + "00" << QByteArray()
            << "HalfCharacter U+D800";
        QTest::newRow("UTF-8") << QByteArray("C.UTF-8") << "40.000 €" << QByteArray("40.000 €\r\n")
                               << "";
#endif
    }
    void writesInTheLocaleCharacterSet() {
        QFETCH(QByteArray, locale);
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, facts);
        WriteRaw(path_, "12\r\n");
#ifdef Q_OS_WIN
        if (QByteArray::number(GetACP()) != locale) {
            QSKIP(qPrintable("needs the ANSI code page " + locale));
        }
        const auto saved = Save(text, path_);
#else
        const QByteArray oldLocale = std::setlocale(LC_ALL, nullptr);
        if (std::setlocale(LC_ALL, locale.constData()) == nullptr) {
            QSKIP(qPrintable("locale " + locale +
                             " is missing; make it with: localedef -i de_DE "
                             "-f ISO-8859-1 de_DE.ISO-8859-1"));
        }
        const auto saved = Save(text, path_);
        std::setlocale(LC_ALL, oldLocale.constData());
#endif
        QCOMPARE(Facts(saved), facts);
        QCOMPARE(ReadAll(path_), bytes.isEmpty() ? QByteArray("12\r\n") : bytes);
    }

  private:
    QTemporaryDir dir_;
    QString path_;
};

QTEST_GUILESS_MAIN(StartBalanceFileTest)
#include "start_balance_file_test.moc"
