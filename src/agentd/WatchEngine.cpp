#include "agentd/WatchEngine.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <limits>
#include <set>
#include <system_error>
#include <utility>

#include <sys/inotify.h>
#include <unistd.h>

#include "agentd/SearchForms.h"
#include "store/AtomicFile.h"
#include "store/InOutError.h"
#include "text/Cp932.h"

namespace kv::agentd {
namespace {

// Read at most this much from one file per turn of the loop, so that requests are served
// while a large backlog is read.
constexpr std::size_t kBytesPerTurn = 4 * 1024 * 1024;
// A count above this is a typing error rather than a wish.
constexpr std::uint64_t kMaxCount = 1000000000;
constexpr std::size_t kNoEnd = std::numeric_limits<std::size_t>::max();
constexpr std::uint32_t kDirectoryEvents = IN_MODIFY | IN_CREATE | IN_MOVED_TO | IN_MOVED_FROM |
                                           IN_DELETE | IN_ATTRIB | IN_CLOSE_WRITE | IN_DELETE_SELF |
                                           IN_MOVE_SELF;

std::optional<std::uint64_t> PositiveCount(const std::string& text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || text.front() == '+' || error != std::errc() ||
        end != text.data() + text.size() || value == 0 || value > kMaxCount) {
        return std::nullopt;
    }
    return value;
}

// The host's name for a Shift_JIS path; nullopt when no such name can be written.
std::optional<std::string> DiskPath(const std::string& fileName) {
    std::string path = text::Cp932ToUtf8(fileName);
    const auto back = text::Utf8ToCp932(path);
    if (!back || *back != fileName) {
        return std::nullopt;
    }
    return path;
}

// Why a row is not watched (Shift_JIS), or nullopt.
std::optional<std::string> WhyNotWatched(const settings::WatchRow& row) {
    if (row.FileName.empty()) {
        return text::Sjis("監視ファイルが空です");
    }
    if (row.FileName.front() != '/') {
        return text::Sjis("監視ファイルが絶対パスではありません");
    }
    if (!DiskPath(row.FileName)) {
        return text::Sjis("監視ファイルの名前をこのホストのパスにできません");
    }
    if (row.SearchString.empty()) {
        return text::Sjis("監視ワードが空です");
    }
    if (!PositiveCount(row.SearchCount)) {
        return text::Sjis("監視回数が正の整数ではありません");
    }
    return std::nullopt;
}

bool SameWatch(const settings::WatchRow& row, const WatchState::RowCount& saved) {
    return row.FileName == saved.fileName && row.SearchString == saved.searchString &&
           row.SearchCount == saved.searchCount;
}

bool SameWatch(const settings::WatchRow& a, const settings::WatchRow& b) {
    return a.FileName == b.FileName && a.SearchString == b.SearchString &&
           a.SearchCount == b.SearchCount;
}

// The line around `at` in `text`, without its line end.
std::string_view LineAt(std::string_view text, std::size_t at) {
    const auto* start = static_cast<const char*>(::memrchr(text.data(), '\n', at));
    const std::size_t begin =
        start == nullptr ? 0 : static_cast<std::size_t>(start - text.data()) + 1;
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) {
        end = text.size();
    }
    if (end > begin && text[end - 1] == '\r') {
        --end;
    }
    return text.substr(begin, end - begin);
}

}  // namespace

WatchEngine::WatchEngine(std::string stateFile, WatchTiming timing, FiredRowSink& sink,
                         DailyLog& log)
    : stateFile_(std::move(stateFile)),
      timing_(timing),
      sink_(sink),
      log_(log),
      inotify_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (!inotify_.Valid()) {
        throw std::system_error(errno, std::generic_category(), "cannot watch files (inotify)");
    }
    std::string text;
    if (store::ReadWholeFile(stateFile_, text)) {
        saved_.emplace();
        if (!ParseWatchState(text, *saved_)) {
            log_.Append(
                text::Sjis("監視位置のファイルが読めないため、各ファイルの末尾から監視します: ") +
                stateFile_);
            saved_.reset();
        }
    }
}

WatchEngine::~WatchEngine() = default;

std::unique_ptr<FileFollower> WatchEngine::Follow(const std::string& path) {
    std::optional<std::vector<FilePlace>> resume;
    std::int64_t seen = 0;
    if (saved_) {
        const auto found = saved_->files.find(path);
        if (found != saved_->files.end()) {
            resume = found->second.places;
            seen = found->second.seen;
        }
    }
    return std::make_unique<FileFollower>(path, std::move(resume), seen, timing_.retireAfter,
                                          [this](const std::string& note) { log_.Append(note); });
}

