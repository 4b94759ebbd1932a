#include "config/trophies/trophy_upload.h"

#include <curl/curl.h>

#include <QByteArray>
#include <QCryptographicHash>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <mutex>

namespace vyre::trophies {
namespace {

constexpr std::string_view kDigits = "234567891";
constexpr std::string_view kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234567890";
constexpr std::size_t kMaxAddress = 2048;

void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Transfer {
    std::string body;
    std::size_t maxAnswer = 0;
    bool tooLong = false;
    const std::atomic<bool>* cancel = nullptr;
};

std::size_t Append(char* data, std::size_t size, std::size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const std::size_t n = size * count;
    if (t->body.size() + n > t->maxAnswer) {
        t->tooLong = true;
        return 0;  // ends the transfer
    }
    t->body.append(data, n);
    return n;
}

int Progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* t = static_cast<const Transfer*>(user);
    return t->cancel != nullptr && t->cancel->load() ? 1 : 0;
}

bool StartsWithNoCase(std::string_view text, std::string_view start) {
    if (text.size() < start.size()) return false;
    for (std::size_t i = 0; i < start.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != start[i]) return false;
    }
    return true;
}

}  // namespace

int TrophyUploadId(int trophy) {
    if (trophy < 1 || trophy > 16) return 0;
    return trophy <= 3 ? 84 + trophy : 85 + trophy;
}

RandomDraw RandomDraw::FromClock() {
    return RandomDraw(static_cast<unsigned>(std::time(nullptr)));
}

std::string DigitString(RandomDraw& random, int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += kDigits[static_cast<std::size_t>(random.Next()) % kDigits.size()];
    return s;
}

std::string LetterString(RandomDraw& random, int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += kLetters[static_cast<std::size_t>(random.Next()) % kLetters.size()];
    return s;
}

std::string TrophyField(int trophyId, std::string_view digits) {
    if (digits.empty()) return {};
    const std::string id = std::to_string(trophyId);
    // The last digit is 1..9, so the id goes somewhere in the first nine places.
    const int d = std::clamp(digits.back() - '0', 1, 9);
    std::string field(digits.substr(0, static_cast<std::size_t>(d - 1)));
    field += id;
    field += digits.substr(static_cast<std::size_t>(d - 1));
    field += std::to_string(id.size());
    return field;
}

std::string MachineField(std::string_view machineId, std::string_view letters, int position) {
    const std::size_t p = std::min(static_cast<std::size_t>(std::max(position, 0)), letters.size());
    std::string field(letters.substr(0, p));
    field += machineId;
    field += letters.substr(p);
    return field;
}

std::string PartField(std::string_view partNumber, int b0, std::string_view letters) {
    const int b = (b0 % 9 + 9) % 9 + 1;
    const std::size_t at = std::min(static_cast<std::size_t>(b), letters.size());
    std::string field = std::to_string(b);
    field += letters.substr(0, at);
    field += Md5Hex(partNumber);
    field += letters.substr(at);
    for (char& c : field) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return field;
}

std::string TimeZoneField(int utcOffsetSeconds) {
    const int hours = utcOffsetSeconds / 3600;  // toward zero: part hours are dropped
    return utcOffsetSeconds >= 0 ? "P" + std::to_string(hours) : "M" + std::to_string(-hours);
}

int LocalUtcOffsetSeconds() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return static_cast<int>(local.tm_gmtoff);
}

std::string Md5Hex(std::string_view text) {
    const QByteArray digest = QCryptographicHash::hash(
        QByteArray(text.data(), static_cast<qsizetype>(text.size())), QCryptographicHash::Md5);
    return digest.toHex().toStdString();
}

UploadPath BuildUploadPath(int trophyId, std::string_view machineId, int utcOffsetSeconds,
                           RandomDraw& random) {
    const std::string trophy = TrophyField(trophyId, DigitString(random, kTrophyDigits));
    const std::string letters = LetterString(random, kMachineLetters);
    const int p = MachinePosition(random.Next());
    const std::string machine = MachineField(machineId, letters, p);
    const int b0 = random.Next();
    const std::string part = PartField(kPartNumber, b0, LetterString(random, kPartLetters));

    UploadPath out;
    out.position = p;
    out.combined = part + trophy + machine;
    const std::string a = std::to_string(machine.size() * 4);
    const std::string b = std::to_string(part.size() * 3);
    const std::string e = std::to_string(p * 2);
    const std::string checksum = Md5Hex(a + b + out.combined + e);
    out.path = std::string(kUploadPathStart) + out.combined + "," + e + "," + b + "," + a + "," +
               checksum + "," + TimeZoneField(utcOffsetSeconds) + std::string(kUploadPathEnd);
    return out;
}

