// Decoding of one file into stereo float frames at the output rate.
#pragma once

#include <cstddef>
#include <vector>

struct TrackDecoder;

// Opens path (Windows-1252) for decoding to out_rate. Null when the file cannot
// be opened for reading (missing, a directory, no permission). A readable file
// with no MPEG audio in it opens; track_decode then reports its end at once.
TrackDecoder* track_open(const char* path, int out_rate);
void track_close(TrackDecoder* track);

// Appends the next piece of audio to frames (interleaved stereo). False at the
// end of the stream, or where the stream turns undecodable; frames may still
// have been appended in that call.
bool track_decode(TrackDecoder* track, std::vector<float>& frames);

// Moves to a whole second from the start; beyond the end, to the end.
void track_seek(TrackDecoder* track, int seconds);
