#include "keyboard/KeyboardForm.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>

namespace keyboard {

namespace {

// The design: client area 7275 × 2235 twips, normal key 555 × 495, lefts 60 + 600 × column.
constexpr int DesignWidth = 7275;
constexpr int DesignHeight = 2235;
constexpr int KeyW = 555;
constexpr int KeyH = 495;
constexpr int DigitsTop = 2370;  // below the visible area while letters are shown
constexpr int SpaceTop = 1680;
constexpr int DigitW = 500;  // eleven keys across the space bar's 5955
constexpr int DigitPitch = 545;

struct KeyPlace {
    int number;
    const char* caption;
    int left, top, width, height;
};

std::vector<KeyPlace> keyLayout() {
    std::vector<KeyPlace> keys;
    auto row = [&keys](int top, std::initializer_list<std::pair<int, const char*>> names) {
        int column = 0;
        for (const auto& [number, caption] : names)
            keys.push_back({number, caption, 60 + 600 * column++, top, KeyW, KeyH});
    };
    row(60, {{9, "q"},
             {8, "w"},
             {7, "e"},
             {6, "r"},
             {5, "t"},
             {4, "y"},
             {3, "u"},
             {2, "ı"},
             {31, "o"},
             {30, "p"},
             {1, "ğ"},
             {10, "ü"}});
    row(600, {{29, "a"},
              {28, "s"},
              {27, "d"},
              {26, "f"},
              {25, "g"},
              {24, "h"},
              {23, "j"},
              {22, "k"},
              {21, "l"},
              {11, "ş"},
              {12, "i"},
              {42, "<--"}});
    row(1140, {{20, "z"},
               {19, "x"},
               {38, "c"},
               {37, "v"},
               {36, "b"},
               {35, "n"},
               {34, "m"},
               {13, "ö"},
               {14, "ç"},
               {15, "*"}});
    keys.push_back({41, "Enter", 6060, 1140, 1155, KeyH});
    keys.push_back({40, " ", 60, SpaceTop, 5955, 510});
    keys.push_back({46, "Num", 6060, SpaceTop, 1155, KeyH});
    // The digit row shares the space bar's width with a decimal comma for quantities and prices.
    int column = 0;
    for (const auto& [number, caption] :
         std::initializer_list<std::pair<int, const char*>>{{16, "1"},
                                                            {17, "2"},
                                                            {18, "3"},
                                                            {32, "4"},
                                                            {33, "5"},
                                                            {39, "6"},
                                                            {43, "7"},
                                                            {44, "8"},
                                                            {45, "9"},
                                                            {47, "0"},
                                                            {48, ","}})
        keys.push_back({number, caption, 60 + DigitPitch * column++, DigitsTop, DigitW, KeyH});
    return keys;
}

const QColor Hover(0x00, 0xFF, 0x00);
const QColor Pressed(0x00, 0x00, 0xFF);

}  // namespace

KeyboardForm::KeyboardForm(QWidget* main)
    : QWidget(main, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus),
      m_main(main) {
    setObjectName(QStringLiteral("Form1"));
    setAccessibleName(QStringLiteral("Klavye"));
    setWindowTitle(QStringLiteral(" Klavye"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    for (const KeyPlace& place : keyLayout()) {
        auto* label = new QLabel(QString::fromUtf8(place.caption), this);
        label->setObjectName(QStringLiteral("Label%1").arg(place.number));
        label->setAccessibleName(place.caption[0] == ' ' ? QStringLiteral("Boşluk")
                                                         : QString::fromUtf8(place.caption));
        label->setAlignment(Qt::AlignCenter);
        label->setAutoFillBackground(true);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Raised);
        label->setFocusPolicy(Qt::NoFocus);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);  // the window handles every press
        m_keys.push_back({label, QRect(place.left, place.top, place.width, place.height)});
    }
    // Keys go to the main window's control that had the focus last, followed as it changes.
    m_target = QApplication::focusWidget();
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now && m_main && now->window() == m_main) m_target = now;
    });
    resize(DesignWidth / 15, DesignHeight / 15);
    colour(nullptr, nullptr);
}

QLabel* KeyboardForm::key(const QString& caption) const {
    for (const Key& k : m_keys)
        if (k.label->text() == caption) return k.label;
    return nullptr;
}

