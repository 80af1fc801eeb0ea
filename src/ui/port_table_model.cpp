#include "ui/port_table_model.h"

#include <algorithm>

namespace {

bool sameRow(const PortRow& a, const PortRow& b)
{
    return a.devicePath == b.devicePath && a.stablePath == b.stablePath && a.description == b.description
            && a.manufacturer == b.manufacturer && a.serialNumber == b.serialNumber && a.vidPid == b.vidPid
            && a.inUse == b.inUse && a.present == b.present && a.mappedAs == b.mappedAs;
}

}  // namespace

void PortTableModel::setPorts(const QList<PortRow>& rows)
{
    if (rows.size() == m_rows.size() && std::equal(rows.begin(), rows.end(), m_rows.begin(), sameRow))
        return;
    beginResetModel();
    m_rows = rows;
    endResetModel();
}

void PortTableModel::setProbeResults(const QList<ProbeResult>& results)
{
    m_probes = results;
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

const ProbeResult* PortTableModel::probeFor(const PortRow& row) const
{
    for (const ProbeResult& probe : m_probes) {
        if (probe.path == row.mappingPath() || probe.path == row.devicePath)
            return &probe;
    }
    return nullptr;
}

int PortTableModel::onlyAnswering() const
{
    int found = -1;
    for (int i = 0; i < m_rows.size(); ++i) {
        const ProbeResult* probe = probeFor(m_rows.at(i));
        if (probe && probe->answered) {
            if (found >= 0)
                return -1;
            found = i;
        }
    }
    return found;
}

int PortTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int PortTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(port_catalogue::headers().size()) + 1;
}

QString PortTableModel::cell(int row, int column) const
{
    const PortRow& port = m_rows.at(row);
    switch (column) {
    case 0:
        return port.devicePath;
    case 1:
        return port.stablePath;
    case 2:
        return port.description;
    case 3:
        return port.manufacturer;
    case 4:
        return port.serialNumber;
    case 5:
        return port.vidPid;
    case 6:
        return port.inUse ? QStringLiteral("in use") : QString();
    default:
        break;
    }
    const ProbeResult* probe = probeFor(port);
    if (probe)
        return probe->answered ? QStringLiteral("answers") : probe->detail;
    return port.inUse ? QStringLiteral("not probed: in use") : QString();
}

QVariant PortTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole || role == Qt::AccessibleTextRole)
        return cell(index.row(), index.column());
    return {};
}

QVariant PortTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    const QStringList& names = port_catalogue::headers();
    return section < names.size() ? names.at(section) : QStringLiteral("QZ4VELD");
}
