// Scripted answers for the common dialogs and the message box, so that tests
// drive them without a person through the real dialogs. The script lives in
// the tests' own library and finds each dialog as it is shown; the program
// only runs its dialogs. Apart from testing_queue_dialog_answer (Linux
// builds), nothing here names a toolkit type, so a Windows build can answer
// its own dialogs behind the same functions.
//
// Each answer acts on the real dialog once it is shown, as a user would: it
// chooses a folder, types names, picks a font, presses a button. Answers are used in
// the order queued; a dialog that stays open after an answer (a refused name,
// say) gets the next one. Once a test has used any function of this header,
// a dialog with no answer left is cancelled with Esc at once, so a test never
// waits for a person; it is then recorded as unanswered.
#pragma once

#include "platform/win32.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

enum class DialogKind { open_file, save_file, font, message_box };

// What a dialog was asked. Texts are UTF-8, as the program passed them.
struct DialogRequest {
    DialogKind kind;
    std::string title; // lpstrTitle, or the message box caption
    std::string text;  // the message box text
    std::vector<std::pair<std::string, std::string>> filters; // (description, patterns)
    std::string default_extension;                            // lpstrDefExt
    unsigned flags;                                           // OFN_, CF_ or MB_ flags as passed
    LOGFONTA font;                                            // the font the font dialog opened on
    bool answered; // false when it was cancelled for want of an answer
};

#ifndef _WIN32
class QDialog;

// Receives the shown dialog (QFileDialog, QFontDialog or QMessageBox);
// returns once it has acted on it.
typedef std::function<void(QDialog* dialog)> DialogAnswer;

// Queues an answer for the next dialog, message box or still-open dialog
// (Linux builds only: tests that look inside the Qt dialogs).
void testing_queue_dialog_answer(DialogAnswer answer);
#endif

// Opens directory in the file dialog, types the names (one, or several in
// quotes) and presses Open. Directory and names are file system text (UTF-8),
// so names that are not valid UTF-8 can be chosen too.
void testing_answer_open_dialog(const std::string& directory,
                                const std::vector<std::string>& names);

// Opens directory in the save dialog, types the name and presses Save.
void testing_answer_save_dialog(const std::string& directory, const std::string& typed_name);

// Picks the family, size in points, boldness and slant in the font dialog and presses OK.
void testing_answer_font_dialog(const std::string& family, int point_size, bool bold, bool italic);

// Presses the message box button that answers id (IDOK, IDCANCEL, IDYES, IDNO).
void testing_answer_message_box(int id);

// Presses Esc in the next dialog.
void testing_cancel_next_dialog();

// Every dialog shown since the last reset, oldest first.
const std::vector<DialogRequest>& testing_dialog_requests();

// Forgets the answers still queued and the record.
void testing_reset_dialogs();
