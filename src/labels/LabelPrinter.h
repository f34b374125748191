#pragma once

#include <QString>

#include "labels/LabelPainter.h"

namespace labels {

/// Whether the system has a default printer.
bool hasDefaultPrinter();

/// Prints one page with the label at its top-left corner, at its own size: on the default
/// printer, or into `pdfFile` when one is given. Returns an empty text, or why nothing was printed
/// (the job is then discarded).
QString printLabel(const LabelContent& content, const Barcode& barcode,
                   const QString& pdfFile = {});

}  // namespace labels
