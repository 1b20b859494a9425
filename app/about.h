// The About dialog (IDD_DIALOG2): picture, credit line and "Fermer".
#pragma once

#include "common/resource.h"
#include "platform/win32.h"

#define ABOUT_CREDIT IDC_CREDIT
#define ABOUT_INVITATION IDC_REMARKS

INT_PTR CALLBACK about_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
