#include "ui/main_window.h"

#include "device/port_settings.h"
#include "device/serial_link.h"
#include "files/settings.h"
#include "model/capacity.h"
#include "model/error_text.h"
#include "model/key_table.h"
#include "model/messages.h"
#include "model/version.h"
#include "ui/clear_all.h"
#include "ui/config_command.h"
#include "ui/device_chooser_dialog.h"
#include "ui/file_commands.h"
#include "ui/help_pane.h"
#include "ui/key_capture.h"
#include "ui/notes_box.h"
#include "ui/operation_runner.h"
#include "ui/row_lines.h"
#include "ui/screen_print.h"
#include "ui/station_command.h"
#include "ui/status_panel.h"
#include "ui/string_field.h"
#include "ui/ui_style.h"
#include "ui/undo_and_recovery.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QTextEdit>

#include <stdexcept>

MainWindow::MainWindow(MainWindowServices services, QWidget* parent)
    : QMainWindow(parent), m_services(std::move(services)), m_placer(logicalDpiX()),
      m_lengthIndex(capacity::kDefaultListIndex)
{
    buildWindow();

    m_runner = std::make_unique<OperationRunner>(
            m_controls, [this] { return operationContext(); }, *this);
    m_notes = std::make_unique<NotesBox>(m_panes.notes, m_panes.notesPointer, *m_lines, m_rows, m_placer,
                                         [this] { return m_settings.enableStrings; });
    m_files = std::make_unique<FileCommands>(FileCommands::Window{m_rows, *this, *m_lines, m_services.messages,
                                                                  m_services.dialogs, m_frame.configFile, this});
    connect(m_files.get(), &FileCommands::aboutToReplaceTable, this, &MainWindow::tableAboutToChange);
    m_config = std::make_unique<ConfigCommand>(m_settings, m_services.programFolder, m_services.messages, *m_status,
                                               ConfigDialog::WindowActions{[this] { setupCommPort(); },
                                                                           [this] { m_notes->hide(); },
                                                                           &DeviceChooserDialog::choose},
                                               *this);
    m_help = std::make_unique<HelpPane>(*this, m_placer, m_panes.help, m_panes.helpClose, m_services.programFolder);
    m_print = std::make_unique<ScreenPrint>(*this, m_services.printDialog);
    m_station = std::make_unique<StationCommand>(StationCommand::Window{
            [this] {
                return StationTable{m_rows, stringLengthIndex(), QFileInfo(m_files->fileName()).fileName()};
            },
            [this] {
                return PortDefaults{m_settings.comPort, m_settings.portPaths,
                                    port_settings::settingsText(m_settings.baud, m_settings.parity),
                                    m_settings.fastExchange == 1};
            },
            *m_runner, m_services.messages, m_services.dialogs, this});

    buildMenus();
    makeUndoAndRecovery();

    connect(m_runner.get(), &OperationRunner::runningChanged, m_status.get(), &StatusPanel::setBatched);
    // A run or a file being opened owns the table and the port until it ends.
    connect(m_runner.get(), &OperationRunner::runningChanged, this, &MainWindow::holdTableCommands);
    connect(m_files.get(), &FileCommands::loadingChanged, this, [this](bool loading) {
        m_runner->setOperationControlsEnabled(!loading);
        holdTableCommands(loading);
    });
}

void MainWindow::holdTableCommands(bool held)
{
    for (QAction* command :
         {m_menus.open, m_menus.save, m_menus.saveAs, m_menus.config, m_menus.clearAll, m_menus.station})
        command->setEnabled(!held);
    m_undoAndRecovery->setBusy(held);
}

