// The tests' message loop on the Qt platform layer.
#include "message_loop.h"

#include "platform/testing.h"

void loop_init() {
    platform_test_init();
}

HINSTANCE loop_instance() {
    return platform_test_instance();
}

bool loop_until(const std::function<bool()>& done, int deadline_ms) {
    return platform_test_pump_until(done, deadline_ms);
}

void loop_settle() {
    platform_test_settle();
}
