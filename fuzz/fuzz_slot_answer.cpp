// Read and Verify with arbitrary device answers to the length query and to
// every read-slot command, on a virtual clock. A row Read takes in must give
// the device's slot bytes back, and Verify of the table Read made must fail
// exactly the rows Read could not read.
#include "device/serial_link.h"
#include "device/status_sink.h"
#include "fuzz_support.h"
#include "model/key_table.h"
#include "model/messages.h"
#include "model/notation.h"
#include "model/override_check.h"
#include "model/row_table.h"
#include "operations/operation_context.h"
#include "operations/read_operation.h"
#include "operations/verify_operation.h"
#include "sim/lib/virtual_clock.h"
#include "sim/lib/virtual_waiter.h"

#include <QStringList>
#include <array>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

constexpr int kSlots = 93;

// A device that gives the scripted answers at once.
class ScriptLink final : public SerialLink {
public:
    void configure(int, const QString&) override { }
    void open() override { m_open = true; }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    void write(const QByteArray& bytes) override
    {
        if (!m_open)
            throw SerialError("port is not open");
        m_command += bytes;
        answerCommands();
    }
    int bytesAvailable() override { return static_cast<int>(m_received.size()); }
    QByteArray readAll() override
    {
        if (!m_open)
            throw SerialError("port is not open");
        return std::exchange(m_received, {});
    }

    QByteArray lengthAnswer;
    std::array<QByteArray, kSlots> slotAnswers;

private:
    void answerCommands()
    {
        while (!m_command.isEmpty()) {
            const char first = m_command.at(0);
            if (first == 'z' || first == 'V') {
                m_received += first == 'z' ? QByteArray("\xE8") : QByteArray("V1");
                m_command.remove(0, 1);
                continue;
            }
            if (first != '/') {
                m_command.remove(0, 1);
                continue;
            }
            if (m_command.size() < 3)
                return;
            const auto argument = static_cast<unsigned char>(m_command.at(2));
            if (m_command.at(1) == 'L')
                m_received += argument == '?' ? lengthAnswer : QByteArray(1, '\x06');
            else if (m_command.at(1) == 'R')
                m_received += argument < kSlots ? slotAnswers.at(argument) : QByteArray("CMDERR");
            m_command.remove(0, 3);
        }
    }

    bool m_open = false;
    QByteArray m_command;
    QByteArray m_received;
};

class Status final : public StatusSink {
public:
    int add(const QString& line) override
    {
        lines << line;
        return static_cast<int>(lines.size() - 1);
    }
    void setLine(int index, const QString& line) override { lines[index] = line; }
    QString line(int index) const override { return lines.value(index); }
    void clear() override { lines.clear(); }
    void showCompletion(const QString&) override { }
    void hideCompletion(const QString&) override { }
    void showProgress() override { }
    void hideProgress() override { }
    void setProgressMaximum(int maximum) override { m_maximum = maximum; }
    int progressMaximum() const override { return m_maximum; }
    void setProgressValue(int value) override { m_value = value; }
    int progressValue() const override { return m_value; }
    void setPercentText(const QString&) override { }

    QStringList lines;

private:
    int m_maximum = 0;
    int m_value = 0;
};

class Boxes final : public Messages {
public:
    void info(const QString& text) override { shown << text; }
    bool confirm(const QString&, const QString&) override { return false; }
    void beep() override { }
    QStringList shown;
};

class View final : public OperationView {
public:
    int stringLengthIndex() const override { return index; }
    void selectStringLengthIndex(int i) override
    {
        if (i < 0 || i > 9)
            fuzz::broken("string length index outside the list", QString::number(i));
        index = i;
    }
    int currentPage() const override { return 0; }
    void showPage() override { }
    void refreshPageRows() override { }
    void showRowOnLine(int row) override { checkRow(row); }
    void showRowPicture(int row) override { checkRow(row); }
    void disableControls() override { }
    void enableControls() override { }
    int index = 5;

private:
    static void checkRow(int row)
    {
        if (row < 0 || row >= RowTable::kLinesPerPage)
            fuzz::broken("a row outside the page was put on screen", QString::number(row));
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    ScriptLink link;
    // Mostly a good length digit, so that the rows are reached.
    link.lengthAnswer = input.ConsumeBool()
            ? QByteArray(1, static_cast<char>('0' + input.ConsumeIntegralInRange(1, 10)))
            : fuzz::bytes(input.ConsumeRandomLengthString(4));
    for (QByteArray& answer : link.slotAnswers)
        answer = fuzz::bytes(input.ConsumeRandomLengthString(16));

    VirtualClock clock;
    VirtualWaiter waiter(clock);
    Status status;
    Boxes boxes;
    RowTable rows;
    View view;
    // Fast exchange must take the same answers as the fixed waits.
    OperationContext context{link, waiter, boxes, status, rows, view, 1, input.ConsumeBool()};

    ReadOperation read(context);
    const ReadOperation::Outcome outcome = read.run();
    const bool ran = outcome != ReadOperation::Outcome::Failed;
    const int rowCount = ran ? 255 / (view.index + 2) < kSlots ? 255 / (view.index + 2) : kSlots : 0;
    for (int r = 0; r < rowCount; ++r) {
        const QByteArray& answer = link.slotAnswers.at(r);
        if (read.notReadRows().contains(r)) {
            if (!rows.keyNames.at(r).isEmpty() || !rows.strings.at(r).isEmpty())
                fuzz::broken("a row not read holds something", rows.keyNames.at(r) + rows.strings.at(r));
            continue;
        }
        if (answer.size() != view.index + 2)
            fuzz::broken("Read took an answer that is not one whole slot", QString::number(r));
        const QString key = key_table::keyNameForScancode(static_cast<unsigned char>(answer.at(0)));
        if (rows.keyNames.at(r) != key)
            fuzz::broken("Read took another key than the device's", rows.keyNames.at(r) + QStringLiteral(" / ") + key);
        if (key.isEmpty()) {
            if (!rows.strings.at(r).isEmpty())
                fuzz::broken("a row without a key got a string", rows.strings.at(r));
            continue;
        }
        const std::optional<QByteArray> bytes = notation::toDeviceBytes(rows.strings.at(r), view.index + 1);
        if (!bytes || *bytes != answer.mid(1))
            fuzz::broken("Read's string does not give the device's bytes back", rows.strings.at(r));
        if (!override_check::structureCheck(rows.strings.at(r), r).isEmpty())
            fuzz::broken("Read's string fails the structure check", rows.strings.at(r));
    }
    if (outcome == ReadOperation::Outcome::Succeeded && !boxes.shown.isEmpty())
        fuzz::broken("a successful Read showed a message", boxes.shown.join(u'|'));

    // Verify against the table Read made fails exactly the rows Read could not read.
    VerifyOperation verify(context);
    const VerifyOperation::Outcome verified = verify.run();
    if (ran
        && (verify.failedRows() != read.rowsNotRead()
            || (verified == VerifyOperation::Outcome::Succeeded) != (read.rowsNotRead() == 0)))
        fuzz::broken("Verify's count differs from the rows Read could not read",
                     QStringLiteral("%1 counted, %2 expected").arg(verify.failedRows()).arg(read.rowsNotRead()));
    return 0;
}
