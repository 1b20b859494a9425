// Where a slider's thumb is drawn, for the tests that press it with the mouse.
#pragma once

#include "platform/testing.h"
#include "platform/win32.h"

#include <QFrame>
#include <QPoint>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QWidget>

// Centre of a slider's thumb in the slider's own coordinates.
inline QPoint thumb_centre(HWND slider) {
    QWidget* widget = platform_test_widget(slider);
    int position = (int)SendMessageA(slider, TBM_GETPOS, 0, 0);
    QStyleOptionSlider option;
    option.initFrom(widget);
    option.rect = static_cast<QFrame*>(widget)->contentsRect();
    option.orientation = widget->height() > widget->width() ? Qt::Vertical : Qt::Horizontal;
    option.minimum = (int)SendMessageA(slider, TBM_GETRANGEMIN, 0, 0);
    option.maximum = (int)SendMessageA(slider, TBM_GETRANGEMAX, 0, 0);
    option.sliderPosition = position;
    option.sliderValue = position;
    option.upsideDown = false;
    option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
    return widget->style()
        ->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, widget)
        .center();
}
