#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kv::agent {

// Reads one HTTP reply from bytes fed in pieces as they arrive: the status line, the header
// and the body (by content length, until the connection closes, or chunked). It knows no
// sockets, so it can be fed from memory. Body bytes are appended to a caller's buffer.
class HttpReplyParser {
public:
    // Header lines and chunk lines must fit, with their line end, in this many bytes.
    static constexpr std::size_t kLineBufferSize = 8193;
    // A header that goes on longer than this is refused rather than read forever.
    static constexpr std::size_t kMaxHeaderSize = std::size_t(1) << 20;
    // The body buffer is reserved from the content length, but never further than this
    // ahead of the bytes that have arrived: a lying header cannot claim all memory.
    static constexpr std::uint64_t kMaxReserveAhead = std::uint64_t(1) << 30;

    enum class Phase { Header, Body, Done, Failed };
    enum class Ending { None, WithoutBody, AtLength, AtLastChunk, AtClose };

    struct Reply {
        bool hasStatusLine = false;
        std::string version;  // "1.0" or "1.1" from the status line
        int status = 0;
        std::string reason;
        std::int64_t contentLength = -1;
        std::string transferEncoding;  // lower-cased
        std::string contentType;       // lower-cased
        std::string contentEncoding;
        std::vector<std::string> challenges;  // WWW-Authenticate and Proxy-Authenticate values
        bool hasLocation = false;
        std::string location;
        bool closeAfterReply = false;
        std::vector<std::string> lines;  // every header line received, status line first
    };

    // Starts a new reply. After a request of version 1.0 the connection is to be closed after
    // the reply unless it says keep-alive. Body bytes go to the end of *body (nullptr: dropped).
    // A buffer that is emptied as it fills (`reserve` false) is not grown to the length.
    void Start(bool request10, std::string* body, bool reserve = true);
    // Takes bytes; returns how many it used, fewer than given only once the reply has ended.
    std::size_t Feed(std::string_view bytes);
    // The server closed the connection: ends a body that runs until then, fails otherwise.
    void FeedClose();

    Phase CurrentPhase() const;
    Ending HowEnded() const { return ending_; }
    const std::string& FailReason() const { return failReason_; }
    const Reply& Result() const { return reply_; }
    // Size of the body buffer when this reply started, so it can be cut back to it.
    std::size_t BodyStart() const { return bodyStart_; }
    std::uint64_t BodyBytes() const { return bodyBytes_; }
    // Bytes fed since Start.
    std::uint64_t Received() const { return received_; }

private:
    enum class Step {
        FirstLine,
        HeaderLine,
        LengthBody,
        CloseBody,
        ChunkSize,
        ChunkData,
        ChunkDataEnd,
        Done,
        Failed
    };

    bool IsLineStep() const;
    bool IsHtmlStart(std::string_view input) const;
    void TakeLine(std::string_view line);
    void TakeStatusLine(std::string_view line);
    void TakeHeaderLine(std::string_view line);
    void TakeChunkSize(std::string_view line);
    void EndHeader();
    void StartHeader();
    void WriteBody(std::string_view bytes);
    void Finish(Ending ending);
    void Fail(std::string reason);

    Step step_ = Step::Done;
    Ending ending_ = Ending::None;
    Reply reply_;
    bool request10_ = false;
    std::string* body_ = nullptr;
    bool reserve_ = true;
    std::size_t bodyStart_ = 0;
    std::uint64_t bodyBytes_ = 0;
    std::uint64_t received_ = 0;
    std::size_t headerSize_ = 0;
    std::uint64_t remaining_ = 0;
    std::string line_;
    std::string failReason_;
};

}  // namespace kv::agent
