#include "ui/config_dialog.h"

#include "device/port_resolver.h"
#include "device/port_settings.h"
#include "files/settings.h"
#include "model/error_text.h"
#include "model/messages.h"
#include "ui/com_choices.h"
#include "ui/twips.h"
#include "ui/ui_style.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <exception>
#include <utility>

namespace {

// Client area and background of the dialog.
constexpr int kClientWidth = 4665;
// Grown below CLOSE for the device of the chosen port and its chooser button,
// so every other control keeps its place.
constexpr int kClientHeight = 4260;
const QColor kBackground(255, 224, 192);

QLabel* addLabel(QWidget* parent, const twips::Placer& placer, const char* name, const QString& caption,
                 const QFont& font, int left, int top, int width, int height)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(font);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    placer.place(label, left, top, width, height);
    return label;
}

QComboBox* addList(QWidget* parent, const twips::Placer& placer, const char* name, const QString& labelText,
                   const QFont& font, int left, int top, int width, int height)
{
    auto* list = new QComboBox(parent);  // not editable: a choice, never typed text
    list->setObjectName(QLatin1String(name));
    // The caption stands beside the list as a separate label; screen readers get it here.
    list->setAccessibleName(labelText);
    list->setFont(font);
    placer.place(list, left, top, width, height);
    return list;
}

}  // namespace

ConfigDialog::ConfigDialog(Settings& settings, QString iniPath, Messages& messages, WindowActions actions,
                           QWidget* parent)
    : QDialog(parent), m_settings(settings), m_iniPath(std::move(iniPath)), m_messages(messages),
      m_actions(std::move(actions)), m_portPaths(settings.portPaths)
{
    build();
    fillFromSettings();
}

void ConfigDialog::build()
{
    setObjectName(QStringLiteral("Configuration"));
    setWindowTitle(QStringLiteral("Configuration"));
    setModal(true);
    // QDialog centres itself on its parent when shown; a fixed size keeps the
    // twip layout intact.
    const twips::Placer placer(logicalDpiX());
    setFixedSize(placer.px(kClientWidth), placer.px(kClientHeight));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kBackground);
    setPalette(pal);
    setAutoFillBackground(true);

    const QFont plain = ui_style::sansFont(8, false);
    addLabel(this, placer, "Label2", QStringLiteral("QZ4VEL Config COM Settings"), ui_style::sansFont(13.5, true), 240,
             120, 4215, 375);
    addLabel(this, placer, "Label1", QStringLiteral("Com Port"), plain, 360, 855, 1335, 255);
    m_port = addList(this, placer, "cboPort", QStringLiteral("Com Port"), plain, 1680, 840, 1455, 360);
    addLabel(this, placer, "Label3", QStringLiteral("Baud Rate"), plain, 360, 1365, 975, 255);
    m_baud = addList(this, placer, "cboBaud", QStringLiteral("Baud Rate"), plain, 1680, 1320, 1455, 360);
    addLabel(this, placer, "Label4", QStringLiteral("Parity"), plain, 360, 1845, 1095, 375);
    m_parity = addList(this, placer, "cboParity", QStringLiteral("Parity"), plain, 1680, 1800, 1335, 360);

    m_descriptions = new QCheckBox(QStringLiteral("Enable String Descriptions"), this);
    m_descriptions->setObjectName(QStringLiteral("DescripEnable"));
    m_descriptions->setFont(plain);
    placer.place(m_descriptions, 840, 2280, 3255, 255);

    m_save = new QPushButton(QStringLiteral("SAVE"), this);
    m_save->setObjectName(QStringLiteral("ConfigSave"));
    m_save->setFont(plain);
    m_save->setAutoDefault(false);
    placer.place(m_save, 960, 2760, 975, 375);

    m_close = new QPushButton(QStringLiteral("CLOSE"), this);
    m_close->setObjectName(QStringLiteral("ConfigAbort"));
    m_close->setFont(plain);
    m_close->setAutoDefault(false);
    placer.place(m_close, 2400, 2760, 975, 375);

    // clicked, not toggled: filling the box from the settings must not write them back.
    connect(m_descriptions, &QCheckBox::clicked, this,
            [this](bool ticked) { m_settings.enableStrings = ticked ? 1 : 0; });
    connect(m_save, &QPushButton::clicked, this, &ConfigDialog::save);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);

    addLabel(this, placer, "Label5", QStringLiteral("Device"), plain, 360, 3345, 1200, 255);
    m_choose = new QPushButton(QStringLiteral("Choose device..."), this);
    m_choose->setObjectName(QStringLiteral("ChooseDevice"));
    m_choose->setFont(plain);
    m_choose->setAutoDefault(false);
    placer.place(m_choose, 2655, 3270, 1650, 375);
    m_device = new QLineEdit(this);
    m_device->setObjectName(QStringLiteral("PortDevice"));
    m_device->setFont(plain);
    m_device->setReadOnly(true);
    placer.place(m_device, 360, 3750, 3945, 330);
    connect(m_choose, &QPushButton::clicked, this, &ConfigDialog::chooseDevice);
}

