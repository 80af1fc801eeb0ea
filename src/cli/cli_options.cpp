#include "cli/cli_options.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace cli {

namespace {

const QString kPort = QStringLiteral("port");
const QString kBaud = QStringLiteral("baud");
const QString kParity = QStringLiteral("parity");
const QString kLog = QStringLiteral("log");
const QString kQuiet = QStringLiteral("quiet");
const QString kStrict = QStringLiteral("strict");
const QString kOutput = QStringLiteral("output");
const QString kJson = QStringLiteral("json");
const QString kHelp = QStringLiteral("help");
const QString kVersion = QStringLiteral("version");
const QString kProbe = QStringLiteral("probe");
const QString kNoVerify = QStringLiteral("no-verify");
const QString kCount = QStringLiteral("count");
const QString kRecord = QStringLiteral("record");

const char kDescription[] = "Reads, sends and verifies the key outputs of a QZ4VELD over its serial line,\n"
                            "with the same commands, waits and status lines as the configuration window.\n"
                            "\n"
                            "Commands:\n"
                            "  version               ask the device for its code version\n"
                            "  read [-o FILE.cfg]    read the device's table into a configuration file\n"
                            "                        (standard output without -o; the status lines then go\n"
                            "                        to standard error)\n"
                            "  send FILE.cfg         write the file's table into the device, reading every\n"
                            "                        block back\n"
                            "  verify FILE.cfg       compare the device's table with the file's rows\n"
                            "  check FILE.cfg        report what send would refuse or warn about; opens no\n"
                            "                        port (exit 0 nothing found, 1 something found, 2 the\n"
                            "                        file cannot be read)\n"
                            "  ports [--probe]       list the serial ports, tab-separated; --probe adds\n"
                            "                        whether a QZ4VELD answers on each free one\n"
                            "  station FILE.cfg      program every QZ4VELD connected to the --port ports\n"
                            "                        (auto-all: every free port, also those that appear\n"
                            "                        later): Send and Verify once per device, one line each,\n"
                            "                        until Ctrl-C or --count devices ended OK\n"
                            "\n"
                            "Several --port options (or --port auto-all: every port where a device answers)\n"
                            "run the command on all of them at once, each line prefixed with its port, and\n"
                            "end with a summary; read then needs -o with {port} in the file name, and\n"
                            "--log too names {port}.\n"
                            "\n"
                            "Exit status: 0 succeeded; 1 ran but did not succeed (device absent or wrong,\n"
                            "string length refused, failed blocks or rows, rows not read); 2 bad arguments,\n"
                            "files or ports that cannot be opened (a log or -o that is no regular file),\n"
                            "a row that cannot be sent, warnings with --strict: nothing was sent; 130\n"
                            "interrupted (SIGINT, SIGTERM). The last line of a run is its completion text.\n"
                            "\n"
                            "Settings: QZ4Vel.ini in the program folder; when that folder cannot be written\n"
                            "(an installed program), ~/.config/qz4veld/QZ4Vel.ini once the window's SAVE has\n"
                            "made it ($XDG_CONFIG_HOME/qz4veld when that is set). See man qz4veld-cli.";

QList<QCommandLineOption> optionList()
{
    return {
            {kPort,
             QStringLiteral("Serial port: COM<n> (mapped as the window maps it), a device path, auto (the one "
                            "port where a QZ4VELD answers) or serial:<USB serial number>. "
                            "Default: the settings file in the program folder. Repeat it for several devices; "
                            "auto-all: every port where a device answers."),
             QStringLiteral("port")},
            {kBaud, QStringLiteral("Bit rate, e.g. 9600. Default: the settings file."), QStringLiteral("rate")},
            {kParity, QStringLiteral("Parity N, E or O. Default: the settings file."), QStringLiteral("N|E|O")},
            {kLog,
             QStringLiteral("Append every status line to this file (a regular file, made when missing), as the "
                            "window's log does."),
             QStringLiteral("file")},
            {kQuiet, QStringLiteral("Print only the completion line and errors; no progress bar.")},
            {kJson,
             QStringLiteral("Print one JSON object per device on standard output (keys port, operation, ok, "
                            "failed, completion, seconds); the status lines go to standard error.")},
            {kProbe, QStringLiteral("ports: probe every free port for a QZ4VELD.")},
            {kNoVerify, QStringLiteral("station: send without verifying afterwards.")},
            {kCount, QStringLiteral("station: end after N devices ended OK."), QStringLiteral("N")},
            {kRecord,
             QStringLiteral("station: append one CSV line per device to this file (a header line first when "
                            "the file is new or empty)."),
             QStringLiteral("file")},
            {kStrict,
             QStringLiteral("send, verify, station: refuse a file that draws a warning (a row set twice, rows "
                            "beyond the string length, rows left out) with exit status 2. check: report those "
                            "warnings as refused.")},
            {{QStringLiteral("o"), kOutput},
             QStringLiteral("read: write the configuration file here."),
             QStringLiteral("file")},
            {{QStringLiteral("h"), kHelp}, QStringLiteral("Show this help.")},
            {kVersion, QStringLiteral("Show the program's version.")},
    };
}

void setUp(QCommandLineParser& parser)
{
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions(optionList());
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("version, read, send, verify, check, ports or station"));
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("configuration file for send, verify, check and station"),
                                 QStringLiteral("[FILE.cfg]"));
}

QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString checkedPort(const QString& value)
{
    static const QRegularExpression kComPort(QStringLiteral("^COM([0-9]{1,5})$"),
                                             QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = kComPort.match(value);
    if (match.hasMatch()) {
        const int number = match.captured(1).toInt();
        if (number >= 1 && number <= 32767)
            return QStringLiteral("COM") + QString::number(number);
    } else if (value.startsWith(QLatin1Char('/')) || value == QLatin1String(kAllPorts)
               || value == QLatin1String(PortResolver::kAuto)
               || (value.startsWith(QLatin1String(PortResolver::kSerialPrefix)) && value.size() > 7)) {
        return value;
    }
    throw UsageError(QStringLiteral("--port needs COM<n> (n from 1 to 32767), a device path such as "
                                    "/dev/ttyUSB0, auto or serial:<USB serial number>, not %1")
                             .arg(quoted(value))
                             .toStdString());
}

QString checkedBaud(const QString& value)
{
    static const QRegularExpression kDigits(QStringLiteral("^[0-9]{1,10}$"));
    if (!kDigits.match(value).hasMatch())
        throw UsageError(
                QStringLiteral("--baud needs a bit rate in decimal digits, not %1").arg(quoted(value)).toStdString());
    return value;
}

QString checkedParity(const QString& value)
{
    const QString letter = value.toUpper();
    if (letter != QLatin1String("N") && letter != QLatin1String("E") && letter != QLatin1String("O"))
        throw UsageError(QStringLiteral("--parity needs N, E or O, not %1").arg(quoted(value)).toStdString());
    return letter;
}

// A value option given as "--log=" or with an empty argument would silently
// fall back to the default; an empty value is a slip worth naming.
QString nonEmpty(const QCommandLineParser& parser, const QString& name)
{
    const QString value = parser.value(name);
    if (value.isEmpty())
        throw UsageError(QStringLiteral("--%1 needs a value").arg(name).toStdString());
    return value;
}

void parseStation(const QCommandLineParser& parser, Options& options)
{
    const bool station = options.command == Command::Station;
    for (const QString& name : {kNoVerify, kCount, kRecord}) {
        if (parser.isSet(name) && !station)
            throw UsageError(QStringLiteral("--%1 is for the station command only").arg(name).toStdString());
    }
    if (!station)
        return;
    if (parser.isSet(kLog))
        throw UsageError("--log is not for the station command; --record keeps one line per device");
    if (options.ports.isEmpty())
        throw UsageError("station needs --port: each port to watch, or auto-all");
    if (options.ports.contains(QLatin1String(PortResolver::kAuto)))
        throw UsageError("--port auto is not for the station command: name the ports, or give auto-all");
    options.verify = !parser.isSet(kNoVerify);
    if (parser.isSet(kCount)) {
        bool ok = false;
        options.count = parser.value(kCount).toInt(&ok);
        if (!ok || options.count < 1)
            throw UsageError(QStringLiteral("--count needs a number of devices from 1, not %1")
                                     .arg(quoted(parser.value(kCount)))
                                     .toStdString());
    }
    if (parser.isSet(kRecord))
        options.recordPath = nonEmpty(parser, kRecord);
}

}  // namespace

