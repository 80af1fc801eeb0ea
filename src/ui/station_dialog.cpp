#include "ui/station_dialog.h"

#include "files/file_error.h"
#include "model/error_text.h"
#include "model/messages.h"
#include "operations/send_check.h"
#include "station/station.h"
#include "ui/file_dialogs.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSysInfo>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum Column { kPort, kState, kVersion, kOk, kFailed, kColumns };

QPushButton* button(const QString& caption, const char* name, QWidget* parent)
{
    auto* made = new QPushButton(caption, parent);
    made->setObjectName(QLatin1String(name));
    made->setAutoDefault(false);
    return made;
}

QLabel* label(const QString& caption, QWidget* buddy, QWidget* parent)
{
    auto* made = new QLabel(caption, parent);
    made->setBuddy(buddy);
    return made;
}

// A captioned field and its button on a line of their own.
void addFieldRow(QVBoxLayout& layout, const QString& caption, QLineEdit* field, QPushButton* button)
{
    auto* row = new QHBoxLayout;
    row->addWidget(label(caption, field, field->parentWidget()));
    row->addWidget(field, 1);
    row->addWidget(button);
    layout.addLayout(row);
}

void setCell(QTableWidget& table, int row, int column, const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setToolTip(text);
    table.setItem(row, column, item);
}

int count(const QTableWidget& table, int row, int column)
{
    const QTableWidgetItem* item = table.item(row, column);
    return item ? item->text().toInt() : 0;
}

}  // namespace

