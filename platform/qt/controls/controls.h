// The dialog and its controls (button, static, list box, trackbar) and what
// they tell assistive technology. Internal to the Qt platform layer: only the
// dialogs are built from it.
//
// Each create function makes the widget and its window (class procedure, identifier,
// styles and text from the template) as a child of parent; the dialog places
// it and links it into its list of controls.
#pragma once

#include "platform/qt/resources/rc_script.h"
#include "platform/qt/user/user.h"

#include <QRect>
#include <QString>

#include <vector>

class QObject;
class QWidget;

HWND button_create(QWidget* parent, const RcControl& control);
HWND static_create(QWidget* parent, const RcControl& control);
HWND list_box_create(QWidget* parent, const RcControl& control);
HWND trackbar_create(QWidget* parent, const RcControl& control);

// A class this layer does not provide: an inert window that keeps its place.
HWND other_create(QWidget* parent, const RcControl& control);

// The template's text for a control, as the program would read it back.
std::string control_text(const RcControl& control);

// ---- Accessibility (accessible.cpp)
//
// Buttons, group boxes and labels are Qt's own widgets and speak for
// themselves. The list box and the trackbar draw themselves, so they give
// what a screen reader needs through these interfaces: the list its lines,
// the trackbar its position. A control without text of its own is named by
// the group box around it, or else by the label just below it, as a person
// reading the dialog would name it.

class AccessibleLines {
  public:
    virtual ~AccessibleLines() = default;
    virtual int accessible_count() const = 0;
    virtual QString accessible_line(int index) const = 0;
    virtual bool accessible_selected(int index) const = 0;
    // The line with the focus rectangle.
    virtual int accessible_caret() const = 0;
    // Where the line is on the screen (empty when scrolled out of view).
    virtual QRect accessible_screen_rect(int index) const = 0;
};

class AccessibleRange {
  public:
    virtual ~AccessibleRange() = default;
    virtual int accessible_minimum() const = 0;
    virtual int accessible_maximum() const = 0;
    virtual int accessible_position() const = 0;
    virtual int accessible_step() const = 0;
    // Moves the thumb as a user's drag ends there, notifying the dialog.
    virtual void accessible_move(int position) = 0;
};

// A dialog: its controls in template order, which is the order a screen
// reader reads them in (Qt's own order is the stacking order, the reverse).
class AccessibleControls {
  public:
    virtual ~AccessibleControls() = default;
    virtual std::vector<QWidget*> accessible_controls() const = 0;
};

// Installs, once, the factory that gives such controls their interfaces.
void accessible_install();

// Tells assistive technology that a control's value or lines changed.
void accessible_value_changed(QObject* control, int position);
// With the caret moved while the list has the focus, the line it is on is
// announced as the focus.
void accessible_lines_changed(QWidget* list, int caret, bool caret_moved);
