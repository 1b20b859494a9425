// The current directory as the program's text.
#include "platform/win_kernel.h"

#include "platform/qt/system/system.h"

#include <cstdlib>
#include <cstring>
#include <unistd.h>

// A directory whose name is not valid UTF-8 is reported as a failure (0),
// never as an approximation: a path made from it could not be opened.
DWORD WINAPI GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
    char* native = getcwd(nullptr, 0);
    if (!native)
        return 0;
    QByteArray ansi;
    bool representable = native_path_to_ansi(QByteArray(native), &ansi);
    free(native);
    if (!representable)
        return 0;
    DWORD length = static_cast<DWORD>(ansi.size());
    // Too small: the size needed, terminator included, and the buffer untouched.
    if (!buffer || size <= length)
        return length + 1;
    std::memcpy(buffer, ansi.constData(), length + 1);
    return length;
}
