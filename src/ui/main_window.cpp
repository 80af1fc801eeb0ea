#include "ui/main_window.h"

#include "device/serial_link.h"
#include "files/settings.h"
#include "model/capacity.h"
#include "model/key_table.h"
#include "model/messages.h"
#include "ui/config_dialog.h"
#include "ui/help_pane.h"
#include "ui/key_capture.h"
#include "ui/notes_box.h"
#include "ui/row_lines.h"
#include "ui/screen_print.h"
#include "ui/status_panel.h"
#include "ui/table_commands.h"
#include "ui/ui_style.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextEdit>

#include <stdexcept>

MainWindow::MainWindow(MainWindowServices services, QWidget* parent)
    : QMainWindow(parent), m_services(std::move(services)), m_placer(logicalDpiX())
{
    buildWindow();
    installOperations();
    installTableCommands(*this);
    new HelpPane(*this);
    new ScreenPrint(*this, menuAction(QStringLiteral("prscr")));
}

MainWindow::~MainWindow() = default;

QLabel* MainWindow::makeLabel(QWidget* parent, const char* name, const QString& caption, int left, int top, int width,
                              int height, bool bold)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(ui_style::sansFont(ui_style::kBasePoints, bold));
    m_placer.place(label, left, top, width, height);
    return label;
}

QPushButton* MainWindow::makeButton(QWidget* parent, const char* name, const QString& caption, const QString& tip,
                                    int left, int top, int width, int height)
{
    const QFont font = ui_style::sansFont(ui_style::kBasePoints, true);
    // Push buttons do not wrap: long captions get their line breaks here, and
    // the accessible name keeps the caption as written.
    const int room = m_placer.px(width) - 10;
    auto* button = new QPushButton(ui_style::wrapCaption(caption, font, room), parent);
    button->setObjectName(QLatin1String(name));
    button->setAccessibleName(caption);
    button->setFont(font);
    if (!tip.isEmpty())
        button->setToolTip(tip);
    m_placer.place(button, left, top, width, height);
    return button;
}

void MainWindow::buildWindow()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QLatin1String(kTitle));

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("Form1Client"));
    central->setFont(ui_style::sansFont(ui_style::kBasePoints, false));
    setCentralWidget(central);

    buildRowHeadings(central);
    m_lines = new RowLines(central, m_placer, m_rows, m_services.messages, m_services.programFolder,
                           [this] { return stringLengthIndex(); });
    new KeyCapture(*m_lines, m_rows, m_keyNamer, m_services.messages, [this] { return stringLengthIndex(); }, this);
    buildControls(central);
    m_status = new StatusPanel(central, m_placer, m_services.messages, m_services.dialogs);
    buildSettingsFrame(central);
    buildHiddenPanes(central);
    buildMenus();

    const QSize client(m_placer.px(14955), m_placer.px(10470));
    central->setMinimumSize(client);
    resize(client.width(), client.height() + menuBar()->sizeHint().height());
}

void MainWindow::buildRowHeadings(QWidget* central)
{
    for (int column = 0; column < 2; ++column) {
        const int shift = column * 7560;
        const QString index = QString::number(column);
        QLabel* key = makeLabel(central, "", QStringLiteral("Keyboard Key"), 840 + shift, 1020, 1095, 480);
        key->setObjectName(QStringLiteral("Label2_") + index);
        QLabel* string = makeLabel(central, "", QStringLiteral("QZ4VELD RS232 Output String"), 1920 + shift, 1200,
                                   4575, 300);
        string->setObjectName(QStringLiteral("Label4_") + index);
        QLabel* length = makeLabel(central, "", QStringLiteral("String Length"), 6480 + shift, 1020, 855, 480);
        length->setObjectName(QStringLiteral("Label6_") + index);
        for (QLabel* heading : {key, string, length}) {
            heading->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
            heading->setWordWrap(true);
        }

        auto* rule = new QFrame(central);
        rule->setObjectName(QStringLiteral("Line1_") + index);
        rule->setFrameShape(QFrame::VLine);
        rule->setFrameShadow(QFrame::Plain);
        const int x = column == 0 ? 120 : 7440;
        rule->setGeometry(m_placer.px(x) - 1, m_placer.px(1560), 2, m_placer.px(7200 - 1560));
    }
}

