// Key fields on a real X server: a virtual screen (Xvfb) of the test's own, keyboard layouts switched with setxkbmap,
// keys pressed by X key code through xdotool, so each key is the same physical key on every layout. Skips (exit 77)
// where these programs are missing or no X server starts.
#include "support/ui_rig.h"

#include <QApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <cstdio>
#include <memory>

using ui_test::WindowRig;

namespace {

constexpr int kTimeoutMs = 10000;  // for a loaded machine: each wait ends as soon as its event is in

// X key codes (Linux input code + 8) of the keys pressed on every layout, and the key table's names for them. The main
// block row by row, then the extra key of 102-key keyboards (no table entry), and keys beyond the main block.
struct PhysicalKey {
    const char* xKey;  // xdotool takes a number from 10 up as a key code; 9 would be the digit, so Escape by name
    const char* name;
};
constexpr PhysicalKey kKeys[] = {
        {"49", "`"},       {"10", "1"},     {"11", "2"},   {"12", "3"},     {"13", "4"},     {"14", "5"},
        {"15", "6"},       {"16", "7"},     {"17", "8"},   {"18", "9"},     {"19", "0"},     {"20", "-"},
        {"21", "="},       {"24", "Q"},     {"25", "W"},   {"26", "E"},     {"27", "R"},     {"28", "T"},
        {"29", "Y"},       {"30", "U"},     {"31", "I"},   {"32", "O"},     {"33", "P"},     {"34", "["},
        {"35", "]"},       {"51", "\\"},    {"38", "A"},   {"39", "S"},     {"40", "D"},     {"41", "F"},
        {"42", "G"},       {"43", "H"},     {"44", "J"},   {"45", "K"},     {"46", "L"},     {"47", ";"},
        {"48", "'"},       {"52", "Z"},     {"53", "X"},   {"54", "C"},     {"55", "V"},     {"56", "B"},
        {"57", "N"},       {"58", "M"},     {"59", ","},   {"60", "."},     {"61", "/"},     {"94", ""},
        {"Escape", "ESC"}, {"22", "BKSPC"}, {"23", "TAB"}, {"65", "SPACE"}, {"67", "F1"},    {"68", "F2"},
        {"69", "F3"},      {"70", "F4"},    {"71", "F5"},  {"72", "F6"},    {"73", "F7"},    {"74", "F8"},
        {"75", "F9"},      {"76", "F10"},   {"95", "F11"}, {"96", "F12"},   {"78", "SCRLK"}, {"127", "Pause"},
        {"84", "KP5"},     {"86", "KP+"},   {"82", "KP-"}, {"63", "KP*"},   {"106", "KP/"},  {"107", "PRSCN"},
};

bool run(const QString& program, const QStringList& args)
{
    QProcess process;
    process.start(program, args);
    return process.waitForFinished(kTimeoutMs) && process.exitStatus() == QProcess::NormalExit
            && process.exitCode() == 0;
}

class TstE2eKeyboard : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<WindowRig> m_rig;

    QLineEdit* field(int line) const { return m_rig->kbdKey(line); }

    void setLayout(const QString& layout)
    {
        QVERIFY(run(QStringLiteral("setxkbmap"), {layout}));
        QTest::qWait(500);  // the window reads the new keymap from the server's notice
    }

    // Presses `keys` (xdotool's names, X key codes among them) with the focus in the key field of line 0 and returns
    // the name the field then shows; a placeholder before the press tells when the key has arrived.
    QString press(const QString& keys, int line = 0)
    {
        QLineEdit* key = field(line);
        key->setFocus();
        const QString before = QStringLiteral("(none)");
        key->setText(before);
        if (!run(QStringLiteral("xdotool"), {QStringLiteral("key"), keys}))
            return QStringLiteral("xdotool failed");
        return QTest::qWaitFor([&] { return key->text() != before; }, kTimeoutMs) ? key->text()
                                                                                  : QStringLiteral("(no key arrived)");
    }

    QStringList pressAll(const QString& modifier)
    {
        QStringList names;
        for (const PhysicalKey& key : kKeys)
            names << press(modifier + QLatin1String(key.xKey));
        return names;
    }

private slots:
    void initTestCase()
    {
        m_rig = std::make_unique<WindowRig>();
        QVERIFY(m_rig->activate());
    }

