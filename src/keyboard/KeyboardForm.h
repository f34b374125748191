#pragma once

#include <QPointer>
#include <QWidget>
#include <vector>

class QLabel;

namespace keyboard {

/// The touch keyboard (" Klavye"): a window that stays on top and never takes the focus. Its
/// keys are captions, not buttons; a press types the key into the control of the main window
/// that last had the focus, as a real keyboard would. "Num"/"Harf" switch the digit row and the
/// space bar.
class KeyboardForm : public QWidget {
    Q_OBJECT
  public:
    /// `main` is the window whose focused control receives the keys.
    explicit KeyboardForm(QWidget* main);

    /// The size the keyboard takes on its screen.
    QSize preferredSize() const;
    /// The screen's area the keyboard and the main window share.
    QRect screenArea() const;
    /// Places the keyboard below the main window (on the screen), as wide as the screen allows.
    void placeUnder(const QRect& mainFrame);
    /// Places the keyboard at the top of `room` (screen coordinates), centred, as large as its
    /// preferred size and the room allow in its own proportions; returns where it went.
    QRect placeIn(const QRect& room);
    /// Steps aside while any of `panels` is shown: panels it would cover that take no typing. It
    /// steps aside for a message box in any case.
    void giveWayTo(const QList<QWidget*>& panels);
    /// The control that receives the keys.
    QWidget* target() const { return m_target; }
    /// The key with this caption (for tests and UI automation).
    QLabel* key(const QString& caption) const;
    bool digitsShown() const { return m_digits; }

  protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

  private:
    struct Key {
        QLabel* label;
        QRect design;  // twips
    };
    Key* keyAt(const QPoint& pos);
    void colour(Key* hovered, Key* pressed);
    void press(Key& key);
    void type(int qtKey, const QString& text);
    void switchRows(bool digits);
    void layoutKeys();
    void giveWay();

    QPointer<QWidget> m_main;
    QPointer<QWidget> m_target;
    std::vector<Key> m_keys;
    QList<QPointer<QWidget>> m_panels;
    bool m_blocked = false;  // a message box is up: no key could reach the window
    bool m_digits = false;
};

}  // namespace keyboard
