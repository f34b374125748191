#include "labels/LabelPainter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

namespace labels {

namespace {

// Arial Narrow where the system has it, a narrow sans-serif where it does not.
QFont labelFont(double points, bool bold = false) {
    QFont font;
    font.setFamilies({QStringLiteral("Arial Narrow"), QStringLiteral("Liberation Sans Narrow"),
                      QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(static_cast<int>(points * 20));  // twips
    font.setBold(bold);
    font.setStretch(QFont::SemiCondensed);
    return font;
}

// The font made smaller, when it has to be, so that the text fits `width`; never larger.
QFont fitted(QFont font, const QString& text, double width) {
    for (int px = font.pixelSize(); px > 1; --px) {
        font.setPixelSize(px);
        if (QFontMetricsF(font).horizontalAdvance(text) <= width) break;
    }
    return font;
}

// Prints a caption with its top-left corner at (x, y).
void printAt(QPainter& painter, const QFont& font, double x, double y, const QString& text) {
    painter.setFont(font);
    painter.drawText(QPointF(x, y + QFontMetricsF(font).ascent()), text);
}

// Prints a caption in its box, at the box's top, as `align` says; the font shrinks to the box's
// width when the text is longer, so nothing runs off the box or is cut.
void printIn(QPainter& painter, const QFont& font, const QRectF& box, Qt::Alignment align,
             const QString& text) {
    const QFont used = fitted(font, text, box.width());
    painter.setFont(used);
    const QFontMetricsF metrics(used);
    const double width = metrics.horizontalAdvance(text);
    double x = box.left();
    if (align & Qt::AlignRight)
        x = box.right() - width;
    else if (align & Qt::AlignHCenter)
        x = box.center().x() - width / 2;
    painter.drawText(QPointF(x, box.top() + metrics.ascent()), text);
}

// Our own badge: a rounded tag with a handshake and the words for domestic production.
void paintBadge(QPainter& painter, const QRectF& area) {
    painter.save();
    const QColor red(200, 16, 46);
    painter.setPen(QPen(red, 30));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(area.adjusted(15, 15, -15, -15), 90, 90);
    // Two hands meeting: two arms and the clasp between them.
    const QRectF hands(area.left() + 70, area.top() + 120, 380, area.height() - 240);
    painter.setPen(QPen(red, 40, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawLine(QPointF(hands.left(), hands.bottom()),
                     QPointF(hands.center().x() - 40, hands.center().y()));
    painter.drawLine(QPointF(hands.right(), hands.bottom()),
                     QPointF(hands.center().x() + 40, hands.center().y()));
    painter.setBrush(red);
    painter.drawEllipse(QPointF(hands.center().x(), hands.center().y()), 90, 70);
    painter.setPen(red);
    QFont font = labelFont(9, true);
    painter.setFont(font);
    const QRectF words(area.left() + 470, area.top() + 60, area.width() - 520, area.height() - 120);
    painter.drawText(words, Qt::AlignCenter | Qt::TextWordWrap, QStringLiteral("YERLİ\nÜRETİM"));
    painter.restore();
}

}  // namespace

LabelLayout LabelPainter::layout(const Barcode& barcode) {
    LabelLayout l;
    const double priceTop = 1500;  // below the badge
    double priceLeft = Margin;
    if (barcode.drawable()) {
        // Narrower modules only when a long Code 128 would run into the badge's column.
        const double room = 3030;
        l.module = std::min(Module, room / barcode.size.width());
        const QSizeF size = barcode.size * l.module;
        l.barcode = QRectF(QPointF(30, Height - size.height() - 30), size);
        priceLeft = l.barcode.right() + Margin;
    }
    l.price = QRectF(priceLeft, priceTop, Width - Margin - priceLeft, Height - 30 - priceTop);
    return l;
}

void LabelPainter::paint(QPainter& painter, const LabelContent& content, const Barcode& barcode) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);  // bars stay crisp
    painter.fillRect(QRectF(0, 0, Width, Height), Qt::white);
    painter.setPen(Qt::black);
    const LabelLayout l = layout(barcode);

    // Company and name are centred on the label; a name longer than the label is printed smaller.
    const QFont name = labelFont(15.75);
    const QRectF across(Margin, 0, Width - 2 * Margin, 0);
    printIn(painter, name, across.translated(0, 90), Qt::AlignHCenter, content.company);
    printIn(painter, name, across.translated(0, 510), Qt::AlignHCenter, content.name);
    const QFont extra = labelFont(14.25);
    printAt(painter, extra,
            Width - (1395 - QFontMetricsF(extra).horizontalAdvance(content.extra) / 2) - 60, 1110,
            content.extra);
    // The price ends at its box's right side, as the shelf's price column does.
    printIn(painter, labelFont(18, true), l.price, Qt::AlignRight, content.price);

    paintBadge(painter, QRectF(3120, 900, 1350, 585));

    if (barcode.drawable()) drawBarcode(painter, barcode, l.barcode.topLeft(), l.module);
    painter.restore();
}

}  // namespace labels
