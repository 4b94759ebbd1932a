#pragma once
// The trophy upload: one HTTP GET whose path carries an unlocked trophy, the
// machine identifier and the keyboard's part number, each hidden among
// random filler characters, with a checksum over the whole; and the check of
// the service's answer before anything is opened. No window code: the page
// runs an UploadJob and shows its result.

#include <atomic>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <thread>

namespace vyre::trophies {

inline constexpr std::string_view kPartNumber = "KVX-42-713";
inline constexpr std::string_view kUploadPathStart = "/frontend.en,1,trophy,";
inline constexpr std::string_view kUploadPathEnd = ".dll";
inline constexpr int kTrophyDigits = 30;
inline constexpr int kMachineLetters = 50;
inline constexpr int kPartLetters = 10;
inline constexpr int kMachineIdLength = 12;

// The id a trophy is published with: 85, 86, 87 for trophies 1 to 3, then
// 89 up to 101 for trophies 4 to 16 (88 is not used); 0 outside 1..16.
int TrophyUploadId(int trophy);

// The filler's random numbers: one generator seeded with the current time
// in seconds for each upload (tests seed it themselves).
class RandomDraw {
  public:
    explicit RandomDraw(unsigned seed) : engine_(seed) {}
    static RandomDraw FromClock();
    int Next() { return static_cast<int>(engine_() & 0x7FFFFFFF); }

  private:
    std::minstd_rand engine_;
};

// n characters of "234567891" (never 0).
std::string DigitString(RandomDraw& random, int n);
// n characters of the 26 capital letters, the ten digits and one more 0.
std::string LetterString(RandomDraw& random, int n);

// The trophy field: the id inserted into the 30 digits before the digit at
// (value of the last digit) - 1, then the id's number of digits. 33 or 34 long.
std::string TrophyField(int trophyId, std::string_view digits);
// The machine field: the 12-digit identifier inserted into the 50 letters
// after their first `position` (1..49) characters. 62 long.
std::string MachineField(std::string_view machineId, std::string_view letters, int position);
// The position of the machine identifier from a random number: 1..49.
constexpr int MachinePosition(int random) {
    return random % 49 + 1;
}
// The part field: digit b = (b0 mod 9) + 1, then the 10 letters with the MD5
// of the part number inserted after their first b characters, all upper
// case. 43 long.
std::string PartField(std::string_view partNumber, int b0, std::string_view letters);
// The time zone field: "P" and the whole hours ahead of UTC, or "M" and the
// whole hours behind it; part hours are dropped (+5:30 gives "P5", -3:30 "M3").
std::string TimeZoneField(int utcOffsetSeconds);
// The local time's offset from UTC now, in seconds (east positive).
int LocalUtcOffsetSeconds();
// MD5 as 32 lowercase hexadecimal digits.
std::string Md5Hex(std::string_view text);

struct UploadPath {
    std::string path;      // "/frontend.en,1,trophy,<combined>,<E>,<B>,<A>,<checksum>,<zone>.dll"
    std::string combined;  // part field + trophy field + machine field
    int position = 0;      // where the machine identifier sits in its field
};
UploadPath BuildUploadPath(int trophyId, std::string_view machineId, int utcOffsetSeconds,
                           RandomDraw& random);

// The service's address with the path: `service` is "http://host[:port]" or
// "https://..." (a trailing slash is dropped).
std::string UploadUrl(std::string_view service, std::string_view path);

// ---- the request ----------------------------------------------------------------------------

// Bounds of one request: connecting, and the whole transfer; an answer is
// one address, so a longer body is refused.
struct UploadLimits {
    long connectMs = 10000;
    long totalMs = 30000;
    std::size_t maxAnswer = 4096;
};

struct UploadAnswer {
    enum class Status {
        Answered,   // a 2xx answer; body holds it
        NotSent,    // no handle, or a bad address
        Failed,     // no connection, a broken transfer, an HTTP error status
        TimedOut,   // a bound was reached
        Cancelled,  // the page went away
        TooLong,    // the body went past maxAnswer
    };
    Status status = Status::NotSent;
    long httpStatus = 0;
    std::string body;
    std::string error;  // libcurl's words for a failure
};

// Sends the GET with libcurl's easy interface and waits for its end (bounded
// by `limits`; `cancel`, when set, ends it early). Only http and https are
// spoken; redirects are not followed.
UploadAnswer SendUploadRequest(const std::string& url, const UploadLimits& limits,
                               const std::atomic<bool>* cancel = nullptr);

// The address to open from an answer: the trimmed text when it is one
// http:// or https:// address with a host and nothing else (no blanks,
// control characters or a second line); empty otherwise.
std::string OpenableAddress(std::string_view answer);

// One request on a thread of its own. `done` is called on that thread when
// the request ends, unless the job was destroyed first; the destructor
// cancels a running request and waits for the thread (about a second at most).
class UploadJob {
  public:
    UploadJob(std::string url, UploadLimits limits, std::function<void(UploadAnswer)> done);
    ~UploadJob();
    UploadJob(const UploadJob&) = delete;
    UploadJob& operator=(const UploadJob&) = delete;
    bool finished() const { return finished_.load(); }

  private:
    std::atomic<bool> cancel_{false};
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

}  // namespace vyre::trophies
