// Shuffling by filling empty slots: the last unplaced entry goes into the r-th
// slot still empty. The empty slots are bits of 64-slot words, and a counting
// tree over the words finds the word holding the r-th empty slot; both stay
// small enough to sit in the processor's caches at a million slots, and the
// result is the same as counting the empty slots one by one.
#include "playlist/playlist.h"

#include <bit>
#include <cstdint>
#include <cstdlib>

// The position of the set bit of word that has index set bits below it.
static int nth_set_bit(std::uint64_t word, int index) {
    int base = 0;
    for (;;) {
        int in_byte = std::popcount((unsigned)(word & 0xFF));
        if (index < in_byte)
            break;
        index -= in_byte;
        word >>= 8;
        base += 8;
    }
    for (int bit = 0;; bit++) {
        if ((word >> bit) & 1) {
            if (index == 0)
                return base + bit;
            index--;
        }
    }
}

void shuffle_entries(PlaylistEntry** entries, int k) {
    int words = (k + 63) / 64;
    PlaylistEntry** slots = (PlaylistEntry**)calloc((size_t)k, sizeof(PlaylistEntry*));
    // The slot of entries[i], found by the draws and filled after them: rand
    // takes a lock, which waits for the stores before it, and a store to a
    // random slot of a million waits on memory.
    int* slot_of = (int*)malloc(sizeof(int) * (size_t)k);
    // Bit b of empty_bits[w]: slot 64 w + b is empty.
    std::uint64_t* empty_bits = (std::uint64_t*)malloc(sizeof(std::uint64_t) * (size_t)words);
    // empty[w] (from 1): empty slots in the (w & -w) words ending at word w - 1.
    int* empty = (int*)malloc(sizeof(int) * ((size_t)words + 1));
    if (slots == nullptr || slot_of == nullptr || empty_bits == nullptr || empty == nullptr) {
        free(slots);
        free(slot_of);
        free(empty_bits);
        free(empty);
        return;
    }
    for (int w = 0; w < words; w++) {
        int in_word = w < words - 1 ? 64 : k - 64 * w;
        empty_bits[w] = in_word == 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << in_word) - 1;
        empty[w + 1] = in_word;
    }
    for (int w = 1; w <= words; w++) {
        int parent = w + (w & -w);
        if (parent <= words)
            empty[parent] += empty[w];
    }
    int top_step = 1;
    while (top_step * 2 <= words)
        top_step *= 2;

    for (int i = k; i >= 1; i--) {
        // A 15-bit draw, whatever the range of rand().
        std::int64_t v = rand() & 0x7FFF;
        int r = (int)(v * i / 32768);
        int word = 0; // words counted from 1 while descending the tree
        int remaining = r;
        for (int step = top_step; step > 0; step /= 2) {
            if (word + step <= words && empty[word + step] <= remaining) {
                word += step;
                remaining -= empty[word];
            }
        }
        int bit = nth_set_bit(empty_bits[word], remaining);
        slot_of[i - 1] = 64 * word + bit;
        empty_bits[word] &= ~(std::uint64_t(1) << bit);
        for (int w = word + 1; w <= words; w += w & -w)
            empty[w]--;
    }
    for (int i = 0; i < k; i++)
        slots[slot_of[i]] = entries[i];
    for (int i = 0; i < k; i++)
        entries[i] = slots[i];
    free(slots);
    free(slot_of);
    free(empty_bits);
    free(empty);
}
