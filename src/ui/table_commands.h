#pragma once

class MainWindow;

// Attaches to the window the commands that work on the whole table and its
// notes: the notes box behind the String Length boxes, Clear All, and the File
// menu (Open, Save, Save As). Call once, after the window is built; the
// objects it creates are children of the window (NotesBox, FileCommands).
void installTableCommands(MainWindow& window);
