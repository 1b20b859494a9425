// Creating the controls of a dialog template. Internal to the Qt platform layer.
//
// Each function makes the widget and its window (class procedure, identifier,
// styles and text from the template) as a child of parent; the dialog places
// it and links it into its list of controls.
#pragma once

#include "platform/qt/rc_script.h"
#include "platform/qt/window.h"

HWND button_create(QWidget* parent, const RcControl& control);
HWND static_create(QWidget* parent, const RcControl& control);
HWND list_box_create(QWidget* parent, const RcControl& control);
HWND trackbar_create(QWidget* parent, const RcControl& control);

// A class this layer does not provide: an inert window that keeps its place.
HWND other_create(QWidget* parent, const RcControl& control);

// The template's text for a control, as the program would read it back.
std::string control_text(const RcControl& control);
