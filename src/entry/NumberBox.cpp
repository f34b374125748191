#include "entry/NumberBox.h"

#include <QApplication>
#include <QKeyEvent>

#include "entry/NumberText.h"

namespace entry {

NumberBox::NumberBox(QWidget* parent) : QLineEdit(QStringLiteral("0"), parent) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setContextMenuPolicy(Qt::NoContextMenu);
    setPriceEntry(false);
    connect(this, &QLineEdit::textChanged, this, &NumberBox::onTextChanged);
}

core::Quantity NumberBox::quantity() const {
    return number::quantity(text());
}

core::Money NumberBox::price() const {
    return number::price(text());
}

void NumberBox::setPriceEntry(bool price) {
    m_price = price;
    setProperty("price", price);
    // White for a quantity, cyan for a price.
    setStyleSheet(price ? QStringLiteral("QLineEdit { background: #00FFFF; }")
                        : QStringLiteral("QLineEdit { background: #FFFFFF; }"));
}

int NumberBox::maxDecimals() const {
    return m_price ? number::MaxPriceDecimals : number::MaxDecimals;
}

void NumberBox::refuse(const QString& why) {
    QApplication::beep();
    Q_EMIT refused(why);
}

void NumberBox::onTextChanged(const QString& text) {
    if (m_suspended || m_inChange) return;
    m_inChange = true;
    QString next = text.isEmpty() ? QStringLiteral("0") : text;
    // Pasted or set text that is not a number gives way to the last good text.
    if (!number::isNumber(next, maxDecimals())) {
        refuse(QStringLiteral("Sayı değil: \"%1\"").arg(text.left(20)));
        next = m_lastGood;
    } else {
        next = number::reformat(next);
    }
    if (next != text) setText(next);
    if (!m_typing) m_keyRefused = false;
    setCursorPosition(static_cast<int>(next.size()));
    m_lastGood = next;
    m_inChange = false;
    Q_EMIT valueChanged(number::quantity(next).isZero());
}

void NumberBox::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            e->accept();
            if (m_keyRefused && !quantity().isZero()) {
                refuse(QStringLiteral("Miktar olarak okunamadı: %1…, işlenmedi. Barkodu arama "
                                      "kutusuna okutunuz.")
                           .arg(text()));
                Q_EMIT enterRefused();
                return;
            }
            Q_EMIT enterPressed();
            return;
        case Qt::Key_Backspace: {
            e->accept();
            QString t = text();
            t.chop(1);
            setText(t);
            return;
        }
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Escape:
        case Qt::Key_Up:
        case Qt::Key_Down:
            QLineEdit::keyPressEvent(e);
            return;
        default:
            break;
    }
    if (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier) || e->text().isEmpty() ||
        (e->key() >= Qt::Key_F1 && e->key() <= Qt::Key_F35)) {
        // Paste goes through the change check; other shortcuts belong to the window.
        if (e->matches(QKeySequence::Paste))
            QLineEdit::keyPressEvent(e);
        else
            e->ignore();
        return;
    }
    e->accept();
    QString t = text();
    QString keys = e->text();
    // The keypad's decimal key is the decimal sign whatever the layout prints on it.
    if ((e->modifiers() & Qt::KeypadModifier) && (keys == u"." || keys == u","))
        keys = QStringLiteral(",");
    for (QChar ch : keys) {
        const QString next = number::afterKey(t, ch, maxDecimals());
        if (next.isEmpty()) {
            m_keyRefused = true;
            refuse(number::refusal(t, ch, maxDecimals()));
            return;
        }
        t = next;
    }
    m_typing = true;
    setText(t);
    m_typing = false;
}

void NumberBox::mousePressEvent(QMouseEvent* e) {
    QLineEdit::mousePressEvent(e);
    setCursorPosition(static_cast<int>(text().size()));
}

void NumberBox::mouseReleaseEvent(QMouseEvent* e) {
    QLineEdit::mouseReleaseEvent(e);
    deselect();
    setCursorPosition(static_cast<int>(text().size()));
}

}  // namespace entry
