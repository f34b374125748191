#include "app/Style.h"

namespace app {

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
QComboBox QAbstractItemView { font-size: 16pt; selection-background-color: #274c77; }
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

}  // namespace app