void WatchEngine::Apply(const std::vector<settings::WatchRow>& rows,
                        const settings::MailSetting& mail, const std::string& serverName) {
    mail_ = mail;
    serverName_ = serverName;
    std::vector<Row> kept;
    std::vector<bool> taken(rows_.size(), false);
    std::vector<bool> savedTaken(saved_ ? saved_->rows.size() : 0, false);
    std::vector<File> files;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const settings::WatchRow& row = rows[i];
        if (const auto why = WhyNotWatched(row)) {
            log_.Append(text::Sjis("監視行 ") + std::to_string(i + 1) +
                        text::Sjis(" は監視しません: ") + *why + text::Sjis("。"));
            continue;
        }
        Row next;
        next.row = row;
        next.count = *PositiveCount(row.SearchCount);
        // Rows that kept what they watch keep their counters, pairing duplicates in order.
        bool found = false;
        for (std::size_t j = 0; j < rows_.size() && !found; ++j) {
            if (!taken[j] && SameWatch(rows_[j].row, row)) {
                taken[j] = found = true;
                next.hits = rows_[j].hits;
                next.last = rows_[j].last;
            }
        }
        for (std::size_t j = 0; saved_ && j < saved_->rows.size() && !found; ++j) {
            if (!savedTaken[j] && SameWatch(row, saved_->rows[j])) {
                savedTaken[j] = found = true;
                next.hits = std::min(saved_->rows[j].hits, next.count - 1);
            }
        }
        const std::string path = *DiskPath(row.FileName);
        auto file =
            std::find_if(files.begin(), files.end(), [&](const File& f) { return f.path == path; });
        if (file == files.end()) {
            File added;
            added.path = path;
            added.directory = std::filesystem::path(path).parent_path().string();
            auto old = std::find_if(files_.begin(), files_.end(),
                                    [&](const File& f) { return f.path == path; });
            if (old != files_.end()) {
                added.follower = std::move(old->follower);
                added.continuingStream = old->continuingStream;
                added.continuingSerial = old->continuingSerial;
                added.carry = std::move(old->carry);
            } else {
                added.follower = Follow(path);
                // The present end is taken now, not when the file is first read.
                added.follower->Poll(
                    0, [](std::uint64_t, std::string_view, bool) {}, Clock::now());
            }
            files.push_back(std::move(added));
            file = files.end() - 1;
        }
        next.file = static_cast<std::size_t>(file - files.begin());
        kept.push_back(std::move(next));
    }
    for (std::size_t f = 0; f < files.size(); ++f) {
        std::vector<std::string> patterns;
        std::vector<std::vector<std::size_t>> patternRows;
        for (std::size_t r = 0; r < kept.size(); ++r) {
            if (kept[r].file != f) {
                continue;
            }
            for (std::string& form : SearchForms(kept[r].row.SearchString)) {
                const auto same = std::find(patterns.begin(), patterns.end(), form);
                if (same == patterns.end()) {
                    patterns.push_back(std::move(form));
                    patternRows.push_back({r});
                } else {
                    patternRows[static_cast<std::size_t>(same - patterns.begin())].push_back(r);
                }
            }
        }
        files[f].patterns = PatternSet(std::move(patterns));
        files[f].patternRows = std::move(patternRows);
    }
    rows_ = std::move(kept);
    files_ = std::move(files);
    saved_.reset();
    WatchDirectories();
    log_.Append(text::Sjis("監視を開始しました。 監視ファイル数: ") +
                std::to_string(files_.size()) + text::Sjis(" 監視行数: ") +
                std::to_string(rows_.size()));
    unsaved_ = true;
    nextStat_ = Clock::now();
}

void WatchEngine::WatchDirectories() {
    std::set<std::string> wanted;
    for (const File& file : files_) {
        wanted.insert(file.directory);
    }
    for (auto it = watches_.begin(); it != watches_.end();) {
        if (!wanted.contains(it->second)) {
            inotify_rm_watch(inotify_.Get(), it->first);
            it = watches_.erase(it);
        } else {
            wanted.erase(it->second);
            ++it;
        }
    }
    // A directory that does not exist yet is tried again at the next stat pass.
    for (const std::string& directory : wanted) {
        const int watch = inotify_add_watch(inotify_.Get(), directory.c_str(), kDirectoryEvents);
        if (watch >= 0) {
            watches_[watch] = directory;
        }
    }
}

void WatchEngine::OnEvents() {
    alignas(inotify_event) std::array<char, 16 * 1024> buffer{};
    for (;;) {
        const ssize_t size = ::read(inotify_.Get(), buffer.data(), buffer.size());
        if (size <= 0) {
            return;
        }
        for (std::size_t at = 0; at < static_cast<std::size_t>(size);) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
            at += sizeof(inotify_event) + event->len;
            if ((event->mask & IN_Q_OVERFLOW) != 0) {
                for (File& file : files_) {
                    file.dirty = true;
                }
                continue;
            }
            const auto watch = watches_.find(event->wd);
            if (watch == watches_.end()) {
                continue;
            }
            // Any change in the directory may be a rotation: every file there is looked at.
            for (File& file : files_) {
                file.dirty = file.dirty || file.directory == watch->second;
            }
            if ((event->mask & IN_IGNORED) != 0) {
                watches_.erase(watch);
            }
        }
    }
}

