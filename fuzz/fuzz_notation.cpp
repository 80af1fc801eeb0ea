// The override-string notation: checks and conversions over arbitrary text and
// device bytes, with the invariants the screen and the device depend on.
#include "fuzz_support.h"
#include "model/notation.h"
#include "model/override_check.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace {

QString braced(const QByteArray& bytes)
{
    QString text;
    for (const char byte : bytes)
        text += QLatin1Char('{') + notation::hex(static_cast<unsigned char>(byte), 2) + QLatin1Char('}');
    return text;
}

void checkTypedText(const QString& text, int length, int line)
{
    // What the live check leaves is what it would leave again, silently.
    const override_check::LiveResult live = override_check::liveCheck(text, length, line);
    if (!text.startsWith(live.text))
        fuzz::broken("the live check added text", text + QStringLiteral(" -> ") + live.text);
    const override_check::LiveResult again = override_check::liveCheck(live.text, length, line);
    if (!again.messages.isEmpty() || again.text != live.text)
        fuzz::broken("the live check's result does not pass the live check",
                     live.text + QStringLiteral(": ") + again.messages.join(u'|'));

    if (notation::checkLen(text, length) != (notation::itemCount(text) > length))
        fuzz::broken("checkLen disagrees with the item count", text);
    const QString compared = notation::comparisonForm(text);
    if (notation::comparisonForm(compared) != compared)
        fuzz::broken("the comparison form is not stable", text + QStringLiteral(" -> ") + compared);
    if (const std::optional<QByteArray> device = notation::toDeviceBytes(text, length);
        device && device->size() < length)
        fuzz::broken("device form shorter than the slot", text);

    bool ok = true;
    notation::hexFieldsToText(text, &ok);
    notation::hexFieldsToText(compared, &ok);
    notation::textToHexFields(text);
    override_check::structureCheck(text, line);
}

void checkDeviceBytes(const QByteArray& bytes)
{
    // A slot read from the device goes on screen and must go back out as the same bytes.
    const QString text = notation::fromDeviceBytes(bytes);
    const qsizetype end = bytes.indexOf('\0');
    const QByteArray stored = end < 0 ? bytes : bytes.left(end);
    const std::optional<QByteArray> back = notation::toDeviceBytes(text, static_cast<int>(stored.size()));
    if (!back || *back != stored)
        fuzz::broken("device bytes do not round-trip through the notation", text);
    if (notation::comparisonForm(text) != braced(stored))
        fuzz::broken("comparison form differs from the device's bytes", text);
    if (!override_check::structureCheck(text, 0).isEmpty())
        fuzz::broken("read-back text fails the structure check", text);
    if (stored.size() >= 1 && stored.size() <= 10) {
        const override_check::LiveResult live = override_check::liveCheck(text, static_cast<int>(stored.size()), 0);
        if (!live.messages.isEmpty() || live.text != text)
            fuzz::broken("read-back text fails the live check", text + QStringLiteral(": ") + live.messages.join(u'|'));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const int length = input.ConsumeIntegralInRange(1, 10);
    const int line = input.ConsumeIntegralInRange(0, 23);
    const std::string typed = input.ConsumeRandomLengthString(96);
    checkTypedText(QString::fromUtf8(typed.data(), static_cast<qsizetype>(typed.size())), length, line);
    checkDeviceBytes(fuzz::bytes(input.ConsumeRemainingBytesAsString()));
    return 0;
}
