#pragma once

#include <QHash>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>

namespace layout {

/// Keeps every control of a form in proportion to the form: the first layout seen is the
/// reference, and at every resize each control's position and size are the reference scaled by
/// the form's width and height in whole percent. A control parked out of view (negative left)
/// stays out of view. Works for any form; the controls are the named descendants of `root`.
class ResizeFrm {
  public:
    /// Scales every registered control to the form's current size (registers them at the first
    /// call). Re-entrant calls and forms moved out of the way (top ≥ 30000 twips) do nothing.
    void resizeForm(QWidget* form, QWidget* root);

    /// Whole percentages of the current inner size against the reference.
    int horizontalPercentage(const QWidget* root) const;
    int verticalPercentage(const QWidget* root) const;
    bool registered() const { return !m_reference.isEmpty(); }

    /// The geometry a control had in the reference layout.
    QRect referenceOf(const QWidget* control) const { return m_controls.value(control); }

    /// The scaling rule: reference left, top, width, height in whole percent.
    static QRect scaled(const QRect& reference, int h, int v);

    /// Takes the controls' current geometry as the reference for a form of `size` (the design).
    void registerForm(QWidget* root, const QSize& size);

  private:
    QSize m_reference;
    QHash<const QWidget*, QRect> m_controls;
    QList<QPointer<QWidget>> m_order;
    bool m_busy = false;
};

}  // namespace layout
