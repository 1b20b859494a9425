// The About dialog (IDD_DIALOG2): picture, credit line and "Fermer".
#pragma once

#include "platform/win32.h"

#define ABOUT_CREDIT 1028
#define ABOUT_INVITATION 1029
#define ABOUT_PICTURE 1055

INT_PTR CALLBACK about_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
