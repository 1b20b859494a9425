// Font descriptions between Windows and Qt.
#include "platform/qt/user/user.h"

#include "platform/qt/system/system.h"

#include "codepage/utf8.h"

#include <QFontDatabase>
#include <QFontMetricsF>

#include <algorithm>
#include <cmath>
#include <cstring>

// Windows' logical inch: heights in pixels are at 96 dots per inch.
static const double pixels_per_point = 96.0 / 72.0;

// The fields the Windows font dialog fills for a scalable screen font.
static const BYTE out_stroke_precision = 3;
static const BYTE clip_stroke_precision = 2;
static const BYTE draft_quality = 1;
static const BYTE fixed_pitch = 1;
static const BYTE variable_pitch = 2;

QFont logfont_to_qfont(const LOGFONTA& logfont) {
    char face[LF_FACESIZE + 1] = {};
    std::memcpy(face, logfont.lfFaceName, LF_FACESIZE);
    QFont font(ansi_to_qstring(face));
    if (logfont.lfHeight < 0) {
        // In double: the lowest LONG has no positive counterpart.
        font.setPointSizeF(-static_cast<double>(logfont.lfHeight) / pixels_per_point);
    } else if (logfont.lfHeight > 0) {
        // A cell height: scale the em so that ascent and descent fill it.
        QFont probe = font;
        probe.setPixelSize(100);
        double cell_per_em = QFontMetricsF(probe).height() / 100.0;
        font.setPointSizeF(logfont.lfHeight / cell_per_em / pixels_per_point);
    }
    if (logfont.lfWeight > 0)
        font.setWeight(static_cast<QFont::Weight>(std::min<LONG>(logfont.lfWeight, 1000)));
    font.setItalic(logfont.lfItalic != 0);
    font.setUnderline(logfont.lfUnderline != 0);
    font.setStrikeOut(logfont.lfStrikeOut != 0);
    return font;
}

void qfont_to_logfont(const QFont& font, LOGFONTA* logfont) {
    std::memset(logfont, 0, sizeof *logfont);
    double pixels = font.pointSizeF() > 0 ? font.pointSizeF() * pixels_per_point : font.pixelSize();
    // A font made from a stored height near the LONG limits stays within them.
    logfont->lfHeight = -static_cast<LONG>(std::clamp(std::lround(pixels), 0L, 2147483647L));
    logfont->lfWeight = font.weight();
    logfont->lfItalic = font.italic() ? 1 : 0;
    logfont->lfUnderline = font.underline() ? 1 : 0;
    logfont->lfStrikeOut = font.strikeOut() ? 1 : 0;
    logfont->lfCharSet = ANSI_CHARSET;
    logfont->lfOutPrecision = out_stroke_precision;
    logfont->lfClipPrecision = clip_stroke_precision;
    logfont->lfQuality = draft_quality;
    logfont->lfPitchAndFamily =
        QFontDatabase::isFixedPitch(font.family()) ? fixed_pitch : variable_pitch;
    QByteArray face = qstring_to_ansi(font.family());
    face.truncate(static_cast<qsizetype>(
        utf8_cut(face.constData(), static_cast<size_t>(face.size()), LF_FACESIZE - 1)));
    std::memcpy(logfont->lfFaceName, face.constData(), face.size());
}
