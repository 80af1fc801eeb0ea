#include "ui/table_commands.h"

#include "ui/clear_all.h"
#include "ui/file_commands.h"
#include "ui/main_window.h"
#include "ui/notes_box.h"
#include "ui/status_panel.h"

#include <QAction>

void installTableCommands(MainWindow& window)
{
    MainWindow* w = &window;
    new NotesBox(window.notesBox(), window.notesLine(), window.rowLines(), window.rows(), window.placer(),
                 [w] { return w->settings().enableStrings; }, &window);

    auto* files = new FileCommands(window);
    QObject::connect(window.menuAction(QStringLiteral("FOpen")), &QAction::triggered, files, &FileCommands::open);
    QObject::connect(window.menuAction(QStringLiteral("FSave")), &QAction::triggered, files, &FileCommands::save);
    QObject::connect(window.menuAction(QStringLiteral("SaveAs")), &QAction::triggered, files, &FileCommands::saveAs);

    QObject::connect(window.menuAction(QStringLiteral("ClearAll")), &QAction::triggered, &window, [w] {
        clearAll(w->rows(), w->rowLines(), *w->notesBox(), w->status(), *w);
    });
}
