// The test script for the common dialogs on Windows, acting on the system's
// own dialogs as a user would: it types into their fields, picks from their
// lists and presses their buttons.
//
// What the program asked is read from its own call: the test program calls
// the dialog functions through its import table, which the script points at
// recorders that note the request and call the real function. Each dialog is
// found as it is activated (a CBT hook on the thread) while such a call runs,
// and answered from a thread timer, which the dialog's own modal loop runs.
#include "platform/testing_dialogs.h"

#include <dlgs.h>

#include <cstring>
#include <deque>

typedef std::function<void(HWND dialog)> WindowAnswer;

// Answers not yet used, in order; taken by dialogs as they are shown.
static std::deque<WindowAnswer> queued_answers;
// What each dialog was asked, while scripted.
static std::vector<DialogRequest> requests;
// The request of the dialog call running whose dialog has not shown yet, or none.
static const size_t no_request = (size_t)-1;
static size_t unshown_request = no_request;
// Dialog calls of the program under way: a dialog made meanwhile is theirs.
static int calls_running = 0;
// Dialogs made by those calls and not shown yet.
static std::vector<HWND> made_dialogs;

// A dialog's turn to take the next answer, from a thread timer.
struct Turn {
    UINT_PTR timer;
    HWND dialog;
    size_t request;
};
static std::vector<Turn> turns;

static bool still_open(HWND dialog) {
    return IsWindow(dialog) && IsWindowVisible(dialog);
}

// What Esc does in a dialog: IDCANCEL from the Cancel button.
static void press_escape(HWND dialog) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 (LPARAM)GetDlgItem(dialog, IDCANCEL));
}

static void CALLBACK take_turn(HWND, UINT, UINT_PTR timer, DWORD);

static void give_turn(HWND dialog, size_t request) {
    UINT_PTR timer = SetTimer(nullptr, 0, 0, take_turn);
    turns.push_back({timer, dialog, request});
}

// A box a dialog shows of itself (a name refused, a file to replace): only
// its window tells what it asks, once the box has filled it.
static DialogRequest request_of_box(HWND box) {
    DialogRequest request{};
    request.kind = DialogKind::message_box;
    char text[1024] = "";
    GetWindowTextA(box, text, sizeof text);
    request.title = text;
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        char class_name[16] = "";
        GetClassNameA(child, class_name, sizeof class_name);
        LONG style = GetWindowLongA(child, GWL_STYLE);
        if (lstrcmpiA(class_name, "Static") == 0 && (style & SS_TYPEMASK) != SS_ICON &&
            GetWindowTextA(child, text, sizeof text) > 0) {
            request.text = text;
            break;
        }
    }
    request.answered = true;
    return request;
}

// Gives the dialog the next answer; once it has acted, a dialog still open
// gets the one after, or Esc when none is left.
static void answer_next(HWND dialog, size_t request) {
    if (!still_open(dialog)) {
        return;
    }
    if (request >= requests.size()) {
        requests.push_back(request_of_box(dialog));
        request = requests.size() - 1;
    }
    if (queued_answers.empty()) {
        requests[request].answered = false;
        press_escape(dialog);
        // A dialog that Esc does not close is closed all the same.
        if (still_open(dialog)) {
            EndDialog(dialog, IDCANCEL);
        }
        return;
    }
    WindowAnswer answer = std::move(queued_answers.front());
    queued_answers.pop_front();
    answer(dialog);
    if (still_open(dialog)) {
        give_turn(dialog, request);
    }
}

static void CALLBACK take_turn(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    for (size_t i = 0; i < turns.size(); i++) {
        if (turns[i].timer == timer) {
            Turn turn = turns[i];
            turns.erase(turns.begin() + (std::ptrdiff_t)i);
            answer_next(turn.dialog, turn.request);
            return;
        }
    }
}

// A dialog made while a call runs is noted; once it is activated, shown to
// the user, it gets its turn, with the request of the call when it is the
// call's own dialog.
static void made(HWND window) {
    char class_name[16] = "";
    GetClassNameA(window, class_name, sizeof class_name);
    if (std::strcmp(class_name, "#32770") == 0 &&
        (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) == 0) {
        std::erase_if(made_dialogs, [](HWND dialog) { return !IsWindow(dialog); });
        made_dialogs.push_back(window);
    }
}

static void activated(HWND window) {
    if (std::erase(made_dialogs, window) == 0) {
        return;
    }
    give_turn(window, unshown_request);
    unshown_request = no_request;
}

