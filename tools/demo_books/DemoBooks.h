#pragma once

#include <QString>

namespace demobooks {

struct Options {
    int items = 300;
};

/// Makes `dir`/RezoruviZada with the four databases of companies 01 (head office) to 04
/// (branches). Existing files of the same names are replaced. Throws std::runtime_error.
void makeBooks(const QString& dir, const Options& options);

/// Makes the placeholder stock database that ships beside the program.
void makePlaceholder(const QString& file, const Options& options);

/// The schema of each database kind, as the accounting package lays it out.
extern const char* const StockSchema;
extern const char* const AccountSchema;
extern const char* const InvoiceSchema;
extern const char* const IndexSchema;

}  // namespace demobooks