std::string UploadUrl(std::string_view service, std::string_view path) {
    while (!service.empty() && service.back() == '/') service.remove_suffix(1);
    return std::string(service) + std::string(path);
}

UploadAnswer SendUploadRequest(const std::string& url, const UploadLimits& limits,
                               const std::atomic<bool>* cancel) {
    UploadAnswer answer;
    if (!StartsWithNoCase(url, "http://") && !StartsWithNoCase(url, "https://")) {
        answer.error = "not an http or https address";
        return answer;
    }
    GlobalInit();
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
        answer.error = "no libcurl handle";
        return answer;
    }
    Transfer t;
    t.maxAnswer = limits.maxAnswer;
    t.cancel = cancel;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, limits.connectMs);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, limits.totalMs);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Append);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &Progress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    const CURLcode rc = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &answer.httpStatus);
    curl_easy_cleanup(curl);

    if (rc == CURLE_OK && answer.httpStatus >= 200 && answer.httpStatus < 300) {
        answer.status = UploadAnswer::Status::Answered;
        answer.body = std::move(t.body);
        return answer;
    }
    if (rc == CURLE_OK) {
        answer.status = UploadAnswer::Status::Failed;
        answer.error = "HTTP status " + std::to_string(answer.httpStatus);
    } else if (t.tooLong) {
        answer.status = UploadAnswer::Status::TooLong;
        answer.error = "the answer is longer than " + std::to_string(limits.maxAnswer) + " bytes";
    } else if (rc == CURLE_ABORTED_BY_CALLBACK) {
        answer.status = UploadAnswer::Status::Cancelled;
        answer.error = "cancelled";
    } else if (rc == CURLE_OPERATION_TIMEDOUT) {
        answer.status = UploadAnswer::Status::TimedOut;
        answer.error = curl_easy_strerror(rc);
    } else {
        answer.status = UploadAnswer::Status::Failed;
        answer.error = curl_easy_strerror(rc);
    }
    return answer;
}

std::string OpenableAddress(std::string_view answer) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!answer.empty() && blank(answer.front())) answer.remove_prefix(1);
    while (!answer.empty() && blank(answer.back())) answer.remove_suffix(1);
    if (answer.empty() || answer.size() > kMaxAddress) return {};
    std::size_t hostStart = 0;
    if (StartsWithNoCase(answer, "https://")) {
        hostStart = 8;
    } else if (StartsWithNoCase(answer, "http://")) {
        hostStart = 7;
    } else {
        return {};
    }
    for (char c : answer) {
        const auto u = static_cast<unsigned char>(c);
        // One address: printable ASCII only, so no blank, line break, quote or
        // control character can turn it into something else.
        if (u <= 0x20 || u >= 0x7F || c == '"' || c == '\\' || c == '<' || c == '>' || c == '`')
            return {};
    }
    const std::string_view rest = answer.substr(hostStart);
    const std::size_t hostEnd = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, hostEnd);
    if (authority.find('@') != std::string_view::npos) return {};  // no user part
    if (const std::size_t colon = authority.rfind(':');
        colon != std::string_view::npos && authority.find(']') == std::string_view::npos) {
        const std::string_view port = authority.substr(colon + 1);
        if (port.empty() || port.size() > 5 ||
            !std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return {};
        authority = authority.substr(0, colon);
    }
    if (authority.empty()) return {};
    return std::string(answer);
}

UploadJob::UploadJob(std::string url, UploadLimits limits, std::function<void(UploadAnswer)> done) {
    thread_ = std::thread([this, url = std::move(url), limits, done = std::move(done)] {
        UploadAnswer answer = SendUploadRequest(url, limits, &cancel_);
        if (!cancel_.load() && done) done(std::move(answer));
        finished_ = true;
    });
}

UploadJob::~UploadJob() {
    cancel_ = true;
    if (thread_.joinable()) thread_.join();
}

}  // namespace vyre::trophies
