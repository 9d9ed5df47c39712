#include "agentd/FileFollower.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <time.h>
#include <unistd.h>

#include "text/Cp932.h"

namespace kv::agentd {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kReadBytes = 256 * 1024;
// How long an empty rotated file may still be a copy in the making (file clock, ns).
constexpr std::int64_t kCopySettleNs = 10'000'000'000;

UniqueFd OpenForReading(const std::string& path) {
    return UniqueFd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
}

bool SameFile(const struct stat& info, const FilePlace& place) {
    return static_cast<std::uint64_t>(info.st_dev) == place.device &&
           static_cast<std::uint64_t>(info.st_ino) == place.inode;
}

// Compressed rotations hold no lines to read.
bool Compressed(const std::string& name) {
    for (const char* suffix : {".gz", ".bz2", ".xz", ".zst", ".lz4", ".Z", ".zip"}) {
        if (name.ends_with(suffix)) {
            return true;
        }
    }
    return false;
}

// Rotation keeps the old content beside the path under a longer name (".1", "-20261208").
// All of them: a cut would drop the very generations a restart or a burst of rotations
// must read; births and inodes pick the few that matter.
std::vector<std::string> Siblings(const std::string& path) {
    std::vector<std::string> names;
    const fs::path original(path);
    const std::string base = original.filename().string();
    std::error_code error;
    for (fs::directory_iterator it(original.parent_path(), error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() > base.size() && name.starts_with(base) && !Compressed(name)) {
            names.push_back(it->path().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The file system's clock (which stamps a file's birth), in nanoseconds.
std::int64_t FileClockNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return std::int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
}

// True when the open file was born at or after `when` (file system clock, ns). A file closed
// while so would be read again after a crash: the kept places no longer name it, and its
// birth cannot be told from one after the last look (the clock is coarse), so it stays open
// and among the places until a later look has passed it.
bool BornSince(int fd, std::int64_t when) {
    struct statx info {};
    if (statx(fd, "", AT_EMPTY_PATH, STATX_BTIME, &info) != 0 ||
        (info.stx_mask & STATX_BTIME) == 0) {
        return false;
    }
    return std::int64_t{info.stx_btime.tv_sec} * 1000000000 + info.stx_btime.tv_nsec >= when;
}

}  // namespace

FileFollower::FileFollower(std::string path, std::optional<std::vector<FilePlace>> resume,
                           std::int64_t seenUntil, std::chrono::milliseconds retireAfter, Note note)
    : path_(std::move(path)),
      resume_(std::move(resume)),
      retireAfter_(retireAfter),
      note_(std::move(note)),
      fromEnd_(!resume_),
      lastLook_(seenUntil) {
    // The end is taken now, not at the next turn, so that every line written after the
    // setting was accepted counts.
    if (!resume_) {
        Look(Clock::now());
    }
}

FileFollower::~FileFollower() = default;

FileFollower::Source FileFollower::Open(UniqueFd fd, std::uint64_t device, std::uint64_t inode,
                                        std::uint64_t offset, Clock::time_point now) {
    Source source;
    source.fd = std::move(fd);
    source.place.device = device;
    source.place.inode = inode;
    source.place.offset = offset;
    source.stream = nextStream_++;
    source.quietSince = now;
    return source;
}

void FileFollower::ReadHead(Source& source) {
    source.head =
        FirstBytes(source.fd.Get(), std::min<std::uint64_t>(source.place.offset, kPrintBytes));
    source.place.printLength = static_cast<std::uint32_t>(source.head.size());
    source.place.print = PrintOfBytes(source.head);
}

void FileFollower::ExtendHead(Source& source, std::uint64_t at, std::string_view bytes) {
    if (at != source.head.size() || source.head.size() >= kPrintBytes) {
        return;
    }
    source.head.append(bytes.substr(0, kPrintBytes - source.head.size()));
    source.place.printLength = static_cast<std::uint32_t>(source.head.size());
    source.place.print = PrintOfBytes(source.head);
}

std::optional<FileFollower::Source> FileFollower::Locate(const FilePlace& place,
                                                         Clock::time_point now) const {
    std::vector<std::string> candidates{path_};
    for (std::string& sibling : Siblings(path_)) {
        candidates.push_back(std::move(sibling));
    }
    std::optional<Source> found;
    for (const std::string& candidate : candidates) {
        UniqueFd fd = OpenForReading(candidate);
        struct stat info {};
        if (!fd.Valid() || fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode) ||
            static_cast<std::uint64_t>(info.st_size) < place.offset) {
            continue;
        }
        std::uint64_t print = 0;
        const bool printed = place.printLength > 0 && PrintOf(fd.Get(), place.printLength, print) &&
                             print == place.print;
        // Without a print only the inode can vouch for the file; a device number may change
        // across a reboot, so a matching print is enough on its own.
        const bool same = SameFile(info, place) && (place.printLength == 0 || printed);
        if (!same && !printed) {
            continue;
        }
        if (found && !same) {
            continue;
        }
        Source source;
        source.fd = std::move(fd);
        source.place = place;
        source.place.device = static_cast<std::uint64_t>(info.st_dev);
        source.place.inode = static_cast<std::uint64_t>(info.st_ino);
        source.quietSince = now;
        ReadHead(source);
        // Truncated since its print was checked: what it held is in a copy, if anywhere.
        if (place.printLength > 0 &&
            (source.head.size() < place.printLength ||
             PrintOfBytes(std::string_view(source.head).substr(0, place.printLength)) !=
                 place.print)) {
            continue;
        }
        source.stream = nextStream_++;
        found = std::move(source);
        if (same) {
            break;
        }
    }
    return found;
}

void FileFollower::Resume(const std::vector<FilePlace>& places, Clock::time_point now) {
    struct stat atPath {};
    const bool exists = ::stat(path_.c_str(), &atPath) == 0;
    for (const FilePlace& place : places) {
        auto source = Locate(place, now);
        if (!source) {
            note_(text::Sjis("前回の読み取り位置のファイルが見つかりません: ") + path_);
            continue;
        }
        if (exists && SameFile(atPath, source->place) && !current_) {
            current_ = std::move(source);
        } else {
            retired_.push_back(std::move(*source));
        }
    }
    if (!current_ && !places.empty()) {
        AdoptMissed(now);
    }
}

void FileFollower::AdoptMissed(Clock::time_point now) {
    std::vector<std::pair<std::int64_t, std::string>> missed;
    for (const std::string& sibling : Siblings(path_)) {
        struct statx info {};
        if (statx(AT_FDCWD, sibling.c_str(), AT_SYMLINK_NOFOLLOW,
                  STATX_BTIME | STATX_INO | STATX_TYPE, &info) != 0 ||
            (info.stx_mask & STATX_BTIME) == 0 || !S_ISREG(info.stx_mode)) {
            continue;
        }
        const std::int64_t born =
            std::int64_t{info.stx_btime.tv_sec} * 1000000000 + info.stx_btime.tv_nsec;
        const auto known = [&](const Source& source) { return source.place.inode == info.stx_ino; };
        const bool read = std::find(closed_.begin(), closed_.end(),
                                    std::pair<std::uint64_t, std::uint64_t>(
                                        makedev(info.stx_dev_major, info.stx_dev_minor),
                                        info.stx_ino)) != closed_.end();
        if (born >= lastLook_ && !read && !(current_ && known(*current_)) &&
            std::none_of(retired_.begin(), retired_.end(), known)) {
            missed.emplace_back(born, sibling);
        }
    }
    std::sort(missed.begin(), missed.end());
    const std::int64_t fileNow = FileClockNow();
    // A copy that begins as the file being read does (or, with nothing read, as the file at
    // the path does) is the copy half of a copytruncate whose truncation is still to come or
    // not yet noticed: its lines are read at the path, and the truncation finds the copy by
    // its print. Until then the look stays before its birth.
    std::string present = current_ ? current_->head : std::string();
    if (present.empty() && !missed.empty()) {
        if (const UniqueFd atPath = OpenForReading(path_); atPath.Valid()) {
            present = FirstBytes(atPath.Get(), kPrintBytes);
        }
    }
    for (const auto& [born, name] : missed) {
        UniqueFd fd = OpenForReading(name);
        struct stat opened {};
        if (!fd.Valid() || fstat(fd.Get(), &opened) != 0 || !S_ISREG(opened.st_mode)) {
            continue;
        }
        // An empty one may be such a copy still being written; a rotated file left empty
        // for long holds nothing to read.
        const std::string first = FirstBytes(fd.Get(), present.size());
        if (!present.empty() && present.starts_with(first)) {
            if (!first.empty() || born > fileNow - kCopySettleNs) {
                holdLook_ = std::min(holdLook_, born);
            }
            continue;
        }
        note_(text::Sjis("見落とした世代のファイルを読みます: ") + name);
        retired_.push_back(Open(std::move(fd), static_cast<std::uint64_t>(opened.st_dev),
                                static_cast<std::uint64_t>(opened.st_ino), 0, now));
    }
}

void FileFollower::Look(Clock::time_point now) {
    const std::int64_t looked = FileClockNow();
    struct stat info {};
    if (::stat(path_.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        if (!current_ && !missingSaid_) {
            note_(text::Sjis("監視ファイルがありません。作成を待ちます: ") + path_);
            missingSaid_ = true;
        }
        // A file that appears later is read from its start.
        fromEnd_ = false;
        return;
    }
    missingSaid_ = false;
    if (current_ && SameFile(info, current_->place)) {
        CheckReplaced(*current_, static_cast<std::uint64_t>(info.st_size), now);
        PassLook(looked);
        return;
    }
    UniqueFd fd = OpenForReading(path_);
    struct stat opened {};
    if (!fd.Valid() || fstat(fd.Get(), &opened) != 0 || !S_ISREG(opened.st_mode)) {
        if (!openFailSaid_) {
            note_(text::Sjis("監視ファイルを開けません: ") + path_ + ": " + std::strerror(errno));
            openFailSaid_ = true;
        }
        return;
    }
    openFailSaid_ = false;
    if (current_) {
        note_(text::Sjis("ローテーションを検出しました: ") + path_);
        retired_.push_back(std::move(*current_));
        current_.reset();
    }
    const bool rotated = !retired_.empty();
    const auto size = static_cast<std::uint64_t>(opened.st_size);
    current_ = Open(std::move(fd), static_cast<std::uint64_t>(opened.st_dev),
                    static_cast<std::uint64_t>(opened.st_ino), fromEnd_ ? size : 0, now);
    fromEnd_ = false;
    ReadHead(*current_);
    // Files born since the last look that were renamed away before it could see them.
    if (rotated) {
        AdoptMissed(now);
    }
    PassLook(looked);
}

void FileFollower::PassLook(std::int64_t looked) {
    lastLook_ = std::min(looked, holdLook_);
    holdLook_ = std::numeric_limits<std::int64_t>::max();
}

bool FileFollower::BeginsAsRead(const Source& source) {
    std::uint64_t print = 0;
    return source.place.printLength == 0 ||
           (PrintOf(source.fd.Get(), source.place.printLength, print) &&
            print == source.place.print);
}

void FileFollower::CheckReplaced(Source& source, std::uint64_t size, Clock::time_point now) {
    const std::uint64_t read = source.place.offset + source.pending.size();
    const bool replaced = size < read || !BeginsAsRead(source);
    if (!replaced) {
        // Nothing read yet tells nothing: a copy and truncation since the last look leave
        // the file looking untouched (or empty), and the copy holds lines never read. So
        // does reading that began at the file's start after the last look: the print it
        // took is of what followed such a truncation.
        if (read == 0 || source.startedSinceLook) {
            AdoptMissed(now);
        }
        source.startedSinceLook = false;
        return;
    }
    note_(text::Sjis("切り詰めを検出しました: ") + path_);
    // What was written before the truncation survives in the rotation's copy, if any.
    auto copy = Locate(source.place, now);
    if (copy && copy->place.inode != source.place.inode) {
        copy->copy = true;
        retired_.push_back(std::move(*copy));
    }
    source.place.offset = 0;
    source.place.printLength = 0;
    source.head.clear();
    source.pending.clear();
    source.stream = nextStream_++;
    // Copies made by rotations that came and went unseen since the last look.
    AdoptMissed(now);
}

bool FileFollower::Poll(std::size_t budget, const Sink& sink, Clock::time_point now) {
    if (resume_) {
        Resume(*resume_, now);
        resume_.reset();
    }
    Look(now);
    // A file left behind is read to its end before the file now at the path.
    for (Source& source : retired_) {
        if (Drain(source, budget, sink, now)) {
            return true;
        }
    }
    if (current_ && Drain(*current_, budget, sink, now)) {
        return true;
    }
    std::erase_if(retired_, [&](Source& source) {
        if ((!source.copy && now - source.quietSince < retireAfter_) ||
            BornSince(source.fd.Get(), lastLook_)) {
            return false;
        }
        if (!source.pending.empty()) {
            source.place.offset += source.pending.size();
            sink(source.stream, source.pending, false);
        }
        closed_.push_back({source.place.device, source.place.inode});
        if (closed_.size() > kClosedKept) {
            closed_.pop_front();
        }
        return true;
    });
    return false;
}

bool FileFollower::Drain(Source& source, std::size_t& budget, const Sink& sink,
                         Clock::time_point now) {
    for (;;) {
        if (budget == 0) {
            return true;
        }
        const std::size_t want = std::min(kReadBytes, budget);
        const std::size_t had = source.pending.size();
        source.pending.resize(had + want);
        const ssize_t got = ::pread(source.fd.Get(), source.pending.data() + had, want,
                                    static_cast<off_t>(source.place.offset + had));
        if (got < 0 && errno == EINTR) {
            source.pending.resize(had);
            continue;
        }
        if (got <= 0) {
            source.pending.resize(had);
            return false;
        }
        source.pending.resize(had + static_cast<std::size_t>(got));
        // A truncation since the last look makes the bytes at this offset the new content's:
        // they are dropped, and the next look reads the copy from here and the file anew.
        if (!BeginsAsRead(source)) {
            source.pending.resize(had);
            return false;
        }
        source.startedSinceLook = source.startedSinceLook || source.place.offset + had == 0;
        ExtendHead(source, source.place.offset + had, std::string_view(source.pending).substr(had));
        budget -= std::min(budget, static_cast<std::size_t>(got));
        source.quietSince = now;
        HandOn(source, sink);
    }
}

void FileFollower::HandOn(Source& source, const Sink& sink) {
    const auto* end =
        static_cast<const char*>(::memrchr(source.pending.data(), '\n', source.pending.size()));
    if (end != nullptr) {
        const auto length = static_cast<std::size_t>(end - source.pending.data()) + 1;
        source.place.offset += length;
        sink(source.stream, std::string_view(source.pending.data(), length), false);
        source.pending.erase(0, length);
    }
    if (source.pending.size() >= kPieceBytes) {
        source.place.offset += source.pending.size();
        sink(source.stream, source.pending, true);
        source.pending.clear();
    }
}

std::vector<FilePlace> FileFollower::Places() const {
    if (resume_) {
        return *resume_;
    }
    std::vector<FilePlace> places;
    for (const Source& source : retired_) {
        places.push_back(source.place);
    }
    if (current_) {
        places.push_back(current_->place);
    }
    return places;
}

}  // namespace kv::agentd
