#include "vbmp3/track.h"

#include "vbmp3/open_file.h"
#include "vbmp3/samples.h"

#include <SDL.h>
#include <mpg123.h>

#include <cstdint>
#include <cstdio>

struct TrackDecoder {
    FILE* file;
    mpg123_handle* handle;
    int out_rate;
    long in_rate;                 // current stream rate, 0 before the first format
    SDL_AudioStream* resampler;   // null while in_rate is out_rate
    uint64_t resampled_in;        // frames put into the resampler since it was made or cleared
    uint64_t resampled_out;       // frames taken out of it
    std::vector<float> converted; // decoded samples on their way into the resampler
    std::vector<float> resampled; // what the resampler gave for the current piece
};

// libmpg123 reads through these, so the file is opened here, with the path as
// this platform wants it, and its errors are ours to see.
static mpg123_ssize_t read_file(void* handle, void* buffer, size_t bytes) {
    FILE* file = static_cast<FILE*>(handle);
    size_t got = fread(buffer, 1, bytes, file);
    return got == 0 && ferror(file) ? -1 : static_cast<mpg123_ssize_t>(got);
}

static off_t seek_file(void* handle, off_t offset, int whence) {
    FILE* file = static_cast<FILE*>(handle);
#ifdef _WIN32
    if (_fseeki64(file, offset, whence) != 0) {
        return -1;
    }
    return static_cast<off_t>(_ftelli64(file));
#else
    if (fseeko(file, offset, whence) != 0) {
        return -1;
    }
    return ftello(file);
#endif
}

TrackDecoder* track_open(const char* path, int out_rate) {
    FILE* file = open_regular_file(path);
    if (!file) {
        return nullptr;
    }
    mpg123_handle* handle = mpg123_new(nullptr, nullptr);
    if (!handle) {
        fclose(file);
        return nullptr;
    }
    // Gapless: encoder delay and padding are cut, so consecutive tracks join.
    // Mono comes out as two equal channels; every rate is accepted as it is
    // and resampled afterwards.
    mpg123_param(handle, MPG123_FLAGS,
                 MPG123_GAPLESS | MPG123_FORCE_STEREO | MPG123_FORCE_FLOAT | MPG123_QUIET, 0);
    // Look further than the default for the next frame after damage.
    mpg123_param(handle, MPG123_RESYNC_LIMIT, 256 * 1024, 0);
    mpg123_format_none(handle);
    const long* rates;
    size_t rate_count;
    mpg123_rates(&rates, &rate_count);
    for (size_t i = 0; i < rate_count; i++) {
        mpg123_format(handle, rates[i], MPG123_STEREO, MPG123_ENC_FLOAT_32);
    }
    mpg123_replace_reader_handle(handle, read_file, seek_file, nullptr);
    if (mpg123_open_handle(handle, file) != MPG123_OK) {
        mpg123_delete(handle);
        fclose(file);
        return nullptr;
    }
    return new TrackDecoder{file, handle, out_rate, 0, nullptr, 0, 0, {}, {}};
}

void track_close(TrackDecoder* track) {
    if (!track) {
        return;
    }
    mpg123_close(track->handle);
    mpg123_delete(track->handle);
    fclose(track->file);
    if (track->resampler) {
        SDL_FreeAudioStream(track->resampler);
    }
    delete track;
}

// Moves what the resampler has ready to the end of frames.
static void drain_resampler(TrackDecoder* track, std::vector<float>& frames) {
    int available = SDL_AudioStreamAvailable(track->resampler);
    if (available <= 0) {
        return;
    }
    size_t before = frames.size();
    frames.resize(before + static_cast<size_t>(available) / sizeof(float));
    int got = SDL_AudioStreamGet(track->resampler, frames.data() + before, available);
    size_t floats = static_cast<size_t>(got > 0 ? got : 0) / sizeof(float);
    frames.resize(before + floats);
    track->resampled_out += floats / 2;
}

