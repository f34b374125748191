#include "filecopy/clsFileCopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "core/Messages.h"
#include "data/FilePaths.h"

namespace filecopy {

namespace {

constexpr qint64 DefaultBlock = 4096;

// A failure of the file system, carried with the classic run-time error number and text.
struct RuntimeError {
    qint32 code;
    QString text;
    QString file;  // the file that failed, for the operator's message
};

struct Checked {
    qint32 code;
    QString text;
};

RuntimeError fileError(const QFile& file, const QString& path) {
    switch (file.error()) {
        case QFileDevice::OpenError:
            if (!QFileInfo(QFileInfo(path).absolutePath()).isDir())
                return {76, QStringLiteral("Path not found"), path};
            return {75, QStringLiteral("Path/File access error"), path};
        case QFileDevice::PermissionsError:
            return {70, QStringLiteral("Permission denied"), path};
        case QFileDevice::ResourceError:
        case QFileDevice::WriteError:
            return {61, QStringLiteral("Disk full"), path};
        case QFileDevice::ReadError:
            return {57, QStringLiteral("Device I/O error"), path};
        default:
            return {75, QStringLiteral("Path/File access error"), path};
    }
}

void openOrThrow(QFile& file, QIODevice::OpenMode mode) {
    if (!file.open(mode)) throw fileError(file, file.fileName());
}

// Reads exactly n bytes at the current position; a shorter read means the file shrank under us.
QByteArray readBlock(QFile& file, qint64 n) {
    QByteArray block = file.read(n);
    if (block.size() != n) {
        if (file.error() != QFileDevice::NoError) throw fileError(file, file.fileName());
        throw RuntimeError{62, QStringLiteral("Input past end of file"), file.fileName()};
    }
    return block;
}

void writeBlock(QFile& file, const QByteArray& block) {
    if (file.write(block) != block.size()) throw fileError(file, file.fileName());
}

// A normal file found under the name (not a folder).
bool fileExists(const QString& path) {
    return QFileInfo(path).isFile();
}

// Creates every missing folder along the path, level by level.
void makePath(const QString& folder) {
    if (folder.isEmpty() || QFileInfo(folder).isDir()) return;
    if (!QDir().mkpath(folder)) throw RuntimeError{76, QStringLiteral("Path not found"), folder};
}

qint16 percent(qint64 done, qint64 length) {
    return static_cast<qint16>(static_cast<double>(done) / static_cast<double>(length) * 100.0);
}

// Sets the caller's code and text from the failure being handled; a run-time error does not
// replace a code that was already set. Returns the file a run-time error came from.
QString takeError(qint32& ErrCode, QString& ErrMsg) {
    try {
        throw;
    } catch (const Checked& c) {
        ErrCode = c.code;
        ErrMsg = c.text;
    } catch (const RuntimeError& e) {
        if (ErrCode == 0) {
            ErrCode = e.code;
            ErrMsg = e.text;
        }
        return e.file;
    }
    return QString();
}

}  // namespace

void clsFileCopy::checkNames(const QString& resolvedSource) const {
    if (m_sourceFile.trimmed().isEmpty())
        throw Checked{NoSource, QStringLiteral("Please enter a source file...")};
    if (m_targetFile.trimmed().isEmpty())
        throw Checked{NoTarget, QStringLiteral("Please enter a target file...")};
    if (!fileExists(resolvedSource))
        throw Checked{SourceMissing, QStringLiteral("The source file does not exist...")};
}

clsFileCopy::clsFileCopy(core::Messages* messages, QObject* parent)
    : QObject(parent), m_messages(messages) {}

void clsFileCopy::busy(bool on) const {
    if (m_busy) m_busy(on);
}

bool clsFileCopy::CopyFile(qint32& ErrCode, QString& ErrMsg) {
    busy(true);
    m_failedFile.clear();
    const QString source = data::resolvePath(m_sourceFile.trimmed());
    const QString target = data::toLocalPath(m_targetFile.trimmed());
    QFile in(source);
    QFile out(target);
    const auto failed = [&] {
        in.close();
        out.close();
        Q_EMIT Progress(0, 0);
        busy(false);
        return false;
    };
    try {
        checkNames(source);
        if (QFileInfo::exists(target)) {
            const bool yes =
                m_messages &&
                m_messages->ask(m_targetFile + QStringLiteral(" zaten var. Üzerine yazılsın mı?"));
            if (!yes) throw Checked{Cancelled, QStringLiteral("File copy canceled...")};
        }
        makePath(QFileInfo(target).absolutePath());
        openOrThrow(in, QIODevice::ReadOnly);
        // The copy must equal its source, so a longer old target is cut to size.
        openOrThrow(out, QIODevice::ReadWrite | QIODevice::Truncate);
        const qint64 copied =
            eachBlock(in, [&](const QByteArray& block) { writeBlock(out, block); });
        if (!out.flush()) throw fileError(out, target);
        Q_EMIT Progress(0, static_cast<double>(copied));

        if (m_verify) {
            out.close();
            if (!verify(ErrCode, ErrMsg)) {
                wipeAndDelete(target);
                return failed();
            }
        }
        in.close();
        out.close();
        if (out.error() != QFileDevice::NoError) throw fileError(out, target);
        busy(false);
        return true;
    } catch (...) {
        m_failedFile = takeError(ErrCode, ErrMsg);
    }
    return failed();
}

qint64 clsFileCopy::eachBlock(QFile& in, const std::function<void(const QByteArray&)>& handle) {
    if (m_byteSize <= 0) m_byteSize = DefaultBlock;
    const auto blockSize = static_cast<qint64>(m_byteSize);
    const qint64 length = in.size();
    qint64 done = 0;
    while (done < length) {
        const QByteArray block = readBlock(in, std::min(blockSize, length - done));
        handle(block);
        done += block.size();
        Q_EMIT Progress(percent(done, length), static_cast<double>(done));
    }
    return done;
}

bool clsFileCopy::VerifyFile(qint32& ErrCode, QString& ErrMsg) {
    busy(true);
    m_failedFile.clear();
    const bool ok = verify(ErrCode, ErrMsg);
    if (!ok) Q_EMIT Progress(0, 0);
    busy(false);
    return ok;
}

bool clsFileCopy::verify(qint32& ErrCode, QString& ErrMsg) {
    const QString source = data::resolvePath(m_sourceFile.trimmed());
    const QString target = data::resolvePath(m_targetFile.trimmed());
    QFile a(source);
    QFile b(target);
    try {
        checkNames(source);
        openOrThrow(a, QIODevice::ReadOnly);
        openOrThrow(b, QIODevice::ReadOnly);
        const qint64 done = eachBlock(a, [&](const QByteArray& left) {
            // Only the source's length is compared; a short target simply differs.
            if (left != b.read(left.size()))
                throw Checked{NotSame,
                              QStringLiteral("Target file is not the same as the source file...")};
        });
        Q_EMIT Progress(0, static_cast<double>(done));
        return true;
    } catch (...) {
        m_failedFile = takeError(ErrCode, ErrMsg);
    }
    return false;
}

void clsFileCopy::wipeAndDelete(const QString& target) {
    // Overwrite the bad copy before deleting it, so no half-right data stays on the disk.
    QFile file(target);
    if (file.open(QIODevice::ReadWrite)) {
        const qint64 blocks = file.size() / DefaultBlock + 1;
        for (qint64 i = 0; i < blocks; ++i) {
            const qint64 p = i * DefaultBlock;
            for (char fill : {'X', ' ', '1', '0'}) {
                file.seek(p);
                file.write(QByteArray(DefaultBlock, fill));
            }
        }
        file.close();
    }
    QFile::remove(target);
}

}  // namespace filecopy
