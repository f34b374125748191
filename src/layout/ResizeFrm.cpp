#include "layout/ResizeFrm.h"

#include <cmath>

namespace layout {

namespace {

// Our controls carry names; the parts Qt builds inside them (viewports, scroll bars) do not.
bool isControl(const QWidget* w) {
    return !w->objectName().isEmpty() && !w->objectName().startsWith(QStringLiteral("qt_")) &&
           !w->isWindow();
}

}  // namespace

QRect ResizeFrm::scaled(const QRect& r, int h, int v) {
    // A parked control (wholly left of the form) scales about the form's left edge, so its right
    // edge stays left of it at every size.
    return QRect(r.left() * h / 100, r.top() * v / 100, r.width() * h / 100, r.height() * v / 100);
}

void ResizeFrm::registerForm(QWidget* root, const QSize& size) {
    m_reference = size;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (!isControl(w) || m_controls.contains(w)) continue;
        m_controls.insert(w, w->geometry());
        m_order.append(w);
    }
}

int ResizeFrm::horizontalPercentage(const QWidget* root) const {
    return m_reference.width() > 0
               ? static_cast<int>(std::lround(root->width() * 100.0)) / m_reference.width()
               : 100;
}

int ResizeFrm::verticalPercentage(const QWidget* root) const {
    return m_reference.height() > 0
               ? static_cast<int>(std::lround(root->height() * 100.0)) / m_reference.height()
               : 100;
}

void ResizeFrm::resizeForm(QWidget* form, QWidget* root) {
    if (m_busy || !root) return;
    if (form->y() * 15 >= 30000) return;
    m_busy = true;
    if (!registered()) registerForm(root, root->size());
    // A minimised or collapsed form keeps its controls as they were.
    if (root->width() > 0 && root->height() > 0) {
        const int h = horizontalPercentage(root);
        const int v = verticalPercentage(root);
        for (const QPointer<QWidget>& w : m_order)
            if (w) w->setGeometry(scaled(m_controls.value(w), h, v));
    }
    m_busy = false;
}

}  // namespace layout
