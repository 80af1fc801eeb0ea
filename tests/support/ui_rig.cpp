#include "ui_rig.h"

#include <QFile>
#include <QTest>

namespace ui_test {

std::optional<QString> ScriptedFileDialogs::answer(const QString& startName, const QString& filter)
{
    startNames << startName;
    filters << filter;
    return answers.isEmpty() ? std::nullopt : answers.takeFirst();
}

WindowRig::WindowRig(const QByteArray& ini)
{
    for (const char* picture : {kCheckMarkFile, kQuestionMarkFile})
        QFile::copy(QStringLiteral(QZ_SOURCE_DIR "/resources/") + QLatin1String(picture),
                    folder.filePath(QLatin1String(picture)));
    if (QFile file(iniPath()); !ini.isNull() && file.open(QIODevice::WriteOnly))
        file.write(ini);
    restart();
}

void WindowRig::restart(const std::function<void()>& between)
{
    window.reset();
    if (between)
        between();
    window = std::make_unique<MainWindow>(services());
    window->start();
}

bool WindowRig::activate()
{
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window.get());
}

}  // namespace ui_test
