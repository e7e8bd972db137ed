#include "storage/start_balance_file.h"

#include <QByteArray>
#include <QDir>
#include <QSaveFile>

#include <algorithm>

namespace storage {

QString StartBalanceFilePath() {
#ifdef Q_OS_WIN
    return QStringLiteral("C:/file1.txt");
#else
    return QDir(QDir::homePath()).filePath(QStringLiteral("file1.txt"));
#endif
}

std::optional<SaveFailure> SaveStartBalance(const QString& psText, const QString& psFileName) {
    QSaveFile file(psFileName);
    const auto failure = [&] {
        return SaveFailure{QDir::toNativeSeparators(psFileName), file.errorString()};
    };
    // Unbuffered, so that a short write (disk full, file size limit) shows in write()'s
    // count: a buffered QSaveFile would commit the truncated line.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return failure();
    }
    const QByteArray line = psText.toLocal8Bit() + "\r\n";
    const qint64 written = file.write(line);
    if (written != line.size()) {
        SaveFailure failed = failure();
        if (file.error() == QFileDevice::NoError) {
            failed.reason = QStringLiteral("Only %1 of %2 bytes could be written.")
                                .arg(std::max<qint64>(written, 0))
                                .arg(line.size());
        }
        file.cancelWriting();
        return failed;
    }
    if (!file.commit()) {
        return failure();
    }
    return std::nullopt;
}

}  // namespace storage
