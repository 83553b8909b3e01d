/* The rule-work budget of the recurrence engine (see recurrence_work.h). */
#include "public/recurrence/recurrence_work.h"

#include <string.h>

#include <algorithm>

#include "public/recurrence/recurrence.h"

namespace {

constexpr long long kSecondsPerHour = 3600;
constexpr long long kSecondsPerDay = 86400;

/* The units one step of the iterator costs, measured on this engine: a
 * Gregorian day step is the unit; months and years of the other scales go
 * through ICU calendar fields; a Chinese or Dangi step asks ICU for new moons
 * and solar terms. */
struct ScaleWeights {
    long long day;     /* a step of a DAILY, WEEKLY or finer rule */
    long long month;
    long long year;
};
constexpr ScaleWeights kGregorianWeights = {1, 2, 4};
constexpr ScaleWeights kArithmeticWeights = {2, 100, 100};
constexpr ScaleWeights kLunisolarWeights = {100, 200, 250};

/* The thread's allowance: below 0 when none is set. */
thread_local long long allowance = -1;
thread_local bool denialLogged = false;

const ScaleWeights& scale_weights(const char* rscale) {
    if (!rscale || strcmp(rscale, "GREGORIAN") == 0)
        return kGregorianWeights;
    if (strcmp(rscale, "CHINESE") == 0 || strcmp(rscale, "DANGI") == 0)
        return kLunisolarWeights;
    return kArithmeticWeights;
}

long long step_weight(const struct icalrecurrencetype& rule) {
    const ScaleWeights& weights = scale_weights(rule.rscale);
    if (rule.freq == ICAL_YEARLY_RECURRENCE)
        return weights.year;
    if (rule.freq == ICAL_MONTHLY_RECURRENCE)
        return weights.month;
    return weights.day;
}

/* The wall-clock time one step of the iterator covers at least. Finer
 * frequencies step through their BYHOUR, BYMINUTE and BYSECOND lists, so an
 * hour is what they cover at the least. */
long long grain_seconds(icalrecurrencetype_frequency freq) {
    switch (freq) {
    case ICAL_WEEKLY_RECURRENCE:
        return 7 * kSecondsPerDay;
    case ICAL_MONTHLY_RECURRENCE:
        return 28 * kSecondsPerDay;
    case ICAL_YEARLY_RECURRENCE:
        return 365 * kSecondsPerDay;
    case ICAL_DAILY_RECURRENCE:
        return kSecondsPerDay;
    default:
        return kSecondsPerHour;
    }
}

}  // namespace

RuleCost rule_cost(const struct icalrecurrencetype& rule) {
    return RuleCost{grain_seconds(rule.freq), step_weight(rule)};
}

long long walk_cost(const RuleCost& cost, long long fromWall, long long toWall) {
    if (toWall <= fromWall)
        return 0;
    const long long steps = (toWall - fromWall) / cost.grainSeconds;
    return steps > 1 ? (steps - 1) * cost.weight : 0;
}

WorkBudget::WorkBudget()
    : granted_(allowance < 0 ? kMaxWorkPerExpansion : std::min(allowance, kMaxWorkPerExpansion)) {}

WorkBudget::~WorkBudget() {
    if (allowance >= 0)
        allowance = std::max(0LL, allowance - spent_);
}

bool WorkBudget::spend(long long units) {
    if (units > left()) {
        spent_ = granted_;
        exhausted_ = true;
        return false;
    }
    spent_ += units;
    return true;
}

bool work_denial_first_since_set() {
    const bool first = !denialLogged;
    denialLogged = true;
    return first;
}

extern "C" long long recurrence_SetWorkAllowance(long long units) {
    const long long previous = allowance;
    allowance = units < 0 ? -1 : units;
    denialLogged = false;
    return previous;
}
