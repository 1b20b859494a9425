// The Linux entry point: the Qt application, then the program's WinMain.
#include "platform/win32.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // The program ends through its own quit message, not when its last window goes.
    application.setQuitOnLastWindowClosed(false);
    // The program never looks inside its instance handle; any unique address will do.
    static char instance_tag;
    int status = WinMain(reinterpret_cast<HINSTANCE>(&instance_tag), nullptr, const_cast<char*>(""),
                         SW_SHOWNORMAL);
    // Windows destroyed on the way out are deleted before Qt goes.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return status;
}
