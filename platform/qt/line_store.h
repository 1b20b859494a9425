// The lines of a list box and their selection marks, in a gap buffer, so
// that a walk of insertions and deletions in line order costs time in
// proportion to the walk, not to the list. Internal to the Qt platform layer.
#pragma once

#include <string>
#include <vector>

class LineStore {
  public:
    int size() const {
        return static_cast<int>(lines_.size()) - (gap_end_ - gap_start_);
    }
    // Inserts an unselected line before index (0 <= index <= size()).
    void insert(int index, std::string text);
    // Removes the line at index (0 <= index < size()).
    void erase(int index);
    void clear();

    const std::string& text(int index) const {
        return at(index).text;
    }
    bool selected(int index) const {
        return at(index).selected;
    }
    void set_selected(int index, bool selected);
    // Selects or deselects lines first to last, both included.
    void set_range_selected(int first, int last, bool selected);
    int selected_count() const {
        return selected_count_;
    }

  private:
    struct Line {
        std::string text;
        bool selected = false;
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

    std::vector<Line> lines_; // [0, gap_start_) and [gap_end_, end) hold the lines
    int gap_start_ = 0;
    int gap_end_ = 0;
    int selected_count_ = 0;
};