void MainWindow::makeUndoAndRecovery()
{
    UndoAndRecovery::Table table{
            [this] {
                return TableState{m_rows, stringLength(), m_files->fileName(), m_frame.configFile->text()};
            },
            [this](const TableState& state) { restoreTable(state); },
            [this] { return m_controls.strConfig->currentIndex() + 1; }};
    m_undoAndRecovery = std::make_unique<UndoAndRecovery>(std::move(table), m_menus.undo, m_menus.redo,
                                                          m_services.messages, m_services.recoveryFolder);
    connect(this, &MainWindow::tableAboutToChange, m_undoAndRecovery.get(), &UndoAndRecovery::tableAboutToChange);
    connect(m_files.get(), &FileCommands::tableMatchesFile, m_undoAndRecovery.get(), &UndoAndRecovery::markClean);
    QList<QLineEdit*> strings;
    for (int i = 0; i < RowLines::kLines; ++i)
        strings << m_lines->line(i).string;
    m_undoAndRecovery->watchFields(strings);
}

void MainWindow::restoreTable(const TableState& state)
{
    // The box's row may hold another note now; what it showed belongs to the table being replaced.
    m_notes->hide();
    {
        // The length comes back with the strings that fit it: nothing is cut, nothing recorded.
        const QSignalBlocker quiet(m_controls.strConfig);
        m_controls.strConfig->setCurrentIndex(state.stringLength - 1);
    }
    m_lengthIndex = state.stringLength - 1;
    m_rows = state.rows;
    m_files->setFileName(state.configFileName);
    m_frame.configFile->setText(state.configLabel);
    m_lines->showPage();
    m_lines->refreshPageRows();
}

// The parts go before the widgets they drive, in the reverse of their making.
MainWindow::~MainWindow() = default;

void MainWindow::buildWindow()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QLatin1String(kTitle));

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("Form1Client"));
    central->setFont(ui_style::sansFont(ui_style::kBasePoints, false));
    setCentralWidget(central);

    // Made in this order, so that Tab walks the rows first, then the controls below them.
    window_layout::buildRowHeadings(central, m_placer);
    m_lines = std::make_unique<RowLines>(central, m_placer, m_rows, m_services.messages, m_services.programFolder,
                                         [this] { return stringLengthIndex(); });
    m_keyCapture = std::make_unique<KeyCapture>(*m_lines, m_rows, m_keyNamer, m_services.messages,
                                                [this] { return stringLengthIndex(); });
    m_controls = window_layout::buildControls(central, m_placer);
    m_status = std::make_unique<StatusPanel>(central, m_placer, m_services.messages, m_services.dialogs);
    m_frame = window_layout::buildSettingsFrame(central, m_placer);
    m_panes = window_layout::buildHiddenPanes(central, m_placer);

    connect(m_controls.previousPage, &QPushButton::clicked, this, [this] { m_lines->previousPage(); });
    connect(m_controls.nextPage, &QPushButton::clicked, this, [this] { m_lines->nextPage(); });
    connect(m_controls.strConfig, &QComboBox::currentIndexChanged, this, &MainWindow::onStringLengthChosen);

    const QSize client(m_placer.px(14955), m_placer.px(10470));
    central->setMinimumSize(client);
    resize(client.width(), client.height() + menuBar()->sizeHint().height());
}