void MainWindow::buildControls(QWidget* central)
{
    QLabel* maker = makeLabel(central, "Label10", QStringLiteral("Quorvane"), 6840, 0, 1575, 375);
    maker->setFont(ui_style::decorativeFont(14.25, true));
    maker->setAlignment(Qt::AlignCenter);
    QLabel* title = makeLabel(central, "Label1", QStringLiteral("QZ4VELD KEY-OUTPUT CONFIGURATION"), 3960, 480, 8055,
                              375);
    title->setFont(ui_style::sansFont(18, true));
    title->setAlignment(Qt::AlignCenter);

    m_previousPage = makeButton(central, "PreviousPage", QStringLiteral("<<< PreviousPage"), {}, 4680, 7440, 2175, 375);
    m_nextPage = makeButton(central, "NextPage", QStringLiteral("NextPage >>>"), {}, 8040, 7440, 2055, 375);

    makeLabel(central, "Label12", QStringLiteral("Maximum Override String Length"), 360, 7560, 3855, 255);
    m_strConfig = new QComboBox(central);
    m_strConfig->setObjectName(QStringLiteral("StrConfig"));
    m_strConfig->setAccessibleName(QStringLiteral("Maximum Override String Length"));
    m_strConfig->setFont(ui_style::sansFont(ui_style::kBasePoints, true));
    m_placer.place(m_strConfig, 360, 7920, 3495, 360);

    makeLabel(central, "Label5", QStringLiteral("Communication Details"), 8040, 7920, 3015, 255);

    m_read = makeButton(central, "Read", QStringLiteral("Read Key Outputs From QZ4VELD"),
                        QStringLiteral("Read QZ4VEL key outputs and write to screen"), 360, 8640, 2175, 615);
    m_send = makeButton(central, "Send", QStringLiteral("Send Key Outputs To QZ4VELD"),
                        QStringLiteral("Send all output strings to QZ4VEL"), 3120, 8640, 2055, 615);
    m_verify = makeButton(central, "VerifyBtn", QStringLiteral("Verify Key Outputs  in QZ4VELD"),
                          QStringLiteral("Verify that QZ4VEL values match those on-screen"), 5760, 8640, 2055, 615);
    m_version = makeButton(central, "GetVersionBtn", QStringLiteral("Get QZ4VELD Version"), {}, 6120, 9720, 1695, 615);

    m_rowCounter = makeLabel(central, "Label13", QString(), 0, 0, 615, 255);
    m_rowCounter->setVisible(false);

    connect(m_previousPage, &QPushButton::clicked, this, [this] { m_lines->previousPage(); });
    connect(m_nextPage, &QPushButton::clicked, this, [this] { m_lines->nextPage(); });
    connect(m_strConfig, &QComboBox::currentIndexChanged, this, &MainWindow::onStringLengthChosen);
    connect(m_read, &QPushButton::clicked, this, [this] { onOperationClicked(OperationButton::Read); });
    connect(m_send, &QPushButton::clicked, this, [this] { onOperationClicked(OperationButton::Send); });
    connect(m_verify, &QPushButton::clicked, this, [this] { onOperationClicked(OperationButton::Verify); });
    connect(m_version, &QPushButton::clicked, this, [this] { onOperationClicked(OperationButton::Version); });
}

