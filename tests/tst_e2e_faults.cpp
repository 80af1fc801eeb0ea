// Fault matrix: Version, Read, Verify and Send over the real serial link and
// event-loop waiter against qz4veld-sim misbehaving on a pseudo-terminal. Every
// cell must end on its own, say what happened in the operator's words, never
// call a failure a success, and never lose the operator's table.
#include "support/fault_rig.h"

#include <QElapsedTimer>
#include <QtTest>

#include <cstdio>
#include <cstring>

using faults::Access;
using faults::Op;
using faults::Scenario;
using faults::TableAfter;

namespace {

constexpr int kLimitMs = 30000;  // the longest cell needs about 5 s

const QString kAbsent = QStringLiteral("QZ4VELDT not responsing on port COM1");
const QString kWrong = QStringLiteral("Not a QZ4VELDT that is connected (received 0x%1)");
const QString kAttachError = QStringLiteral("Error checking for QZ4VELD attachment- ");
const QString kGone = QStringLiteral("device %1 was disconnected");

// What each operation shows: completion when the presence check fails, when a later
// error ends it (with the message's prefix), when the first exchange after the
// presence check gets no good answer (with its status line), and on success.
struct Texts final {
    const char* name;
    int firstWaitMs;  // the first fixed wait after the presence check
    QList<int> unplugs;  // the line drops after this many exchanges
    QString notAttached, failed, errorPrefix, firstFails, firstFailsLine, done, doneLine;
};
const Texts kTexts[] = {
        {"version", 25, QList<int>{1}, "FAILED OPERATION", "FAILED OPERATION", "Error getting code version. ",
         "FAILED OPERATION", "Version = ???", "Operation Successful", "Version = V2.10"},
        {"read", 100, QList<int>{1, 4}, "FAILED READ", "Failed Read", "Error retrieve current key overrides - ",
         "FAILED READ", "", "Successful Read", ""},
        {"verify", 100, QList<int>{1, 4}, "", "", "Error verifying values. ", "", "", "Successful Verification", ""},
        {"send", 50, QList<int>{1, 2, 3}, "", "FATAL ERROR", "Error sending to QZ4VELD. ", "FAILED OPERATION",
         "FAILED to set string length to :", "Successful Operation", "success  blk# 16"},
};

}  // namespace

class E2eFaultsTest final : public QObject {
    Q_OBJECT

    QElapsedTimer m_clock;
    int m_scenarios = 0;
    int m_passed = 0;
    int m_retried = 0;
    int m_skipped = 0;

private slots:
    void initTestCase() { m_clock.start(); }
    void matrix_data();
    void matrix();
    void cleanupTestCase();
};

