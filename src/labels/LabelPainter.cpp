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

// Prints a caption with its top-left corner at (x, y); long texts run on, nothing is cut.
void printAt(QPainter& painter, const QFont& font, double x, double y, const QString& text) {
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    painter.drawText(QPointF(x, y + metrics.ascent()), text);
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

void LabelPainter::paint(QPainter& painter, const LabelContent& content, const Barcode& barcode) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);  // bars stay crisp
    painter.fillRect(QRectF(0, 0, Width, Height), Qt::white);
    painter.setPen(Qt::black);

    // A caption sized to its text is centred; a longer one starts at its box's left edge and runs
    // on past it, nothing cut.
    const QFont name = labelFont(15.75);
    const QFontMetricsF nameMetrics(name);
    auto centred = [&](const QString& text, double box) {
        return std::max((Width - box) / 2, (Width - nameMetrics.horizontalAdvance(text)) / 2);
    };
    printAt(painter, name, centred(content.company, 1290), 90, content.company);
    printAt(painter, name, centred(content.name, 2460), 510, content.name);
    const QFont extra = labelFont(14.25);
    printAt(painter, extra,
            Width - (1395 - QFontMetricsF(extra).horizontalAdvance(content.extra) / 2) - 60, 1110,
            content.extra);
    // The price box is right-aligned: its text ends 60 twips in from the label's right side.
    const QFont price = labelFont(18, true);
    printAt(painter, price,
            std::min(Width - 1395 - 60,
                     Width - 60 - QFontMetricsF(price).horizontalAdvance(content.price)),
            1500, content.price);

    paintBadge(painter, QRectF(3120, 900, 1350, 585));

    if (barcode.drawable()) {
        // Narrower modules only when a long Code 128 would run into the badge.
        const double module = std::min(Module, 3000 / barcode.size.width());
        const double height = barcode.size.height() * module;
        drawBarcode(painter, barcode, QPointF(30, Height - height - 30), module);
    }
    painter.restore();
}

}  // namespace labels
