// The lines of a list box and their selection marks, in a gap buffer, so
// that a walk of insertions and deletions in line order costs time in
// proportion to the walk, not to the list. Internal to the Qt platform layer.
//
// A line is eight bytes: where its text lies in one shared block of texts,
// its length and its mark. A million lines then take a few dozen megabytes
// and no allocation each, and the lines deleted and inserted again by
// sorting, shuffling and moving reuse the bytes they leave.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A line's text as stored: valid until the store next changes.
struct LineText {
    const char* text;
    std::size_t length;
    const char* c_str() const {
        return text;
    }
    std::size_t size() const {
        return length;
    }
};

class LineStore {
  public:
    int size() const {
        return static_cast<int>(lines_.size()) - (gap_end_ - gap_start_);
    }
    // Inserts an unselected line before index (0 <= index <= size()).
    void insert(int index, const char* text);
    // Removes the line at index (0 <= index < size()).
    void erase(int index);
    void clear();

    LineText text(int index) const {
        const Line& line = at(index);
        return {texts_.data() + line.offset, line.length};
    }
    bool selected(int index) const {
        return at(index).selected != 0;
    }
    void set_selected(int index, bool selected);
    // Selects or deselects lines first to last, both included.
    void set_range_selected(int first, int last, bool selected);
    int selected_count() const {
        return selected_count_;
    }

  private:
    struct Line {
        std::uint32_t offset;      // of the text and its terminator in texts_
        std::uint32_t length : 31; // of the text, without the terminator
        std::uint32_t selected : 1;
    };
    const Line& at(int index) const {
        return lines_[static_cast<std::size_t>(index < gap_start_ ? index
                                                                  : index + gap_end_ - gap_start_)];
    }
    Line& at(int index) {
        return lines_[static_cast<std::size_t>(index < gap_start_ ? index
                                                                  : index + gap_end_ - gap_start_)];
    }
    void move_gap(int index);
    std::uint32_t store_text(const char* text, std::size_t length);
    void compact();
    void forget_dead_bytes();

    std::vector<Line> lines_; // [0, gap_start_) and [gap_end_, end) hold the lines
    int gap_start_ = 0;
    int gap_end_ = 0;
    int selected_count_ = 0;
    // Every line's text followed by its terminator. The bytes of a deleted line
    // wait, listed by length, for an insertion of the same length; once the
    // waiting bytes outweigh the live ones, the texts are copied anew in line
    // order.
    std::vector<char> texts_;
    std::size_t dead_bytes_ = 0;
    static constexpr std::size_t reused_lengths = 260;
    std::vector<std::uint32_t> free_offsets_[reused_lengths];
};
