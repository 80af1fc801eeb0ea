#include "device/attachment.h"

#include "device/protocol.h"
#include "device/status_sink.h"
#include "device/waiter.h"
#include "model/error_text.h"
#include "model/messages.h"

namespace {

constexpr int kTries = 8;

}  // namespace

AttachCheck checkAttached(Protocol& protocol, Messages& messages, int comPort)
{
    AttachCheck check;
    check.result = QStringLiteral("QZ4VELDT not responsing on port COM") + QString::number(comPort);
    try {
        StatusSink& status = protocol.status();
        // The marks are appended to our own copy: the line's index may not stay
        // valid for reading back once the list drops old lines.
        QString markLine = QStringLiteral("Check for QZ4VELDT attached");
        const int lineIndex = status.add(markLine);
        bool present = false;
        while (check.tries < kTries && !present) {
            markLine += QStringLiteral(" *");
            status.setLine(lineIndex, markLine);
            const QByteArray answer = protocol.probePresence();
            if (!answer.isEmpty()) {
                const auto last = static_cast<unsigned char>(answer.back());
                if (last == Protocol::kPresenceMark) {
                    present = true;
                    check.result.clear();
                } else {
                    check.result = QStringLiteral("Not a QZ4VELDT that is connected (received 0x") + trace::hex(last)
                            + QLatin1Char(')');
                }
            }
            ++check.tries;
            protocol.waiter().processEvents();
        }
        if (present)
            status.add(QStringLiteral("QZ4VELDT responded after %1 tries").arg(check.tries));
    } catch (const OperationAborted&) {
        throw;
    } catch (const std::exception& error) {
        check.linkFailed = true;
        messages.info(QStringLiteral("Error checking for QZ4VELD attachment- ") + describe(error));
    }
    return check;
}

VersionResult requestVersion(Protocol& protocol, Messages& messages, int comPort)
{
    VersionResult outcome;
    try {
        protocol.status().clear();
        outcome.attach = checkAttached(protocol, messages, comPort);
        if (!outcome.attach.attached())
            protocol.status().add(outcome.attach.result);
        if (outcome.attach.linkFailed) {
            // The port is unusable (cannot be opened, or the device was unplugged);
            // make sure nothing stays half-open and report nothing twice.
            protocol.close();
            return outcome;
        }
        outcome.version = protocol.queryVersion();
        outcome.queried = true;
        protocol.close();
    } catch (const OperationAborted&) {
        throw;
    } catch (const std::exception& error) {
        outcome.failed = true;
        messages.info(QStringLiteral("Error getting code version. ") + describe(error));
    }
    return outcome;
}
