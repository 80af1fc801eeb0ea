#pragma once

#include "model/table_history.h"

#include <QDateTime>
#include <QLockFile>
#include <QString>

#include <memory>
#include <optional>

// The table kept between runs while it differs from the last file opened or
// saved, so that a crash or a power cut does not lose it. The snapshot is a
// configuration file (any copy of the program opens it) with three more
// comment lines: when it was taken and the configuration file it came from.
class RecoveryStore final {
public:
    static constexpr const char* kFileName = "table-snapshot.cfg";

    struct Snapshot final {
        std::optional<TableState> state;  // empty when the snapshot could not be read
        QDateTime taken;
        QString problem;  // why it could not be read and where it was set aside
    };

    // `folder`: where the snapshot lives, created when first written.
    explicit RecoveryStore(QString folder);
    // The user's state folder for this program (AppLocalDataLocation).
    static QString defaultFolder();

    QString path() const;

    // Takes the snapshot for this copy of the program; false while another
    // running copy holds it, which then keeps its own table safe. A lock left
    // by a killed process is taken over.
    bool claim();

    // Replaces the snapshot in one step; throws FileError naming the reason.
    void write(const TableState& state, const QDateTime& taken = QDateTime::currentDateTime()) const;
    void remove() const;

    // The snapshot, or std::nullopt when there is none. One that cannot be
    // read is renamed out of the way at once, so it is reported only once
    // and never stands in the way of a start.
    std::optional<Snapshot> read() const;

private:
    QString setAside(const QString& reason) const;

    QString m_folder;
    std::unique_ptr<QLockFile> m_lock;
};
