#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "agentd/FilePlace.h"
#include "agentd/UniqueFd.h"

namespace kv::agentd {

// Follows the file a path names through rotations: a file renamed or deleted away is read
// to its end (and kept a while, for writers that still hold it) before the new file at the
// path is read from its start; a copy made before a truncation is read from where reading
// stood. Reads with pread only and never blocks on a slow device beyond one read.
class FileFollower {
public:
    using Clock = std::chrono::steady_clock;
    // Complete lines, each ending in LF, from one file (`stream` tells files apart). When
    // `continues`, the bytes after the last LF begin a line longer than a piece, which the
    // next text of the same stream continues; otherwise text not ending in LF is the last
    // line of a file left behind.
    using Sink = std::function<void(std::uint64_t stream, std::string_view text, bool continues)>;
    // A Shift_JIS message for the Agent's log.
    using Note = std::function<void(const std::string& message)>;

    // A line is handed on in pieces of this size when it is longer.
    static constexpr std::size_t kPieceBytes = 1024 * 1024;

    // `resume`: the places kept from the last run (files left behind first, the followed
    // file last); nullopt when the path is new to the Agent, whose present content is then
    // skipped (its end is taken at construction). `seenUntil`: when the directory was last looked
    // at (file system clock, in nanoseconds since the epoch); a rotated file born later and not
    // among the places was never seen and is read whole. `retireAfter`: how long a file left behind
    // must stay quiet before it is closed.
    FileFollower(std::string path, std::optional<std::vector<FilePlace>> resume,
                 std::int64_t seenUntil, std::chrono::milliseconds retireAfter, Note note);
    ~FileFollower();
    FileFollower(const FileFollower&) = delete;
    FileFollower& operator=(const FileFollower&) = delete;

    const std::string& Path() const { return path_; }

    // Looks at the path and hands on what is new, reading at most about `budget` bytes;
    // true when more is waiting. The places already include what `sink` is given.
    bool Poll(std::size_t budget, const Sink& sink, Clock::time_point now);

    // What to keep for a restart: files left behind first, the followed file last.
    std::vector<FilePlace> Places() const;
    // When the path was last looked at, to be given back as `seenUntil`.
    std::int64_t LastLook() const { return lastLook_; }

private:
    struct Source {
        UniqueFd fd;
        FilePlace place;
        std::string pending;  // bytes read after place.offset, not yet a complete line
        // The file's first bytes as this follower read them, which the print covers: a print
        // taken later could describe a file truncated and refilled in between.
        std::string head;
        std::uint64_t stream = 0;
        Clock::time_point quietSince;
        bool copy = false;  // a rotation's copy: read once to its end
        // Reading began at the file's start after the last look: until the next look has
        // searched for rotations made in between, the print proves nothing.
        bool startedSinceLook = false;
    };

    void Resume(const std::vector<FilePlace>& places, Clock::time_point now);
    void Look(Clock::time_point now);
    // True while the file's first bytes are still those reading passed over.
    static bool BeginsAsRead(const Source& source);
    void CheckReplaced(Source& source, std::uint64_t size, Clock::time_point now);
    // Ends a look taken at `looked`, unless a copy born since must be looked at again.
    void PassLook(std::int64_t looked);
    // Reads the rotated files born since the last look that were never followed: when
    // rotations come faster than the look (or while the Agent was down), whole generations
    // would pass unseen.
    void AdoptMissed(Clock::time_point now);
    std::optional<Source> Locate(const FilePlace& place, Clock::time_point now) const;
    Source Open(UniqueFd fd, std::uint64_t device, std::uint64_t inode, std::uint64_t offset,
                Clock::time_point now);
    bool Drain(Source& source, std::size_t& budget, const Sink& sink, Clock::time_point now);
    void HandOn(Source& source, const Sink& sink);
    // Takes the head from the file, up to where reading stands.
    static void ReadHead(Source& source);
    // Adds bytes read at `at` to the head while it is short and they continue it.
    static void ExtendHead(Source& source, std::uint64_t at, std::string_view bytes);

    std::string path_;
    std::optional<std::vector<FilePlace>> resume_;
    std::chrono::milliseconds retireAfter_;
    Note note_;
    bool fromEnd_;
    bool missingSaid_ = false;
    bool openFailSaid_ = false;
    std::int64_t lastLook_;
    // The birth of the oldest copy passed over because its truncation is still to come.
    std::int64_t holdLook_ = std::numeric_limits<std::int64_t>::max();
    // Files read to their end and closed lately (device, inode): never adopted again.
    static constexpr std::size_t kClosedKept = 64;
    std::deque<std::pair<std::uint64_t, std::uint64_t>> closed_;
    mutable std::uint64_t nextStream_ = 1;
    std::optional<Source> current_;
    std::vector<Source> retired_;
};

}  // namespace kv::agentd
