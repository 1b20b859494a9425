// vbmp3: MP3 decoding and playback behind one small interface.
//
// The library decodes with libmpg123 and plays through SDL2 audio (a silent
// output of its own when no sound device can be opened, so playback still
// runs in real time, and each play tries the device again). The sound device is open only while
// something plays: paused or stopped, no thread of the library wakes, and each play finds the sound
// server or device as it is then. All functions are called from one thread,
// the program's user-interface thread; events reach the handler on the thread
// that calls vbmp3_pump(). Paths and tag text are UTF-8.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// Event types given to the handler.
#define VBMP3_EVENT_POSITION 2 // value: position heard, in whole seconds
#define VBMP3_EVENT_END 4      // the open track played to its end

// States reported by vbmp3_getState.
#define VBMP3_STATE_NOTHING_OPEN 0
#define VBMP3_STATE_PLAYING 1
#define VBMP3_STATE_PAUSED 2

// Handler of the library's events; its result is not used.
typedef int (*VBMP3_HANDLER)(int type, int value);

// Tag record filled by vbmp3_getFileInfo: NUL-terminated UTF-8 strings, each
// cut to its field at a character boundary.
typedef struct {
    char title[128];   // offset 0
    char artist[128];  // offset 128
    char album[128];   // offset 256
    char year[8];      // offset 384
    char comment[128]; // offset 392
    char genre[128];   // offset 520
    int track;         // offset 648
} VBMP3_TAG_INFO;      // 652 bytes

// Stream information filled by vbmp3_getFileInfo.
typedef struct {
    int version;      // MPEG version: 1, 2, or 3 for 2.5
    int layer;        // 1, 2 or 3
    int bitrate;      // kbit/s of the first frame, or the average for VBR
    int frequency;    // sample rate in Hz
    int channels;     // 1 or 2
    int mode;         // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    int vbr;          // 0 constant bit rate, 1 variable, 2 average
    int frames;       // number of frames, when known
    int samples;      // samples per channel, when known
    int has_id3v1;    // non-zero when an ID3v1 tag was found
    int has_id3v2;    // non-zero when an ID3v2 tag was found
    int header_bytes; // bytes before the first frame
    int file_size;    // bytes, capped at 2^31 - 1
    int length;       // offset 52: duration in whole seconds
} VBMP3_INFO;         // 56 bytes

// Decode options; the library takes them as hints.
typedef struct {
    int reduction; // 0: full rate (not used)
    int convert;   // 0: stereo output (not used: output is always stereo)
    int frequency; // output rate in Hz, 8000 to 192000; default 44100
} VBMP3_DECODE_OPTION;

// Size of the scratch record handed to vbmp3_open; the library does not use it.
#define VBMP3_OPEN_RECORD_SIZE 272

// Prepares the library. 1 when ready (also when already ready); 0 only when it
// cannot work at all.
int vbmp3_init(void);
// Ends any playback and releases everything. No event is delivered after or
// during it. 1 when it released the library, 0 when it was not initialised.
int vbmp3_free(void);
// Registers the event handler (null: events are dropped). Always 1.
int vbmp3_callback(VBMP3_HANDLER handler);
// Sets the output rate, to which every file is resampled and at which the
// equalizer works. Taken only while no track is open. 1 when the rate is in
// force afterwards; 0 for a rate out of range or a change while a track is open.
int vbmp3_setDecodeOption(const VBMP3_DECODE_OPTION* option);
// Opens a file, replacing any open track without an end event for it; the
// new track waits at its start (state 2). A path that cannot be read leaves
// nothing open (state 0); a readable file with no audio opens and ends as soon
// as it plays. After a natural end the open track's samples follow the last
// one's with no gap. record: 272 bytes, unused. Non-zero when a track opened.
int vbmp3_open(const char* path, void* record);
// Plays the open track from its start. 1 when a track is open, else 0 and nothing.
int vbmp3_play(void);
// Pauses the playing track. 1 when it was playing, else 0 and nothing.
int vbmp3_pause(void);
// Resumes where paused (or where sought, for a track opened and not yet played).
// 1 when it started playing, 0 when nothing is open or it already plays.
int vbmp3_restart(void);
// Stops and closes; harmless when nothing is open. The end event of the track
// it ends is delivered before it returns. 1, or 0 before vbmp3_init.
int vbmp3_close(void);
// Moves the open track to a whole second, playing or paused. 1 when a track is
// open, else 0.
int vbmp3_seek(int seconds);
// One of VBMP3_STATE_*: nothing open, playing, or paused (also a track opened
// and not yet played). unused may be null and is never written.
int vbmp3_getState(int* unused);
// Reads the tags and duration of any file without disturbing playback. 1 when
// the file was read (tags may be empty), 0 when it cannot be read; either
// record may be null, and a given one is always filled (zeros and empty
// strings for what is unknown).
int vbmp3_getFileInfo(const char* path, VBMP3_TAG_INFO* tag, VBMP3_INFO* info);
// Channel levels 0 (silent) to 100 (unchanged), applied at once, kept across
// tracks; values outside are limited to that range. Always 1.
int vbmp3_setVolume(int left, int right);
// Ten gains in tenths of a decibel for 60, 170, 310, 600 Hz, 1, 3, 6, 12, 14 and
// 16 kHz; all zero is flat and leaves the samples untouched. Each gain is
// limited to -150..150 (15 dB); boosts are given headroom (the whole signal is
// lowered by the curve's highest point), so they never clip. Applied at once,
// kept across tracks. 1, or 0 for a null array.
int vbmp3_setEqualizer(const int* bands);

// Installs a function that the library may call from any of its threads to ask
// for a vbmp3_pump() soon. Without one, events wait for the next vbmp3_pump().
// For a position event it asks only once the program has not pumped for a
// second and a half: a program that pumps on a clock of its own, as the
// player's one-second position timer does, is not woken a second time each
// second; one that does not still gets a position about every second and a half.
void vbmp3_setWakeup(void (*wakeup)(void));
// Delivers pending events to the handler on the calling thread.
void vbmp3_pump(void);

// ---- Outputs ----------------------------------------------------------------
// As SDL's driver is chosen by name (SDL_AUDIODRIVER: "pulseaudio", "dummy",
// "disk"...), the library's output is chosen by name, for the next vbmp3_init:
//   "device"  the sound device through SDL's driver (the default);
//   "silent"  no device: the samples are taken in real time and heard by no
//             one, as when no device can be opened;
//   "fast"    no device: the samples are taken as fast as they are decoded, to
//             check or measure files without waiting for them to play.
// 1 for one of these names, else 0 and nothing changes.
int vbmp3_setOutput(const char* name);
// What takes the samples now: "device", "silent" (chosen, or standing in for a
// device that could not be opened or was lost), "fast", or "" once nothing
// plays (no device open, no output thread). An output that is starting counts
// as the one it opens first. Owned by the library.
const char* vbmp3_getOutput(void);

// Receives every block of samples handed to the output, after the volume and
// the equalizer: count interleaved stereo frames of 32-bit floats at rate. It
// runs on the output's thread, and must return quickly (a level meter, a
// recorder, a check of what plays).
typedef void (*VBMP3_CAPTURE)(const float* frames, int count, int rate, void* user);
// Installs a capture (null removes it); user is handed back to it.
void vbmp3_setCapture(VBMP3_CAPTURE capture, void* user);

#ifdef __cplusplus
}
#endif