void MainWindow::buildMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MenuBar"));
    auto item = [](QWidget* owner, const char* name, const QString& caption) {
        auto* action = new QAction(caption, owner);
        action->setObjectName(QLatin1String(name));
        owner->addAction(action);
        return action;
    };

    m_menus.file = bar->addMenu(QStringLiteral("File"));
    m_menus.file->setObjectName(QStringLiteral("File"));
    m_menus.file->menuAction()->setObjectName(QStringLiteral("FileMenu"));
    m_menus.open = item(m_menus.file, "FOpen", QStringLiteral("Open"));
    connect(m_menus.open, &QAction::triggered, m_files.get(), &FileCommands::open);
    m_menus.save = item(m_menus.file, "FSave", QStringLiteral("Save"));
    connect(m_menus.save, &QAction::triggered, m_files.get(), &FileCommands::save);
    m_menus.saveAs = item(m_menus.file, "SaveAs", QStringLiteral("Save As"));
    connect(m_menus.saveAs, &QAction::triggered, m_files.get(), &FileCommands::saveAs);
    m_menus.file->addSeparator();
    // Captions, shortcuts and what they do come from the table history.
    m_menus.undo = item(m_menus.file, "Undo", QStringLiteral("Undo"));
    m_menus.redo = item(m_menus.file, "Redo", QStringLiteral("Redo"));
    m_menus.file->addSeparator();
    m_menus.station = item(m_menus.file, "ProductionStation", QStringLiteral("Production Station..."));
    connect(m_menus.station, &QAction::triggered, this, [this] { m_station->run(); });

    // Commands that stand in the menu bar itself, without a menu under them.
    m_menus.config = item(bar, "Config", QStringLiteral("Configuration"));
    connect(m_menus.config, &QAction::triggered, m_config.get(), &ConfigCommand::run);
    m_menus.clearAll = item(bar, "ClearAll", QStringLiteral("Clear All"));
    connect(m_menus.clearAll, &QAction::triggered, this, [this] {
        emit tableAboutToChange(QStringLiteral("Clear All"));
        clearAll(m_rows, *m_lines, *m_panes.notes, *m_status, *this);
    });
    m_menus.print = item(bar, "prscr", QStringLiteral("Print Screen"));
    connect(m_menus.print, &QAction::triggered, m_print.get(), &ScreenPrint::print);

    QMenu* help = bar->addMenu(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("Help"));
    help->menuAction()->setObjectName(QStringLiteral("HelpMenu"));
    for (const HelpPane::Page& page : HelpPane::kPages) {
        const QString file = QLatin1String(page.file);
        connect(item(help, page.item, QLatin1String(page.caption)), &QAction::triggered, m_help.get(),
                [this, file] { m_help->showPage(file); });
    }
    m_menus.closeHelp = item(help, "CloseHelp", QStringLiteral("Close"));
    connect(m_menus.closeHelp, &QAction::triggered, m_help.get(), &HelpPane::closeHelp);

    // F10 opens the first menu, as Alt reaches the bar, from any control that
    // does not take the key for itself (a key field takes it as the key F10).
    auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(menuKey, &QShortcut::activated, bar, [bar] { bar->setActiveAction(bar->actions().value(0)); });
}

void MainWindow::startUp()
{
    if (m_startedUp)
        return;
    m_startedUp = true;
    try {
        m_lines->setCurrentPage(0);
        // The capacity table is fixed (capacity::maxKeysForIndex).
        for (int r = 0; r < RowTable::kLinesPerPage * (RowLines::kLastPage + 1); ++r)
            m_rows.pictureShown.at(static_cast<std::size_t>(r)) = false;
        m_lines->showPage();
        m_files->setFileName(QString());
        setWindowTitle(windowTitle() + QStringLiteral(" v") + QLatin1String(kProgramVersion));
        readSettings();
        setupCommPort();
        // The key table is a constant built on first use; touching it here
        // keeps its cost out of the first key press.
        (void)key_table::keyNameForScancode(0);
        m_panes.notes->resize(m_placer.px(5000), m_placer.px(1090));
        {
            // Filling an empty list would choose entry 0 on its own; only the
            // choice of entry 5 below counts as a choice.
            const QSignalBlocker quiet(m_controls.strConfig);
            m_controls.strConfig->clear();
            m_controls.strConfig->addItems(capacity::lengthEntries());
            m_controls.strConfig->setCurrentIndex(-1);
        }
        m_controls.strConfig->setCurrentIndex(capacity::kDefaultListIndex);
        m_lines->refreshPageRows();
    } catch (const std::exception& e) {
        m_services.messages.info(QStringLiteral("Error detected - ") + describe(e));
    }
}

void MainWindow::start()
{
    const bool first = !m_startedUp;
    startUp();
    show();
    // Asked over the window the operator now sees, before anything can be done in it.
    if (first)
        m_undoAndRecovery->offerRecovery();
}

