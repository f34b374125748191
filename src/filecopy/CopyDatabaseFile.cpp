#include "filecopy/CopyDatabaseFile.h"

#include <memory>

#include "data/BookFiles.h"
#include "data/DatabaseError.h"
#include "data/Dialect.h"
#include "filecopy/RemoveDatabaseFile.h"
#include "filecopy/clsFileCopy.h"

namespace filecopy {

QString copyFailureCause(qint32 errCode, const QString& file, const QString& source) {
    switch (errCode) {
        case clsFileCopy::NoSource:
            return QStringLiteral("Kaynak dosya adı verilmedi");
        case clsFileCopy::NoTarget:
            return QStringLiteral("Hedef dosya adı verilmedi: %1").arg(source);
        case clsFileCopy::SourceMissing:
            return QStringLiteral("Kaynak dosya bulunamadı: %1").arg(source);
        case clsFileCopy::Cancelled:
            return QStringLiteral("Kopyalama iptal edildi: %1 zaten var").arg(file);
        case clsFileCopy::NotSame:
            return QStringLiteral("Kopya kaynağıyla aynı değil: %1").arg(file);
        case 57:
            return QStringLiteral("Aygıt okuma/yazma hatası: %1").arg(file);
        case 61:
            return QStringLiteral("Disk dolu: %1 yazılamadı").arg(file);
        case 62:
            return QStringLiteral("Dosya kopyalanırken kısaldı: %1").arg(file);
        case 70:
            return QStringLiteral("Erişim izni yok: %1").arg(file);
        case 76:
            return QStringLiteral("Klasör bulunamadı: %1").arg(file);
        default:
            return QStringLiteral("Dosyaya erişilemedi: %1 (hata %2)").arg(file).arg(errCode);
    }
}

CopyResult copyDatabaseFile(const QString& source, const QString& target, core::Messages* messages,
                            const std::function<void(int)>& progress,
                            const std::function<void(bool)>& busyPointer) {
    CopyResult result;
    // Books on a server: the stock cards come in one streamed read, not as a file's blocks, and
    // a copy of the same books is only brought up to date.
    if (data::dialectOf(source).booksAreFiles() && !removeDatabaseFile(target, &result.cause))
        return result;
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
        result.cause = copyFailureCause(
            result.errCode, copier.FailedFile().isEmpty() ? target : copier.FailedFile(), source);
        removeDatabaseFile(target);
    }
    return result;
}

}  // namespace filecopy