static LRESULT CALLBACK watch_dialogs_made(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HCBT_CREATEWND && calls_running > 0) {
        made((HWND)wparam);
    } else if (code == HCBT_ACTIVATE) {
        activated((HWND)wparam);
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

// Records request, then runs the program's call of the real dialog.
template <typename Call> static auto recorded(const DialogRequest& request, Call call) {
    requests.push_back(request);
    size_t index = requests.size() - 1;
    unshown_request = index;
    calls_running++;
    auto result = call();
    calls_running--;
    // A dialog that never showed was never asked.
    if (unshown_request == index) {
        unshown_request = no_request;
        if (index == requests.size() - 1) {
            requests.pop_back();
        }
    }
    return result;
}

static DialogRequest file_request(DialogKind kind, const OPENFILENAMEA* dialog) {
    DialogRequest request{};
    request.kind = kind;
    request.title = dialog->lpstrTitle != nullptr ? dialog->lpstrTitle : "";
    // Pairs of NUL-ended texts, ended by an empty one.
    for (const char* at = dialog->lpstrFilter; at != nullptr && *at != '\0';) {
        std::string description = at;
        at += description.size() + 1;
        std::string patterns = at;
        at += patterns.size() + 1;
        request.filters.emplace_back(description, patterns);
        if (patterns.empty()) {
            break;
        }
    }
    request.default_extension = dialog->lpstrDefExt != nullptr ? dialog->lpstrDefExt : "";
    request.flags = dialog->Flags;
    request.answered = true;
    return request;
}

static decltype(&GetOpenFileNameA) real_open_dialog;
static decltype(&GetSaveFileNameA) real_save_dialog;
static decltype(&ChooseFontA) real_font_dialog;
static decltype(&MessageBoxA) real_message_box;

static BOOL WINAPI recorded_open_dialog(OPENFILENAMEA* dialog) {
    return recorded(file_request(DialogKind::open_file, dialog),
                    [&] { return real_open_dialog(dialog); });
}

static BOOL WINAPI recorded_save_dialog(OPENFILENAMEA* dialog) {
    return recorded(file_request(DialogKind::save_file, dialog),
                    [&] { return real_save_dialog(dialog); });
}

static BOOL WINAPI recorded_font_dialog(CHOOSEFONTA* choice) {
    DialogRequest request{};
    request.kind = DialogKind::font;
    request.flags = choice->Flags;
    if (choice->lpLogFont != nullptr) {
        request.font = *choice->lpLogFont;
    }
    request.answered = true;
    return recorded(request, [&] { return real_font_dialog(choice); });
}

static int WINAPI recorded_message_box(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    DialogRequest request{};
    request.kind = DialogKind::message_box;
    request.title = caption != nullptr ? caption : "";
    request.text = text != nullptr ? text : "";
    request.flags = type;
    request.answered = true;
    return recorded(request, [&] { return real_message_box(owner, text, caption, type); });
}

// Points the test program's imports of a function at replacement; returns
// the real function.
template <typename Function>
static Function redirect_import(const char* module, const char* name, Function replacement) {
    auto real = (Function)(void*)GetProcAddress(GetModuleHandleA(module), name);
    auto* base = (BYTE*)GetModuleHandleA(nullptr);
    auto* headers = (IMAGE_NT_HEADERS*)(base + ((IMAGE_DOS_HEADER*)base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* library = (IMAGE_IMPORT_DESCRIPTOR*)(base + imports.VirtualAddress);
         library->Name != 0; library++) {
        for (auto* slot = (Function*)(base + library->FirstThunk); *slot != nullptr; slot++) {
            if (*slot == real) {
                DWORD protection;
                VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
                *slot = replacement;
                VirtualProtect(slot, sizeof *slot, protection, &protection);
            }
        }
    }
    return real;
}

// Installed by the first use of the script: from then on no dialog waits for a person.
static void watch_dialogs() {
    static bool watching = false;
    if (watching) {
        return;
    }
    watching = true;
    real_open_dialog = redirect_import("comdlg32.dll", "GetOpenFileNameA", recorded_open_dialog);
    real_save_dialog = redirect_import("comdlg32.dll", "GetSaveFileNameA", recorded_save_dialog);
    real_font_dialog = redirect_import("comdlg32.dll", "ChooseFontA", recorded_font_dialog);
    real_message_box = redirect_import("user32.dll", "MessageBoxA", recorded_message_box);
    SetWindowsHookExA(WH_CBT, watch_dialogs_made, nullptr, GetCurrentThreadId());
}

static void queue_answer(WindowAnswer answer) {
    watch_dialogs();
    queued_answers.push_back(std::move(answer));
}

// Sets a field's text from file system text (UTF-8), which may hold
// characters the ANSI code page has not.
static void type_into(HWND field, const std::string& typed) {
    int length = MultiByteToWideChar(CP_UTF8, 0, typed.c_str(), -1, nullptr, 0);
    std::wstring wide(length > 0 ? (size_t)length : 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, typed.c_str(), -1, wide.data(), length);
    SetWindowTextW(field, wide.c_str());
}

// Clicks the dialog's button of that identifier. A disabled button does
// nothing, as for a user: the dialog stays open for the next answer.
static void press(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (button != nullptr) {
        SendMessageA(button, BM_CLICK, 0, 0);
    }
}

// Types into the file name field and presses Open or Save. The field is a
// combo box in the dialogs of today, an edit in older ones.
static void type_name(HWND dialog, const std::string& typed) {
    HWND field = GetDlgItem(dialog, cmb13);
    type_into(field != nullptr ? field : GetDlgItem(dialog, edt1), typed);
    press(dialog, IDOK);
}

// Opens directory (its path typed and confirmed, as a user moves to a
// folder), then types the names there.
static void choose_in(HWND dialog, const std::string& directory,
                      const std::vector<std::string>& names) {
    type_name(dialog, directory);
    if (!still_open(dialog)) {
        return;
    }
    std::string typed;
    if (names.size() == 1) {
        typed = names[0];
    } else {
        for (const std::string& name : names) {
            typed += '"' + name + "\" ";
        }
    }
    type_name(dialog, typed);
}

void testing_answer_open_dialog(const std::string& directory,
                                const std::vector<std::string>& names) {
    queue_answer([directory, names](HWND dialog) { choose_in(dialog, directory, names); });
}

void testing_answer_save_dialog(const std::string& directory, const std::string& typed_name) {
    queue_answer(
        [directory, typed_name](HWND dialog) { choose_in(dialog, directory, {typed_name}); });
}

// Chooses the line of a combo box as a user does, which tells the dialog
// with CBN_SELCHANGE.
static void choose_line(HWND dialog, int id, int line) {
    HWND list = GetDlgItem(dialog, id);
    SendMessageA(list, CB_SETCURSEL, (WPARAM)line, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), (LPARAM)list);
}

void testing_answer_font_dialog(const std::string& family, int point_size, bool bold, bool italic) {
    queue_answer([family, point_size, bold, italic](HWND dialog) {
        int line = (int)SendDlgItemMessageA(dialog, cmb1, CB_FINDSTRINGEXACT, (WPARAM)-1,
                                            (LPARAM)family.c_str());
        if (line == CB_ERR) {
            return press_escape(dialog);
        }
        choose_line(dialog, cmb1, line);
        // Each style keeps its weight and slant as its data.
        int styles = (int)SendDlgItemMessageA(dialog, cmb2, CB_GETCOUNT, 0, 0);
        for (int style = 0; style < styles; style++) {
            LRESULT data = SendDlgItemMessageA(dialog, cmb2, CB_GETITEMDATA, (WPARAM)style, 0);
            if ((LOWORD(data) >= FW_BOLD) == bold && (HIWORD(data) != 0) == italic) {
                choose_line(dialog, cmb2, style);
                break;
            }
        }
        std::string size = std::to_string(point_size);
        line = (int)SendDlgItemMessageA(dialog, cmb3, CB_FINDSTRINGEXACT, (WPARAM)-1,
                                        (LPARAM)size.c_str());
        if (line != CB_ERR) {
            choose_line(dialog, cmb3, line);
        } else {
            // A size not in the list is typed.
            SetDlgItemTextA(dialog, cmb3, size.c_str());
            SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(cmb3, CBN_EDITCHANGE),
                         (LPARAM)GetDlgItem(dialog, cmb3));
        }
        press(dialog, IDOK);
    });
}

void testing_answer_message_box(int id) {
    queue_answer([id](HWND dialog) {
        if (GetDlgItem(dialog, id) == nullptr) {
            return press_escape(dialog);
        }
        press(dialog, id);
    });
}

void testing_cancel_next_dialog() {
    queue_answer(press_escape);
}

const std::vector<DialogRequest>& testing_dialog_requests() {
    return requests;
}

void testing_reset_dialogs() {
    watch_dialogs();
    queued_answers.clear();
    requests.clear();
}
