#pragma once

#include <QPointF>
#include <QRectF>
#include <QString>
#include <QVector>

class QPainter;

namespace labels {

/// A barcode as bars and human-readable texts in module units, ready to draw at any size.
struct Barcode {
    enum class Kind { None, Ean13, Ean8, Code128 };
    Kind kind = Kind::None;
    QString error;  // why nothing could be drawn (text not encodable)
    QVector<QRectF> bars;
    struct Text {
        QPointF position;  // baseline, horizontally as given by `align`
        double size = 0;
        QString text;
        int align = 0;  // 0 centre, 1 left, 2 right
    };
    QVector<Text> texts;
    QSizeF size;  // whole symbol, its standard quiet zones and text included

    bool drawable() const { return !bars.isEmpty(); }
};

/// Encodes a label's barcode text: 13 characters as EAN-13, 8 as EAN-8 (both with their check
/// digit verified), anything else, and EAN texts that are not valid, as Code 128. An empty text
/// gives no barcode; a text Code 128 cannot carry (outside ISO-8859-1) gives an error.
/// `barHeight` is the bars' height in modules.
Barcode encodeBarcode(const QString& text, double barHeight);

/// Draws the barcode with its top-left corner at `topLeft`, `module` device units per module.
void drawBarcode(QPainter& painter, const Barcode& barcode, const QPointF& topLeft, double module);

}  // namespace labels