Parsed parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    setUp(parser);
    if (!parser.parse(arguments))
        throw UsageError(parser.errorText().toStdString());

    Parsed parsed;
    if (parser.isSet(kHelp)) {
        parsed.action = Parsed::Action::Help;
        return parsed;
    }
    if (parser.isSet(kVersion)) {
        parsed.action = Parsed::Action::ShowVersion;
        return parsed;
    }

    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        throw UsageError("no command given (version, read, send, verify, check, ports or station)");
    const QString& name = positional.constFirst();
    Options& options = parsed.options;
    int expectedArguments = 1;
    if (name == QLatin1String("version")) {
        options.command = Command::Version;
    } else if (name == QLatin1String("ports")) {
        options.command = Command::Ports;
    } else if (name == QLatin1String("read")) {
        options.command = Command::Read;
    } else if (name == QLatin1String("send") || name == QLatin1String("verify") || name == QLatin1String("check")
               || name == QLatin1String("station")) {
        options.command = name == QLatin1String("send") ? Command::Send
                : name == QLatin1String("verify")       ? Command::Verify
                : name == QLatin1String("check")        ? Command::Check
                                                        : Command::Station;
        expectedArguments = 2;
        if (positional.size() < 2)
            throw UsageError(QStringLiteral("%1 needs a configuration file").arg(name).toStdString());
        options.file = positional.at(1);
        if (options.file.isEmpty())
            throw UsageError(QStringLiteral("%1 needs a configuration file").arg(name).toStdString());
    } else {
        throw UsageError(QStringLiteral("unknown command %1 (version, read, send, verify, check, ports or station)")
                                 .arg(quoted(name))
                                 .toStdString());
    }
    if (positional.size() > expectedArguments)
        throw UsageError(
                QStringLiteral("unexpected argument %1").arg(quoted(positional.at(expectedArguments))).toStdString());

    if (parser.isSet(kOutput)) {
        if (options.command != Command::Read)
            throw UsageError("-o is for the read command only");
        options.file = nonEmpty(parser, kOutput);
    }
    for (const QString& value : parser.values(kPort)) {
        const QString port = checkedPort(value);
        if (options.ports.contains(port))
            throw UsageError(QStringLiteral("--port %1 is given twice").arg(quoted(port)).toStdString());
        options.ports.append(port);
    }
    options.json = parser.isSet(kJson);
    if (!options.manyDevices())
        options.port = options.ports.value(0);
    else if (options.ports.size() > 1 && options.ports.contains(QLatin1String(kAllPorts)))
        throw UsageError("--port auto-all already takes every port; give it alone");
    if (parser.isSet(kBaud))
        options.baud = checkedBaud(parser.value(kBaud));
    if (parser.isSet(kParity))
        options.parity = checkedParity(parser.value(kParity));
    if (parser.isSet(kLog))
        options.logPath = nonEmpty(parser, kLog);
    options.quiet = parser.isSet(kQuiet);
    options.probe = parser.isSet(kProbe);
    if (options.probe && options.command != Command::Ports)
        throw UsageError("--probe is for the ports command only");
    options.strict = parser.isSet(kStrict);
    parseStation(parser, options);
    return parsed;
}

QString helpText()
{
    QCommandLineParser parser;
    setUp(parser);
    return parser.helpText();
}

}  // namespace cli
