// What the desktop's player controls show of the player, and the buttons they
// press (platform/media_controls.h).
#include "app/app.h"

#include "common/resource.h"
#include "playback/player.h"
#include "playlist/playlist.h"
#include "vbmp3/vbmp3.h"

// Read by the platform layer on the main dialog's thread, whenever the
// desktop asks or the loop is about to wait.
static void read_media_state(MEDIA_STATE* state) {
    switch (decoder_state()) {
    case VBMP3_STATE_PLAYING:
        state->status = MEDIA_PLAYING;
        break;
    case VBMP3_STATE_PAUSED:
        state->status = MEDIA_PAUSED;
        break;
    default:
        state->status = MEDIA_STOPPED;
        break;
    }
    // The moves of "Suivante" and "Précédente": along the list, and round it
    // with "Répéter".
    int repeat = IsDlgButtonChecked(main_dialog, IDC_REPEAT) != 0;
    state->track = current_entry;
    state->can_next = current_entry != nullptr && (current_entry->next != nullptr || repeat);
    state->can_previous = current_entry != nullptr && (current_entry != playlist_head || repeat);
    state->length = current_entry != nullptr ? current_entry->duration : 0;
    state->position = elapsed_seconds;
}

void start_media_controls(void) {
    static const MEDIA_CONTROLS controls = {IDC_PLAY,     IDC_PAUSE, IDC_STOP,
                                            IDC_PREVIOUS, IDC_NEXT,  IDC_TITLE_LABEL};
    media_controls_start(main_dialog, &controls, read_media_state);
}
