// What the common dialogs and message box need from the windowing core.
// Internal to the Qt platform layer.
#pragma once

#include "platform/win_types.h"

class QWidget;

// The Qt widget behind a window handle, or null.
QWidget* platform_widget(HWND window);

// Runs a modal Qt dialog or message box owned by a window the way Windows runs
// common dialogs: the owner is disabled meanwhile, the program's timers and
// posted messages keep being dispatched, and a shutdown request ends it.
// Returns the dialog's exec() result.
class QDialog;
int platform_exec_modal(QDialog* dialog, HWND owner);
