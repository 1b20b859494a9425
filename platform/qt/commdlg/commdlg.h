// The common dialogs (open, save, font) and the message boxes. Internal to
// the Qt platform layer.
#pragma once

#include "platform/win_gdi.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <string>
#include <utility>
#include <vector>

class QDialog;
class QFileDialog;
class QWidget;

// The property of a message box button that holds the identifier it answers.
inline constexpr char message_box_answer_property[] = "win_answer";

// What the program asked of a common dialog, as it passed it (texts in
// UTF-8).
struct CommonDialogAsk {
    const char* kind; // "open", "save", "font" or "message"
    std::string title;
    std::string text;
    std::vector<std::pair<std::string, std::string>> filters; // (description, patterns)
    std::string default_extension;
    UINT flags;
    LOGFONTA font;
};

// Called with each common dialog and what it was asked, just before it runs;
// none by default. Whatever watches the dialogs as they open (the tests'
// script) installs one.
typedef void (*CommonDialogWatcher)(QDialog* dialog, const CommonDialogAsk& ask);
void set_common_dialog_watcher(CommonDialogWatcher watcher);

// Places the dialog inside the screen's work area, tells the watcher, and
// runs it modal to its owner (platform_exec_modal). Returns the dialog's
// exec() result.
int run_common_dialog(QDialog* dialog, HWND owner, const CommonDialogAsk& ask);

// A message box with MessageBoxA's buttons and icons, modal to owner, or to
// parent when the box belongs to another dialog (owner null). Returns IDOK,
// IDCANCEL, IDYES or IDNO.
int show_message_box(QWidget* parent, HWND owner, const QString& text, const QString& caption,
                     UINT type);

// ---- The file dialogs' start folder and side bar (dialog_places.cpp)

// Where a file dialog given no start folder opens: the folder last chosen in
// one ($XDG_CONFIG_HOME/melodiane/file-dialog-folder), while it is there;
// else the music folder.
QString file_dialog_start_folder();

// The user's music folder (the desktop's XDG_MUSIC_DIR) when it is there,
// else the home folder.
QString file_dialog_music_folder();

// Remembers folder for the next dialog, in this run and the next ones. The
// file is replaced whole, in a folder of the user's own, following no link.
void file_dialog_remember_folder(const QString& folder);

// The side bar: the music folder, the home folder, the desktop, the root and
// the mounted drives, those that are there.
QList<QUrl> file_dialog_places();

// ---- The file dialogs' detail view, every column (name, size, type, date)
// readable without resizing (file_dialog_columns.cpp)

// Shows the dialog's detail view with each column as wide as its heading and
// the texts it is to hold, and makes the dialog wide enough for them all.
// patterns are the filter's ("*.mp3"): the type column names their types.
// Whenever a folder has been read, columns widen to what it holds.
void fit_file_dialog_columns(QFileDialog* dialog, const QStringList& patterns);
