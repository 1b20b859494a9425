// The Linux entry point: the Qt application, then the program's WinMain.
#include "platform/qt/desktop/desktop.h"
#include "platform/win32.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

int main(int argc, char** argv) {
    // The program reads no command line, and Qt must not either: "-platform",
    // "-style" and the like would change or stop the program. Qt gets the
    // program's name alone (QT_ environment variables still apply).
    static char fallback_name[] = "melodiane";
    char* qt_argv[] = {argc > 0 && argv[0] ? argv[0] : fallback_name, nullptr};
    int qt_argc = 1;
    QApplication application(qt_argc, qt_argv);
    // The program ends through its own quit message, not when its last window goes.
    application.setQuitOnLastWindowClosed(false);
    // The file and font dialogs speak French, like the rest of the program
    // and like the common dialogs of a French Windows; where the translation
    // is not installed they stay in English.
    static QTranslator dialogs_french;
    if (dialogs_french.load(QStringLiteral("qtbase_fr"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(&dialogs_french);
    }
    // A logout, a closed terminal or a kill ends the program as the end of a
    // Windows session does: what can be saved is saved, and no box waits.
    shutdown_signals_watch(platform_close_request);
    // The program never looks inside its instance handle; any unique address will do.
    static char instance_tag;
    int status = WinMain(reinterpret_cast<HINSTANCE>(&instance_tag), nullptr, const_cast<char*>(""),
                         SW_SHOWNORMAL);
    // Windows destroyed on the way out are deleted before Qt goes.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return status;
}
