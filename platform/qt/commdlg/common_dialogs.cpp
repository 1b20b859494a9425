// The one place the common dialogs and message boxes are run.
#include "platform/qt/commdlg/commdlg.h"

#include "platform/qt/user/user.h"

#include <QDialog>

static CommonDialogWatcher watcher = nullptr;

void set_common_dialog_watcher(CommonDialogWatcher new_watcher) {
    watcher = new_watcher;
}

int run_common_dialog(QDialog* dialog, HWND owner, const CommonDialogAsk& ask) {
    window_keep_inside_work_area(dialog, true);
    if (watcher != nullptr)
        watcher(dialog, ask);
    return platform_exec_modal(dialog, owner);
}
