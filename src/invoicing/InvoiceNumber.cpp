#include "invoicing/InvoiceNumber.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLockFile>
#include <QThread>

#include "core/QuotedFieldFile.h"
#include "core/Waiting.h"
#include "data/CounterRows.h"
#include "data/DatabaseError.h"
#include "data/FilePaths.h"

namespace invoicing {

namespace {

// The leading whole number of a text, as digits without sign; empty when there is none.
QString leadingDigits(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    qsizetype end = i;
    while (end < text.size() && text[end] >= u'0' && text[end] <= u'9')
        ++end;
    return text.mid(i, end - i);
}

// The previous number as the number file (or the server's row) holds it: plain digits, at most
// nine; a field with no number at all reads as 0 ("", "abc", "-5"). Anything else would be
// carried into the invoice key, so it is refused.
QString previousNumber(const QString& field, const QString& where) {
    const QString t = field.trimmed();
    const QString digits = leadingDigits(t);
    if (digits.isEmpty()) return QStringLiteral("00000");
    if (digits.size() <= 9 && digits.size() == t.size()) return digits;
    const QString shown =
        t.size() > 30 ? QStringLiteral("%1… (%2 karakter)").arg(t.left(30)).arg(t.size()) : t;
    throw data::DatabaseError(
        QStringLiteral("Fatura yazılmadı: fatura numarası en çok 9 basamaklı bir sayı değil "
                       "(\"%1\"): %2")
            .arg(shown, where));
}

// Compares two digit strings by value.
bool lessByValue(const QString& a, const QString& b) {
    QString x = a, y = b;
    while (x.size() > 1 && x.startsWith(u'0'))
        x.remove(0, 1);
    while (y.size() > 1 && y.startsWith(u'0'))
        y.remove(0, 1);
    return x.size() != y.size() ? x.size() < y.size() : x < y;
}

// Who holds the lock and since when, for the message when waiting is given up.
QString holderText(const QLockFile& lock, const QString& lockPath) {
    qint64 pid = 0;
    QString host, app;
    if (!lock.getLockInfo(&pid, &host, &app)) return QStringLiteral("bilinmeyen terminal");
    const QDateTime since = QFileInfo(lockPath).lastModified();
    return QStringLiteral("%1 bilgisayarı, işlem %2, %3 tarihinden beri")
        .arg(host)
        .arg(pid)
        .arg(since.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")));
}

}  // namespace

QString nextInvoiceNumber(const QString& previous) {
    QString next = leadingDigits(previous);
    if (next.isEmpty()) next = QStringLiteral("00000");
    // Adding one to the digits in place keeps the width: 00009 → 00010, 99999 → 100000.
    qsizetype i = next.size() - 1;
    while (i >= 0 && next[i] == u'9')
        next[i--] = u'0';
    if (i < 0)
        next.prepend(u'1');
    else
        next[i] = QChar(next[i].unicode() + 1);
    return next;
}

QString ShiftText(const QString& text) {
    QString out = text;
    for (QChar& c : out)
        c = QChar(c.unicode() + 1);
    return out;
}

QString numberFilePath(const QString& serverPath) {
    return serverPath.left(std::max<qsizetype>(0, serverPath.size() - 2)) +
           QStringLiteral("FatNo.txt");
}

InvoiceNumberLock::InvoiceNumberLock(const QString& numberFile, const QStringList& invoiceDatabases,
                                     const LockWaiting& waiting)
    : m_file(data::resolvePath(numberFile)) {
    const QString lockPath = m_file + QStringLiteral(".lock");
    m_lock = std::make_unique<QLockFile>(lockPath);
    // QLockFile drops a lock of a dead process on this PC at once and any lock older than this.
    m_lock->setStaleLockTime(waiting.staleAfter);
    // QLockFile's own wait sleeps twice as long each time, up to seconds: behind several busy
    // terminals a waiter would sleep on long after the lock is free. It is tried every few
    // milliseconds, and the window is asked every tenth of a second whether to go on (it says what
    // is awaited).
    const QString what = QStringLiteral("Fatura numarası başka bir terminalde");
    const QDeadlineTimer deadline =
        waiting.giveUpAfter ? QDeadlineTimer(*waiting.giveUpAfter) : QDeadlineTimer::Forever;
    QElapsedTimer waited;
    waited.start();
    qint64 asked = 0;
    bool locked = m_lock->tryLock(0);
    while (!locked && !deadline.hasExpired()) {
        if (waited.elapsed() - asked >= 100) {
            asked = waited.elapsed();
            if (!core::keepWaiting(what, std::chrono::milliseconds(asked)))
                throw data::DatabaseError(
                    core::waitGivenUpText(what) +
                    QStringLiteral(" (%1): %2").arg(holderText(*m_lock, lockPath), m_file));
        }
        QThread::msleep(2);
        locked = m_lock->tryLock(0);
    }
    if (!locked)
        throw data::DatabaseError(
            QStringLiteral("Fatura numarası dosyası başka bir terminalde kilitli (%1): %2")
                .arg(holderText(*m_lock, lockPath), m_file));
    const std::optional<QString> stored = core::QuotedFieldFile::readFirstField(m_file);
    if (!stored)
        throw data::DatabaseError(QStringLiteral("Fatura numarası okunamadı: %1").arg(m_file));
    QString previous = previousNumber(*stored, m_file);
    for (const QString& path : invoiceDatabases) {
        for (const QString& digits : data::invoiceKeyDigits(path)) {
            const QString used = leadingDigits(digits);
            if (!used.isEmpty() && lessByValue(previous, used)) previous = used;
        }
    }
    m_number = nextInvoiceNumber(previous);
}

InvoiceNumberLock::~InvoiceNumberLock() = default;

QString drawServerInvoiceNumber(data::AttachedBooks& books) {
    const data::ServerInvoiceNumber row = data::lockServerInvoiceNumber(books);
    if (!row.stored)
        throw data::DatabaseError(QStringLiteral("Fatura numarası okunamadı: %1").arg(row.where));
    QString previous = previousNumber(*row.stored, row.where);
    for (const QString& digits : row.used) {
        const QString used = leadingDigits(digits);
        if (!used.isEmpty() && lessByValue(previous, used)) previous = used;
    }
    const QString number = nextInvoiceNumber(previous);
    data::storeServerInvoiceNumber(books, number);
    return number;
}

void InvoiceNumberLock::commit() {
    QString error;
    if (!core::QuotedFieldFile::write(m_file, m_number, &error))
        throw data::DatabaseError(
            QStringLiteral("Fatura numarası dosyası yazılamadı: %1 (%2)").arg(m_file, error));
}

}  // namespace invoicing
