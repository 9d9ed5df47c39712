#include "agent/TreeList.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "text/Cp932.h"

namespace kv::agent {

namespace {

constexpr char kEsc = '\x1b';

std::string TreeViewErrorMessage(std::string_view lineText) {
    static const std::string head = text::Sjis("アイテム \"");
    static const std::string tail = text::Sjis("\" の階層 (0:d) が不正です");
    std::string message;
    message.reserve(head.size() + lineText.size() + tail.size());
    message.append(head).append(lineText).append(tail);
    return message;
}

std::string_view Field(const char* begin, const char* end) {
    if (end - begin == 1 && *begin == kEsc) {
        return {};
    }
    return {begin, static_cast<std::size_t>(end - begin)};
}

const char* Find(const char* from, const char* end, char c) {
    const void* hit = std::memchr(from, c, static_cast<std::size_t>(end - from));
    return hit ? static_cast<const char*>(hit) : end;
}

}  // namespace

ETreeViewError::ETreeViewError(std::string_view lineText, std::size_t lineNumber, std::size_t level)
    : std::runtime_error(TreeViewErrorMessage(lineText)), lineNumber_(lineNumber), level_(level) {}

void TTreeList::Clear() {
    reply_ = nullptr;
    nodes_.clear();
    fields_.clear();
}

std::string_view TTreeList::Text(Index node) const {
    const Node& n = At(node);
    return n.textLength ? std::string_view(reply_ + n.textOffset, n.textLength)
                        : std::string_view();
}

TTreeList::TSubItems TTreeList::SubItems(Index node) const {
    const std::uint32_t first = At(node).firstField;
    const std::size_t next =
        node + 1u < nodes_.size() ? nodes_[node + 1].firstField : fields_.size();
    return TSubItems(fields_.data() + first, next - first);
}

void TTreeList::LoadFromBuffer(std::string_view reply) {
    Clear();
    if (reply.empty()) {
        return;
    }
    // Offsets and indexes are 32 bits wide; kNone stays out of reach.
    if (reply.size() >= std::numeric_limits<std::uint32_t>::max()) {
        throw std::length_error("tree reply too large");
    }
    reply_ = reply.data();
    const char* p = reply.data();
    const char* const end = Find(p, p + reply.size(), '\0');
    if (p == end) {
        return;
    }
    nodes_.reserve(static_cast<std::size_t>(std::count(p, end, '\n')) + 1);

    // path[d]: the latest node at level d on the way down to the previous line's node.
    std::vector<Index> path;
    const char* nextCr = Find(p, end, '\r');
    std::size_t lineNumber = 0;
    for (;;) {
        const char* lineEnd = Find(p, end, '\n');
        if (nextCr < p) {
            nextCr = Find(p, end, '\r');
        }
        lineEnd = std::min(lineEnd, nextCr);
        ++lineNumber;

        const char* q = p;
        while (q != lineEnd && (*q == '\t' || *q == ' ')) {
            ++q;
        }
        const std::size_t indent = static_cast<std::size_t>(q - p);
        const char* tab = Find(q, lineEnd, '\t');
        const std::string_view text = Field(q, tab);

        const auto index = static_cast<Index>(nodes_.size());
        Node node;
        node.textOffset = static_cast<std::uint32_t>(q - reply_);
        node.textLength = static_cast<std::uint32_t>(text.size());
        node.firstField = static_cast<std::uint32_t>(fields_.size());
        if (path.empty()) {
            path.push_back(index);
        } else if (indent == path.size()) {
            node.parent = path.back();
            path.push_back(index);
        } else if (indent > path.size()) {
            const std::string offending(text);
            Clear();
            throw ETreeViewError(offending, lineNumber, indent);
        } else {
            const Index sibling = path[indent];
            nodes_[sibling].nextSibling = index;
            node.parent = nodes_[sibling].parent;
            path.resize(indent + 1);
            path[indent] = index;
        }
        node.level = static_cast<std::uint32_t>(path.size() - 1);
        if (node.parent != kNone) {
            ++nodes_[node.parent].childCount;
        }
        if (tab != lineEnd) {
            const char* f = tab + 1;
            for (;;) {
                const char* next = Find(f, lineEnd, '\t');
                fields_.push_back(Field(f, next));
                if (next == lineEnd) {
                    break;
                }
                f = next + 1;
            }
        }
        nodes_.push_back(node);

        if (lineEnd == end) {
            break;
        }
        p = lineEnd + 1;
        if (*lineEnd == '\r' && p != end && *p == '\n') {
            ++p;
        }
        if (p == end) {
            break;
        }
    }
}

}  // namespace kv::agent
