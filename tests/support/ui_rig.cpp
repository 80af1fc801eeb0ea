#include "ui_rig.h"

#include <QApplication>
#include <QFile>
#include <QTest>

namespace ui_test {

std::optional<QString> ScriptedFileDialogs::answer(const QString& startName, const QString& filter)
{
    ++asked;
    startNames << startName;
    filters << filter;
    if (answers.isEmpty())
        return std::nullopt;
    return answers.takeFirst();
}

std::optional<QString> ScriptedFileDialogs::saveFileName(QWidget*, const QString&, const QString& startName,
                                                         const QString& filter)
{
    return answer(startName, filter);
}

std::optional<QString> ScriptedFileDialogs::openFileName(QWidget*, const QString&, const QString& startName,
                                                         const QString& filter)
{
    return answer(startName, filter);
}

WindowRig::WindowRig(const QByteArray& ini, bool runStartUp)
{
    for (const char* picture : {kCheckMarkFile, kQuestionMarkFile})
        QFile::copy(QStringLiteral(QZ_SOURCE_DIR "/resources/") + QLatin1String(picture),
                    folder.filePath(QLatin1String(picture)));
    if (!ini.isNull()) {
        QFile file(iniPath());
        if (file.open(QIODevice::WriteOnly))
            file.write(ini);
    }
    window = std::make_unique<MainWindow>(MainWindowServices{link, waiter, messages, dialogs, folder.path()});
    if (runStartUp)
        window->startUp();
}

WindowRig::~WindowRig() = default;

QString WindowRig::iniPath() const
{
    return folder.filePath(QStringLiteral("QZ4Vel.ini"));
}

QLineEdit* WindowRig::keyString(int line) const
{
    return find<QLineEdit>(QStringLiteral("KeyString_%1").arg(line));
}

QLineEdit* WindowRig::kbdKey(int line) const
{
    return find<QLineEdit>(QStringLiteral("KbdKey_%1").arg(line));
}

QLabel* WindowRig::count(int line) const
{
    return find<QLabel>(QStringLiteral("StringCount_%1").arg(line));
}

QLabel* WindowRig::rowLabel(int line) const
{
    return find<QLabel>(QStringLiteral("Label3_%1").arg(line));
}

QLabel* WindowRig::image(int line) const
{
    return find<QLabel>(QStringLiteral("Image1_%1").arg(line));
}

bool WindowRig::activate()
{
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window.get());
}

}  // namespace ui_test