QRect KeyboardForm::screenArea() const {
    QScreen* screen = m_main && m_main->screen() ? m_main->screen() : QApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

QSize KeyboardForm::preferredSize() const {
    // As wide as the screen allows (keys grow with it), in the design's proportions; at 800
    // pixels a key is wider than a fingertip, and more would only take rows from the grid.
    const int w = std::min(screenArea().width(), 800);
    return {w, w * DesignHeight / DesignWidth};
}

QRect KeyboardForm::placeIn(const QRect& room) {
    const QSize preferred = preferredSize();
    const int w = std::max(
        1, std::min({preferred.width(), room.width(), room.height() * DesignWidth / DesignHeight}));
    const QRect place(room.left() + (room.width() - w) / 2, room.top(), w,
                      w * DesignHeight / DesignWidth);
    setGeometry(place);
    return place;
}

void KeyboardForm::giveWayTo(const QList<QWidget*>& panels) {
    for (QWidget* panel : panels) {
        m_panels.append(panel);
        panel->installEventFilter(this);
    }
    giveWay();
}

bool KeyboardForm::event(QEvent* e) {
    // A box kept on top by a window manager would hide it, and no key could reach the window.
    if (e->type() == QEvent::WindowBlocked || e->type() == QEvent::WindowUnblocked) {
        m_blocked = e->type() == QEvent::WindowBlocked;
        giveWay();
    }
    return QWidget::event(e);
}

void KeyboardForm::giveWay() {
    bool covered = m_blocked;
    for (const QPointer<QWidget>& panel : m_panels)
        if (panel && panel->isVisible()) covered = true;
    setVisible(!covered);
}

bool KeyboardForm::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::Show || e->type() == QEvent::Hide) giveWay();
    return QWidget::eventFilter(watched, e);
}

void KeyboardForm::placeUnder(const QRect& mainFrame) {
    const QRect area = screenArea();
    const QSize size = preferredSize();
    resize(size);
    const int top = std::min(mainFrame.bottom() + 1, area.bottom() + 1 - size.height());
    move(area.left() + (area.width() - size.width()) / 2, std::max(area.top(), top));
}

void KeyboardForm::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    layoutKeys();
}

void KeyboardForm::layoutKeys() {
    const double sx = static_cast<double>(width()) / DesignWidth;
    const double sy = static_cast<double>(height()) / DesignHeight;
    for (Key& k : m_keys) {
        const QRect r = k.design;
        k.label->setGeometry(qRound(r.left() * sx), qRound(r.top() * sy), qRound(r.width() * sx),
                             qRound(r.height() * sy));
        QFont f = k.label->font();
        f.setPixelSize(std::max(10, qRound(KeyH * sy * 0.5)));
        k.label->setFont(f);
    }
}

KeyboardForm::Key* KeyboardForm::keyAt(const QPoint& pos) {
    for (Key& k : m_keys)
        if (k.label->geometry().contains(pos) && k.label->y() < height()) return &k;
    return nullptr;
}

void KeyboardForm::colour(Key* hovered, Key* pressed) {
    for (Key& k : m_keys) {
        QPalette p = k.label->palette();
        p.setColor(QPalette::Window, &k == pressed   ? Pressed
                                     : &k == hovered ? Hover
                                                     : palette().color(QPalette::Button));
        p.setColor(QPalette::WindowText, &k == pressed ? Qt::white : Qt::black);
        k.label->setPalette(p);
    }
}

void KeyboardForm::mouseMoveEvent(QMouseEvent* e) {
    colour(keyAt(e->position().toPoint()), nullptr);
}

void KeyboardForm::leaveEvent(QEvent*) {
    colour(nullptr, nullptr);
}

void KeyboardForm::mousePressEvent(QMouseEvent* e) {
    Key* k = e->button() == Qt::LeftButton ? keyAt(e->position().toPoint()) : nullptr;
    colour(nullptr, k);
    if (k) press(*k);
    e->accept();  // a press between keys is swallowed and does nothing
}

void KeyboardForm::press(Key& k) {
    const QString caption = k.label->text();
    if (caption.size() == 1) {
        const QChar c = caption[0];
        const int code = c == u' '                  ? Qt::Key_Space
                         : c == u'*'                ? Qt::Key_Asterisk
                         : c == u','                ? Qt::Key_Comma
                         : c.isDigit()              ? Qt::Key_0 + c.digitValue()
                         : (c >= u'a' && c <= u'z') ? Qt::Key_A + (c.unicode() - u'a')
                                                    : Qt::Key_unknown;
        type(code, caption);
    } else if (caption == QStringLiteral("Enter")) {
        type(Qt::Key_Return, QStringLiteral("\r"));
    } else if (caption == QStringLiteral("<--")) {
        type(Qt::Key_Backspace, QStringLiteral("\b"));
    } else if (caption == QStringLiteral("Num")) {
        switchRows(true);
    } else if (caption == QStringLiteral("Harf")) {
        switchRows(false);
    }
}

void KeyboardForm::type(int qtKey, const QString& text) {
    if (!m_target) return;
    QKeyEvent press(QEvent::KeyPress, qtKey, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, qtKey, Qt::NoModifier, text);
    QCoreApplication::sendEvent(m_target, &press);
    if (m_target) QCoreApplication::sendEvent(m_target, &release);
}

void KeyboardForm::switchRows(bool digits) {
    m_digits = digits;
    for (Key& k : m_keys) {
        if (k.design.width() == DigitW) k.design.moveTop(digits ? SpaceTop : DigitsTop);
        if (k.label->objectName() == QStringLiteral("Label40"))
            k.design.moveTop(digits ? DigitsTop : SpaceTop);
    }
    key(digits ? QStringLiteral("Num") : QStringLiteral("Harf"))
        ->setText(digits ? QStringLiteral("Harf") : QStringLiteral("Num"));
    layoutKeys();
}

}  // namespace keyboard
