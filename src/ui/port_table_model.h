#pragma once

#include "device/device_search.h"
#include "device/port_catalogue.h"

#include <QAbstractTableModel>
#include <QList>

// The serial device table as the chooser shows it: the catalogue's columns and
// one more, "QZ4VELD", that says what the last search found on each port.
class PortTableModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    // A new scan; nothing changes (and the view keeps its selection) when it
    // lists the same ports as before.
    void setPorts(const QList<PortRow>& rows);
    // Search results, matched to rows by the path that was probed.
    void setProbeResults(const QList<ProbeResult>& results);

    const QList<PortRow>& ports() const { return m_rows; }
    // The row whose device answered when exactly one did, else -1.
    int onlyAnswering() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QString cell(int row, int column) const;
    const ProbeResult* probeFor(const PortRow& row) const;

    QList<PortRow> m_rows;
    QList<ProbeResult> m_probes;
};
