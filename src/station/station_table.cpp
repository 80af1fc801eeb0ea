#include "station/station_table.h"

#include "device/protocol.h"
#include "model/capacity.h"
#include "model/key_table.h"
#include "model/notation.h"

#include <QCryptographicHash>

namespace {

constexpr char kNoKey = '\xFF';  // the scan code of a row without a key, as Send writes it

}  // namespace

int StationTable::rowCount() const
{
    return capacity::maxKeysForIndex(lengthIndex);
}

QByteArray StationTable::sentBytes() const
{
    const int length = stringLength();
    QByteArray bytes = command::setLength(length);
    for (int r = 0; r < rowCount(); ++r) {
        const auto index = static_cast<std::size_t>(r);
        const std::optional<QByteArray> slot = notation::toDeviceBytes(rows.strings.at(index), length);
        if (!slot || slot->size() != length)
            continue;
        const QString& key = rows.keyNames.at(index);
        bytes += command::writeSlotHead(r);
        bytes += key.isEmpty() ? kNoKey : static_cast<char>(key_table::scancodeForKeyName(key));
        bytes += *slot;
    }
    return bytes;
}

QString StationTable::sha256() const
{
    return QString::fromLatin1(QCryptographicHash::hash(sentBytes(), QCryptographicHash::Sha256).toHex());
}
