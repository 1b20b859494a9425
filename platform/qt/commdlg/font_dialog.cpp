// ChooseFontA over a non-native QFontDialog.
#include "platform/win_commdlg.h"

#include "platform/qt/commdlg/commdlg.h"
#include "platform/qt/user/user.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontDialog>
#include <QGroupBox>

#include <cmath>

// Without CF_EFFECTS the dialog offers no underline or strikeout. The hidden
// box keeps its place: the sample box beside it takes its height from the
// same rows and, without it, would shrink until its text no longer shows.
static void hide_effects(QFontDialog* dialog) {
    for (QCheckBox* effect : dialog->findChildren<QCheckBox*>()) {
        QWidget* hidden = effect;
        if (auto* group = qobject_cast<QGroupBox*>(effect->parentWidget()))
            hidden = group;
        QSizePolicy policy = hidden->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        hidden->setSizePolicy(policy);
        hidden->hide();
    }
}

// CF_SELECTSCRIPT with the ANSI character set: Latin fonts only, not changeable.
static void keep_latin_script(QFontDialog* dialog) {
    for (QComboBox* scripts : dialog->findChildren<QComboBox*>()) {
        if (scripts->count() > QFontDatabase::Latin &&
            scripts->itemText(QFontDatabase::Latin) ==
                QFontDatabase::writingSystemName(QFontDatabase::Latin)) {
            scripts->setCurrentIndex(QFontDatabase::Latin);
            scripts->setEnabled(false);
        }
    }
}

BOOL WINAPI ChooseFontA(LPCHOOSEFONTA cf) {
    if (!cf || !cf->lpLogFont)
        return FALSE;
    QFontDialog dialog(platform_widget(cf->hwndOwner));
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    if (cf->Flags & (CF_SCALABLEONLY | CF_TTONLY))
        dialog.setOption(QFontDialog::ScalableFonts);
    if ((cf->Flags & CF_SELECTSCRIPT) && cf->lpLogFont->lfCharSet == ANSI_CHARSET)
        keep_latin_script(&dialog);
    if (cf->Flags & CF_INITTOLOGFONTSTRUCT) {
        QFont stored = logfont_to_qfont(*cf->lpLogFont);
        // A face the system lacks (Arial, say) opens on the face that stands
        // in for it, rather than on whatever heads the list.
        if (!QFontDatabase::hasFamily(stored.family()))
            stored.setFamily(QFontInfo(stored).family());
        dialog.setCurrentFont(stored);
    }
    if (!(cf->Flags & CF_EFFECTS))
        hide_effects(&dialog);

    CommonDialogAsk ask{};
    ask.kind = "font";
    ask.flags = cf->Flags;
    ask.font = *cf->lpLogFont;
    if (run_common_dialog(&dialog, cf->hwndOwner, ask) != QDialog::Accepted)
        return FALSE;

    QFont chosen = dialog.selectedFont();
    qfont_to_logfont(chosen, cf->lpLogFont);
    // Tenths of the point size chosen (or the one the character height gives).
    double points =
        chosen.pointSizeF() > 0 ? chosen.pointSizeF() : -(cf->lpLogFont->lfHeight * 72.0) / 96.0;
    cf->iPointSize = static_cast<INT>(std::lround(points * 10));
    cf->nFontType = SCREEN_FONTTYPE;
    return TRUE;
}
