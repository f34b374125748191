#include "labels/LabelView.h"

#include <QPainter>

namespace labels {

void LabelView::show(const LabelContent& content, const Barcode& barcode) {
    m_content = content;
    m_barcode = barcode;
    update();
}

void LabelView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.scale(width() / LabelPainter::Width, height() / LabelPainter::Height);
    LabelPainter::paint(painter, m_content, m_barcode);
    painter.setPen(QPen(Qt::black, 15));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(0, 0, LabelPainter::Width, LabelPainter::Height));
}

}  // namespace labels
