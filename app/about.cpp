// The About dialog: picture, credit line, invitation, "Fermer" (or Esc).
#include "app/about.h"

#include "settings/font.h"

INT_PTR CALLBACK about_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        static const FontControl controls[] = {
            {ABOUT_CREDIT, TRUE}, {ABOUT_INVITATION, TRUE}, {IDCANCEL, TRUE}};
        apply_dialog_font(dialog, controls, 3);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wparam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}
