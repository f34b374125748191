#pragma once

#include <QLineEdit>

namespace entry {

/// The quantity box: it takes only what keeps it a number, regroups itself after every change,
/// keeps the caret at the end and turns Enter into `enterPressed`. Cyan means the value is a
/// price, white a quantity.
class NumberBox : public QLineEdit {
    Q_OBJECT
  public:
    explicit NumberBox(QWidget* parent = nullptr);

    double value() const;
    bool isPriceEntry() const { return m_price; }
    void setPriceEntry(bool price);
    /// While set, changes of the text are shown as they are (a caption in the box).
    void setReformatSuspended(bool suspended) { m_suspended = suspended; }

  Q_SIGNALS:
    void enterPressed();
    void valueChanged(double value);

  protected:
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

  private:
    void onTextChanged(const QString& text);
    void refuse();
    int maxDecimals() const;

    QString m_lastGood = QStringLiteral("0");
    bool m_price = false;
    bool m_suspended = false;
    bool m_inChange = false;
};

}  // namespace entry
