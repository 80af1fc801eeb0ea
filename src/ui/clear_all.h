#pragma once

class OperationView;
class QTextEdit;
class RowLines;
class StatusSink;
struct RowTable;

// Clear All: empties rows 0..95 (key names, strings, picture tips, notes; the
// pictures hidden), the lines of the page, the text of the notes box (which
// stays open or closed as it was) and the status list, then shows the current
// page again. The page, the string length, the configuration file name and the
// rows' stored picture choices stay as they are. Row 96 is never shown and is
// left alone. No question is asked: the command is meant to be quick.
// view: redraws the current page (OperationView::showPage).
void clearAll(RowTable& rows, RowLines& lines, QTextEdit& notesBox, StatusSink& status, OperationView& view);
