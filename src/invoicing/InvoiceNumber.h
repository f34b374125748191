#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>
#include <optional>

class QLockFile;

namespace data {
class AttachedBooks;
}

namespace invoicing {

/// The number after `previous`, written with at least as many digits as it (00009 → 00010,
/// 99999 → 100000, 7 → 8). The previous number is read as a decimal reader reads a leading
/// number: blanks skipped, up to the first character that cannot continue it, 0 when there is none.
QString nextInvoiceNumber(const QString& previous);

/// Shifts every character's code up by one (00017 → 11128, 9 → ':').
QString ShiftText(const QString& text);

/// The invoice number file "FatNo.txt" shared by the companies of one data directory: the server
/// path less its company number, followed by the file name.
QString numberFilePath(const QString& serverPath);

/// Holds the number file for one invoice: every terminal takes the same lock before reading it,
/// so no two invoices get one number. The next number is the larger of the file's and the
/// highest "S" key already in the given invoice databases, so an invoice written just before a
/// crash that kept the file from being rewritten is never numbered again.
/// How long a terminal waits for the number file. A live holder is waited for as long as the
/// thread's wait observer (core::keepWaiting) goes on, or at most `giveUpAfter` when given; a
/// holder on this PC whose process is gone is taken over at once; one on another PC is taken over
/// once its lock is older than `staleAfter`, longer than any invoice takes.
struct LockWaiting {
    static constexpr std::chrono::milliseconds kStaleAfter{120'000};
    std::chrono::milliseconds staleAfter = kStaleAfter;
    std::optional<std::chrono::milliseconds> giveUpAfter;
};

/// On a server, inside the invoice's transaction: the next number from the one row of
/// "terminal.fatno" (held locked until the commit) and the highest "S" key of every company's
/// invoices, stored back in the row. Rolled back with the invoice, so no number is lost or given
/// twice.
QString drawServerInvoiceNumber(data::AttachedBooks& books);

class InvoiceNumberLock {
  public:
    /// Throws DatabaseError naming the holder (PC, process, since when) when the wait is given up
    /// or lasts past `waiting.giveUpAfter`, and naming the file and what it holds when that is
    /// not a number of at most nine digits.
    InvoiceNumberLock(const QString& numberFile, const QStringList& invoiceDatabases,
                      const LockWaiting& waiting = {});
    ~InvoiceNumberLock();

    /// The number the next invoice takes.
    const QString& number() const { return m_number; }
    /// Records the number as used: rewrites the file atomically. Call after the invoice committed.
    void commit();

  private:
    QString m_file;
    QString m_number;
    std::unique_ptr<QLockFile> m_lock;
};

}  // namespace invoicing
