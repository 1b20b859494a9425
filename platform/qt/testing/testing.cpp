// Test hooks: the application, the resource directory, the message pump.
#include "platform/testing.h"

#include "platform/qt/user/user.h"
#include "platform/qt/resources/resources.h"

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static int quit_code = -1;

// A message the layer does not implement fails the test at once, with the
// message named; every other message goes where it went before.
static QtMessageHandler previous_handler = nullptr;

static void fail_on_unimplemented(QtMsgType type, const QMessageLogContext& context,
                                  const QString& text) {
    if (context.category != nullptr && std::strcmp(context.category, unimplemented_category) == 0) {
        std::fprintf(stderr, "platform: %s\n", qPrintable(text));
        std::fflush(stderr);
        std::abort();
    }
    if (previous_handler != nullptr) {
        previous_handler(type, context, text);
    }
}

void platform_test_init() {
    static bool handler_installed = false;
    if (!handler_installed) {
        handler_installed = true;
        previous_handler = qInstallMessageHandler(fail_on_unimplemented);
    }
    if (QApplication::instance() == nullptr) {
        if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        }
        static int argc = 1;
        static char name[] = "melodiane-test";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
    }
    if (!QFile::exists(QStringLiteral(":/app/melodiane.rc"))) {
        resources_set_root(QStringLiteral(MELODIANE_RESOURCE_DIR));
    }
}

void platform_test_set_resource_dir(const char* dir) {
    resources_set_root(QString::fromLocal8Bit(dir));
}

// What the program's loop does with a message.
static void handle(MSG& msg) {
    if (msg.message == WM_QUIT) {
        quit_code = static_cast<int>(msg.wParam);
        return;
    }
    HWND dialog = IsWindow(msg.hwnd) ? window_top_level(msg.hwnd) : nullptr;
    if (dialog != nullptr && IsDialogMessageA(dialog, &msg)) {
        return;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

bool platform_test_pump_until(const std::function<bool()>& done, int timeout_ms) {
    QElapsedTimer clock;
    clock.start();
    MSG msg;
    while (!done()) {
        int remaining = timeout_ms - static_cast<int>(clock.elapsed());
        if (remaining > 0) {
            if (queue_wait(&msg, std::min(remaining, 10))) {
                handle(msg);
            }
            continue;
        }
        // Time is up: what is already pending still gets its turn.
        QCoreApplication::processEvents();
        while (!done() && queue_wait(&msg, 0)) {
            handle(msg);
        }
        return done();
    }
    return true;
}

namespace {

// Counts the events Qt delivers on the user-interface thread.
class EventCounter : public QObject {
  public:
    int count = 0;
    bool eventFilter(QObject*, QEvent*) override {
        count++;
        return false;
    }
};

} // namespace

// Lets Qt run until a pass delivers no event: what a pass delivers (a queued
// call, a layout, a repaint) often posts more for the next one.
static void let_qt_catch_up() {
    EventCounter counter;
    QCoreApplication::instance()->installEventFilter(&counter);
    for (int pass = 0; pass < 100; pass++) {
        counter.count = 0;
        QCoreApplication::processEvents();
        if (counter.count == 0) {
            break;
        }
    }
    QCoreApplication::instance()->removeEventFilter(&counter);
}

void platform_test_settle() {
    // Each pass gives Qt its turn (input, activation, layout, deferred calls)
    // before the messages those produced; a pass that finds no message means
    // both are idle. Timers keep posting, so passes are capped.
    MSG msg;
    for (int pass = 0; pass < 100; pass++) {
        let_qt_catch_up();
        bool handled = false;
        while (queue_wait(&msg, 0)) {
            handle(msg);
            handled = true;
        }
        if (!handled) {
            return;
        }
    }
}

void platform_test_pump(int ms) {
    platform_test_pump_until([] { return false; }, ms);
}

void platform_test_process_events(int ms) {
    platform_test_pump(ms);
}

void platform_test_reset() {
    windows_destroy_all();
    timers_kill_all();
    queue_clear();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    quit_code = -1;
}

HINSTANCE platform_test_instance() {
    static char instance_tag;
    return reinterpret_cast<HINSTANCE>(&instance_tag);
}

void platform_test_click(HWND window) {
    QWidget* widget = IsWindow(window) ? window->client.data() : nullptr;
    if (widget == nullptr) {
        return;
    }
    QPointF local(widget->width() / 2.0, widget->height() / 2.0);
    QPointF global = widget->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &release);
}

int platform_test_quit_code() {
    return quit_code;
}

QWidget* platform_test_widget(HWND window) {
    return IsWindow(window) ? window->client.data() : nullptr;
}

void platform_test_dialog_base_units(HWND dialog, int* base_x, int* base_y) {
    *base_x = IsWindow(dialog) ? dialog->base_x : 0;
    *base_y = IsWindow(dialog) ? dialog->base_y : 0;
}

QAccessibleInterface* platform_test_accessible(HWND window) {
    return IsWindow(window) ? QAccessible::queryAccessibleInterface(window->widget.data())
                            : nullptr;
}
