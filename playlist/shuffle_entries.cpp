// Shuffling by filling empty slots: the last unplaced entry goes into the r-th
// slot still empty. The empty slots are bits of 64-slot words, and a binary
// tree over the words, laid out level by level, holds in each node the empty
// slots of its left half: one walk from the root finds the word holding the
// r-th empty slot and takes that slot off the counts on its way down. The walk
// makes no guess a processor can get wrong, each step choosing its side by
// arithmetic, and the tree stays small enough to sit in the processor's caches
// at a million slots; the result is the same as counting the empty slots one
// by one.
#include "playlist/playlist.h"

#include <array>
#include <cstdint>
#include <cstdlib>

static const std::uint64_t every_byte = 0x0101010101010101;

// select_in_byte[i][b]: the position of the set bit of b that has i set bits
// below it.
static constexpr std::array<std::array<unsigned char, 256>, 8> select_table() {
    std::array<std::array<unsigned char, 256>, 8> table = {};
    for (int b = 0; b < 256; b++) {
        int seen = 0;
        for (int bit = 0; bit < 8; bit++) {
            if ((b >> bit) & 1)
                table[seen++][b] = (unsigned char)bit;
        }
    }
    return table;
}
static constexpr std::array<std::array<unsigned char, 256>, 8> select_in_byte = select_table();

// The position of the set bit of word that has index set bits below it: the
// set bits of every byte are counted at once, the byte is the number of bytes
// whose running count does not pass index, and a table gives the bit in it.
static int nth_set_bit(std::uint64_t word, int index) {
    std::uint64_t counts = word - ((word >> 1) & 0x5555555555555555);
    counts = (counts & 0x3333333333333333) + ((counts >> 2) & 0x3333333333333333);
    counts = (counts + (counts >> 4)) & 0x0F0F0F0F0F0F0F0F;
    std::uint64_t running = counts * every_byte; // byte j: set bits in bytes 0..j
    // High bit of byte j set when running byte j <= index (both below 128).
    std::uint64_t passed = (((std::uint64_t)index * every_byte) | (every_byte << 7)) - running;
    passed &= every_byte << 7;
    int byte = (int)(((passed >> 7) * every_byte) >> 56);
    int below = (int)(((running << 8) >> (8 * byte)) & 0xFF);
    int in_byte = (int)((word >> (8 * byte)) & 0xFF);
    return 8 * byte + select_in_byte[(size_t)(index - below)][(size_t)in_byte];
}

void shuffle_entries(PlaylistEntry** entries, int k) {
    int words = (k + 63) / 64;
    int leaves = 1; // words rounded up to a power of two; the extra ones hold no slot
    while (leaves < words)
        leaves *= 2;
    PlaylistEntry** slots = (PlaylistEntry**)calloc((size_t)k, sizeof(PlaylistEntry*));
    // The slot of entries[i], found by the draws and filled after them: rand
    // takes a lock, which waits for the stores before it, and a store to a
    // random slot of a million waits on memory.
    int* slot_of = (int*)malloc(sizeof(int) * (size_t)k);
    // Bit b of empty_bits[w]: slot 64 w + b is empty.
    std::uint64_t* empty_bits = (std::uint64_t*)malloc(sizeof(std::uint64_t) * (size_t)words);
    // Node n (from 1) has children 2n and 2n + 1; leaf node leaves + w is word
    // w. Built as the empty slots under each node, then turned into those of
    // its left child alone.
    int* left_empty = (int*)malloc(sizeof(int) * 2 * (size_t)leaves);
    if (slots == nullptr || slot_of == nullptr || empty_bits == nullptr || left_empty == nullptr) {
        free(slots);
        free(slot_of);
        free(empty_bits);
        free(left_empty);
        return;
    }
    for (int w = 0; w < leaves; w++) {
        int in_word = w < words - 1 ? 64 : w == words - 1 ? k - 64 * w : 0;
        if (w < words)
            empty_bits[w] = in_word == 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << in_word) - 1;
        left_empty[leaves + w] = in_word;
    }
    for (int n = leaves - 1; n >= 1; n--)
        left_empty[n] = left_empty[2 * n] + left_empty[2 * n + 1];
    // In rising order a node's children still hold their whole counts.
    for (int n = 1; n < leaves; n++)
        left_empty[n] = left_empty[2 * n];

    for (int i = k; i >= 1; i--) {
        // A 15-bit draw, whatever the range of rand().
        std::int64_t v = rand() & 0x7FFF;
        int remaining = (int)(v * i / 32768);
        int node = 1;
        while (node < leaves) {
            int left = left_empty[node];
            int right = remaining >= left;
            remaining -= right ? left : 0;
            left_empty[node] -= 1 - right;
            node = 2 * node + right;
        }
        int word = node - leaves;
        int bit = nth_set_bit(empty_bits[word], remaining);
        slot_of[i - 1] = 64 * word + bit;
        empty_bits[word] &= ~(std::uint64_t(1) << bit);
    }
    for (int i = 0; i < k; i++)
        slots[slot_of[i]] = entries[i];
    for (int i = 0; i < k; i++)
        entries[i] = slots[i];
    free(slots);
    free(slot_of);
    free(empty_bits);
    free(left_empty);
}
