#include "labels/Barcode.h"

#include <zint.h>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>

#include <memory>

namespace labels {

namespace {

struct SymbolDeleter {
    void operator()(zint_symbol* s) const { ZBarcode_Delete(s); }
};

// One zint encoding; false with the error text when zint refuses the data.
bool encode(int symbology, const QByteArray& data, double barHeight, Barcode& out) {
    std::unique_ptr<zint_symbol, SymbolDeleter> symbol(ZBarcode_Create());
    if (!symbol) return false;
    symbol->symbology = symbology;
    symbol->input_mode = UNICODE_MODE;
    symbol->height = static_cast<float>(barHeight);
    symbol->show_hrt = 1;
    symbol->scale = 0.5f;  // one vector unit per module
    // The symbol carries its own quiet zones (Code 128: 10 modules a side), so whoever places it
    // keeps them clear just by keeping its whole size clear.
    symbol->output_options |= BARCODE_QUIET_ZONES;
    const int rc =
        ZBarcode_Encode(symbol.get(), reinterpret_cast<const unsigned char*>(data.constData()),
                        static_cast<int>(data.size()));
    if (rc >= ZINT_ERROR || ZBarcode_Buffer_Vector(symbol.get(), 0) >= ZINT_ERROR) {
        out.error = QString::fromLatin1(symbol->errtxt);
        return false;
    }
    out.bars.clear();
    out.texts.clear();
    for (zint_vector_rect* r = symbol->vector->rectangles; r; r = r->next)
        out.bars.append(QRectF(r->x, r->y, r->width, r->height));
    for (zint_vector_string* s = symbol->vector->strings; s; s = s->next)
        out.texts.append({QPointF(s->x, s->y), s->fsize,
                          QString::fromUtf8(reinterpret_cast<const char*>(s->text), s->length),
                          s->halign});
    out.size = QSizeF(symbol->vector->width, symbol->vector->height);
    out.error.clear();
    return true;
}

}  // namespace

Barcode encodeBarcode(const QString& text, double barHeight) {
    Barcode b;
    if (text.isEmpty()) return b;
    const QByteArray utf8 = text.toUtf8();
    if (text.size() == 13 || text.size() == 8) {
        b.kind = text.size() == 13 ? Barcode::Kind::Ean13 : Barcode::Kind::Ean8;
        if (encode(BARCODE_EANX_CHK, utf8, barHeight, b)) return b;
    }
    // Other lengths, and EAN texts with letters or a wrong check digit, go as Code 128.
    b.kind = Barcode::Kind::Code128;
    if (!encode(BARCODE_CODE128, utf8, barHeight, b)) {
        b.kind = Barcode::Kind::None;
        b.error = QStringLiteral("Barkod çizilemedi: \"%1\" (%2)").arg(text, b.error);
    }
    return b;
}

void drawBarcode(QPainter& painter, const Barcode& barcode, const QPointF& topLeft, double module) {
    painter.save();
    painter.translate(topLeft);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    for (const QRectF& bar : barcode.bars)
        painter.drawRect(QRectF(bar.x() * module, bar.y() * module, bar.width() * module,
                                bar.height() * module));
    painter.setPen(Qt::black);
    for (const Barcode::Text& t : barcode.texts) {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(std::max(1, static_cast<int>(t.size * module)));
        painter.setFont(font);
        const QFontMetricsF metrics(font);
        const double width = metrics.horizontalAdvance(t.text);
        double x = t.position.x() * module;
        if (t.align == 0)
            x -= width / 2;
        else if (t.align == 2)
            x -= width;
        painter.drawText(QPointF(x, t.position.y() * module), t.text);
    }
    painter.restore();
}

}  // namespace labels