void MainWindow::readSettings()
{
    // A bad value is reported once and replaced by its default; the rest of
    // start-up still runs, so the window never opens half-built.
    const settings_file::LoadResult loaded =
            settings_file::load(settings_file::locate(m_services.programFolder).readPath);
    m_settings = loaded.settings;
    for (const QString& error : loaded.errors)
        m_services.messages.info(QStringLiteral("Error detected - ") + error);
    // A baud rate or parity the port refuses would leave the port unset and the
    // "Settings" frame blank: each is named once and its default used, so the
    // frame shows what is in use.
    const Settings defaults;
    const auto checked = [this](QString& value, const QString& fallback, const QString& settingsText) {
        try {
            port_settings::parse(settingsText);
        } catch (const std::exception& e) {
            m_services.messages.info(QStringLiteral("Error detected - %1; %2 is used").arg(describe(e), fallback));
            value = fallback;
        }
    };
    checked(m_settings.baud, defaults.baud, port_settings::settingsText(m_settings.baud, defaults.parity));
    checked(m_settings.parity, defaults.parity, port_settings::settingsText(defaults.baud, m_settings.parity));
}

void MainWindow::setupCommPort()
{
    try {
        SerialLink& link = m_services.link;
        if (link.isOpen())
            link.close();
        link.setPortPaths(m_settings.portPaths);
        link.configure(m_settings.comPort, port_settings::settingsText(m_settings.baud, m_settings.parity));
        m_frame.port->setText(QStringLiteral("COM") + QString::number(m_settings.comPort));
        m_frame.baud->setText(m_settings.baud);
        // Exact comparisons: any other letter leaves the caption as it was.
        if (m_settings.parity == QLatin1String("N"))
            m_frame.parity->setText(QStringLiteral("NONE"));
        if (m_settings.parity == QLatin1String("E"))
            m_frame.parity->setText(QStringLiteral("EVEN"));
        if (m_settings.parity == QLatin1String("O"))
            m_frame.parity->setText(QStringLiteral("ODD"));
    } catch (const std::exception& e) {
        m_services.messages.info(QStringLiteral("Error setting up comm port - ") + describe(e));
    }
}

QString MainWindow::configFileName() const
{
    return m_files->fileName();
}

void MainWindow::setConfigFileName(const QString& path)
{
    m_files->setFileName(path);
}

void MainWindow::onStringLengthChosen(int index)
{
    if (index < 0)
        return;
    // Read and Open set the length as part of their own change of the table.
    if (!m_runner->running() && !m_files->loading())
        emit tableAboutToChange(QLatin1String(UndoAndRecovery::kStringLength));
    m_lengthIndex = index;
    m_lines->refreshPageRows();
}

OperationContext MainWindow::operationContext()
{
    return OperationContext{m_services.link, m_services.waiter,  m_services.messages,         *m_status, m_rows,
                            *this,           m_settings.comPort, m_settings.fastExchange == 1};
}

int MainWindow::stringLengthIndex() const
{
    // Before start-up has filled the list the string length is the start-up one.
    return m_lengthIndex >= 0 && m_lengthIndex < capacity::kLengthCount ? m_lengthIndex : capacity::kDefaultListIndex;
}

void MainWindow::selectStringLengthIndex(int index)
{
    QComboBox* list = m_controls.strConfig;
    if (index < 0 || index >= list->count())
        throw std::runtime_error(QStringLiteral("string length entry %1 does not exist (0..%2)")
                                         .arg(index)
                                         .arg(list->count() - 1)
                                         .toStdString());
    if (list->currentIndex() == index)
        onStringLengthChosen(index);  // choosing the same entry again still refreshes the lines
    else
        list->setCurrentIndex(index);
}

int MainWindow::currentPage() const
{
    return m_lines->currentPage();
}

void MainWindow::showPage()
{
    m_lines->showPage();
}

void MainWindow::refreshPageRows()
{
    m_lines->refreshPageRows();
}

void MainWindow::showRowOnLine(int row)
{
    m_lines->showRowOnLine(row);
}

void MainWindow::showRowPicture(int row)
{
    m_lines->showRowPicture(row);
}

void MainWindow::disableControls()
{
    m_runner->setOperationControlsEnabled(false);
}

void MainWindow::enableControls()
{
    m_runner->setOperationControlsEnabled(true);
}

void MainWindow::aboutToReplaceTable()
{
    emit tableAboutToChange(QStringLiteral("Read"));
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_runner->deferClose()) {
        event->ignore();
        return;
    }
    m_services.link.close();
    event->accept();
}
