// Fonts: LOGFONTA and CreateFontIndirectA.
#pragma once

#include "platform/win_types.h"

#define LF_FACESIZE 32
#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define FW_NORMAL 400
#define FW_BOLD 700

typedef struct tagLOGFONTA {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    CHAR lfFaceName[LF_FACESIZE];
} LOGFONTA, *LPLOGFONTA;

// A negative lfHeight is the character height in pixels at 96 DPI, a positive
// one the cell height. The font lives until the process ends.
HFONT WINAPI CreateFontIndirectA(const LOGFONTA* font);
BOOL WINAPI DeleteObject(HGDIOBJ object);
