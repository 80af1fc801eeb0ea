#include "support/ops_rig.h"

namespace opstest {

void ScriptedLink::close()
{
    m_inner.close();
    m_received.clear();
    m_command.clear();
}

void ScriptedLink::write(const QByteArray& bytes)
{
    m_inner.write(bytes);
    m_command += bytes;
    QByteArray answer;
    try {
        answer = m_inner.readAll();
    } catch (const SerialError&) {
        return;  // an unplug shows at the next read, as on the real port
    }
    if (answer.isEmpty())
        return;
    if (const auto replaced = answers.constFind(m_command); replaced != answers.constEnd())
        answer = *replaced;
    m_command.clear();
    m_received += answer;
}

int ScriptedLink::bytesAvailable()
{
    m_inner.bytesAvailable();  // throws like the port after an unplug
    return static_cast<int>(m_received.size());
}

QByteArray ScriptedLink::readAll()
{
    m_inner.readAll();
    QByteArray bytes;
    bytes.swap(m_received);
    return bytes;
}

OpsRig::OpsRig() = default;

void OpsRig::setRow(int row, std::uint8_t scancode, const QByteArray& deviceBytes, const QString& key,
                    const QString& string)
{
    device.setSlot(row, scancode, deviceBytes);
    rows.keyNames.at(static_cast<std::size_t>(row)) = key;
    rows.strings.at(static_cast<std::size_t>(row)) = string;
}

QStringList presentLines()
{
    return {QStringLiteral("Check for QZ4VELDT attached *"), QStringLiteral("QZ4VELDT responded after 1 tries")};
}

QByteArray readCommand(int row)
{
    QByteArray bytes("/R");
    bytes.append(static_cast<char>(row));
    return bytes;
}

QString braced(const QByteArray& bytes)
{
    QString text;
    for (const char byte : bytes)
        text += QStringLiteral("{%1}").arg(static_cast<unsigned char>(byte), 2, 16, QLatin1Char('0')).toUpper();
    return text;
}

}  // namespace opstest
