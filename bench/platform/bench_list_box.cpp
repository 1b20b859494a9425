// The playlist list box at 100,000 lines, driven the way the editing
// commands drive it: one message per line, one deletion and insertion per run.
#include "common/resource.h"
#include "platform/testing.h"
#include "platform/win32.h"

#include <benchmark/benchmark.h>

#include <string>

static const int line_count = 100000;

static INT_PTR CALLBACK quiet_proc(HWND window, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) {
        ShowWindow(window, SW_SHOW);
        return TRUE;
    }
    return FALSE;
}

// The main window's list box, made once from the build's resource script.
static HWND list_box() {
    static HWND list = [] {
        platform_test_init();
        HWND dialog =
            CreateDialogParamA(nullptr, MAKEINTRESOURCEA(IDD_DIALOG1), nullptr, quiet_proc, 0);
        return GetDlgItem(dialog, 1020);
    }();
    return list;
}

static void fill(HWND list, bool select_every_other) {
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    for (int i = 0; i < line_count; ++i) {
        SendMessageA(list, LB_INSERTSTRING, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>("Artiste - Titre de la chanson"));
        if (select_every_other && i % 2 == 1) {
            SendMessageA(list, LB_SETSEL, TRUE, i);
        }
    }
}

static void BM_InsertLinesInOrder(benchmark::State& state) {
    HWND list = list_box();
    for (auto _ : state) {
        fill(list, false);
        platform_test_pump(0); // the view catches up once
    }
    state.SetItemsProcessed(state.iterations() * line_count);
}
BENCHMARK(BM_InsertLinesInOrder)->Unit(benchmark::kMillisecond);

static void BM_ReadSelectionLineByLine(benchmark::State& state) {
    HWND list = list_box();
    fill(list, true);
    for (auto _ : state) {
        int selected = 0;
        for (int i = 0; i < line_count; ++i) {
            selected += SendMessageA(list, LB_GETSEL, static_cast<WPARAM>(i), 0) != 0;
        }
        benchmark::DoNotOptimize(selected);
    }
    state.SetItemsProcessed(state.iterations() * line_count);
}
BENCHMARK(BM_ReadSelectionLineByLine)->Unit(benchmark::kMillisecond);

// Every selected line moves up: 50,000 runs, a deletion and an insertion each.
static void BM_MoveEveryOtherLineUp(benchmark::State& state) {
    HWND list = list_box();
    for (auto _ : state) {
        state.PauseTiming();
        fill(list, true);
        state.ResumeTiming();
        char text[64];
        for (int start = 1; start < line_count; start += 2) {
            SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(start - 1),
                         reinterpret_cast<LPARAM>(text));
            SendMessageA(list, LB_DELETESTRING, static_cast<WPARAM>(start - 1), 0);
            SendMessageA(list, LB_INSERTSTRING, static_cast<WPARAM>(start),
                         reinterpret_cast<LPARAM>(text));
        }
        platform_test_pump(0);
    }
}
BENCHMARK(BM_MoveEveryOtherLineUp)->Unit(benchmark::kMillisecond);

// Deleting every selected line, one message per line, from the top.
static void BM_DeleteEveryOtherLine(benchmark::State& state) {
    HWND list = list_box();
    for (auto _ : state) {
        state.PauseTiming();
        fill(list, true);
        state.ResumeTiming();
        for (int deleted = 0, line = 1; line < line_count; line += 2, ++deleted) {
            SendMessageA(list, LB_DELETESTRING, static_cast<WPARAM>(line - deleted), 0);
        }
        platform_test_pump(0);
    }
}
BENCHMARK(BM_DeleteEveryOtherLine)->Unit(benchmark::kMillisecond);

static void BM_SelectAll(benchmark::State& state) {
    HWND list = list_box();
    fill(list, false);
    for (auto _ : state) {
        SendMessageA(list, LB_SETSEL, TRUE, -1);
        SendMessageA(list, LB_SETSEL, FALSE, -1);
    }
}
BENCHMARK(BM_SelectAll)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
