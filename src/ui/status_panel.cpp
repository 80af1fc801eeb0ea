#include "ui/status_panel.h"

#include "files/log_file.h"
#include "model/error_text.h"
#include "model/messages.h"
#include "ui/controls.h"
#include "ui/file_dialogs.h"
#include "ui/log_check.h"
#include "ui/twips.h"
#include "ui/ui_style.h"

#include <QCache>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include <algorithm>
#include <stdexcept>

namespace {

// Word wrap breaks only between words, so a device path or a hex dump wider than
// the list would still run past its edge: such words get break opportunities
// (zero-width spaces) between their characters, on screen only.
class LongWordBreaks final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The list lays out all its lines again whenever lines come in, and
    // wrapping a line means shaping its text: each line's size is worked out
    // once for a width and kept.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QString key =
                QString::number(option.rect.width()) + QLatin1Char(' ') + index.data(Qt::DisplayRole).toString();
        if (const QSize* known = m_sizes.object(key))
            return *known;
        const QSize size = QStyledItemDelegate::sizeHint(option, index);
        m_sizes.insert(key, new QSize(size));
        return size;
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        static const QRegularExpression kLongWord(QStringLiteral("\\S{24,}"));
        QString shown;
        qsizetype done = 0;
        for (const QRegularExpressionMatch& word : kLongWord.globalMatch(option->text)) {
            shown += QStringView(option->text).mid(done, word.capturedStart() - done);
            for (const QChar c : word.capturedView()) {
                shown += c;
                shown += QChar(0x200B);
            }
            done = word.capturedEnd();
        }
        shown += QStringView(option->text).mid(done);
        option->text = shown;
    }

private:
    mutable QCache<QString, QSize> m_sizes{4 * StatusPanel::kMaxLines};
};

}  // namespace

StatusPanel::StatusPanel(QWidget* parent, const twips::Placer& placer, Messages& messages, FileDialogs& dialogs)
    : m_messages(messages), m_dialogs(dialogs), m_dialogParent(parent)
{
    m_progressLabel =
            controls::makeLabel(parent, placer, "ProgressLabel", QStringLiteral("Progress"), 10200, 7440, 975, 255);

    m_bar = new QProgressBar(parent);
    m_bar->setObjectName(QStringLiteral("ProgressBar1"));
    m_bar->setAccessibleName(QStringLiteral("Progress"));
    m_bar->setTextVisible(false);
    m_bar->setRange(0, 1);
    m_bar->setValue(0);
    placer.place(m_bar, 11280, 7440, 2775, 255);

    m_percentLabel = controls::makeLabel(parent, placer, "PercentLabel", QString(), 14280, 7440, 615, 255);

    m_completion = controls::makeLabel(parent, placer, "CompletionStatus", QString(), 4320, 7920, 3180, 360);
    m_completion->setFont(ui_style::sansFont(13.5, true));
    QPalette red = m_completion->palette();
    red.setColor(QPalette::WindowText, QColor(0xFF, 0x00, 0x00));
    m_completion->setPalette(red);

    m_logBox = new QCheckBox(QStringLiteral("Log to file"), parent);
    m_logBox->setObjectName(QStringLiteral("LogCheckbox"));
    m_logBox->setFont(ui_style::sansFont(ui_style::kBasePoints, true));
    placer.place(m_logBox, 10800, 7920, 1575, 255);

    m_list = new QListWidget(parent);
    m_list->setObjectName(QStringLiteral("StatusBox"));
    m_list->setAccessibleName(QStringLiteral("Status"));
    m_list->setFont(ui_style::sansFont(ui_style::kBasePoints, false));
    // One scroll step per line, so the scroll position is the first line in view.
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    // A line longer than the list is wrapped onto the next rows of its item, never cut.
    m_list->setWordWrap(true);
    m_list->setItemDelegate(new LongWordBreaks(m_list));
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    m_list->setResizeMode(QListView::Adjust);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    placer.place(m_list, 8040, 8160, 6615, 2220);

    for (QWidget* hidden : {static_cast<QWidget*>(m_progressLabel), static_cast<QWidget*>(m_bar),
                            static_cast<QWidget*>(m_percentLabel), static_cast<QWidget*>(m_completion)})
        hidden->setVisible(false);

    // clicked, not toggled: only the operator's click starts a log file, not
    // the panel's own untick.
    connect(m_logBox, &QCheckBox::clicked, this, &StatusPanel::onLogClicked);
    m_sinceFlush.start();
    m_flushTimer.setSingleShot(true);
    connect(&m_flushTimer, &QTimer::timeout, this, [this] { flush(); });
}

const QString& StatusPanel::logFilter()
{
    // Qt separates the patterns of one filter by blanks.
    static const QString filter = QStringLiteral("Text (*.log *.txt)");
    return filter;
}

int StatusPanel::add(const QString& text)
{
    m_heldLines.append(text);
    const int index = std::min<int>(kMaxLines, m_list->count() + m_heldLines.size()) - 1;
    if (!m_batched)
        flush();
    else if (!m_flushTimer.isActive())
        m_flushTimer.start(static_cast<int>(std::max<qint64>(0, kBatchMs - m_sinceFlush.elapsed())));
    if (loggingOn())
        log_file::append(m_logName, text);
    return index;
}

