#include "text/TextSearch.h"

#include <algorithm>
#include <cstring>

namespace kv::text {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

}  // namespace

bool IsSjisLead(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

std::size_t NextSjisCharacter(std::string_view text, std::size_t at, std::size_t end) {
    const std::size_t step = IsSjisLead(static_cast<unsigned char>(text[at])) ? 2 : 1;
    return std::min(at + step, end);
}

bool IsSjisCharacterStart(std::string_view text, const LineIndex& index, std::size_t at) {
    const std::size_t line = index.LineOf(at);
    const std::size_t end = index.LineEnd(line, text);
    if (at >= end) {
        return true;  // the line end's own bytes
    }
    std::size_t p = index.LineStart(line);
    while (p < at) {
        p = NextSjisCharacter(text, p, end);
    }
    return p == at;
}

void TextSearch::Start(std::string_view text, const LineIndex& index, std::string needle,
                       std::size_t from, bool backward) {
    text_ = text;
    index_ = &index;
    needle_ = std::move(needle);
    backward_ = backward;
    from_ = std::min(from, text.size());
    round_ = 0;
    if (backward_) {
        begin_ = 0;
        position_ = from_;
    } else {
        position_ = from_;
        end_ = text_.size();
    }
}

void TextSearch::NextRound() {
    ++round_;
    if (backward_) {
        begin_ = from_;
        position_ = text_.size();
    } else {
        position_ = 0;
        end_ = from_;
    }
}

TextSearch::Result TextSearch::Step(std::size_t budget) {
    if (needle_.empty() || needle_.size() > text_.size()) {
        return Result::NotFound;
    }
    budget = std::max<std::size_t>(budget, 1);
    if (backward_) {
        while (position_ == begin_) {
            if (round_ == 1) {
                return Result::NotFound;
            }
            NextRound();
        }
        const std::size_t from = position_ - std::min(budget, position_ - begin_);
        const std::size_t found = LastIn(from, position_);
        position_ = from;
        if (found != kNone) {
            match_ = found;
            return Result::Found;
        }
        return Result::Running;
    }
    while (position_ == end_) {
        if (round_ == 1) {
            return Result::NotFound;
        }
        NextRound();
    }
    const std::size_t to = position_ + std::min(budget, end_ - position_);
    const std::size_t found = FirstIn(position_, to);
    position_ = to;
    if (found != kNone) {
        match_ = found;
        return Result::Found;
    }
    return Result::Running;
}

// The first match at a character start that starts in [from, to).
std::size_t TextSearch::FirstIn(std::size_t from, std::size_t to) const {
    const std::size_t limit = std::min(text_.size(), to + needle_.size() - 1);
    while (from < to) {
        const void* hit = memmem(text_.data() + from, limit - from, needle_.data(), needle_.size());
        if (hit == nullptr) {
            return kNone;
        }
        const auto at = static_cast<std::size_t>(static_cast<const char*>(hit) - text_.data());
        if (at >= to) {
            return kNone;
        }
        if (IsSjisCharacterStart(text_, *index_, at)) {
            return at;
        }
        from = at + 1;
    }
    return kNone;
}

// The last match at a character start that starts in [from, to).
std::size_t TextSearch::LastIn(std::size_t from, std::size_t to) const {
    std::size_t last = kNone;
    for (std::size_t at = FirstIn(from, to); at != kNone; at = FirstIn(at + 1, to)) {
        last = at;
    }
    return last;
}

}  // namespace kv::text
