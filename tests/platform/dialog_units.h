// Dialog units as Windows turns them into pixels, and what the dialog tests
// check of every template: its font (Arial 9 points, or Liberation Sans, its
// metric twin, at 96 DPI: 12 pixels, 52 letters 364 pixels wide, 14 high)
// gives base units 7 and 14, and the window is the template's size in them.
#pragma once

#include "platform/testing.h"
#include "platform/win32.h"

#include <QSize>
#include <QWidget>
#include <gtest/gtest.h>

// Dialog units to pixels as Windows does: MulDiv, rounding halves up.
inline int pixels(int units, int base, int divisor) {
    return (units * base + divisor / 2) / divisor;
}

inline void expect_template_size(HWND dialog, int width_units, int height_units) {
    int base_x = 0;
    int base_y = 0;
    platform_test_dialog_base_units(dialog, &base_x, &base_y);
    EXPECT_EQ(base_x, 7);
    EXPECT_EQ(base_y, 14);
    EXPECT_EQ(platform_test_widget(dialog)->size(),
              QSize(pixels(width_units, 7, 4), pixels(height_units, 14, 8)));
}
