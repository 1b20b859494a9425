// One running program per folder, on Windows: a named mutex whose name is a
// hash of the folder's full path, held by a handle that stays open for the
// process's life, and the same name as a property of the main window, by
// which a second start finds the window among the open dialogs.
#include "platform/folder_instance.h"

#include <cstdio>
#include <cstring>

// How long a second start looks for the window of a program still starting.
#define WINDOW_SEARCH_TRIES 40
#define WINDOW_SEARCH_PAUSE_MS 50

// "Melodiane-" and sixteen hex digits; set by the claim.
static char instance_name[32] = "";

// FNV-1a over the full path, letters folded and a final backslash dropped:
// Windows paths differ in neither.
static void name_folder(const char* directory) {
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(directory, sizeof full, full, nullptr);
    const char* path = length > 0 && length < sizeof full ? full : directory;
    size_t end = strlen(path);
    if (end > 3 && path[end - 1] == '\\') {
        end--;
    }
    unsigned long long hash = 14695981039346656037ULL;
    for (size_t i = 0; i < end; i++) {
        unsigned char c = (unsigned char)path[i];
        if (c >= 'A' && c <= 'Z') {
            c = (unsigned char)(c - 'A' + 'a');
        }
        hash = (hash ^ c) * 1099511628211ULL;
    }
    snprintf(instance_name, sizeof instance_name, "Melodiane-%016llx", hash);
}

static HWND find_running_window(void) {
    HWND window = nullptr;
    // "#32770" is the class of every dialog box.
    while ((window = FindWindowExA(nullptr, window, "#32770", nullptr)) != nullptr) {
        if (GetPropA(window, instance_name) != nullptr) {
            return window;
        }
    }
    return nullptr;
}

static void bring_forward(void) {
    for (int i = 0; i < WINDOW_SEARCH_TRIES; i++) {
        HWND window = find_running_window();
        if (window != nullptr) {
            if (IsIconic(window)) {
                ShowWindow(window, SW_RESTORE);
            }
            // The dialog open over the window, if any, comes with it.
            HWND front = GetLastActivePopup(window);
            SetForegroundWindow(front != nullptr ? front : window);
            return;
        }
        Sleep(WINDOW_SEARCH_PAUSE_MS);
    }
}

int folder_instance_claim(const char* directory) {
    name_folder(directory);
    char mutex_name[48];
    snprintf(mutex_name, sizeof mutex_name, "Local\\%s", instance_name);
    HANDLE mutex = CreateMutexA(nullptr, FALSE, mutex_name);
    if (mutex == nullptr) {
        return 1;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
        // Never closed: Windows closes it with the process, however it ends.
        return 1;
    }
    CloseHandle(mutex);
    bring_forward();
    return 0;
}

void folder_instance_set_window(HWND window) {
    if (instance_name[0] != '\0') {
        SetPropA(window, instance_name, (HANDLE)1);
    }
}
