// Gap buffer of list box lines.
#include "platform/qt/line_store.h"

#include <algorithm>
#include <utility>

void LineStore::move_gap(int index) {
    if (index < gap_start_) {
        int count = gap_start_ - index;
        std::move_backward(lines_.begin() + index, lines_.begin() + gap_start_,
                           lines_.begin() + gap_end_);
        gap_start_ -= count;
        gap_end_ -= count;
    } else if (index > gap_start_) {
        int count = index - gap_start_;
        std::move(lines_.begin() + gap_end_, lines_.begin() + gap_end_ + count,
                  lines_.begin() + gap_start_);
        gap_start_ += count;
        gap_end_ += count;
    }
}

void LineStore::insert(int index, std::string text) {
    if (gap_start_ == gap_end_) {
        // Grow: a new buffer twice the size, the gap placed at index.
        int count = size();
        int capacity = std::max(16, count * 2);
        std::vector<Line> grown(static_cast<std::size_t>(capacity));
        int tail = count - index;
        for (int i = 0; i < index; ++i) {
            grown[static_cast<std::size_t>(i)] = std::move(at(i));
        }
        for (int i = 0; i < tail; ++i) {
            grown[static_cast<std::size_t>(capacity - tail + i)] = std::move(at(index + i));
        }
        lines_ = std::move(grown);
        gap_start_ = index;
        gap_end_ = capacity - tail;
    } else {
        move_gap(index);
    }
    Line& line = lines_[static_cast<std::size_t>(gap_start_)];
    line.text = std::move(text);
    line.selected = false;
    ++gap_start_;
}

void LineStore::erase(int index) {
    move_gap(index + 1);
    Line& line = lines_[static_cast<std::size_t>(gap_start_ - 1)];
    if (line.selected) {
        --selected_count_;
    }
    line = Line();
    --gap_start_;
}

void LineStore::clear() {
    lines_.clear();
    gap_start_ = 0;
    gap_end_ = 0;
    selected_count_ = 0;
}

void LineStore::set_selected(int index, bool selected) {
    Line& line = at(index);
    if (line.selected != selected) {
        line.selected = selected;
        selected_count_ += selected ? 1 : -1;
    }
}

void LineStore::set_range_selected(int first, int last, bool selected) {
    for (int i = first; i <= last; ++i) {
        set_selected(i, selected);
    }
}
