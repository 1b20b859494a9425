// Decoding of one file into stereo float frames at the output rate.
#pragma once

#include <cstddef>
#include <vector>

struct TrackDecoder;

// Opens path (UTF-8) for decoding to out_rate. Null when the file cannot
// be opened for reading (missing, a directory, no permission). A readable file
// with no MPEG audio in it opens; track_decode then reports its end at once.
TrackDecoder* track_open(const char* path, int out_rate);
void track_close(TrackDecoder* track);

// The next piece of audio, interleaved stereo: *frames points to *count frames
// that stay valid until the next call on this track, its seek or its close.
// They are the decoder's own, not copied: damaged frames may hold samples
// beyond full scale. False at the end of the stream, or where the stream
// turns undecodable; a last piece may come with it (*count 0: none).
bool track_decode(TrackDecoder* track, const float** frames, size_t* count);

// Moves to a whole second from the start; beyond the end, to the end.
void track_seek(TrackDecoder* track, int seconds);
