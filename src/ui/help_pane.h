#pragma once

#include <QObject>
#include <QRect>
#include <QString>

#include <array>

class MainWindow;
class QPushButton;
class QTextBrowser;

// The Help menu: shows the local help pages in the window's browser pane, which
// covers the work area until "Close Help" (or Help > Close) hides it again.
class HelpPane final : public QObject {
    Q_OBJECT

public:
    // A Help menu item (by control name) and the page file it shows.
    struct Page final {
        const char* item;
        const char* file;
    };
    static constexpr std::array<Page, 5> kPages{{
        {"OverView", "OverView.htm"},
        {"EnterKey", "EnterKey.htm"},
        {"CreateString", "CreateString.htm"},
        {"VerifyOp", "Verify.htm"},
        {"Misc", "Misc.htm"},
    }};

    // Wires the Help menu items and the Close Help button of the window.
    explicit HelpPane(MainWindow& window);

    // ShowHelpViewer: places the pane from the window's size as it is now, shows
    // it in front of everything, and the Close Help button in front of the pane.
    void showHelpViewer();
    // ShowHelpViewer, then loads the page file from the program folder.
    void showPage(const QString& fileName);
    // Hides the pane, then the button.
    void closeHelp();

    // Where showHelpViewer puts the pane for the window's current outer size.
    QRect paneGeometry() const;

    // The text shown in the pane in place of a page file that is missing.
    static QString missingNotice(const QString& path);

private:
    void load(const QString& path);

    MainWindow& m_window;
    QTextBrowser* m_browser;
    QPushButton* m_close;
};
