// LOGFONTA <-> QFont, with Windows' units: a negative lfHeight is the
// character height in pixels at 96 DPI, a positive one the cell height.
// Internal to the Qt platform layer.
#pragma once

#include "platform/win_gdi.h"

#include <QFont>

QFont logfont_to_qfont(const LOGFONTA& logfont);

// Fills every field the way the Windows font dialog returns them; the
// character set is ANSI.
void qfont_to_logfont(const QFont& font, LOGFONTA* logfont);