void StatusPanel::setBatched(bool batched)
{
    m_batched = batched;
    if (!batched)
        flush();
}

void StatusPanel::flush() const
{
    m_flushTimer.stop();
    m_sinceFlush.start();
    showProgressValue();
    if (m_percentLabel->text() != m_percentText)
        m_percentLabel->setText(m_percentText);
    if (m_heldLines.isEmpty())
        return;
    m_list->addItems(m_heldLines);
    m_heldLines.clear();
    if (const int excess = m_list->count() - kMaxLines; excess > 0)
        m_list->model()->removeRows(0, excess);
    const int lines = m_list->count();
    if (lines > kLinesInView)
        m_list->scrollToItem(m_list->item(lines - kLinesInView), QAbstractItemView::PositionAtTop);
    // Wrapped lines can make the last few taller than the list: the newest stays in view all the same.
    m_list->scrollToItem(m_list->item(lines - 1), QAbstractItemView::EnsureVisible);
}

int StatusPanel::heldIndex(int index) const
{
    if (index < 0 || index >= count())
        throw std::runtime_error(QStringLiteral("status line %1 is not in the list (it holds %2 lines)")
                                         .arg(index)
                                         .arg(count())
                                         .toStdString());
    // The oldest lines leave the list as held ones come in.
    const qsizetype all = m_list->count() + m_heldLines.size();
    return static_cast<int>(index + std::max<qsizetype>(0, all - kMaxLines) - m_list->count());
}

void StatusPanel::setLine(int index, const QString& text)
{
    if (const int held = heldIndex(index); held >= 0)
        m_heldLines[held] = text;
    else
        m_list->item(m_list->count() + held)->setText(text);
}

QString StatusPanel::line(int index) const
{
    const int held = heldIndex(index);
    return held >= 0 ? m_heldLines.at(held) : m_list->item(m_list->count() + held)->text();
}

void StatusPanel::clear()
{
    m_heldLines.clear();
    m_list->clear();
}

void StatusPanel::showCompletion(const QString& text)
{
    m_completion->setText(text);
    m_completion->setVisible(true);
}

void StatusPanel::hideCompletion(const QString& text)
{
    m_completion->setText(text);
    m_completion->setVisible(false);
}

void StatusPanel::showProgress()
{
    m_bar->setVisible(true);
    m_progressLabel->setVisible(true);
    m_percentLabel->setVisible(true);
}

void StatusPanel::hideProgress()
{
    m_bar->setVisible(false);
    m_progressLabel->setVisible(false);
    m_percentLabel->setVisible(false);
}

void StatusPanel::setProgressMaximum(int maximum)
{
    m_progressMaximum = maximum;
    // A zero range would turn the bar into a busy indicator.
    m_bar->setRange(0, std::max(1, maximum));
    m_bar->setValue(std::clamp(m_progressValue, 0, std::max(1, maximum)));
}

void StatusPanel::showProgressValue() const
{
    const int shown = std::clamp(m_progressValue, 0, m_bar->maximum());
    if (shown == m_bar->value())
        return;
    // The bar repaints itself on the spot when its value changes; with updates
    // held it is painted with the rest of the window instead, once per wait.
    m_bar->setUpdatesEnabled(false);
    m_bar->setValue(shown);
    m_bar->setUpdatesEnabled(true);
}

int StatusPanel::progressMaximum() const
{
    return m_progressMaximum;
}

void StatusPanel::setProgressValue(int value)
{
    m_progressValue = value;
    if (!m_batched)
        showProgressValue();
}

int StatusPanel::progressValue() const
{
    return m_progressValue;
}

void StatusPanel::setPercentText(const QString& text)
{
    m_percentText = text;
    if (!m_batched)
        m_percentLabel->setText(text);
}

int StatusPanel::count() const
{
    return static_cast<int>(std::min<qsizetype>(kMaxLines, m_list->count() + m_heldLines.size()));
}

QStringList StatusPanel::lines() const
{
    flush();
    QStringList all;
    all.reserve(m_list->count());
    for (int i = 0; i < m_list->count(); ++i)
        all << m_list->item(i)->text();
    return all;
}

int StatusPanel::firstVisibleLine() const
{
    flush();
    return m_list->verticalScrollBar()->value();
}

bool StatusPanel::loggingOn() const
{
    return m_logBox->isChecked() && !m_logName.isEmpty();
}

void StatusPanel::onLogClicked(bool ticked)
{
    if (!ticked)
        return;
    // The dialog is shown on every tick; a cancel keeps the name chosen before.
    if (const auto chosen =
                m_dialogs.saveFileName(m_dialogParent, QStringLiteral("Log to file"), m_logName, logFilter()))
        m_logName = *chosen;
    if (m_logName.isEmpty()) {
        m_logBox->setChecked(false);
        return;
    }
    try {
        // With an empty list the file is created by the next line; until then
        // only look whether it could be.
        if (count() == 0)
            log_check::checkAppendable(m_logName);
        else
            log_file::append(m_logName, lines());
    } catch (const std::exception& e) {
        // Nothing is logged to a file that cannot be written; saying so and
        // unticking keeps the operator from believing the log runs.
        m_logBox->setChecked(false);
        m_messages.info(QStringLiteral("Cannot log to file - ") + describe(e));
    }
}
