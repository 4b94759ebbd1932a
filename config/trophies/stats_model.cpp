#include "config/trophies/stats_model.h"

#include <algorithm>
#include <bit>

namespace vyre::trophies {
namespace {

// The keyboard counts keys in strokes and its functions in times. Counter 0
// counts every key; 1 to 4 the four game keys that the key trophies count
// together; 5 to 7 the three thumb keys; the others the uses of the
// keyboard's functions, in two pairs that trophies count (8 and 9, 16 and
// 17) and two alone (15, 18).
constexpr std::array<StatisticsRow, kStatisticsRows> kRows = {{
    {{2, -1, -1, -1}, "Game key 2", true},
    {{18, -1, -1, -1}, "Function F", false},
    {{4, -1, -1, -1}, "Game key 4", true},
    {{8, -1, -1, -1}, "Function A", false},
    {{16, -1, -1, -1}, "Function D", false},
    {{9, -1, -1, -1}, "Function B", false},
    {{17, -1, -1, -1}, "Function E", false},
    {{15, -1, -1, -1}, "Function C", false},
    {{3, -1, -1, -1}, "Game key 3", true},
    {{5, -1, -1, -1}, "Thumb key 1", true},
    {{6, -1, -1, -1}, "Thumb key 2", true},
    {{7, -1, -1, -1}, "Thumb key 3", true},
    {{1, -1, -1, -1}, "Game key 1", true},
    {{5, 6, 7, -1}, "All thumb keys", true},
    {{1, 2, 3, 4}, "All game keys", true},
    {{0, -1, -1, -1}, "All keys", true},
}};

constexpr const char* kPeriodTitles[kPeriodCount] = {"SINCE THE LAST RESET", "THIS HOUR", "TODAY"};

// Bit order of the trophy word: bits 0-2 functions A and B, 3-5 all keys,
// 6-8 thumb keys, 9-11 functions D and E, 12-14 game keys, 15 all others.
const std::array<TrophyRule, kTrophyCount> kTrophies = {{
    {"Function Apprentice", Tier::Bronze, {8, 9, -1, -1}, 1000, "uses of functions A and B", 5},
    {"Function Adept", Tier::Silver, {8, 9, -1, -1}, 10000, "uses of functions A and B", 10},
    {"Function Master", Tier::Gold, {8, 9, -1, -1}, 25000, "uses of functions A and B", 50},
    {"Keen Typist", Tier::Bronze, {0, -1, -1, -1}, 500000, "key strokes", 5},
    {"Tireless Typist", Tier::Silver, {0, -1, -1, -1}, 1500000, "key strokes", 10},
    {"Legendary Typist", Tier::Gold, {0, -1, -1, -1}, 3000000, "key strokes", 50},
    {"Thumb Rookie", Tier::Bronze, {5, 6, 7, -1}, 5000, "thumb key strokes", 5},
    {"Thumb Veteran", Tier::Silver, {5, 6, 7, -1}, 10000, "thumb key strokes", 10},
    {"Thumb Champion", Tier::Gold, {5, 6, 7, -1}, 20000, "thumb key strokes", 50},
    {"Switch Novice", Tier::Bronze, {16, 17, -1, -1}, 1000, "uses of functions D and E", 5},
    {"Switch Expert", Tier::Silver, {16, 17, -1, -1}, 3000, "uses of functions D and E", 10},
    {"Switch Virtuoso", Tier::Gold, {16, 17, -1, -1}, 5000, "uses of functions D and E", 50},
    {"Gamer", Tier::Bronze, {1, 2, 3, 4}, 35000, "game key strokes", 5},
    {"Hardcore Gamer", Tier::Silver, {1, 2, 3, 4}, 70000, "game key strokes", 10},
    {"Gaming Legend", Tier::Gold, {1, 2, 3, 4}, 100000, "game key strokes", 50},
    {"Vyre Lumo Master", Tier::Master, {-1, -1, -1, -1}, 15, "other trophies", 100},
}};

const LeI32* Period(const StatisticsRecord& r, int period) {
    return period == 1 ? r.hour : period == 2 ? r.day : r.lifetime;
}

std::int64_t Sum(const LeI32* values, const std::array<int, 4>& counters) {
    std::int64_t sum = 0;
    for (int c : counters) {
        if (c < 0) break;
        sum += values[c].get();
    }
    return sum;
}

}  // namespace

const std::array<StatisticsRow, kStatisticsRows>& StatisticsRows() {
    return kRows;
}

const char* PeriodTitle(int period) {
    return kPeriodTitles[std::clamp(period, 0, kPeriodCount - 1)];
}

std::int64_t RowValue(const StatisticsRecord& record, int period, int row) {
    if (row < 0 || row >= kStatisticsRows) return 0;
    return Sum(Period(record, period), kRows[row].counters);
}

std::string RowText(const StatisticsRecord& record, int period, int row) {
    if (row < 0 || row >= kStatisticsRows) return {};
    return std::to_string(RowValue(record, period, row)) +
           (kRows[row].strokes ? " strokes" : " times");
}

const TrophyRule& Trophy(int trophy) {
    return kTrophies[std::clamp(trophy, 1, kTrophyCount) - 1];
}

bool TrophyUnlocked(const StatisticsRecord& record, int trophy) {
    if (trophy < 1 || trophy > kTrophyCount) return false;
    return (record.trophyBits.get() >> (trophy - 1) & 1u) != 0;
}

int UnlockedCount(const StatisticsRecord& record) {
    return std::popcount(record.trophyBits.get() & 0xFFFFu);
}

int PointsPercent(const StatisticsRecord& record) {
    const std::int64_t points = std::max<std::int64_t>(record.trophyPoints.get(), 0);
    return static_cast<int>(std::min<std::int64_t>(points * 100 / kMaxTrophyPoints, 100));
}

std::int64_t TrophyProgress(const StatisticsRecord& record, int trophy) {
    const TrophyRule& rule = Trophy(trophy);
    if (rule.tier == Tier::Master) return std::popcount(record.trophyBits.get() & 0x7FFFu);
    return Sum(record.lifetime, rule.counters);
}

std::int64_t TrophyGoal(int trophy) {
    return Trophy(trophy).threshold;
}

std::string Grouped(std::int64_t value) {
    const std::string digits = std::to_string(value < 0 ? -value : value);
    std::string out = value < 0 ? "-" : "";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

}  // namespace vyre::trophies
