#pragma once

#include <QObject>
#include <QRect>
#include <QString>

#include <array>

class QPushButton;
class QTextBrowser;
class QWidget;

namespace twips {
class Placer;
}

// The Help menu: shows the local help pages in the window's browser pane, which
// covers the work area until "Close Help" (or Help > Close) hides it again.
class HelpPane final : public QObject {
    Q_OBJECT

public:
    // A Help menu item (control name and caption) and the page file it shows.
    struct Page final {
        const char* item;
        const char* caption;
        const char* file;
    };
    static constexpr std::array<Page, 5> kPages{{
            {"OverView", "OverView", "OverView.htm"},
            {"EnterKey", "Entering Keyboard Keys", "EnterKey.htm"},
            {"CreateString", "Creating Output Strings", "CreateString.htm"},
            {"VerifyOp", "Verifying Operation", "Verify.htm"},
            {"Misc", "Miscellaneous", "Misc.htm"},
    }};

    // window: whose outer size the pane follows. browser / close: the window's
    // pane and its Close Help button, which this wires. Pages are read from
    // programFolder.
    HelpPane(const QWidget& window, const twips::Placer& placer, QTextBrowser* browser, QPushButton* close,
             QString programFolder);

    // Places the pane from the window's size as it is now, shows
    // it in front of everything, and the Close Help button in front of the pane.
    void showHelpViewer();
    // showHelpViewer, then loads the page file from the program folder.
    void showPage(const QString& fileName);
    // Hides the pane, then the button.
    void closeHelp();

    // Where showHelpViewer puts the pane for the window's current outer size.
    QRect paneGeometry() const;

    // The text shown in the pane in place of a page file that is missing.
    static QString missingNotice(const QString& path);

private:
    void load(const QString& path);

    const QWidget& m_window;
    const twips::Placer& m_placer;
    QTextBrowser* m_browser;
    QPushButton* m_close;
    QString m_programFolder;
};
