#pragma once

#include <string>
#include <string_view>

namespace kv::text {

// EucToSjis or SjisToEuc over a text that arrives in blocks: the bytes written are exactly
// those of the one-call conversion of all the blocks joined, however the text is cut. A lead
// byte that ends a block waits for the first byte of the next.
class BlockConverter {
public:
    enum class Direction { EucToSjis, SjisToEuc };

    explicit BlockConverter(Direction direction) : direction_(direction) {}

    // Appends the conversion of `block` to `out`, but for a trailing lead byte kept back.
    void Feed(std::string_view block, std::string& out);
    // The text has ended: a kept lead byte is converted as the last byte of the text.
    void Finish(std::string& out);

private:
    void Convert(std::string_view whole, std::string& out) const;
    bool IsLead(unsigned char byte) const;

    Direction direction_;
    bool carrying_ = false;
    char carried_ = 0;
};

}  // namespace kv::text
