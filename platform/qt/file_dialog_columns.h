// The detail view of the file dialogs: every column (name, size, type, date)
// readable without resizing. Internal to the Qt platform layer.
#pragma once

#include <QStringList>

class QFileDialog;

// Shows the dialog's detail view with each column as wide as its heading and
// the texts it is to hold, and makes the dialog wide enough for them all.
// patterns are the filter's ("*.mp3"): the type column names their types.
// Whenever a folder has been read, columns widen to what it holds.
void fit_file_dialog_columns(QFileDialog* dialog, const QStringList& patterns);
