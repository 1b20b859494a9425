// Font handles: CreateFontIndirectA and the fonts of dialog templates.
#include "platform/qt/user/user.h"

#include <QApplication>
#include <QFontDatabase>

#include <cstring>
#include <memory>
#include <vector>

struct HFONT__ {
    QFont font;
};

// Fonts live until the process ends, as the program never releases them.
static std::vector<std::unique_ptr<HFONT__>> fonts;

// Faces Windows dialogs name, and the metric-compatible faces that stand in
// for them when they are not installed.
static QString available_face(const QString& face) {
    static const char* const substitutes[][2] = {
        {"Arial", "Liberation Sans"},
        {"MS Shell Dlg", "Liberation Sans"},
        {"MS Shell Dlg 2", "Liberation Sans"},
        {"MS Sans Serif", "Liberation Sans"},
        {"Times New Roman", "Liberation Serif"},
        {"Courier New", "Liberation Mono"},
    };
    if (QFontDatabase::hasFamily(face)) {
        return face;
    }
    for (const auto& substitute : substitutes) {
        if (face.compare(QLatin1String(substitute[0]), Qt::CaseInsensitive) == 0) {
            return QString::fromLatin1(substitute[1]);
        }
    }
    return face;
}

static HFONT make_font(const LOGFONTA& logfont) {
    fonts.push_back(std::make_unique<HFONT__>());
    QFont font = logfont_to_qfont(logfont);
    font.setFamily(available_face(font.family()));
    fonts.back()->font = font;
    return fonts.back().get();
}

HFONT WINAPI CreateFontIndirectA(const LOGFONTA* logfont) {
    if (logfont == nullptr) {
        return nullptr;
    }
    return make_font(*logfont);
}

// Fonts are kept for the life of the process; deleting one is accepted.
BOOL WINAPI DeleteObject(HGDIOBJ object) {
    return object != nullptr ? TRUE : FALSE;
}

QFont font_to_qfont(HFONT font) {
    return font != nullptr ? font->font : QApplication::font();
}

HFONT font_for_template(const std::string& face, int points, int weight, bool italic) {
    // Dialogs opened again and again share the font of their template.
    struct TemplateFont {
        std::string face;
        int points;
        int weight;
        bool italic;
        HFONT font;
    };
    static std::vector<TemplateFont> made;
    for (const TemplateFont& known : made) {
        if (known.face == face && known.points == points && known.weight == weight &&
            known.italic == italic) {
            return known.font;
        }
    }
    LOGFONTA logfont{};
    // Windows: the height in pixels at 96 dots per inch, rounded.
    logfont.lfHeight = -mul_div(points, 96, 72);
    logfont.lfWeight = weight;
    logfont.lfItalic = italic ? 1 : 0;
    logfont.lfCharSet = DEFAULT_CHARSET;
    std::strncpy(logfont.lfFaceName, face.empty() ? "MS Shell Dlg" : face.c_str(), LF_FACESIZE - 1);
    HFONT font = make_font(logfont);
    made.push_back({face, points, weight, italic, font});
    return font;
}
