// Sorting keys byte position by byte position: at each depth a selection pass
// orders a range by its byte there, then every group of equal bytes is sorted
// from the next byte on.
//
// The selection pass swaps position p with the earliest position holding the
// smallest byte of p..last. Those swaps decide where equal keys end up, so the
// pass is reproduced exactly; a tournament tree over the range answers "the
// earliest smallest byte" in logarithmic time instead of rescanning the range.
#include "playlist/playlist.h"

#include <cstdlib>

// Ranges this short are scanned directly: cheaper than building a tree.
static const int short_range = 16;

// Work space for one sort, sized for its whole range and reused at every depth
// (a range is passed over before any of its groups is sorted).
struct SortScratch {
    signed char* bytes; // the byte at the current depth of each key of the range
    int* tree;          // tournament tree over bytes: node = winning position, -1 none
};

static void swap_positions(char** keys, PlaylistEntry** entries, int a, int b) {
    char* key = keys[a];
    keys[a] = keys[b];
    keys[b] = key;
    PlaylistEntry* entry = entries[a];
    entries[a] = entries[b];
    entries[b] = entry;
}

// The earlier of two positions among those with the smaller byte; -1 stands
// for a position already placed (or past the range).
static int earliest_smallest(const signed char* bytes, int a, int b) {
    if (a < 0)
        return b;
    if (b < 0)
        return a;
    if (bytes[b] < bytes[a])
        return b;
    if (bytes[a] < bytes[b])
        return a;
    return a < b ? a : b;
}

static void update_tree(int* tree, const signed char* bytes, int leaves, int position) {
    for (int node = (leaves + position) / 2; node >= 1; node /= 2)
        tree[node] = earliest_smallest(bytes, tree[2 * node], tree[2 * node + 1]);
}

static void selection_pass(char** keys, int first, int last, int depth, PlaylistEntry** entries,
                           SortScratch* scratch) {
    int size = last - first + 1;
    signed char* bytes = scratch->bytes;
    int ordered = 1;
    for (int x = 0; x < size; x++) {
        bytes[x] = (signed char)keys[first + x][depth];
        if (x > 0 && bytes[x] < bytes[x - 1])
            ordered = 0;
    }
    // In an ordered range every p is already the earliest smallest of p..last.
    if (ordered)
        return;

    if (size <= short_range) {
        for (int p = 0; p < size - 1; p++) {
            int smallest = p;
            for (int q = p + 1; q < size; q++) {
                if (bytes[q] < bytes[smallest])
                    smallest = q;
            }
            swap_positions(keys, entries, first + p, first + smallest);
            signed char byte = bytes[p];
            bytes[p] = bytes[smallest];
            bytes[smallest] = byte;
        }
        return;
    }

    int* tree = scratch->tree;
    int leaves = 1;
    while (leaves < size)
        leaves *= 2;
    for (int x = 0; x < leaves; x++)
        tree[leaves + x] = x < size ? x : -1;
    for (int node = leaves - 1; node >= 1; node--)
        tree[node] = earliest_smallest(bytes, tree[2 * node], tree[2 * node + 1]);
    for (int p = 0; p < size - 1; p++) {
        int smallest = tree[1];
        swap_positions(keys, entries, first + p, first + smallest);
        signed char byte = bytes[p];
        bytes[p] = bytes[smallest];
        bytes[smallest] = byte;
        tree[leaves + p] = -1;
        update_tree(tree, bytes, leaves, p);
        if (smallest != p)
            update_tree(tree, bytes, leaves, smallest);
    }
}

static signed char key_byte(char* const* keys, int position, int depth) {
    return (signed char)keys[position][depth];
}

static void sort_range(char** keys, int first, int last, int depth, PlaylistEntry** entries,
                       SortScratch* scratch) {
    selection_pass(keys, first, last, depth, entries, scratch);
    // Groups of equal bytes are sorted from the next byte on; a group of ended
    // keys holds equal keys and a group of one needs nothing.
    int g = first;
    for (int a = first; a <= last; a++) {
        if (key_byte(keys, a, depth) != key_byte(keys, g, depth)) {
            if (key_byte(keys, g, depth) != 0 && a - 1 - g >= 1)
                sort_range(keys, g, a - 1, depth + 1, entries, scratch);
            g = a;
        }
        if (a == last && g != a) {
            if (key_byte(keys, g, depth) != 0)
                sort_range(keys, g, last, depth + 1, entries, scratch);
        }
    }
}

void sort_by_key(char** keys, int first, int last, int depth, PlaylistEntry** entries) {
    if (last <= first)
        return;
    size_t size = (size_t)(last - first + 1);
    SortScratch scratch;
    scratch.bytes = (signed char*)malloc(size);
    scratch.tree = (int*)malloc(sizeof(int) * 4 * size);
    // Without work space the keys stay as they are: the command then rewrites
    // the lines unchanged.
    if (scratch.bytes != nullptr && scratch.tree != nullptr)
        sort_range(keys, first, last, depth, entries, &scratch);
    free(scratch.bytes);
    free(scratch.tree);
}