void E2eFaultsTest::matrix_data()
{
    QTest::addColumn<Scenario>("scenario");
    for (const Op op : {Op::Version, Op::Read, Op::Verify, Op::Send}) {
        const Texts& t = kTexts[static_cast<int>(op)];
        const auto add = [&](const QString& fault, const QStringList& simArgs, Scenario s) {
            s.op = op;
            s.simArgs = simArgs;
            QTest::addRow("%s %s", t.name, qPrintable(fault)) << s;
        };
        // No group would help with a terminal of mode 000: the message only describes it.
        const QString denied = "Permission denied opening %1 (owner %O, group %G, mode 0000)";
        const QString held = "Cannot open %1: in use by another program (tst_e2e_faults, pid %P)";
        add("absent", {"--absent"}, {.completion = t.notAttached, .line = kAbsent});
        add("wrong presence byte", {"--presence-byte", "41"}, {.completion = t.notAttached, .line = kWrong.arg("41")});
        add("garbage after", {"--garbage-after"}, {.completion = t.notAttached, .line = kWrong.arg("7E")});
        add("denied", {},
            {.completion = t.notAttached, .message = kAttachError + denied, .line = kAbsent, .access = Access::Denied});
        add("held", {},
            {.completion = t.notAttached, .message = kAttachError + held, .line = kAbsent, .access = Access::Held});
        add("unplug 0", {"--unplug-after", "0"},
            {.completion = t.notAttached, .message = kAttachError + kGone, .line = kAbsent});
        // During the presence answer, the rows of Read and Verify, a block and its read-back for Send.
        for (const int after : t.unplugs) {
            const bool cut = op == Op::Read && after == 4;  // rows 0 and 1 were read; nothing is rolled back
            add(QStringLiteral("unplug %1").arg(after), {"--unplug-after", QString::number(after)},
                {.completion = t.failed,
                 .message = t.errorPrefix + kGone,
                 .line = op == Op::Send && after == 3
                         ? "The device now holds an incomplete table: rows 0 to 0 written, "
                           "the rest empty. Send again."
                         : "",
                 .table = cut ? TableAfter::DevicePrefix : TableAfter::Kept,
                 .prefixRows = 2});
        }
        // One row answered badly: Read leaves it empty and says so; the others count it as failed.
        for (const auto& [fault, option] :
             {std::pair("silent row", "--silent-row"), std::pair("refused row", "--refuse-row"),
              std::pair("over-long row", "--long-row")}) {
            if (op == Op::Read)
                add(fault, {option, "4"},
                    {.completion = " 1 rows not read", .table = TableAfter::Device, .emptyRow = 4});
            else if (op != Op::Version && option == QLatin1String("--silent-row"))
                add(fault, {option, "4"},
                    {.completion = op == Op::Send ? " 1 FAILED blocks" : " 1 FAILED verifications"});
        }
        // Stray bytes ahead of each answer: the version text is free form; the length answer
        // and its acknowledgement are not.
        const bool readsRows = op == Op::Read || op == Op::Verify;
        add("garbage before", {"--garbage"},
            op == Op::Version ? Scenario{.succeeds = true, .completion = t.done, .line = "Version = ~#V2.10"}
                              : Scenario{.completion = t.firstFails,
                                         .message = readsRows ? "Invalid string configuration in QZ4 ..~" : "",
                                         .line = t.firstFailsLine});
        // Answers one byte at a time arrive within the waits: everything works.
        add("chunked", {"--chunked"},
            {.succeeds = true,
             .completion = t.done,
             .line = t.doneLine,
             .table = op == Op::Read ? TableAfter::Device : TableAfter::Kept});
        // Later than the first fixed wait: the answer is missing when it is read.
        const QString noLength = t.errorPrefix + "the device sent no answer to the string length query";
        for (const int percent : {150, 300})
            add(QStringLiteral("latency %1%").arg(percent),
                {"--latency", QString::number(t.firstWaitMs * percent / 100)},
                readsRows ? Scenario{.completion = t.failed, .message = noLength}
                          : Scenario{.completion = t.firstFails, .line = t.firstFailsLine});
    }
}

void E2eFaultsTest::matrix()
{
    QFETCH(Scenario, scenario);
    ++m_scenarios;
    QStringList problems = faults::run(scenario, kLimitMs);
    if (problems.size() == 1 && problems.constFirst().startsWith(QLatin1String(faults::kCannotArrange))) {
        ++m_skipped;
        QSKIP(qPrintable(problems.constFirst()));
    }
    if (!problems.isEmpty()) {
        // A loaded machine can stretch one wait past a late answer; a real fault shows again.
        ++m_retried;
        qInfo("retrying after: %s", qPrintable(problems.join(QStringLiteral("; "))));
        problems = faults::run(scenario, kLimitMs);
    }
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));
    ++m_passed;
}

void E2eFaultsTest::cleanupTestCase()
{
    std::printf("%d scenarios, %d passed\n", m_scenarios, m_passed);
    std::printf("matrix time %.1f s, %d retried, %d could not be arranged here\n", m_clock.elapsed() / 1000.0,
                m_retried, m_skipped);
    std::fflush(stdout);
}

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], faults::kHoldPortArgument) == 0)
        return faults::holdPort(argv[2]);
    QCoreApplication app(argc, argv);
    E2eFaultsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_e2e_faults.moc"
