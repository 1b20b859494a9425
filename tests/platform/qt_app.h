// The one Qt application of a platform test program (offscreen under ctest).
#pragma once

#include <QApplication>

inline QApplication* test_application() {
    static int argc = 1;
    static char name[] = "platform_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return app;
}
