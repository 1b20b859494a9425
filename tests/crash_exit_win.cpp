// Under Wine an unhandled exception starts the crash debugger, whose dialog
// nobody answers, and the test program never ends: ctest would wait for its
// timeout. Every test program on Windows ends at once instead, with the
// exception's code as its status, after saying what happened where.
#include <windows.h>

#include <cstdio>

static LONG WINAPI end_on_crash(EXCEPTION_POINTERS* info) {
    fprintf(stderr, "unhandled exception 0x%08lx at %p: the test program ends\n",
            info->ExceptionRecord->ExceptionCode, info->ExceptionRecord->ExceptionAddress);
    fflush(stderr);
    return EXCEPTION_EXECUTE_HANDLER;
}

static struct EndOnCrash {
    EndOnCrash() {
        SetUnhandledExceptionFilter(end_on_crash);
    }
} end_on_crash_installed;
