// Resource identifiers of Melodiane: dialog templates, menu, icon and the
// controls of each dialog. Shared by the program and app/melodiane.rc.
#pragma once

#define IDD_DIALOG1 101 // main window
#define IDD_DIALOG2 102 // About
#define IDD_DIALOG3 103 // equalizer
#define IDR_MENU1 104   // the playlist's context menu
#define IDI_ICON1 105   // the program file's icon

// Main window
#define IDC_PLAY 1 // also the dialog's default command (IDOK)
#define IDC_PAUSE 1001
#define IDC_STOP 1002
#define IDC_EQUALIZER 1003
#define IDC_PREVIOUS 1004
#define IDC_NEXT 1005
#define IDC_FONT 1006
#define IDC_ABOUT 1007
#define IDC_MOVE_UP 1008
#define IDC_MOVE_DOWN 1009
#define IDC_SORT 1010
#define IDC_SHUFFLE 1011
#define IDC_DELETE 1012
#define IDC_SELECT_ALL 1013
#define IDC_ADD 1014
#define IDC_OPEN 1015
#define IDC_SAVE 1016
#define IDC_REPEAT 1018   // "Répéter": push-like automatic check box
#define IDC_PLAYLIST 1020 // the playlist list box
#define IDC_TIME_LABEL 1021
#define IDC_TITLE_LABEL 1022
#define IDC_TITLE_GROUP 1023
#define IDC_TIME_GROUP 1024
#define IDC_VOLUME_GROUP 1025
#define IDC_MUSIC_GROUP 1026
#define IDC_LIST_GROUP 1027
#define IDC_TIME_SLIDER 1041
#define IDC_VOLUME_SLIDER 1042
#define IDC_BALANCE_SLIDER 1043

// Context menu
#define IDM_PLAY 1054

// Equalizer
#define IDC_EQ_ZERO 1017
#define IDC_EQ_ENABLE 1019
#define IDC_EQ_VALUE 1030
#define IDC_EQ_BAND_LABEL 1031 // 1031 to 1040, one per band
#define IDC_EQ_BAND 1044       // 1044 to 1053, one slider per band

// About
#define IDC_CLOSE 2 // IDCANCEL
#define IDC_CREDIT 1028
#define IDC_REMARKS 1029
#define IDC_PICTURE 1055
