#include "labels/LabelPrinter.h"

#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace labels {

bool hasDefaultPrinter() {
    return !QPrinterInfo::defaultPrinter().isNull();
}

QString printLabel(const LabelContent& content, const Barcode& barcode, const QString& pdfFile) {
    QPrinter printer(QPrinter::HighResolution);
    if (!pdfFile.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdfFile);
    } else if (!hasDefaultPrinter()) {
        return QStringLiteral("Yazıcı bulunamadı.");
    }
    printer.setFullPage(true);
    printer.setDocName(QStringLiteral("Etiket ") + content.barcode);
    QPainter painter;
    if (!painter.begin(&printer)) {
        printer.abort();
        return QStringLiteral("Etiket yazdırılamadı: yazıcı açılamadı.");
    }
    const double scale = printer.resolution() / 1440.0;  // device units per twip
    painter.scale(scale, scale);
    LabelPainter::paint(painter, content, barcode);
    if (!painter.end()) {
        printer.abort();
        return QStringLiteral("Etiket yazdırılamadı.");
    }
    return QString();
}

}  // namespace labels
