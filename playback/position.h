// Position display: the title label, the time label and the time slider of the
// main window follow current_entry and the player status; a released time
// slider seeks.
#pragma once

// Title label: the current entry's title, or empty without one.
void refresh_title(void);
// Time label: "m:ss / m:ss" while a track is open, only the duration while
// nothing is open, "--:-- / --:--" without a current entry.
void refresh_time_label(void);
// Time slider range 0 .. the current entry's duration; untouched without one.
void set_time_range(void);
// Time slider and elapsed_seconds to 0.
void reset_position(void);
// Time slider to elapsed_seconds, then the time label.
void show_position(void);
// While the time slider is dragged: the time label alone, from the
// decoder's latest position.
void show_time_while_dragging(void);
// refresh_title, refresh_time_label, set_time_range.
void refresh_display(void);
// Ends a drag or key step of the time slider: seeks to the slider's position
// when a track is open, else sends the slider back to 0.
void end_seek(void);
