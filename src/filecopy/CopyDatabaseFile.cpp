#include "filecopy/CopyDatabaseFile.h"

#include <memory>

#include "data/BookFiles.h"
#include "data/DatabaseError.h"
#include "data/ServerBooks.h"
#include "filecopy/RemoveDatabaseFile.h"
#include "filecopy/clsFileCopy.h"

namespace filecopy {

namespace {

// The operator's words for a failed copy: what and where.
QString causeOf(const clsFileCopy& copier, const CopyResult& r, const QString& source,
                const QString& target) {
    const QString file = copier.FailedFile().isEmpty() ? target : copier.FailedFile();
    switch (r.errCode) {
        case clsFileCopy::SourceMissing:
            return QStringLiteral("Kaynak dosya bulunamadı: %1").arg(source);
        case 61:
            return QStringLiteral("Disk dolu: %1 yazılamadı").arg(file);
        case 70:
            return QStringLiteral("Erişim izni yok: %1").arg(file);
        case 76:
            return QStringLiteral("Klasör bulunamadı: %1").arg(file);
        default:
            return QStringLiteral("%1: %2 (%3)").arg(file, r.errMsg).arg(r.errCode);
    }
}

}  // namespace

CopyResult copyDatabaseFile(const QString& source, const QString& target, core::Messages* messages,
                            const std::function<void(int)>& progress,
                            const std::function<void(bool)>& busyPointer) {
    CopyResult result;
    // Books on a server: the stock cards come in one streamed read, not as a file's blocks, and
    // a copy of the same books is only brought up to date.
    if (!data::isServerPath(source) && !removeDatabaseFile(target, &result.cause)) return result;
    bool fromServer = false;
    if (busyPointer) busyPointer(true);
    try {
        fromServer = result.ok = data::copyFromServer(source, target, progress);
    } catch (const data::DatabaseError& e) {
        fromServer = true;
        result.errMsg = e.text();
        result.cause = e.text();
    }
    if (busyPointer) busyPointer(false);
    if (fromServer) return result;
    clsFileCopy copier(messages);
    copier.setSourceFile(source);
    copier.setTargetFile(target);
    copier.setByteSize(4096);
    copier.setBusyPointer(busyPointer);
    if (progress) {
        QObject::connect(&copier, &clsFileCopy::Progress,
                         [&progress](qint16 value, double) { progress(value); });
    }
    {
        const data::ReadSnapshot snapshot(source);
        result.ok = copier.CopyFile(result.errCode, result.errMsg);
    }
    if (!result.ok) {
        result.cause = causeOf(copier, result, source, target);
        removeDatabaseFile(target);
    }
    return result;
}

}  // namespace filecopy
