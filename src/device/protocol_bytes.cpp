#include "device/protocol.h"

#include "model/capacity.h"

namespace {

QByteArray withRowByte(const char* prefix, int row)
{
    command::checkRow(row);
    QByteArray bytes(prefix);
    // Appended as a raw byte: row 0 is a real 0x00 inside the command.
    bytes.append(static_cast<char>(row));
    return bytes;
}

}  // namespace

namespace command {

void checkRow(int row)
{
    if (row < 0 || row > kMaxRow)
        throw ProtocolError(QStringLiteral("Row %1 is outside 0 to %2").arg(row).arg(kMaxRow).toStdString());
}

QByteArray presence()
{
    return QByteArrayLiteral("z");
}
QByteArray version()
{
    return QByteArrayLiteral("V");
}
QByteArray queryLength()
{
    return QByteArrayLiteral("/L?");
}

char lengthDigit(int length)
{
    if (!capacity::isLength(length))
        throw ProtocolError(QStringLiteral("String length %1 is outside %2 to %3")
                                    .arg(length)
                                    .arg(capacity::kMinLength)
                                    .arg(capacity::kMaxLength)
                                    .toStdString());
    return static_cast<char>('0' + length);
}

int lengthFromDigit(char digit)
{
    const int value = static_cast<unsigned char>(digit) - '0';
    return capacity::isLength(value) ? value : 0;
}

QByteArray setLength(int length)
{
    QByteArray bytes("/L");
    bytes.append(lengthDigit(length));
    return bytes;
}

QByteArray readSlot(int row)
{
    return withRowByte("/R", row);
}
QByteArray writeSlotHead(int row)
{
    return withRowByte("/W", row);
}

}  // namespace command

namespace trace {

QString hex(int value)
{
    return QString::number(value, 16).toUpper();
}

QString hex2(int value)
{
    return hex(value).rightJustified(2, QLatin1Char('0'));
}

QString bracedBytes(const QByteArray& bytes)
{
    QString text;
    text.reserve(bytes.size() * 4);
    for (const char byte : bytes)
        text += QLatin1Char('{') + hex2(static_cast<unsigned char>(byte)) + QLatin1Char('}');
    return text;
}

QString readSlotSent(int row)
{
    command::checkRow(row);
    return QStringLiteral("Sent /R{") + hex2(row) + QLatin1Char('}');
}

QStringList readSlotResponse(const QByteArray& answer)
{
    if (answer.isEmpty())
        return {QStringLiteral("No response to command received")};
    if (Protocol::isRefusal(answer))
        return {QString::fromLatin1(answer), QStringLiteral("Response: ")};
    return {QStringLiteral("Response: ") + bracedBytes(answer)};
}

std::optional<QString> verifySlotResponse(const QByteArray& answer)
{
    if (answer.isEmpty())
        return std::nullopt;
    return QStringLiteral("Response: ") + bracedBytes(answer.mid(1));
}

QString writeSlotSent(int row, int scancode, const QString& screenString)
{
    return QStringLiteral("/W{") + hex(row) + QStringLiteral("}{") + hex(scancode) + QLatin1Char('}') + screenString;
}

QString displayForm(const QByteArray& bytes)
{
    QString text;
    for (const char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        if (code < 32 || code > 124)
            text += QLatin1Char('{') + hex(code) + QLatin1Char('}');
        else
            text += QLatin1Char(static_cast<char>(code));
    }
    return text;
}

}  // namespace trace
