#include "text/BlockConversion.h"

#include "text/JapaneseConversion.h"

namespace kv::text {

void BlockConverter::Convert(std::string_view whole, std::string& out) const {
    if (direction_ == Direction::EucToSjis) {
        EucToSjis(whole, out);
    } else {
        SjisToEuc(whole, out);
    }
}

// A byte that takes the next byte with it in the walk, whatever that byte is.
bool BlockConverter::IsLead(unsigned char byte) const {
    if (direction_ == Direction::EucToSjis) {
        return byte > 0x80 && byte != 0xFF;
    }
    return byte >= 0x80 && (byte <= 0xA0 || byte >= 0xE0);
}

void BlockConverter::Feed(std::string_view block, std::string& out) {
    if (block.empty()) {
        return;
    }
    if (carrying_) {
        const char pair[2] = {carried_, block.front()};
        Convert(std::string_view(pair, 2), out);
        carrying_ = false;
        block.remove_prefix(1);
    }
    // A byte that is never a lead ends a character: a single one, or the second of a pair.
    // So after the last such byte characters start afresh, and the run of leads behind it
    // pairs off from its start; an odd run leaves its last byte waiting.
    std::size_t run = 0;
    while (run < block.size() &&
           IsLead(static_cast<unsigned char>(block[block.size() - 1 - run]))) {
        ++run;
    }
    if (run % 2 == 1) {
        carried_ = block.back();
        carrying_ = true;
        block.remove_suffix(1);
    }
    Convert(block, out);
}

void BlockConverter::Finish(std::string& out) {
    if (carrying_) {
        Convert(std::string_view(&carried_, 1), out);
        carrying_ = false;
    }
}

}  // namespace kv::text