void MainWindow::buildSettingsFrame(QWidget* central)
{
    m_frame = new QGroupBox(QStringLiteral("Settings"), central);
    m_frame->setObjectName(QStringLiteral("Frame1"));
    m_frame->setFont(ui_style::sansFont(8.25, false));
    // A little taller than its caption and two lines of labels need at the
    // fonts used here, so that the lower line clears the frame's border.
    m_placer.place(m_frame, 240, 9660, 5775, 780);

    // The frame's caption takes the top of the frame; its two lines of labels
    // sit below it.
    constexpr int kBelowCaption = 300;
    constexpr int kRow = 225;
    auto frameLabel = [this](const char* name, const QString& caption, int left, int top, int width) {
        QLabel* label = makeLabel(m_frame, name, caption, left, top + kBelowCaption, width, kRow);
        label->setFont(ui_style::sansFont(8.25, true));
        return label;
    };
    frameLabel("Label9", QStringLiteral("PORT:"), 120, 0, 720);
    m_commLabel = frameLabel("CommLabel", QString(), 840, 0, 720);
    frameLabel("Label7", QStringLiteral("BAUD RATE:"), 1560, 0, 1200);
    m_baudLabel = frameLabel("BaudLabel", QString(), 2760, 0, 840);
    frameLabel("Label8", QStringLiteral("PARITY:"), 3600, 0, 960);
    m_parityLabel = frameLabel("ParityLabel", QString(), 4560, 0, 1095);
    frameLabel("Label11", QStringLiteral("CONFIG FILE:"), 120, 210, 1440);
    m_cfgLabel = frameLabel("CfgLabel", QStringLiteral("None"), 1560, 210, 4095);
}

void MainWindow::buildHiddenPanes(QWidget* central)
{
    m_strDes = new QTextEdit(central);
    m_strDes->setObjectName(QStringLiteral("StrDes"));
    m_strDes->setAccessibleName(QStringLiteral("String notes"));
    m_strDes->setAcceptRichText(false);
    QPalette yellow = m_strDes->palette();
    yellow.setColor(QPalette::Base, QColor(0xFF, 0xFF, 0xC0));
    m_strDes->setPalette(yellow);
    m_strDes->setVisible(false);

    m_strLine = new QFrame(central);
    m_strLine->setObjectName(QStringLiteral("StrLine"));
    m_strLine->setFrameShape(QFrame::HLine);
    m_strLine->setFrameShadow(QFrame::Plain);
    m_strLine->setVisible(false);

    m_browser = new QTextBrowser(central);
    m_browser->setObjectName(QStringLiteral("WebBrowser1"));
    m_browser->setAccessibleName(QStringLiteral("Help"));
    m_browser->setVisible(false);

    m_helpClose = makeButton(central, "Helpclose", QStringLiteral("Close Help"), {}, 12480, 2160, 1575, 495);
    QPalette grey = m_helpClose->palette();
    grey.setColor(QPalette::Button, QColor(0xC0, 0xC0, 0xC0));
    m_helpClose->setPalette(grey);
    m_helpClose->setVisible(false);
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

    QMenu* file = bar->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("File"));
    file->menuAction()->setObjectName(QStringLiteral("FileMenu"));
    item(file, "FOpen", QStringLiteral("Open"));
    item(file, "FSave", QStringLiteral("Save"));
    item(file, "SaveAs", QStringLiteral("Save As"));

    // Commands that stand in the menu bar itself, without a menu under them.
    connect(item(bar, "Config", QStringLiteral("Configuration")), &QAction::triggered, this, [this] {
        const settings_file::Location where = settings_file::locate(m_services.programFolder);
        try {
            settings_file::prepareSave(where);
        } catch (const std::exception&) {
            // SAVE itself then fails on the same folder and reports why.
        }
        ConfigDialog dialog(m_settings, where.savePath, m_services.messages,
                            {[this] { setupCommPort(); },
                             [this] {
                                 if (auto* notes = findChild<NotesBox*>())
                                     notes->hide();
                             }},
                            this);
        if (dialog.exec() == QDialog::Accepted && where.savesToUser && !m_settingsFallbackNoted) {
            m_settingsFallbackNoted = true;
            try {
                m_status->add(QStringLiteral("Settings saved in %1 (the program folder cannot be written)")
                                      .arg(QDir::toNativeSeparators(where.savePath)));
            } catch (const std::exception&) {
                // The line is in the list; only the log file missed it.
            }
        }
    });
    item(bar, "ClearAll", QStringLiteral("Clear All"));
    item(bar, "prscr", QStringLiteral("Print Screen"));

    QMenu* help = bar->addMenu(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("Help"));
    help->menuAction()->setObjectName(QStringLiteral("HelpMenu"));
    item(help, "OverView", QStringLiteral("OverView"));
    item(help, "EnterKey", QStringLiteral("Entering Keyboard Keys"));
    item(help, "CreateString", QStringLiteral("Creating Output Strings"));
    item(help, "VerifyOp", QStringLiteral("Verifying Operation"));
    item(help, "Misc", QStringLiteral("Miscellaneous"));
    item(help, "CloseHelp", QStringLiteral("Close"));
}

