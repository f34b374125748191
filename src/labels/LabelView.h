#pragma once

#include <QWidget>

#include "labels/LabelPainter.h"

namespace labels {

/// The label preview: the label face drawn to the widget's size.
class LabelView : public QWidget {
    Q_OBJECT
  public:
    explicit LabelView(QWidget* parent = nullptr) : QWidget(parent) {}
    /// Draws the label anew (nothing of an earlier drawing stays).
    void show(const LabelContent& content, const Barcode& barcode);
    const LabelContent& content() const { return m_content; }
    const Barcode& barcode() const { return m_barcode; }

  protected:
    void paintEvent(QPaintEvent* e) override;

  private:
    LabelContent m_content;
    Barcode m_barcode;
};

}  // namespace labels