// Ends the resampler's stream: what lies past the input's length at the new
// rate is silence and is cut, so a resampled track adds no gap before the next.
static void finish_resampler(TrackDecoder* track, std::vector<float>& frames) {
    size_t before = frames.size();
    uint64_t out_before = track->resampled_out;
    // The resampler holds back the end of its input; silence pushes it out.
    static const float silence[2 * 1024] = {};
    SDL_AudioStreamPut(track->resampler, silence, sizeof silence);
    SDL_AudioStreamFlush(track->resampler);
    drain_resampler(track, frames);
    uint64_t expected = track->resampled_in * static_cast<uint64_t>(track->out_rate) /
                        static_cast<uint64_t>(track->in_rate);
    uint64_t allowed = expected > out_before ? expected - out_before : 0;
    if ((frames.size() - before) / 2 > allowed) {
        frames.resize(before + static_cast<size_t>(2 * allowed));
    }
}

static void clear_resampler(TrackDecoder* track) {
    SDL_AudioStreamClear(track->resampler);
    track->resampled_in = 0;
    track->resampled_out = 0;
}

// A new stream rate: the samples of the old rate are finished first, then a
// resampler for the new one is made when it differs from the output's.
static void change_rate(TrackDecoder* track, std::vector<float>& frames) {
    long rate;
    int channels;
    int encoding;
    if (mpg123_getformat(track->handle, &rate, &channels, &encoding) != MPG123_OK ||
        rate == track->in_rate) {
        return;
    }
    if (track->resampler) {
        finish_resampler(track, frames);
        SDL_FreeAudioStream(track->resampler);
        track->resampler = nullptr;
    }
    track->in_rate = rate;
    track->resampled_in = 0;
    track->resampled_out = 0;
    if (rate != track->out_rate) {
        track->resampler = SDL_NewAudioStream(AUDIO_F32SYS, 2, static_cast<int>(rate), AUDIO_F32SYS,
                                              2, track->out_rate);
    }
}

bool track_decode(TrackDecoder* track, const float** frames, size_t* count) {
    std::vector<float>& resampled = track->resampled;
    resampled.clear();
    *frames = nullptr;
    *count = 0;
    // A stream that keeps giving nothing is treated as ended, so damage never hangs.
    for (int empty = 0; empty < 64;) {
        off_t number;
        unsigned char* audio = nullptr;
        size_t bytes = 0;
        int result = mpg123_decode_frame(track->handle, &number, &audio, &bytes);
        if (result == MPG123_NEW_FORMAT) {
            change_rate(track, resampled); // the old rate's last samples
            if (!resampled.empty()) {
                *frames = resampled.data();
                *count = resampled.size() / 2;
                return true;
            }
            continue;
        }
        size_t floats = audio ? bytes / sizeof(float) : 0;
        const float* decoded = reinterpret_cast<const float*>(audio);
        if (floats > 0 && track->resampler) {
            // Damaged frames can decode to huge or non-finite values, which
            // the resampler's filter would spread: limited first.
            track->converted.resize(floats);
            samples_limit(track->converted.data(), decoded, floats);
            SDL_AudioStreamPut(track->resampler, track->converted.data(),
                               static_cast<int>(floats * sizeof(float)));
            track->resampled_in += floats / 2;
            drain_resampler(track, resampled);
        }
        if (track->resampler) {
            *frames = resampled.data();
            *count = resampled.size() / 2;
        } else {
            // The decoder's own buffer: no copy here.
            *frames = decoded;
            *count = floats / 2;
        }
        if (result != MPG123_OK) {
            if (track->resampler) {
                finish_resampler(track, resampled);
                *frames = resampled.data();
                *count = resampled.size() / 2;
            }
            return false; // MPG123_DONE, or damage it cannot get past
        }
        if (*count > 0) {
            return true;
        }
        empty = floats > 0 ? 0 : empty + 1;
    }
    return false;
}

void track_seek(TrackDecoder* track, int seconds) {
    if (track->in_rate == 0) {
        // Before the first read: asking for the format settles it, so reading
        // will not report it again.
        std::vector<float> nothing;
        change_rate(track, nothing);
        if (track->in_rate == 0) {
            return;
        }
    }
    off_t target = static_cast<off_t>(seconds < 0 ? 0 : seconds) * track->in_rate;
    off_t length = mpg123_length(track->handle);
    if (length >= 0 && target > length) {
        target = length;
    }
    mpg123_seek(track->handle, target, SEEK_SET);
    if (track->resampler) {
        clear_resampler(track);
    }
}
