// The main window's controls under the names the program uses; the numbers
// live in resource.h, shared with the resource script.
#pragma once

#include "common/resource.h"

#define MAIN_PLAY IDC_PLAY // "Jouer", the default command (Enter)
#define MAIN_PAUSE IDC_PAUSE
#define MAIN_STOP IDC_STOP
#define MAIN_EQUALIZER IDC_EQUALIZER
#define MAIN_PREVIOUS IDC_PREVIOUS
#define MAIN_NEXT IDC_NEXT
#define MAIN_FONT IDC_FONT
#define MAIN_ABOUT IDC_ABOUT
#define MAIN_UP IDC_MOVE_UP
#define MAIN_DOWN IDC_MOVE_DOWN
#define MAIN_SORT IDC_SORT
#define MAIN_SHUFFLE IDC_SHUFFLE
#define MAIN_DELETE IDC_DELETE
#define MAIN_SELECT_ALL IDC_SELECT_ALL
#define MAIN_ADD IDC_ADD
#define MAIN_OPEN IDC_OPEN
#define MAIN_SAVE IDC_SAVE
#define MAIN_REPEAT IDC_REPEAT // "Répéter": push-like automatic check box
#define MAIN_LIST IDC_PLAYLIST // the playlist list box
#define MAIN_TIME_LABEL IDC_TIME_LABEL
#define MAIN_TITLE_LABEL IDC_TITLE_LABEL
#define MAIN_LIST_GROUP IDC_LIST_GROUP
#define MAIN_TIME_SLIDER IDC_TIME_SLIDER
#define MAIN_VOLUME_SLIDER IDC_VOLUME_SLIDER
#define MAIN_BALANCE_SLIDER IDC_BALANCE_SLIDER
// The font goes to every control from MAIN_PAUSE to MAIN_LIST_GROUP that
// exists, then to MAIN_PLAY.
#define MAIN_FIRST_FONT_CONTROL MAIN_PAUSE
#define MAIN_LAST_FONT_CONTROL MAIN_LIST_GROUP
#define MENU_PLAY IDM_PLAY // the context menu's "Jouer"
