#include "ui/device_chooser_dialog.h"

#include "device/port_resolver.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

DeviceChooserDialog::DeviceChooserDialog(int comPort, QMap<int, QString> mapping, QString settingsText, QWidget* parent)
    : QDialog(parent), m_mapping(std::move(mapping)), m_settingsText(std::move(settingsText))
{
    build(comPort);
    rescan();
    try {
        selectPath(PortResolver::comPath(comPort, m_mapping));
    } catch (const std::exception&) {
        // No device for a port number below 1: nothing to preselect.
    }
    // Plugging shows within a poll; the scan reads only the system's lists and never opens a port.
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &DeviceChooserDialog::rescan);
    m_poll.start();
    connect(&m_search, &DeviceSearch::finished, this, &DeviceChooserDialog::searchFinished);
}

void DeviceChooserDialog::build(int comPort)
{
    setObjectName(QStringLiteral("SerialDeviceChooser"));
    setWindowTitle(QStringLiteral("Serial device for COM%1").arg(comPort));
    setModal(true);
    auto* layout = new QVBoxLayout(this);

    auto* intro =
            new QLabel(QStringLiteral("Serial ports of this computer (the list follows plugging in and out):"), this);
    layout->addWidget(intro);
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("DeviceTable"));
    m_table->setAccessibleName(QStringLiteral("Serial ports"));
    m_table->setModel(&m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setStretchLastSection(true);
    intro->setBuddy(m_table);
    layout->addWidget(m_table, 1);

    auto* searchRow = new QHBoxLayout;
    m_find = new QPushButton(QStringLiteral("&Find QZ4VELD"), this);
    m_find->setObjectName(QStringLiteral("FindDevice"));
    m_find->setAutoDefault(false);
    m_searchState = new QLabel(this);
    m_searchState->setObjectName(QStringLiteral("SearchState"));
    searchRow->addWidget(m_find);
    searchRow->addWidget(m_searchState, 1);
    layout->addLayout(searchRow);

    auto* pathRow = new QHBoxLayout;
    auto* pathLabel = new QLabel(QStringLiteral("Device path:"), this);
    m_path = new QLineEdit(this);
    m_path->setObjectName(QStringLiteral("DevicePath"));
    m_path->setAccessibleName(QStringLiteral("Device path"));
    m_path->setPlaceholderText(QStringLiteral("the chosen port, or any other path (a pseudo-terminal, a link)"));
    pathLabel->setBuddy(m_path);
    pathRow->addWidget(pathLabel);
    pathRow->addWidget(m_path, 1);
    layout->addLayout(pathRow);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    layout->addWidget(buttons);
    resize(860, 420);

    connect(m_find, &QPushButton::clicked, this, &DeviceChooserDialog::findDevice);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // A device path is absolute; anything else could never be opened.
    connect(m_path, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_ok->setEnabled(text.trimmed().startsWith(QLatin1Char('/'))); });
    connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    m_path->setText(m_model.ports().at(current.row()).mappingPath());
            });
    m_ok->setEnabled(false);
}

std::optional<QString> DeviceChooserDialog::choose(int comPort, const QMap<int, QString>& mapping,
                                                   const QString& settingsText, QWidget* parent)
{
    DeviceChooserDialog dialog(comPort, mapping, settingsText, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.chosenPath();
}

QString DeviceChooserDialog::chosenPath() const
{
    return m_path->text().trimmed();
}

void DeviceChooserDialog::rescan()
{
    // The reset of a changed list drops the selection; the operator's row is found again by its path.
    const QString typed = m_path->text();
    m_model.setPorts(port_catalogue::scan(m_mapping));
    if (!m_table->selectionModel()->hasSelection())
        selectPath(typed);
    m_path->setText(typed);
}

void DeviceChooserDialog::selectPath(const QString& path)
{
    const int row = path.isEmpty() ? -1 : port_catalogue::indexOf(m_model.ports(), path);
    if (row >= 0)
        m_table->selectRow(row);
    else
        m_path->setText(path);
}

void DeviceChooserDialog::findDevice()
{
    const QStringList paths = device_search::candidates(m_model.ports());
    m_find->setEnabled(false);
    m_searchState->setText(QStringLiteral("Searching %1 free port(s)...").arg(paths.size()));
    m_search.start(paths, m_settingsText);
}

void DeviceChooserDialog::searchFinished(const QList<ProbeResult>& results)
{
    m_find->setEnabled(true);
    m_model.setProbeResults(results);
    const int only = m_model.onlyAnswering();
    const int found = static_cast<int>(device_search::answering(results).size());
    if (only >= 0) {
        m_table->selectRow(only);
        m_searchState->setText(QStringLiteral("QZ4VELD found on %1").arg(m_model.ports().at(only).mappingPath()));
    } else if (found == 0) {
        m_searchState->setText(QStringLiteral("No QZ4VELD answered on %1 free port(s)").arg(results.size()));
    } else {
        m_searchState->setText(QStringLiteral("%1 devices answered: choose one").arg(found));
    }
}
