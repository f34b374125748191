#pragma once

#include <QRectF>
#include <QString>

#include "labels/Barcode.h"

class QPainter;

namespace labels {

/// What a shelf label shows.
struct LabelContent {
    QString company;  // Label8(3)
    QString name;     // Label8(0)
    QString extra;    // Label8(1), empty as designed
    QString price;    // Label8(2)
    QString barcode;  // Text3
};

/// Where the parts of a label go that depend on its barcode, in twips.
struct LabelLayout {
    QRectF barcode;     // the whole symbol with its quiet zones; nothing else is drawn there
    double module = 0;  // twips per barcode module
    QRectF price;       // the price's own box, right of the barcode and below the badge
};

/// The label face of 4535 × 1984 twips (8 × 3.5 cm) with the captions, the badge and the barcode
/// at their designed places.
class LabelPainter {
  public:
    static constexpr double Width = 4535;
    static constexpr double Height = 1984;
    /// One barcode module is 0.03 cm; the bars are 0.7 cm high.
    static constexpr double Module = 17;
    static constexpr double BarHeight = 397;

    /// Captions keep this far from the label's sides and from the barcode.
    static constexpr double Margin = 60;

    /// The barcode's and the price's places on the label; the price box starts where the
    /// barcode's right quiet zone ends.
    static LabelLayout layout(const Barcode& barcode);

    /// Paints on a painter whose unit is one twip, the label's top-left corner at the origin.
    static void paint(QPainter& painter, const LabelContent& content, const Barcode& barcode);
};

}  // namespace labels
