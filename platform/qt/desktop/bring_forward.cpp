// Bringing a top-level window to the front, with the dialog it has open.
#include "platform/qt/desktop/desktop.h"

#include "platform/qt/user/user.h"

#include <QApplication>

void bring_window_forward(HWND window) {
    QWidget* main = window->widget;
    if (main->isMinimized()) {
        main->showNormal();
    }
    main->raise();
    main->activateWindow();
    QWidget* front = QApplication::activeModalWidget();
    if (front == nullptr) {
        HWND popup = window_owned_popup(window);
        front = popup != nullptr ? popup->widget.data() : nullptr;
    }
    if (front != nullptr) {
        front->raise();
        front->activateWindow();
    }
}
