// The settings file's reader and writer over arbitrary file contents: reading
// never fails, and writing one key gives that key back and leaves every other
// value as it was.
#include "files/ini_file.h"
#include "files/settings.h"
#include "fuzz_support.h"

#include <array>

namespace {

struct Probe final {
    const char* section;
    const char* key;
};

constexpr std::array<Probe, 7> kProbes{{{"COMSETTINGS", "PORT"},
                                        {"COMSETTINGS", "BAUD"},
                                        {"COMSETTINGS", "PARITY"},
                                        {"GENERAL", "ENABLESTRINGS"},
                                        {"GENERAL", "FASTEXCHANGE"},
                                        {"PORTS", "COM1"},
                                        {"comsettings", "port"}}};

QStringList readProbes(const IniFile& ini, const Probe& skip)
{
    QStringList values;
    for (const Probe& probe : kProbes) {
        const bool written = qstricmp(probe.section, skip.section) == 0 && qstricmp(probe.key, skip.key) == 0;
        values << (written ? QString()
                           : ini.read(QLatin1String(probe.section), QLatin1String(probe.key),
                                      QStringLiteral("<none>")));
    }
    return values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString path = fuzz::scratchPath("QZ4Vel.ini");
    if (size == 0)
        return 0;
    // The first byte picks the key to write, the rest is the file.
    const Probe& target = kProbes.at(data[0] % kProbes.size());
    fuzz::writeFile(path, QByteArray(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1)));

    IniFile ini(path);
    for (const auto& entry : ini.section(QStringLiteral("PORTS"))) {
        if (entry.second.size() > IniFile::kMaxValue)
            fuzz::broken("a value longer than 1023 characters");
    }
    const settings_file::LoadResult loaded = settings_file::load(path);
    Q_UNUSED(loaded);

    const QStringList before = readProbes(ini, target);
    const QString value = QString::number(data[0]);
    ini.write(QLatin1String(target.section), QLatin1String(target.key), value);
    const QString back = ini.read(QLatin1String(target.section), QLatin1String(target.key), QString());
    if (back != value)
        fuzz::broken("a written value does not read back", back);
    const QStringList after = readProbes(ini, target);
    if (after != before)
        fuzz::broken("writing one key changed another", before.join(u'|') + QStringLiteral(" -> ") + after.join(u'|'));
    return 0;
}
