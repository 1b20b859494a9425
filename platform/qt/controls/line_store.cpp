// Gap buffer of list box lines over one block of texts.
#include "platform/qt/controls/line_store.h"

#include <algorithm>
#include <cstring>
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

std::uint32_t LineStore::store_text(const char* text, std::size_t length) {
    if (length < reused_lengths && !free_offsets_[length].empty()) {
        std::uint32_t offset = free_offsets_[length].back();
        free_offsets_[length].pop_back();
        std::memcpy(texts_.data() + offset, text, length + 1);
        dead_bytes_ -= length + 1;
        return offset;
    }
    auto offset = static_cast<std::uint32_t>(texts_.size());
    texts_.insert(texts_.end(), text, text + length + 1);
    return offset;
}

void LineStore::forget_dead_bytes() {
    dead_bytes_ = 0;
    for (std::vector<std::uint32_t>& offsets : free_offsets_) {
        offsets = std::vector<std::uint32_t>();
    }
}

void LineStore::compact() {
    std::size_t live = texts_.size() - dead_bytes_;
    std::vector<char> texts;
    texts.reserve(live + live / 4);
    auto copy = [&](Line& line) {
        const char* text = texts_.data() + line.offset;
        line.offset = static_cast<std::uint32_t>(texts.size());
        texts.insert(texts.end(), text, text + line.length + 1);
    };
    for (int i = 0; i < gap_start_; ++i) {
        copy(lines_[static_cast<std::size_t>(i)]);
    }
    for (std::size_t i = static_cast<std::size_t>(gap_end_); i < lines_.size(); ++i) {
        copy(lines_[i]);
    }
    texts_ = std::move(texts);
    forget_dead_bytes();
}

void LineStore::insert(int index, const char* text) {
    std::size_t length = std::strlen(text);
    Line line = {store_text(text, length), static_cast<std::uint32_t>(length), 0};
    if (gap_start_ == gap_end_) {
        // Grow: a new buffer twice the size, the gap placed at index.
        int count = size();
        int capacity = std::max(16, count * 2);
        std::vector<Line> grown(static_cast<std::size_t>(capacity));
        int tail = count - index;
        std::copy(lines_.begin(), lines_.begin() + index, grown.begin());
        std::copy(lines_.end() - tail, lines_.end(), grown.end() - tail);
        lines_ = std::move(grown);
        gap_start_ = index;
        gap_end_ = capacity - tail;
    } else {
        move_gap(index);
    }
    lines_[static_cast<std::size_t>(gap_start_)] = line;
    ++gap_start_;
}

void LineStore::erase(int index) {
    move_gap(index + 1);
    const Line& line = lines_[static_cast<std::size_t>(gap_start_ - 1)];
    if (line.selected) {
        --selected_count_;
    }
    dead_bytes_ += line.length + 1;
    if (line.length < reused_lengths) {
        free_offsets_[line.length].push_back(line.offset);
    }
    --gap_start_;
    if (dead_bytes_ > (1u << 20) && dead_bytes_ > texts_.size() - dead_bytes_) {
        compact();
    }
}

void LineStore::clear() {
    lines_ = std::vector<Line>();
    gap_start_ = 0;
    gap_end_ = 0;
    selected_count_ = 0;
    texts_ = std::vector<char>();
    forget_dead_bytes();
}

void LineStore::set_selected(int index, bool selected) {
    Line& line = at(index);
    if ((line.selected != 0) != selected) {
        line.selected = selected ? 1 : 0;
        selected_count_ += selected ? 1 : -1;
    }
}

void LineStore::set_range_selected(int first, int last, bool selected) {
    for (int i = first; i <= last; ++i) {
        set_selected(i, selected);
    }
}
