// Sorting keys byte position by byte position: at each depth a selection pass
// orders a range by its byte there, then every group of equal bytes is sorted
// from the next byte on.
//
// The selection pass swaps position p with the earliest position holding the
// smallest byte of p..last. Those swaps decide where equal keys end up, so the
// pass is reproduced exactly, but value by value: the smallest byte left is
// known from a count of the range's bytes, and the earliest position holding
// it lies past the one found for the step before, so one forward scan per byte
// value does all the steps that place that value.
//
// Depths at which every key of a range has the same byte pass over the range
// without a swap and leave it one group: they are skipped at once, as far as
// the range's keys share their bytes.
#include "playlist/playlist.h"

#include <cstdlib>
#include <cstring>

// Ranges this short are scanned directly: cheaper than counting their bytes.
static const int short_range = 16;

static void swap_positions(char** keys, PlaylistEntry** entries, signed char* bytes, int a, int b) {
    char* key = keys[a];
    keys[a] = keys[b];
    keys[b] = key;
    PlaylistEntry* entry = entries[a];
    entries[a] = entries[b];
    entries[b] = entry;
    signed char byte = bytes[a];
    bytes[a] = bytes[b];
    bytes[b] = byte;
}

static void short_selection_pass(char** keys, int first, int last, PlaylistEntry** entries,
                                 signed char* bytes) {
    for (int p = first; p < last; p++) {
        int smallest = p;
        for (int q = p + 1; q <= last; q++) {
            if (bytes[q] < bytes[smallest])
                smallest = q;
        }
        swap_positions(keys, entries, bytes, p, smallest);
    }
}

static void counted_selection_pass(char** keys, int first, int last, PlaylistEntry** entries,
                                   signed char* bytes, int smallest, int largest) {
    int counts[256] = {};
    for (int x = first; x <= last; x++)
        counts[(unsigned char)bytes[x]]++;
    int p = first;
    for (int value = smallest; value <= largest; value++) {
        int count = counts[(unsigned char)value];
        // Positions from p up to the last one found hold no byte of this value.
        int q = p;
        for (int step = 0; step < count; step++) {
            const void* found = memchr(bytes + q, (unsigned char)value, (size_t)(last - q + 1));
            q = (int)((const signed char*)found - bytes);
            swap_positions(keys, entries, bytes, p, q);
            p++;
            q++;
        }
    }
}

// bytes holds the byte at the current depth of every key, by position: a
// range's bytes are read once, then move with its keys. A group sorted
// further overwrites only its own positions, which its parent has passed.
static void sort_range(char** keys, int first, int last, int depth, PlaylistEntry** entries,
                       signed char* bytes) {
    int smallest, largest, ordered;
    for (;;) {
        smallest = largest = bytes[first] = (signed char)keys[first][depth];
        ordered = 1;
        for (int x = first + 1; x <= last; x++) {
            signed char byte = (signed char)keys[x][depth];
            bytes[x] = byte;
            if (byte < bytes[x - 1])
                ordered = 0;
            if (byte < smallest)
                smallest = byte;
            if (byte > largest)
                largest = byte;
        }
        if (smallest != largest)
            break;
        // One byte for the whole range: ended keys are all equal; otherwise
        // the depths their bytes agree on change nothing.
        if (smallest == 0)
            return;
        const char* model = keys[first] + depth;
        size_t shared = strlen(model);
        for (int x = first + 1; x <= last && shared > 1; x++) {
            const char* key = keys[x] + depth;
            size_t same = 1;
            while (same < shared && key[same] == model[same])
                same++;
            shared = same;
        }
        depth += (int)shared;
    }

    // In an ordered range every p is already the earliest smallest of p..last.
    if (!ordered) {
        if (last - first + 1 <= short_range)
            short_selection_pass(keys, first, last, entries, bytes);
        else
            counted_selection_pass(keys, first, last, entries, bytes, smallest, largest);
    }

    // Groups of equal bytes are sorted from the next byte on; a group of ended
    // keys holds equal keys and a group of one needs nothing.
    int g = first;
    signed char group = bytes[first];
    for (int a = first; a <= last; a++) {
        if (bytes[a] != group) {
            if (group != 0 && a - 1 - g >= 1)
                sort_range(keys, g, a - 1, depth + 1, entries, bytes);
            g = a;
            group = bytes[a];
        }
        if (a == last && g != a && group != 0)
            sort_range(keys, g, last, depth + 1, entries, bytes);
    }
}

void sort_by_key(char** keys, int first, int last, int depth, PlaylistEntry** entries) {
    if (last <= first)
        return;
    signed char* bytes = (signed char*)malloc((size_t)last + 1);
    // Without work space the keys stay as they are: the command then rewrites
    // the lines unchanged.
    if (bytes != nullptr)
        sort_range(keys, first, last, depth, entries, bytes);
    free(bytes);
}