StationDialog::StationDialog(StationTable table, PortDefaults defaults, const QString& recordPath, Messages& messages,
                             FileDialogs& dialogs, QWidget* parent)
    : QDialog(parent), m_table(std::move(table)), m_defaults(std::move(defaults)), m_defaultRecord(recordPath),
      m_messages(messages), m_dialogs(dialogs)
{
    build();
    m_record->setText(recordPath);
    PortResolver ports(m_defaults);
    for (const PortRow& row : ports.catalogue()) {
        QString text = row.mappingPath();
        if (!row.mappedAs.isEmpty())
            text += QStringLiteral("  (%1)").arg(row.mappedAs);
        if (!row.description.isEmpty() && !row.description.startsWith(QLatin1String("mapped as")))
            text += QStringLiteral("  ") + row.description;
        if (row.inUse)
            text += QStringLiteral("  in use");
        auto* item = new QListWidgetItem(text, m_ports);
        item->setData(Qt::UserRole, row.mappingPath());
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    showRunning(false);
}

StationDialog::~StationDialog() = default;

void StationDialog::build()
{
    setObjectName(QStringLiteral("ProductionStation"));
    setWindowTitle(QStringLiteral("Production Station"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);

    m_summary = new QLabel(QStringLiteral("Table %1: string length %2, %3 rows, sha256 %4")
                                   .arg(m_table.name.isEmpty() ? QStringLiteral("(not saved)") : m_table.name)
                                   .arg(m_table.stringLength())
                                   .arg(m_table.rowCount())
                                   .arg(m_table.sha256().left(16)),
                           this);
    m_summary->setObjectName(QStringLiteral("StationTable"));
    m_summary->setToolTip(m_table.sha256());
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    layout->addWidget(m_summary);

    m_ports = new QListWidget(this);
    m_ports->setObjectName(QStringLiteral("StationPorts"));
    m_ports->setAccessibleName(QStringLiteral("Ports to watch"));
    layout->addWidget(label(QStringLiteral("&Ports to watch (Space ticks one):"), m_ports, this));
    layout->addWidget(m_ports, 1);

    m_path = new QLineEdit(this);
    m_path->setObjectName(QStringLiteral("StationPath"));
    m_path->setAccessibleName(QStringLiteral("Another port's path"));
    m_path->setPlaceholderText(QStringLiteral("/dev/ttyUSB0"));
    m_add = button(QStringLiteral("&Add"), "StationAddPath", this);
    m_add->setAccessibleName(QStringLiteral("Add the path to the ports"));
    addFieldRow(*layout, QStringLiteral("Pat&h:"), m_path, m_add);
    connect(m_add, &QPushButton::clicked, this, &StationDialog::addPath);
    connect(m_path, &QLineEdit::returnPressed, this, &StationDialog::addPath);

    m_verify = new QCheckBox(QStringLiteral("&Verify after sending"), this);
    m_verify->setObjectName(QStringLiteral("StationVerify"));
    m_verify->setChecked(true);
    layout->addWidget(m_verify);

    m_record = new QLineEdit(this);
    m_record->setObjectName(QStringLiteral("StationRecord"));
    m_record->setAccessibleName(QStringLiteral("Record to"));
    m_browse = button(QStringLiteral("&Browse..."), "StationBrowse", this);
    m_browse->setAccessibleName(QStringLiteral("Choose the record file"));
    addFieldRow(*layout, QStringLiteral("&Record to:"), m_record, m_browse);
    connect(m_browse, &QPushButton::clicked, this, &StationDialog::chooseRecord);

    m_rows = new QTableWidget(0, kColumns, this);
    m_rows->setObjectName(QStringLiteral("StationRows"));
    m_rows->setAccessibleName(QStringLiteral("Watched ports"));
    m_rows->setHorizontalHeaderLabels({QStringLiteral("Port"), QStringLiteral("State"), QStringLiteral("Version"),
                                       QStringLiteral("Programmed"), QStringLiteral("Failed")});
    m_rows->verticalHeader()->hide();
    m_rows->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_rows->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_rows->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_rows->horizontalHeader()->setSectionResizeMode(kState, QHeaderView::Stretch);
    layout->addWidget(m_rows, 2);

    m_totals = new QLabel(Station::totals(0, 0), this);
    m_totals->setObjectName(QStringLiteral("StationTotals"));
    QFont large = m_totals->font();
    large.setPointSizeF(large.pointSizeF() * 2);
    large.setBold(true);
    m_totals->setFont(large);
    layout->addWidget(m_totals);

    auto* buttons = new QHBoxLayout;
    m_start = button(QStringLiteral("&Start"), "StationStart", this);
    m_stop = button(QStringLiteral("S&top"), "StationStop", this);
    m_close = button(QStringLiteral("&Close"), "StationClose", this);
    buttons->addStretch(1);
    for (QPushButton* each : {m_start, m_stop, m_close})
        buttons->addWidget(each);
    layout->addLayout(buttons);
    connect(m_start, &QPushButton::clicked, this, &StationDialog::start);
    connect(m_stop, &QPushButton::clicked, this, &StationDialog::stop);
    connect(m_close, &QPushButton::clicked, this, &StationDialog::reject);
    resize(720, 560);
}

bool StationDialog::running() const
{
    return m_station && m_station->running();
}

void StationDialog::showRunning(bool running)
{
    for (QWidget* setting :
         {static_cast<QWidget*>(m_ports), static_cast<QWidget*>(m_path), static_cast<QWidget*>(m_add),
          static_cast<QWidget*>(m_verify), static_cast<QWidget*>(m_record), static_cast<QWidget*>(m_browse),
          static_cast<QWidget*>(m_start)})
        setting->setEnabled(!running);
    m_stop->setEnabled(running);
    (running ? m_stop : m_start)->setFocus();
}

void StationDialog::addPath()
{
    const QString path = m_path->text().trimmed();
    if (path.isEmpty())
        return;
    auto* item = new QListWidgetItem(path, m_ports);
    item->setData(Qt::UserRole, path);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Checked);
    m_path->clear();
}

void StationDialog::chooseRecord()
{
    const std::optional<QString> chosen = m_dialogs.saveFileName(this, QStringLiteral("Record to"), m_record->text(),
                                                                 QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (chosen)
        m_record->setText(*chosen);
}

void StationDialog::start()
{
    // Send's own refusal, before any port is touched.
    if (const std::optional<QString> refusal = send_check::firstUnsendableRow(m_table.rows, m_table.lengthIndex)) {
        m_messages.info(*refusal);
        return;
    }
    StationSetup setup;
    setup.table = m_table;
    setup.defaults = m_defaults;
    setup.verify = m_verify->isChecked();
    setup.recordPath = m_record->text().trimmed();
    setup.stationName = QSysInfo::machineHostName();
    PortResolver resolver(m_defaults);
    for (int i = 0; i < m_ports->count(); ++i) {
        const QListWidgetItem* item = m_ports->item(i);
        if (item->checkState() == Qt::Checked)
            setup.ports.append(resolver.resolve(item->data(Qt::UserRole).toString()));
    }
    if (setup.ports.isEmpty()) {
        m_messages.info(QStringLiteral("Tick the ports to watch first."));
        return;
    }
    // The documents folder of a fresh account may not exist yet; a folder the operator typed is theirs to make.
    if (setup.recordPath == m_defaultRecord)
        QDir().mkpath(QFileInfo(m_defaultRecord).absolutePath());
    try {
        m_station = std::make_unique<Station>(std::move(setup));
    } catch (const FileError& error) {
        m_messages.info(QStringLiteral("Error saving file ") + describe(error));
        return;
    }
    m_rows->setRowCount(0);
    m_totals->setText(Station::totals(0, 0));
    connect(m_station.get(), &Station::portAdded, this, &StationDialog::onPortAdded);
    connect(m_station.get(), &Station::portChanged, this, &StationDialog::onPortChanged);
    connect(m_station.get(), &Station::deviceEnded, this, &StationDialog::onDeviceEnded);
    connect(m_station.get(), &Station::recordFailed, this,
            [this](const QString& message) { m_messages.info(QStringLiteral("Error saving file ") + message); });
    connect(m_station.get(), &Station::finished, this, &StationDialog::onFinished);
    showRunning(true);
    m_station->start();
}

void StationDialog::stop()
{
    if (running())
        m_station->stop();
}

void StationDialog::reject()
{
    if (!running()) {
        QDialog::reject();
        return;
    }
    m_closeWhenStopped = true;
    stop();
}

void StationDialog::onPortAdded(int port, const QString& label)
{
    m_rows->setRowCount(port + 1);
    setCell(*m_rows, port, kPort, label);
    for (const int column : {kOk, kFailed})
        setCell(*m_rows, port, column, QStringLiteral("0"));
}

void StationDialog::onPortChanged(int port, const PortState& state)
{
    setCell(*m_rows, port, kState, state.text);
    setCell(*m_rows, port, kVersion, state.version);
}

void StationDialog::onDeviceEnded(int port, const DeviceResult& result)
{
    const int column = result.ok() ? kOk : kFailed;
    setCell(*m_rows, port, column, QString::number(count(*m_rows, port, column) + 1));
    m_totals->setText(Station::totals(m_station->programmed(), m_station->failed()));
    if (!result.ok() && result.result != QLatin1String(DeviceResult::kInterrupted))
        m_messages.beep();
}

void StationDialog::onFinished()
{
    showRunning(false);
    if (m_closeWhenStopped)
        QDialog::reject();
}