std::chrono::milliseconds WatchEngine::Tick() {
    const auto now = Clock::now();
    if (now >= nextStat_) {
        for (File& file : files_) {
            file.dirty = true;
        }
        WatchDirectories();
        nextStat_ = now + timing_.statInterval;
    }
    bool more = false;
    for (std::size_t f = 0; f < files_.size(); ++f) {
        if (!files_[f].dirty) {
            continue;
        }
        File& file = files_[f];
        file.dirty = file.follower->Poll(
            kBytesPerTurn,
            [this, &file](std::uint64_t stream, std::string_view text, bool continues) {
                Take(file, stream, text, continues);
            },
            now);
        more = more || file.dirty;
    }
    FireCollected(now);
    if (unsaved_ && now - lastSave_ >= timing_.saveInterval) {
        Save();
    }
    if (more) {
        return std::chrono::milliseconds(0);
    }
    auto due = nextStat_;
    if (unsaved_) {
        due = std::min(due, lastSave_ + timing_.saveInterval);
    }
    if (!fired_.empty()) {
        due = std::min(due, lastSave_ + timing_.actionBatch);
    }
    return std::max(std::chrono::ceil<std::chrono::milliseconds>(due - now),
                    std::chrono::milliseconds(0));
}

void WatchEngine::Take(File& file, std::uint64_t stream, std::string_view text, bool continues) {
    unsaved_ = true;
    const std::uint64_t serial = ++serial_;
    std::optional<LineKey> firstLine;
    if (file.continuingStream == stream && file.continuingStream != 0) {
        firstLine = LineKey{file.continuingSerial, kNoEnd};
    }
    std::size_t firstEnd = text.find('\n');
    firstEnd = firstEnd == std::string_view::npos ? text.size() : firstEnd + 1;
    std::string joined;
    if (firstLine && !file.carry.empty()) {
        // The end of the previous piece, so that a string cut by the piece boundary is found.
        joined = file.carry;
        joined.append(text.substr(0, firstEnd));
        ScanLines(file, joined, serial, firstLine);
        ScanLines(file, text.substr(firstEnd), serial, std::nullopt);
    } else {
        ScanLines(file, text, serial, firstLine);
    }
    file.carry.clear();
    file.continuingStream = 0;
    if (continues) {
        const std::size_t lastEnd = text.rfind('\n');
        const bool sameLine = lastEnd == std::string_view::npos;
        file.continuingSerial = sameLine && firstLine ? firstLine->serial : serial;
        file.continuingStream = stream;
        const std::string_view tail = sameLine && !joined.empty()
                                          ? std::string_view(joined)
                                          : text.substr(sameLine ? 0 : lastEnd + 1);
        const std::size_t keep = file.patterns.MaxLength() > 0 ? file.patterns.MaxLength() - 1 : 0;
        file.carry.assign(tail.substr(tail.size() - std::min(keep, tail.size())));
    }
}

void WatchEngine::ScanLines(File& file, std::string_view text, std::uint64_t serial,
                            std::optional<LineKey> firstLine) {
    const std::size_t firstBreak = text.find('\n');
    std::size_t lineEnd = 0;
    LineKey key;
    bool known = false;
    file.patterns.Scan(text, [&](std::size_t pattern, std::size_t start) {
        if (!known || start > lineEnd) {
            const std::size_t end = text.find('\n', start);
            lineEnd = end == std::string_view::npos ? text.size() : end;
            if (firstLine && (firstBreak == std::string_view::npos || start < firstBreak)) {
                key = *firstLine;
            } else {
                key = LineKey{serial, end == std::string_view::npos ? kNoEnd : end};
            }
            known = true;
        }
        for (const std::size_t row : file.patternRows[pattern]) {
            Hit(rows_[row], key, text, start);
        }
    });
}

void WatchEngine::Hit(Row& row, const LineKey& key, std::string_view text, std::size_t at) {
    // A line is one hit however often it holds the string.
    if (row.last == key && row.last.serial != 0) {
        return;
    }
    row.last = key;
    if (++row.hits < row.count) {
        return;
    }
    row.hits = 0;
    fired_.push_back(FiredRow{row.row, mail_, serverName_, std::string(LineAt(text, at))});
}

void WatchEngine::FireCollected(Clock::time_point now) {
    if (!fired_.empty() && now - lastSave_ >= timing_.actionBatch) {
        Save();
    }
}

void WatchEngine::Save() {
    WatchState state;
    for (const File& file : files_) {
        state.files[file.path] = {file.follower->Places(), file.follower->LastLook()};
    }
    for (const Row& row : rows_) {
        state.rows.push_back(
            {row.row.FileName, row.row.SearchString, row.row.SearchCount, row.hits});
    }
    lastSave_ = Clock::now();
    try {
        store::WriteFileAtomically(stateFile_, FormatWatchState(state));
        unsaved_ = false;
        saveFailing_ = false;
    } catch (const store::EInOutError& error) {
        if (!saveFailing_) {
            log_.Append(text::Sjis("監視位置を保存できません: ") + error.what());
        }
        saveFailing_ = true;
    }
    // Handed on only now: a crash before this point reads their lines again and counts them
    // as if for the first time; the counters just written no longer hold them. Should the
    // write have failed, acting beats losing the action. The sink logs each action.
    std::vector<FiredRow> fired;
    fired.swap(fired_);
    for (const FiredRow& row : fired) {
        sink_.Fire(row);
    }
}

}  // namespace kv::agentd
