// Running the common dialogs and message boxes. Internal to the Qt platform layer.
#pragma once

#include "platform/win_gdi.h"

#include <string>
#include <utility>
#include <vector>

class QDialog;
class QString;
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
