#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "storage/start_balance_file.h"

#ifdef Q_OS_LINUX
#include <sys/resource.h>

#include <csignal>
#endif

namespace {

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

}  // namespace

class StartBalanceFileTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        QVERIFY(dir_.isValid());
        path_ = dir_.filePath("file1.txt");
        QFile::remove(path_);
    }

    void livesInTheHomeFolder() {
#ifdef Q_OS_WIN
        QCOMPARE(storage::StartBalanceFilePath(), QStringLiteral("C:/file1.txt"));
#else
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("HOME", dir_.path().toLocal8Bit());
        const QString path = storage::StartBalanceFilePath();
        QVERIFY(!storage::SaveStartBalance("7,500"));
        qputenv("HOME", oldHome);
        QCOMPARE(QFileInfo(path).absoluteFilePath(), QFileInfo(path_).absoluteFilePath());
        QCOMPARE(ReadAll(path_), QByteArray("7,500\r\n"));
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
        QCOMPARE(storage::SaveStartBalance(text, path_).has_value(), false);
        QCOMPARE(ReadAll(path_), bytes);
    }

    void replacesAnEarlierFile() {
        WriteRaw(path_, "a much longer earlier line\r\nand a second one\r\n");
        QVERIFY(!storage::SaveStartBalance("first", path_));
        QVERIFY(!storage::SaveStartBalance("2nd", path_));
        QCOMPARE(ReadAll(path_), QByteArray("2nd\r\n"));
    }

    void reportsAFolderThatIsMissing() {
        const QString path = dir_.filePath("no such folder/file1.txt");
        const auto failure = storage::SaveStartBalance("40,000", path);
        QVERIFY(failure.has_value());
        QCOMPARE(failure->fileName, QDir::toNativeSeparators(path));
        QVERIFY(!failure->reason.isEmpty());
        QVERIFY(!QFile::exists(path));
    }

    void aFailedWriteKeepsTheEarlierFile() {
#ifdef Q_OS_LINUX
        // A file size limit makes the write itself fail, even for a user who may write anywhere.
        WriteRaw(path_, "12\r\n");
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit small = old;
        small.rlim_cur = 8;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const auto failure = storage::SaveStartBalance("1,234,567,890", path_);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &old), 0);
        std::signal(SIGXFSZ, SIG_DFL);

        QVERIFY(failure.has_value());
        QCOMPARE(failure->fileName, QDir::toNativeSeparators(path_));
        QVERIFY(!failure->reason.isEmpty());
        QVERIFY2(failure->reason != "Unknown error", qPrintable(failure->reason));
        QCOMPARE(ReadAll(path_), QByteArray("12\r\n"));
        QCOMPARE(QDir(dir_.path()).entryList(QDir::Files), QStringList{"file1.txt"});
#else
        QSKIP("needs a file size limit to make the write fail");
#endif
    }

  private:
    QTemporaryDir dir_;
    QString path_;
};

QTEST_GUILESS_MAIN(StartBalanceFileTest)
#include "start_balance_file_test.moc"
