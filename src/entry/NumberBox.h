#pragma once

#include <QLineEdit>

#include "core/Money.h"

namespace entry {

/// The quantity box: it takes only what keeps it a number, regroups itself after every change,
/// keeps the caret at the end and turns Enter into `enterPressed`. Cyan means the value is a
/// price, white a quantity.
class NumberBox : public QLineEdit {
    Q_OBJECT
  public:
    explicit NumberBox(QWidget* parent = nullptr);

    /// The value as a quantity and as a price; `isPriceEntry` says which one it is.
    core::Quantity quantity() const;
    core::Money price() const;
    bool isPriceEntry() const { return m_price; }
    void setPriceEntry(bool price);
    /// While set, changes of the text are shown as they are (a caption in the box).
    void setReformatSuspended(bool suspended) { m_suspended = suspended; }

  Q_SIGNALS:
    void enterPressed();
    void valueChanged(bool isZero);
    /// A key, or an Enter after a refused key, was refused: why, in the operator's words.
    void refused(const QString& why);
    /// An Enter was refused (after `refused`): what the box held was not what was typed.
    void enterRefused();

  protected:
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

  private:
    void onTextChanged(const QString& text);
    void refuse(const QString& why);
    int maxDecimals() const;

    QString m_lastGood = QStringLiteral("0");
    bool m_price = false;
    bool m_suspended = false;
    bool m_inChange = false;
    /// A typed key was refused since the box was last set: its number is not what was typed
    /// (a barcode read into it, a digit too many), so Enter does not book it.
    bool m_keyRefused = false;
    bool m_typing = false;  // the text changes by a typed key
};

}  // namespace entry
