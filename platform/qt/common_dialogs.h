// Running the common dialogs and message boxes. Internal to the Qt platform layer.
#pragma once

#include "platform/testing_dialogs.h"
#include "platform/win_types.h"

class QDialog;
class QString;
class QWidget;

// The property of a message box button that holds the identifier it answers.
inline constexpr char message_box_answer_property[] = "win_answer";

// Runs the dialog modal to its owner (platform_exec_modal); under a test
// script, records the request and hands the dialog its scripted answer.
// Returns the dialog's exec() result.
int run_common_dialog(QDialog* dialog, HWND owner, const DialogRequest& request);

// A message box with MessageBoxA's buttons and icons, modal to owner, or to
// parent when the box belongs to another dialog (owner null). Returns IDOK,
// IDCANCEL, IDYES or IDNO.
int show_message_box(QWidget* parent, HWND owner, const QString& text, const QString& caption,
                     UINT type);
