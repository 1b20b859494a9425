// The yardstick of the decode benchmarks on both systems: libmpg123 alone
// decoding a whole file, gapless, as the library asks it to.
#pragma once

#include <mpg123.h>

#include <cstddef>
#include <string>
#include <vector>

// One pass over the file; the bytes decoded. decoder, when given, receives
// the name of the decoder libmpg123 chose for this processor.
inline size_t mpg123_decode_all(const std::string& path, std::string* decoder = nullptr) {
    std::vector<unsigned char> buffer(64 * 1024);
    mpg123_handle* handle = mpg123_new(nullptr, nullptr);
    mpg123_param(handle, MPG123_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0);
    mpg123_open(handle, path.c_str());
    size_t done = 0;
    size_t total = 0;
    while (mpg123_read(handle, buffer.data(), buffer.size(), &done) != MPG123_DONE) {
        total += done;
    }
    if (decoder != nullptr) {
        *decoder = mpg123_current_decoder(handle);
    }
    mpg123_close(handle);
    mpg123_delete(handle);
    return total;
}
