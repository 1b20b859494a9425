// Shuffling by filling empty slots: the last unplaced entry goes into the r-th
// slot still empty. A counting tree over the slots finds the r-th empty one in
// logarithmic time, with the same result as counting them one by one.
#include "playlist/playlist.h"

#include <cstdint>
#include <cstdlib>

void shuffle_entries(PlaylistEntry** entries, int k) {
    PlaylistEntry** slots = (PlaylistEntry**)calloc((size_t)k, sizeof(PlaylistEntry*));
    // empty[i] (from 1): empty slots among the (i & -i) slots ending at slot i - 1.
    int* empty = (int*)malloc(sizeof(int) * ((size_t)k + 1));
    if (slots == nullptr || empty == nullptr) {
        free(slots);
        free(empty);
        return;
    }
    int top_step = 1;
    for (int i = 1; i <= k; i++)
        empty[i] = i & -i;
    while (top_step * 2 <= k)
        top_step *= 2;

    for (int i = k; i >= 1; i--) {
        // A 15-bit draw, whatever the range of rand().
        std::int64_t v = rand() & 0x7FFF;
        int r = (int)(v * i / 32768);
        int slot = 0; // slots counted from 1 while descending the tree
        int remaining = r + 1;
        for (int step = top_step; step > 0; step /= 2) {
            if (slot + step <= k && empty[slot + step] < remaining) {
                slot += step;
                remaining -= empty[slot];
            }
        }
        slots[slot] = entries[i - 1];
        for (int j = slot + 1; j <= k; j += j & -j)
            empty[j]--;
    }
    for (int i = 0; i < k; i++)
        entries[i] = slots[i];
    free(slots);
    free(empty);
}
