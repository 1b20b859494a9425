// The writing, commit and abandon of a replacement, and the temporary files'
// names, for both platforms' whole-file code.
#include "platform/files/replacement.h"

#include "platform/files/whole_file.h"

#include <algorithm>

// Longer names are cut in the temporary name so that it stays a legal name.
static const size_t max_base_in_temp_name = 200;

std::string directory_of(const std::string& path, const char* separators) {
    size_t slash = path.find_last_of(separators);
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return path.substr(0, 1);
    return path.substr(0, slash);
}

std::string base_of(const std::string& path, const char* separators) {
    size_t slash = path.find_last_of(separators);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string path_in(const std::string& directory, const std::string& name, char separator) {
    if (!directory.empty() && directory.back() == separator)
        return directory + name;
    return directory + separator + name;
}

std::string temp_prefix(const std::string& base) {
    std::string prefix = ".";
    prefix.append(base, 0, max_base_in_temp_name);
    return prefix + ".tmp-";
}

std::string temp_suffix(uint64_t random) {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix;
    for (int i = 0; i < temp_letters; i++) {
        suffix += letters[random % (sizeof letters - 1)];
        random /= sizeof letters - 1;
    }
    return suffix;
}

bool is_temp_name(const std::string& name, const std::string& prefix) {
    return name.size() == prefix.size() + temp_letters &&
           name.compare(0, prefix.size(), prefix) == 0;
}

// Bytes are written to the temporary file in blocks of this size: a file
// written a line at a time would otherwise cost a system call a line.
static const size_t write_block = 1 << 16;

// Writes bytes at the temporary file's end at once.
static bool append_now(AtomicFile* file, const char* data, size_t size) {
    if (native_write_at(file->file, file->size, data, size))
        file->size += size;
    else
        file->failed = true;
    return !file->failed;
}

static bool write_pending(AtomicFile* file) {
    if (file->failed || file->pending.empty())
        return !file->failed;
    append_now(file, file->pending.data(), file->pending.size());
    file->pending.clear();
    return !file->failed;
}

bool atomic_write(AtomicFile* file, const char* data, size_t size) {
    if (file->failed)
        return false;
    if (file->temp_path.empty()) {
        file->in_place.append(data, size);
        return true;
    }
    if (file->pending.size() + size >= write_block && !write_pending(file))
        return false;
    if (size < write_block) {
        file->pending.append(data, size);
        return true;
    }
    // A large piece goes out as it is, not copied first.
    return append_now(file, data, size);
}

uint64_t atomic_size(const AtomicFile* file) {
    return file->temp_path.empty() ? file->in_place.size() : file->size + file->pending.size();
}

bool atomic_read_at(AtomicFile* file, uint64_t offset, char* data, size_t size) {
    // Bytes never written cannot be read back: the content would be wrong.
    if (offset > atomic_size(file) || size > atomic_size(file) - offset)
        file->failed = true;
    if (file->failed)
        return false;
    if (file->temp_path.empty()) {
        file->in_place.copy(data, size, static_cast<size_t>(offset));
        return true;
    }
    if (!write_pending(file) || !native_read_at(file->file, offset, data, size))
        file->failed = true;
    return !file->failed;
}

bool atomic_write_at(AtomicFile* file, uint64_t offset, const char* data, size_t size) {
    if (file->failed)
        return false;
    if (file->temp_path.empty()) {
        size_t at = static_cast<size_t>(offset);
        if (file->in_place.size() < at + size)
            file->in_place.resize(at + size);
        file->in_place.replace(at, size, data, size);
        return true;
    }
    if (!write_pending(file) || !native_write_at(file->file, offset, data, size))
        file->failed = true;
    else
        file->size = std::max(file->size, offset + size);
    return !file->failed;
}

bool atomic_commit(AtomicFile* file) {
    // In place, the plain write is done only now that the whole content is known.
    bool ok = file->temp_path.empty() ? native_rewrite(file->file, file->in_place)
                                      : native_publish(*file, write_pending(file));
    delete file;
    return ok;
}

void atomic_abandon(AtomicFile* file) {
    native_close(file->file);
    if (!file->temp_path.empty())
        native_remove(file->temp_path);
    delete file;
}