QAction* MainWindow::menuAction(const QString& name) const
{
    auto* action = findChild<QAction*>(name);
    if (!action)
        throw std::runtime_error(QStringLiteral("no menu item named %1").arg(name).toStdString());
    return action;
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
        m_configFileName.clear();
        setWindowTitle(windowTitle() + QStringLiteral(" v") + QLatin1String(kVersion));
        readSettings();
        setupCommPort();
        // The key table is a constant built on first use; touching it here
        // keeps its cost out of the first key press.
        (void)key_table::keyNameForScancode(0);
        m_strDes->resize(m_placer.px(5000), m_placer.px(1090));
        {
            // Filling an empty list would choose entry 0 on its own; only the
            // choice of entry 5 below counts as a choice.
            const QSignalBlocker quiet(m_strConfig);
            m_strConfig->clear();
            m_strConfig->addItems(capacity::lengthEntries());
            m_strConfig->setCurrentIndex(-1);
        }
        m_strConfig->setCurrentIndex(capacity::kDefaultListIndex);
        m_lines->refreshPageRows();
    } catch (const std::exception& e) {
        m_services.messages.info(QStringLiteral("Error detected - ") + QString::fromStdString(e.what()));
    }
}

void MainWindow::readSettings()
{
    // A bad value is reported once and replaced by its default; the rest of
    // start-up still runs, so the window never opens half-built.
    try {
        const settings_file::LoadResult loaded =
                settings_file::load(settings_file::locate(m_services.programFolder).readPath);
        m_settings = loaded.settings;
        for (const QString& error : loaded.errors)
            m_services.messages.info(QStringLiteral("Error detected - ") + error);
    } catch (const std::exception& e) {
        m_settings = Settings{};
        m_services.messages.info(QStringLiteral("Error detected - ") + QString::fromStdString(e.what()));
    }
}

void MainWindow::setupCommPort()
{
    try {
        SerialLink& link = m_services.link;
        if (link.isOpen())
            link.close();
        link.configure(m_settings.comPort, m_settings.baud + QLatin1Char(',') + m_settings.parity
                                                   + QStringLiteral(",8,2"));
        m_commLabel->setText(QStringLiteral("COM") + QString::number(m_settings.comPort));
        m_baudLabel->setText(m_settings.baud);
        // Exact comparisons: any other letter leaves the caption as it was.
        if (m_settings.parity == QLatin1String("N"))
            m_parityLabel->setText(QStringLiteral("NONE"));
        if (m_settings.parity == QLatin1String("E"))
            m_parityLabel->setText(QStringLiteral("EVEN"));
        if (m_settings.parity == QLatin1String("O"))
            m_parityLabel->setText(QStringLiteral("ODD"));
    } catch (const std::exception& e) {
        m_services.messages.info(QStringLiteral("Error setting up comm port - ") + QString::fromStdString(e.what()));
    }
}

void MainWindow::onStringLengthChosen(int index)
{
    if (index < 0)
        return;
    m_lines->refreshPageRows();
}
