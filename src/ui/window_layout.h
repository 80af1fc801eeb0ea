#pragma once

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QTextBrowser;
class QTextEdit;
class QWidget;

namespace twips {
class Placer;
}

// The main window's controls in twips, built in the order that gives the Tab
// walk and the stacking; the window calls them between the row lines and the
// status panel it builds itself.
namespace window_layout {

// Column headings and the vertical rules of both columns of rows.
void buildRowHeadings(QWidget* central, const twips::Placer& placer);

struct Controls final {
    QPushButton* previousPage = nullptr;
    QPushButton* nextPage = nullptr;
    QComboBox* strConfig = nullptr;
    QPushButton* read = nullptr;
    QPushButton* send = nullptr;
    QPushButton* verify = nullptr;
    QPushButton* version = nullptr;
};
// The title, paging, string length list and the four device-operation buttons.
Controls buildControls(QWidget* central, const twips::Placer& placer);

struct SettingsFrame final {
    QLabel* port = nullptr;
    QLabel* baud = nullptr;
    QLabel* parity = nullptr;
    QLabel* configFile = nullptr;
};
// The "Settings" frame with its captions and the four labels the window fills.
SettingsFrame buildSettingsFrame(QWidget* central, const twips::Placer& placer);

struct HiddenPanes final {
    QTextEdit* notes = nullptr;  // StrDes
    QFrame* notesPointer = nullptr;  // StrLine
    QTextBrowser* help = nullptr;
    QPushButton* helpClose = nullptr;
};
// The notes box and the help pane, hidden until asked for.
HiddenPanes buildHiddenPanes(QWidget* central, const twips::Placer& placer);

}  // namespace window_layout
