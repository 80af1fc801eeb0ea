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

bool WindowRig::activate()
{
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window.get());
}

}  // namespace ui_test