void ConfigDialog::showDevice()
{
    // No entry chosen: no device to show.
    const QString path =
            m_port->currentIndex() >= 0 ? PortResolver::comPath(m_port->currentIndex() + 1, m_portPaths) : QString();
    const int room = m_device->width() - 2 * m_device->fontMetrics().averageCharWidth() - 4;
    m_device->setText(m_device->fontMetrics().elidedText(path, Qt::ElideMiddle, room));
    m_device->setCursorPosition(0);
    m_device->setToolTip(path);
    m_device->setAccessibleName(path.isEmpty() ? QStringLiteral("Device") : path);
    m_choose->setEnabled(m_port->currentIndex() >= 0 && m_actions.chooseDevice);
}

void ConfigDialog::chooseDevice()
{
    const int port = m_port->currentIndex() + 1;
    if (port < 1 || !m_actions.chooseDevice)
        return;
    // The search probes at what the lists show now, saved or not.
    const QString baud =
            m_baud->currentIndex() >= 0 ? com_choices::baudSettingFor(m_baud->currentText()) : m_settings.baud;
    const QString parity = m_parity->currentIndex() >= 0 ? m_parity->currentText().left(1) : m_settings.parity;
    if (const std::optional<QString> chosen =
                m_actions.chooseDevice(port, m_portPaths, port_settings::settingsText(baud, parity), this)) {
        m_portPaths.insert(port, *chosen);
        showDevice();
    }
}

void ConfigDialog::fillFromSettings()
{
    // The device an entry opens stands in the line below the buttons.
    connect(m_port, &QComboBox::currentIndexChanged, this, &ConfigDialog::showDevice);
    for (int n = 1; n <= com_choices::kPortCount; ++n)
        m_port->addItem(QStringLiteral("COM%1").arg(n));
    m_port->setCurrentIndex(com_choices::portIndexFor(m_settings.comPort));
    showDevice();

    m_baud->addItems(com_choices::baudEntries());
    m_baud->setCurrentIndex(com_choices::baudIndexFor(m_settings.baud));

    m_parity->addItems(com_choices::parityEntries());
    m_parity->setCurrentIndex(com_choices::parityIndexFor(m_settings.parity));

    // Notes are on only at 1, so only 1 ticks the box.
    m_descriptions->setChecked(m_settings.enableStrings == 1);
}

void ConfigDialog::takeChoices()
{
    // A list with nothing chosen (a hand-edited value it has no entry for)
    // keeps the current setting rather than storing an empty or made-up one.
    if (const int port = m_port->currentIndex(); port >= 0)
        m_settings.comPort = port + 1;
    if (m_baud->currentIndex() >= 0)
        m_settings.baud = com_choices::baudSettingFor(m_baud->currentText());
    if (const QString parity = m_parity->currentText(); m_parity->currentIndex() >= 0 && !parity.isEmpty())
        m_settings.parity = parity.left(1);
    m_settings.portPaths = m_portPaths;
}

void ConfigDialog::settle()
{
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(kSettlePauseMs);
    loop.exec();
}

void ConfigDialog::save()
{
    // The dialog stays live during the pause; a second SAVE then must not
    // start the sequence again inside the first.
    if (m_saving)
        return;
    m_saving = true;
    try {
        takeChoices();
        if (m_prepareFile)
            m_prepareFile();
        settings_file::save(m_iniPath, m_settings);
        if (m_actions.setupCommPort)
            m_actions.setupCommPort();

        const QPointer<ConfigDialog> self(this);
        settle();
        if (!self)
            return;  // destroyed while pausing: nothing of it may be touched now

        if (m_settings.enableStrings != 1 && m_actions.hideNotes)
            m_actions.hideNotes();
        m_saving = false;
        accept();
    } catch (const std::exception& e) {
        m_saving = false;
        m_messages.info(QStringLiteral("Error saving configuration - ") + describe(e));
    }
}