    void sameEntriesOnEveryLayout()
    {
        QStringList expected;
        for (const PhysicalKey& key : kKeys)
            expected << QString::fromUtf8(key.name);
        // What the tooltip adds on the US Z key: what this keyboard prints there, when it differs.
        const QList<std::pair<QString, QString>> layouts{{"us", ""},
                                                         {"de", "Z (labelled Y on this keyboard)"},
                                                         {"fr", "Z (labelled W on this keyboard)"},
                                                         {"gb", ""}};
        for (const auto& [layout, zLabel] : layouts) {
            setLayout(layout);
            QCOMPARE(pressAll(QString()), expected);
            QCOMPARE(pressAll(QStringLiteral("shift+")), expected);
            QCOMPARE(press(QStringLiteral("52")), "Z");
            QCOMPARE(field(0)->toolTip().section('\n', 1, -2), zLabel);
        }
        QCOMPARE(m_rig->messages.infos, QStringList());
    }

    // German: the acute accent key (the US = key) is a dead key; the key after it is its own key, nothing composed.
    void deadKey()
    {
        setLayout(QStringLiteral("de"));
        QCOMPARE(press(QStringLiteral("21")), "=");
        QCOMPARE(press(QStringLiteral("38")), "A");
    }

    // The keypad 7 and the Home key share a key code: pressed twice on an empty row, each gives both names. (Num Lock
    // does not matter to a position; xdotool turns it off before it presses a key.)
    void keypadPairs()
    {
        setLayout(QStringLiteral("us"));
        for (const QString key : {"79", "110"}) {  // keypad 7, Home
            m_rig->window->rows().keyNames[5].clear();
            const QSet<QString> names{press(key, 5), press(key, 5)};
            QCOMPARE(names, QSet<QString>({"KPhome", "Home"}));
        }
    }

    // Ctrl+Tab and Ctrl+Shift+Tab move the focus on and leave the key field and its row as they were.
    void ctrlTab()
    {
        m_rig->window->rows().keyNames[3] = QStringLiteral("Q");
        m_rig->window->showPage();
        for (const auto& [line, keys] : {std::pair(3, "ctrl+23"), std::pair(4, "ctrl+shift+23")}) {
            field(line)->setFocus();
            QVERIFY(run(QStringLiteral("xdotool"), {QStringLiteral("key"), QLatin1String(keys)}));
            QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), m_rig->keyString(3), kTimeoutMs);
        }
        QCOMPARE(field(3)->text(), "Q");
        QCOMPARE(m_rig->window->rows().keyNames[3], "Q");
    }

    void cleanupTestCase() { m_rig.reset(); }
};

// Xvfb on a display it chooses itself, kept without a reset while the test's programs come and go.
class VirtualScreen final {
public:
    ~VirtualScreen()
    {
        m_server.terminate();
        m_server.waitForFinished(kTimeoutMs);
    }

    QString start()
    {
        for (const char* program : {"Xvfb", "setxkbmap", "xkbcomp", "xdotool"})
            if (QStandardPaths::findExecutable(QLatin1String(program)).isEmpty())
                return QStringLiteral("%1 is not installed").arg(QLatin1String(program));
        m_server.start(QStringLiteral("Xvfb"),
                       {"-displayfd", "1", "-noreset", "-nolisten", "tcp", "-screen", "0", "1280x1024x24"});
        QByteArray number;
        while (!number.endsWith('\n') && m_server.waitForReadyRead(kTimeoutMs))
            number += m_server.readAllStandardOutput();
        if (number.trimmed().isEmpty())
            return QStringLiteral("Xvfb did not start: ") + QString::fromLocal8Bit(m_server.readAllStandardError());
        qputenv("DISPLAY", ":" + number.trimmed());
        return {};
    }

private:
    QProcess m_server;
};

}  // namespace

int main(int argc, char** argv)
{
    VirtualScreen screen;
    if (const QString why = screen.start(); !why.isEmpty()) {
        std::printf("SKIP: no X server for the keyboard test: %s\n", qPrintable(why));
        return 77;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    TstE2eKeyboard test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_e2e_keyboard.moc"
