#pragma once

#include <QString>

#include "core/Money.h"
#include "data/Pending.h"

namespace core {
class Clock;
}

namespace invoicing {

struct InvoiceRequest {
    // The company whose customer was chosen (the books the data controls are bound to): its
    // accounts, stock, counters and invoices; its data directory's number file.
    QString serverPath;
    QString workingCopy;
    QString customerTitle;  // the target box's text
    const core::Clock* clock = nullptr;
    int terminal = 0;  // the journal names the terminal that wrote it
};

struct InvoiceResult {
    bool written = false;  // false: the lines add up to 0, nothing was written or numbered
    QString number;        // 00001
    QString key;           // S00001
    QString documentNumber;
    core::Money total;
    core::Money vat;
    int lines = 0;
    QString warning;  // written, but the number file could not be rewritten
    /// On a server: what became of an earlier "Tamam" whose answer was lost, resolved first (see
    /// posting::PostingResult::earlier); only lines booked after it make this invoice.
    data::PendingResult earlier;
};

/// Writes a sales invoice of the working set's lines (visible, with a quantity, by name): the
/// invoice and its lines with a serial number each, one stock movement per line with the goods
/// taken out of the stock cards, the customer debited with the total and "=110" with the VAT, the
/// working set emptied, every row in the one company's books. Everything is one transaction under
/// the shared invoice-number lock; the number, document and serial numbers are used only when the
/// invoice is written. A missing customer, card or "=110" account, or a company without its invoice
/// file, stops it before anything is written and is named; any error is thrown as DatabaseError
/// with nothing written.
InvoiceResult writeInvoice(const InvoiceRequest& request);

}  // namespace invoicing
