#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QFile;

namespace core {
class Messages;
}

namespace filecopy {

/// Copies one file to another in fixed-size blocks, reporting progress, and can compare the copy
/// with its source afterwards. Failures come back as false with a code and a text.
class clsFileCopy : public QObject {
    Q_OBJECT
  public:
    static constexpr qint32 NoSource = 100000;
    static constexpr qint32 NoTarget = 100010;
    static constexpr qint32 SourceMissing = 100020;
    static constexpr qint32 Cancelled = 100030;
    static constexpr qint32 NotSame = 110000;

    /// `messages` asks the overwrite question; without it an existing target is never overwritten.
    explicit clsFileCopy(core::Messages* messages = nullptr, QObject* parent = nullptr);

    QString SourceFile() const { return m_sourceFile; }
    void setSourceFile(const QString& path) { m_sourceFile = path; }
    QString TargetFile() const { return m_targetFile; }
    void setTargetFile(const QString& path) { m_targetFile = path; }
    double ByteSize() const { return m_byteSize; }
    void setByteSize(double size) { m_byteSize = size; }
    bool Verify() const { return m_verify; }
    void setVerify(bool verify) { m_verify = verify; }

    /// Shows or clears the busy pointer while a copy runs (the screen sets this; rules leave it).
    void setBusyPointer(std::function<void(bool)> busy) { m_busy = std::move(busy); }

    bool CopyFile(qint32& ErrCode, QString& ErrMsg);
    bool VerifyFile(qint32& ErrCode, QString& ErrMsg);
    /// The file behind the last run-time error (a full disk names the target), else empty.
    QString FailedFile() const { return m_failedFile; }

  Q_SIGNALS:
    void Progress(qint16 Value, double BytesCopied);

  private:
    bool verify(qint32& ErrCode, QString& ErrMsg);
    // Reads `in` from its start block by block, hands each block on and reports the progress.
    qint64 eachBlock(QFile& in, const std::function<void(const QByteArray&)>& handle);
    void checkNames(const QString& resolvedSource) const;
    void wipeAndDelete(const QString& target);
    void busy(bool on) const;

    core::Messages* m_messages;
    QString m_sourceFile;
    QString m_targetFile;
    double m_byteSize = 0;
    bool m_verify = false;
    std::function<void(bool)> m_busy;
    QString m_failedFile;
};

}  // namespace filecopy
