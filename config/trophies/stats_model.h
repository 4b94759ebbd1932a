#pragma once
// What the statistics and trophies page shows of the statistics record: the
// sixteen rows of a period with their formats, the trophies with their state,
// what each asks for and how far the counters are, and the points as a
// percentage. No window code.

#include <array>
#include <cstdint>
#include <string>

#include "common/profile_store.h"

namespace vyre::trophies {

inline constexpr int kTrophyCount = 16;
inline constexpr int kPeriodCount = 3;  // 0 since the last reset, 1 this hour, 2 today
inline constexpr int kStatisticsRows = 16;
inline constexpr int kMaxTrophyPoints = 425;

// One row of the statistics list: the counters it adds up, its label and unit.
struct StatisticsRow {
    std::array<int, 4> counters;  // -1 ends the list
    const char* label;
    bool strokes;  // "%d strokes", else "%d times"
};
const std::array<StatisticsRow, kStatisticsRows>& StatisticsRows();
const char* PeriodTitle(int period);

// The value of a row in a period (0..2) and its text ("%d strokes" / "%d times").
std::int64_t RowValue(const StatisticsRecord& record, int period, int row);
std::string RowText(const StatisticsRecord& record, int period, int row);

enum class Tier { Bronze, Silver, Gold, Master };
struct TrophyRule {
    const char* name;
    Tier tier;
    std::array<int, 4> counters;  // summed (period 0); -1 ends; none for the master trophy
    std::int64_t threshold;
    const char* unit;  // what the threshold counts
    int points;
};
// Trophy n (1..16) is rule n - 1; trophy n is bit n - 1 of the trophy bits.
const TrophyRule& Trophy(int trophy);

bool TrophyUnlocked(const StatisticsRecord& record, int trophy);  // false outside 1..16
int UnlockedCount(const StatisticsRecord& record);
// Points x 100 / 425, integer division, 0..100.
int PointsPercent(const StatisticsRecord& record);
// How far a locked trophy is: the summed counters since the last reset (for
// the master trophy, the other trophies unlocked).
std::int64_t TrophyProgress(const StatisticsRecord& record, int trophy);
std::int64_t TrophyGoal(int trophy);
// "1,234,567".
std::string Grouped(std::int64_t value);

}  // namespace vyre::trophies
