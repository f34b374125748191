#include "app/Style.h"

#include <QWidget>

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace app {

void touchSized(QWidget* dialog, const QWidget* model) {
    if (!model) return;
    const QFont font = model->font();
    dialog->setFont(font);
    // The window's style sheet would size a dialog's buttons as small dialog buttons.
    dialog->setStyleSheet(QStringLiteral("QLabel, QLineEdit { font-size: %1pt; }"
                                         "QPushButton { font-size: %1pt; font-weight: bold; "
                                         "min-width: %2px; min-height: %3px; }")
                              .arg(font.pointSizeF())
                              .arg(model->width())
                              .arg(model->height()));
}

QString terminalStyleSheet() {
    return QStringLiteral(R"(
QMainWindow, QWidget#FormArea { background: #eef1f5; }
QLabel { color: #1d2733; }
QLabel[role="kind"] { background: #274c77; color: white; border-radius: 8px; }
QLineEdit {
    background: white; border: 2px solid #8da2bb; border-radius: 8px; padding: 2px 8px;
    selection-background-color: #274c77;
}
QLineEdit:focus { border-color: #274c77; }
QComboBox {
    background: white; border: 2px solid #8da2bb; border-radius: 8px; padding: 2px 10px;
}
QComboBox QAbstractItemView { font-size: 18pt; selection-background-color: #274c77; }
QComboBox QAbstractItemView::item { min-height: 52px; padding: 0 12px; }
QPushButton {
    background: #dfe6ee; color: #1d2733; border: 2px solid #8da2bb; border-radius: 10px;
}
QPushButton:pressed { background: #b9c7d8; }
QPushButton:disabled { color: #8a96a3; background: #e8ecf1; border-color: #c5ced8; }
QPushButton[role="confirm"] { background: #2f7d4f; color: white; border-color: #23603c; }
QPushButton[role="confirm"]:pressed { background: #23603c; }
QPushButton[role="confirm"]:disabled { background: #9cc4ac; border-color: #9cc4ac; }
QPushButton[role="danger"] { background: #b33c3c; color: white; border-color: #8c2e2e; }
QPushButton[role="danger"]:pressed { background: #8c2e2e; }
QPushButton[role="danger"]:disabled { background: #e6c9c9; color: #f8eeee; border-color: #dbb5b5; }
QMenu { background: white; border: 2px solid #8da2bb; font-size: 18pt; }
QMenu::item { padding: 14px 40px 14px 24px; min-height: 36px; }
QMenu::item:selected { background: #274c77; color: white; }
QMenu::separator { height: 2px; background: #c5ced8; margin: 6px 12px; }
QDialog QPushButton { min-width: 140px; min-height: 52px; font-size: 16pt; }
QFrame[role="panel"] { background: #dde4ec; border: 2px solid #8da2bb; border-radius: 12px; }
QFrame[role="overlay"] { background: #f8fafc; border: 3px solid #274c77; border-radius: 14px; }
QFrame[role="label"] { background: white; border: 1px solid #1d2733; border-radius: 0; }
QCheckBox {
    background: #f8fafc; border: 2px solid #8da2bb; border-radius: 12px; padding-left: 18px;
    spacing: 14px;
}
QCheckBox:checked { background: #cfe3d6; border-color: #2f7d4f; }
QCheckBox::indicator { width: 40px; height: 40px; }
QTableView {
    background: white; alternate-background-color: #f2f5f9; gridline-color: #d3dbe4;
    selection-background-color: #274c77; selection-color: white;
    border: 2px solid #8da2bb; border-radius: 6px;
}
QHeaderView::section {
    background: #dfe6ee; color: #1d2733; padding: 6px; border: 0;
    border-right: 1px solid #b9c7d8; border-bottom: 2px solid #8da2bb;
}
QProgressBar {
    border: 2px solid #8da2bb; border-radius: 8px; background: white; text-align: center;
}
QProgressBar::chunk { background: #2f7d4f; border-radius: 6px; }
)");
}

bool installTurkishTranslations() {
    // Qt's own texts (the input box's buttons, the context menus) in Turkish, from the system's
    // translations; without them the English texts stay.
    static QTranslator* translator = nullptr;
    if (translator) return true;
    auto* t = new QTranslator(QCoreApplication::instance());
    if (!t->load(QLocale(QLocale::Turkish, QLocale::Turkey), QStringLiteral("qtbase"),
                 QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete t;
        return false;
    }
    QCoreApplication::installTranslator(t);
    translator = t;
    return true;
}

}  // namespace app
