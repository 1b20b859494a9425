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
// UTF-8). It stays on the dialog widget as the plain properties below
// while the dialog runs, so whatever looks at the open dialog can read it.
struct CommonDialogAsk {
    const char* kind; // "open", "save", "font" or "message"
    std::string title;
    std::string text;
    std::vector<std::pair<std::string, std::string>> filters; // (description, patterns)
    std::string default_extension;
    UINT flags;
    LOGFONTA font;
};

// QByteArray properties, except the filters (QByteArrayList: description then
// patterns for each pair) and the flags (uint); the font is the LOGFONTA's bytes.
inline constexpr char ask_kind_property[] = "win_dialog";
inline constexpr char ask_title_property[] = "win_title";
inline constexpr char ask_text_property[] = "win_text";
inline constexpr char ask_filters_property[] = "win_filters";
inline constexpr char ask_default_extension_property[] = "win_default_extension";
inline constexpr char ask_flags_property[] = "win_flags";
inline constexpr char ask_font_property[] = "win_logfont";

// Leaves ask on the dialog and runs it modal to its owner (platform_exec_modal).
// Returns the dialog's exec() result.
int run_common_dialog(QDialog* dialog, HWND owner, const CommonDialogAsk& ask);

// A message box with MessageBoxA's buttons and icons, modal to owner, or to
// parent when the box belongs to another dialog (owner null). Returns IDOK,
// IDCANCEL, IDYES or IDNO.
int show_message_box(QWidget* parent, HWND owner, const QString& text, const QString& caption,
                     UINT type);
