#include "ui/help_pane.h"

#include "ui/twips.h"

#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>

#include <algorithm>

namespace {

// Pane placement in twips: its corner, and what it leaves of the window's outer size.
constexpr int kLeft = 200;
constexpr int kTop = 2000;
constexpr int kWidthMargin = 600;
constexpr int kHeightMargin = 2700;

}  // namespace

HelpPane::HelpPane(const QWidget& window, const twips::Placer& placer, QTextBrowser* browser, QPushButton* close,
                   QString programFolder)
    : m_window(window), m_placer(placer), m_browser(browser), m_close(close), m_programFolder(std::move(programFolder))
{
    connect(m_close, &QPushButton::clicked, this, &HelpPane::closeHelp);
}

QRect HelpPane::paneGeometry() const
{
    // The window's outer size, frame included, as it is at this moment: a
    // resize between two help items gives a pane of the new size.
    const QSize outer = m_window.frameGeometry().size();
    // A window squeezed below the margins gets an empty pane, never a negative size.
    return QRect(m_placer.px(kLeft), m_placer.px(kTop), std::max(0, outer.width() - m_placer.px(kWidthMargin)),
                 std::max(0, outer.height() - m_placer.px(kHeightMargin)));
}

void HelpPane::showHelpViewer()
{
    m_browser->setGeometry(paneGeometry());
    m_browser->show();
    m_browser->raise();
    m_close->show();
    m_close->raise();
}

void HelpPane::showPage(const QString& fileName)
{
    showHelpViewer();
    load(QDir(m_programFolder).filePath(fileName));
}

void HelpPane::load(const QString& path)
{
    // Pictures and links in the pages are named relative to the program folder.
    m_browser->setSearchPaths({m_programFolder});
    if (!QFileInfo(path).isFile()) {
        // Without a file the browser would show an empty pane with no hint why.
        // Forgetting the source makes the next choice of a page load it afresh.
        m_browser->setSource(QUrl());
        m_browser->setPlainText(missingNotice(path));
        return;
    }
    const QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    if (m_browser->source() == url)
        m_browser->reload();  // the same page again starts again from its top
    else
        m_browser->setSource(url);
}

void HelpPane::closeHelp()
{
    m_browser->hide();
    m_close->hide();
}

QString HelpPane::missingNotice(const QString& path)
{
    return QStringLiteral("Help page %1 was not found.").arg(QDir::toNativeSeparators(path));
}
