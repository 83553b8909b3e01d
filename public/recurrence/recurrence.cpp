/* The recurrence engine on libical's rule iterator.
 *
 * Rules are iterated in floating wall-clock time (libical knows nothing of the
 * zone) and each occurrence is converted to UTC through the ICU zone. The
 * streams of all rules, the RDATEs and DTSTART are merged in ascending order;
 * exclusions are checked as each candidate comes up, so only as much of every
 * rule is computed as the bound needs. */
#include "public/recurrence/recurrence.h"

#include <ctype.h>
#include <limits.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <queue>
#include <string>
#include <vector>

#include <libical/ical.h>
#include <unicode/timezone.h>

#include "public/core_util/datetime.h"
#include "public/core_util/gmtime.h"
#include "public/core_util/timezone.h"
#include "public/recurrence/recurrence_work.h"
#include "public/util/kvallog.h"

namespace {

constexpr long long kSecondsPerDay = 86400;
constexpr long long kLastTime = INT32_MAX;
/* Later wall-clock times are past the 32-bit range in any zone. */
constexpr long long kLastWall = kLastTime + 2 * kSecondsPerDay;

long long floor_div(long long value, long long divisor) {
    long long quotient = value / divisor;
    if (value % divisor != 0 && value < 0)
        quotient--;
    return quotient;
}

long long floor_mod(long long value, long long divisor) {
    return value - floor_div(value, divisor) * divisor;
}

struct icaltimetype wall_to_ical(long long wallSeconds) {
    struct icaltimetype result = icaltime_null_time();
    struct tm broken;
    const time_t wall = (time_t)wallSeconds;
    mtgmtime(&wall, &broken);
    result.year = broken.tm_year + 1900;
    result.month = broken.tm_mon + 1;
    result.day = broken.tm_mday;
    result.hour = broken.tm_hour;
    result.minute = broken.tm_min;
    result.second = broken.tm_sec;
    result.is_date = 0;
    return result;
}

bool ical_to_wall(const struct icaltimetype& time, long long* pWallSeconds) {
    return cal_gmtime_fields_to_seconds(time.year, time.month, time.day,
                                        time.hour, time.minute, time.second,
                                        pWallSeconds) == 0;
}

/* Where the walk of one rule stops: its UNTIL, the last wall-clock time a
 * record can hold, or as far as the budget can pay for, whichever is first. */
struct RuleWalk {
    long long startWall;
    long long endWall;
    bool endIsBudget;   /* the walk ends there only for lack of work */
    int count;          /* COUNT, 0 when none */
};

/* The occurrences of one rule in ascending UTC order. */
class RuleStream {
  public:
    /* Takes the iterator and the rule's RSCALE text, which the rule parser
     * allocates, the iterator refers to, and nobody else frees. */
    RuleStream(icalrecur_iterator* iterator, char* rscale, const icu::TimeZone* zone,
               const RuleCost& cost, const RuleWalk& walk)
        : iterator_(iterator), rscale_(rscale), zone_(zone), cost_(cost), walk_(walk),
          walkedTo_(walk.startWall) {}
    ~RuleStream() {
        icalrecur_iterator_free(iterator_);
        free(rscale_);
    }
    RuleStream(const RuleStream&) = delete;
    RuleStream& operator=(const RuleStream&) = delete;

    /* The smallest occurrence not yet popped; false when there is none. */
    bool peek(WorkBudget& budget, long long* pUtc) {
        while (!done_ && (pending_.empty() || lastWall_ < pending_.top().releaseWall))
            fetch(budget);
        if (pending_.empty())
            return false;
        *pUtc = pending_.top().utc;
        return true;
    }

    void pop() { pending_.pop(); }

  private:
    /* Wall-clock times map to UTC in order, except inside a skipped hour: an
     * occurrence there takes the offset before the change and lands at the
     * instant whose wall-clock time is later by the size of the gap, past
     * occurrences still to come. So each occurrence waits until the rule has
     * reached the wall-clock time of its own instant (at once outside a gap). */
    struct Occurrence {
        long long utc;
        long long releaseWall;
        bool operator>(const Occurrence& other) const { return utc > other.utc; }
    };

    void fetch(WorkBudget& budget) {
        if (!budget.spend(cost_.weight)) {
            done_ = true;
            return;
        }
        const struct icaltimetype next = icalrecur_iterator_next(iterator_);
        long long wall = 0;
        long long utc = 0;
        if (icaltime_is_null_time(next) || !ical_to_wall(next, &wall)) {
            end_walk(budget);
            return;
        }
        fetched_++;
        /* The step is paid for even when the budget falls short: it is done. */
        budget.spend(walk_cost(cost_, walkedTo_, wall));
        walkedTo_ = std::max(walkedTo_, wall);
        if (timezone_WallClockToUtc(zone_, wall, &utc) != 0) {
            done_ = true;
            return;
        }
        lastWall_ = wall;
        long long releaseWall = wall;
        if (timezone_UtcToWallClock(zone_, utc, &releaseWall) != 0)
            releaseWall = wall;
        pending_.push(Occurrence{utc, releaseWall});
    }

    /* The iterator has nothing more: unless COUNT ended it, it walked to the
     * end of the walk, which is paid for; an end set by the budget means the
     * rule was cut short. */
    void end_walk(WorkBudget& budget) {
        done_ = true;
        if (walk_.count > 0 && fetched_ >= walk_.count)
            return;
        budget.spend(walk_cost(cost_, walkedTo_, walk_.endWall));
        if (walk_.endIsBudget)
            budget.exhaust();
    }

    icalrecur_iterator* iterator_;
    char* rscale_;
    const icu::TimeZone* zone_;
    RuleCost cost_;
    RuleWalk walk_;
    long long walkedTo_;
    int fetched_ = 0;
    bool done_ = false;
    long long lastWall_ = LLONG_MIN;
    std::priority_queue<Occurrence, std::vector<Occurrence>, std::greater<Occurrence>> pending_;
};

bool has_values(const short* list) {
    return list[0] != ICAL_RECURRENCE_ARRAY_MAX;
}

bool list_contains(const short* list, int size, int value) {
    for (int i = 0; i < size && list[i] != ICAL_RECURRENCE_ARRAY_MAX; i++)
        if (list[i] == value)
            return true;
    return false;
}

bool is_finer_than_daily(icalrecurrencetype_frequency freq) {
    return freq == ICAL_SECONDLY_RECURRENCE || freq == ICAL_MINUTELY_RECURRENCE ||
           freq == ICAL_HOURLY_RECURRENCE;
}

/* Whether the iterator can search this rule at a bounded cost: a rule finer
 * than daily restricted by date parts may step through years of seconds,
 * minutes or hours between two matches. */
bool rule_is_affordable(const struct icalrecurrencetype& rule) {
    if (!is_finer_than_daily(rule.freq))
        return true;
    if (has_values(rule.by_month) || has_values(rule.by_week_no) ||
        has_values(rule.by_year_day) || has_values(rule.by_month_day) ||
        has_values(rule.by_set_pos))
        return false;
    if (!has_values(rule.by_day))
        return true;
    if (rule.freq == ICAL_SECONDLY_RECURRENCE)
        return false;
    for (int i = 0; i < ICAL_BY_DAY_SIZE && rule.by_day[i] != ICAL_RECURRENCE_ARRAY_MAX; i++)
        if (icalrecurrencetype_day_position(rule.by_day[i]) != 0)
            return false;
    return true;
}

long long gcd(long long a, long long b) {
    while (b != 0) {
        const long long rest = a % b;
        a = b;
        b = rest;
    }
    return a;
}

/* For a rule finer than daily: whether some time of day that its BYHOUR,
 * BYMINUTE and BYSECOND allow is reachable from DTSTART in steps of INTERVAL.
 * Days have 86,400 wall-clock seconds, so the reachable times of day are those
 * congruent to DTSTART's modulo gcd(INTERVAL, units per day). */
bool time_parts_can_meet_interval(const struct icalrecurrencetype& rule, long long startWall) {
    if (!is_finer_than_daily(rule.freq))
        return true;
    const long long unit = rule.freq == ICAL_SECONDLY_RECURRENCE   ? 1
                           : rule.freq == ICAL_MINUTELY_RECURRENCE ? 60
                                                                   : 3600;
    const long long unitsPerDay = kSecondsPerDay / unit;
    const long long step = gcd(rule.interval < 1 ? 1 : rule.interval, unitsPerDay);
    const long long start = floor_mod(startWall, kSecondsPerDay) / unit;
    for (long long u = floor_mod(start, step); u < unitsPerDay; u += step) {
        const long long secondOfDay = u * unit;
        if (has_values(rule.by_hour) &&
            !list_contains(rule.by_hour, ICAL_BY_HOUR_SIZE, (int)(secondOfDay / 3600)))
            continue;
        if (unit <= 60 && has_values(rule.by_minute) &&
            !list_contains(rule.by_minute, ICAL_BY_MINUTE_SIZE, (int)(secondOfDay / 60 % 60)))
            continue;
        if (unit == 1 && has_values(rule.by_second) &&
            !list_contains(rule.by_second, ICAL_BY_SECOND_SIZE, (int)(secondOfDay % 60)))
            continue;
        return true;
    }
    return false;
}

int list_length(const short* list, int size) {
    int length = 0;
    while (length < size && list[length] != ICAL_RECURRENCE_ARRAY_MAX)
        length++;
    return length;
}

/* Months (1-12) a MONTHLY or YEARLY rule can visit: BYMONTH, and for MONTHLY
 * only those reached from DTSTART's month in steps of INTERVAL. */
std::vector<int> reachable_months(const struct icalrecurrencetype& rule, int startMonth) {
    const int step = rule.freq == ICAL_MONTHLY_RECURRENCE
                         ? (int)gcd(rule.interval < 1 ? 1 : rule.interval, 12)
                         : 1;
    std::vector<int> months;
    for (int month = 1; month <= 12; month++) {
        if ((month - startMonth) % step != 0)
            continue;
        if (has_values(rule.by_month)) {
            bool listed = false;
            for (int i = 0; i < ICAL_BY_MONTH_SIZE && rule.by_month[i] != ICAL_RECURRENCE_ARRAY_MAX; i++)
                listed = listed || icalrecurrencetype_month_month(rule.by_month[i]) == month;
            if (!listed)
                continue;
        }
        months.push_back(month);
    }
    return months;
}

/* Whether some BYMONTHDAY fits some reachable month (29 days for February). */
bool month_days_fit(const struct icalrecurrencetype& rule, const std::vector<int>& months) {
    static const int kLongestMonth[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int month : months)
        for (int i = 0; i < ICAL_BY_MONTHDAY_SIZE && rule.by_month_day[i] != ICAL_RECURRENCE_ARRAY_MAX; i++) {
            const int day = abs(rule.by_month_day[i]);
            if (day >= 1 && day <= kLongestMonth[month - 1])
                return true;
        }
    return false;
}

/* Whether some BYDAY entry can occur: an ordinal counts weekdays of a month
 * (at most 5) in a MONTHLY rule or a YEARLY one with BYMONTH, else of a year. */
bool week_days_fit(const struct icalrecurrencetype& rule) {
    const bool withinMonth = rule.freq == ICAL_MONTHLY_RECURRENCE || has_values(rule.by_month);
    const int most = withinMonth ? 5 : 53;
    for (int i = 0; i < ICAL_BY_DAY_SIZE && rule.by_day[i] != ICAL_RECURRENCE_ARRAY_MAX; i++)
        if (abs(icalrecurrencetype_day_position(rule.by_day[i])) <= most)
            return true;
    return false;
}

/* For a DAILY rule: whether a BYDAY weekday is reached from DTSTART's weekday
 * (0 = Sunday) in steps of INTERVAL days. */
bool week_days_reachable(const struct icalrecurrencetype& rule, int startWeekday) {
    const long long step = gcd(rule.interval < 1 ? 1 : rule.interval, 7);
    for (int i = 0; i < ICAL_BY_DAY_SIZE && rule.by_day[i] != ICAL_RECURRENCE_ARRAY_MAX; i++) {
        const int weekday = (int)icalrecurrencetype_day_day_of_week(rule.by_day[i]) - 1;
        if (floor_mod(weekday - startWeekday, step) == 0)
            return true;
    }
    return false;
}

/* An upper bound of the number of days one period of the rule holds. */
int most_days_per_period(const struct icalrecurrencetype& rule) {
    const int dayEntries = list_length(rule.by_day, ICAL_BY_DAY_SIZE);
    switch (rule.freq) {
    case ICAL_WEEKLY_RECURRENCE:
        return dayEntries > 0 ? std::min(dayEntries, 7) : 1;
    case ICAL_MONTHLY_RECURRENCE:
        if (has_values(rule.by_month_day))
            return std::min(list_length(rule.by_month_day, ICAL_BY_MONTHDAY_SIZE), 31);
        return dayEntries > 0 ? std::min(dayEntries * 5, 31) : 1;
    case ICAL_YEARLY_RECURRENCE: {
        const int monthCount = has_values(rule.by_month) ? list_length(rule.by_month, ICAL_BY_MONTH_SIZE) : 12;
        if (has_values(rule.by_year_day))
            return std::min(list_length(rule.by_year_day, ICAL_BY_YEARDAY_SIZE), 366);
        if (has_values(rule.by_month_day))
            return std::min(list_length(rule.by_month_day, ICAL_BY_MONTHDAY_SIZE) * monthCount, 366);
        if (has_values(rule.by_week_no))
            return std::min(list_length(rule.by_week_no, ICAL_BY_WEEKNO_SIZE) * 7, 366);
        if (dayEntries > 0)
            return std::min(dayEntries * (has_values(rule.by_month) ? 5 * monthCount : 53), 366);
        return has_values(rule.by_month) ? monthCount : 1;
    }
    default:
        return 1;
    }
}

/* Whether the rule counts in a calendar scale other than the Gregorian one
 * (RSCALE), whose months the iterator knows and the proofs below do not. */
bool in_other_calendar_scale(const struct icalrecurrencetype& rule) {
    return rule.rscale && strcmp(rule.rscale, "GREGORIAN") != 0;
}

/* Cheap proofs that a rule of DAILY or coarser frequency has no occurrence at
 * all, for the shapes the iterator would otherwise search for a long time:
 * month days that no reachable month has, ordinals no month or year has,
 * and set positions beyond any set the rule can build. They count Gregorian
 * months, so a rule in another calendar scale is left to the iterator (and
 * the budget). */
bool rule_never_matches(const struct icalrecurrencetype& rule, long long startWall) {
    if (is_finer_than_daily(rule.freq) || in_other_calendar_scale(rule))
        return false;
    struct tm start;
    const time_t wall = (time_t)startWall;
    mtgmtime(&wall, &start);
    const std::vector<int> months = reachable_months(rule, start.tm_mon + 1);
    if ((rule.freq == ICAL_MONTHLY_RECURRENCE || rule.freq == ICAL_YEARLY_RECURRENCE) &&
        months.empty())
        return true;
    if (has_values(rule.by_month_day) && !month_days_fit(rule, months))
        return true;
    if (has_values(rule.by_day) && !week_days_fit(rule))
        return true;
    if (rule.freq == ICAL_DAILY_RECURRENCE && has_values(rule.by_day) &&
        !week_days_reachable(rule, start.tm_wday))
        return true;
    if (!has_values(rule.by_set_pos))
        return false;
    long long setSize = most_days_per_period(rule);
    setSize *= std::max(1, list_length(rule.by_hour, ICAL_BY_HOUR_SIZE));
    setSize *= std::max(1, list_length(rule.by_minute, ICAL_BY_MINUTE_SIZE));
    setSize *= std::max(1, list_length(rule.by_second, ICAL_BY_SECOND_SIZE));
    for (int i = 0; i < ICAL_BY_SETPOS_SIZE && rule.by_set_pos[i] != ICAL_RECURRENCE_ARRAY_MAX; i++)
        if (abs(rule.by_set_pos[i]) <= setSize)
            return false;
    return true;
}

/* Rewrites UNTIL as the wall-clock time the iterator compares with: a UTC
 * UNTIL through the zone, a date as the end of that day. */
bool until_to_wall_clock(struct icalrecurrencetype* rule, const icu::TimeZone* zone) {
    struct icaltimetype until = rule->until;
    if (icaltime_is_null_time(until))
        return true;
    long long seconds = 0;
    if (cal_gmtime_fields_to_seconds(until.year, until.month, until.day,
                                     until.is_date ? 23 : until.hour,
                                     until.is_date ? 59 : until.minute,
                                     until.is_date ? 59 : until.second, &seconds) != 0)
        return false;
    long long wall = seconds;
    if (!until.is_date && icaltime_is_utc(until) &&
        timezone_UtcToWallClock(zone, seconds, &wall) != 0)
        return false;
    rule->until = wall_to_ical(wall);
    return true;
}

void log_rule(const char* text, const char* why) {
    kvallog(0, KVALLOG_LEVEL_DROPPED,
            "%s: Recurrence rule \"%s\" %s.", KVALLOG_CORE_SUBSYSTEM, text, why);
}

/* Sets the rule's UNTIL to the end of its walk (see RuleWalk), as far as
 * `unitsLeft` of work reach from `startWall`. */
RuleWalk plan_walk(struct icalrecurrencetype* rule, long long startWall, const RuleCost& cost,
                   long long unitsLeft) {
    RuleWalk walk = {startWall, kLastWall, false, rule->count};
    long long until = 0;
    if (!icaltime_is_null_time(rule->until) && ical_to_wall(rule->until, &until))
        walk.endWall = std::min(walk.endWall, until);
    const long long affordable = startWall + (unitsLeft / cost.weight + 1) * cost.grainSeconds;
    if (affordable < walk.endWall) {
        walk.endWall = affordable;
        walk.endIsBudget = true;
    }
    rule->until = wall_to_ical(walk.endWall);
    return walk;
}

/* Opens a stream over one RRULE or EXRULE text. Returns 0 with *pStream set,
 * or left NULL when the rule can yield nothing; 2 when the rule is unreadable
 * or refused. */
int open_rule(const char* text, long long startWall, const icu::TimeZone* zone,
              const WorkBudget& budget, std::unique_ptr<RuleStream>* pStream) {
    if (!text)
        return 2;
    std::string upper(text);
    for (char& c : upper)
        c = (char)toupper((unsigned char)c);
    icalerrno = ICAL_NO_ERROR;
    struct icalrecurrencetype rule = icalrecurrencetype_from_string(upper.c_str());
    std::unique_ptr<char, void (*)(void*)> rscale(rule.rscale, free);
    if (rule.freq == ICAL_NO_RECURRENCE || icalerrno != ICAL_NO_ERROR ||
        !until_to_wall_clock(&rule, zone)) {
        log_rule(text, "is not readable");
        return 2;
    }
    if (!rule_is_affordable(rule)) {
        log_rule(text, "is too costly to search and is not expanded");
        return 2;
    }
    if (!time_parts_can_meet_interval(rule, startWall) || rule_never_matches(rule, startWall))
        return 0;
    const RuleCost cost = rule_cost(rule);
    const RuleWalk walk = plan_walk(&rule, startWall, cost, budget.left());
    icalrecur_iterator* iterator = icalrecur_iterator_new(rule, wall_to_ical(startWall));
    if (iterator)
        pStream->reset(new RuleStream(iterator, rscale.release(), zone, cost, walk));
    return 0;
}

/* One RDATE or EXDATE item: an instant in UTC, or a wall-clock day. */
struct DateItem {
    bool isDate;
    long long value;   /* UTC seconds, or the wall-clock seconds of the day's midnight */
};

bool parse_date_item(const char* text, const icu::TimeZone* zone, DateItem* pItem) {
    if (!text)
        return false;
    /* A PERIOD counts by its start. */
    std::string value(text, strcspn(text, "/"));
    while (!value.empty() && isspace((unsigned char)value.back()))
        value.pop_back();
    const size_t first = value.find_first_not_of(" \t\r\n");
    value.erase(0, first == std::string::npos ? value.size() : first);
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!datetime_IsParseable(value.c_str(), &year, &month, &day, &hour, &minute, &second))
        return false;
    long long seconds = 0;
    cal_gmtime_fields_to_seconds(year, month, day, hour, minute, second, &seconds);
    pItem->isDate = value.size() == 8;
    pItem->value = seconds;
    if (value.size() == 15)
        return timezone_WallClockToUtc(zone, seconds, &pItem->value) == 0;
    return true;
}

/* parse_date_item, with a log line for an item that cannot be read; `kind`
 * names the list ("RDATE" or "EXDATE"). */
bool read_date_item(const char* kind, const char* text, const icu::TimeZone* zone,
                    DateItem* pItem) {
    if (parse_date_item(text, zone, pItem))
        return true;
    kvallog(0, KVALLOG_LEVEL_DROPPED,
            "%s: Recurrence %s item \"%s\" is not readable.", KVALLOG_CORE_SUBSYSTEM,
            kind, text ? text : "");
    return false;
}

struct Exclusions {
    std::vector<long long> instants;   /* sorted */
    std::vector<long long> days;       /* wall-clock day numbers, sorted */
    std::vector<std::unique_ptr<RuleStream>> rules;
};

/* Whether an EXDATE instant or day removes `candidate`. */
bool is_excluded_by_dates(long long candidate, const Exclusions& exclusions,
                          const icu::TimeZone* zone) {
    if (std::binary_search(exclusions.instants.begin(), exclusions.instants.end(), candidate))
        return true;
    long long wall = 0;
    return !exclusions.days.empty() && timezone_UtcToWallClock(zone, candidate, &wall) == 0 &&
           std::binary_search(exclusions.days.begin(), exclusions.days.end(),
                              floor_div(wall, kSecondsPerDay));
}

bool is_excluded(long long candidate, Exclusions& exclusions, const icu::TimeZone* zone,
                 WorkBudget& budget) {
    if (is_excluded_by_dates(candidate, exclusions, zone))
        return true;
    for (auto& rule : exclusions.rules) {
        long long next = 0;
        while (rule->peek(budget, &next) && next < candidate)
            rule->pop();
        if (rule->peek(budget, &next) && next == candidate)
            return true;
    }
    return false;
}

int append_results(const std::vector<long long>& results, array_t* dates) {
    const unsigned before = dates->count;
    for (long long value : results) {
        time_t* element = (time_t*)malloc(sizeof(time_t));
        if (!element || array_append(dates, element) != 0) {
            free(element);
            while (dates->count > before)
                free(array_removeat(dates, dates->count - 1));
            return 3;
        }
        *element = (time_t)value;
    }
    return 0;
}

using RuleStreams = std::vector<std::unique_ptr<RuleStream>>;

/* Opens a stream for every rule text of `texts`; false when one was unreadable
 * or refused. */
bool open_rules(const array_t* texts, long long startWall, const icu::TimeZone* zone,
                const WorkBudget& budget, RuleStreams* pStreams) {
    bool allRead = true;
    for (unsigned i = 0; texts && i < texts->count; i++) {
        std::unique_ptr<RuleStream> stream;
        if (open_rule((const char*)texts->data[i], startWall, zone, budget, &stream) != 0)
            allRead = false;
        if (stream)
            pStreams->push_back(std::move(stream));
    }
    return allRead;
}

/* The RDATE instants, sorted; a date takes DTSTART's wall-clock time of day.
 * False when an item was unreadable. */
bool read_rdates(const array_t* texts, long long startWall, const icu::TimeZone* zone,
                 std::vector<long long>* pInstants) {
    bool allRead = true;
    for (unsigned i = 0; texts && i < texts->count; i++) {
        DateItem item;
        long long utc = 0;
        if (!read_date_item("RDATE", (const char*)texts->data[i], zone, &item))
            allRead = false;
        else if (!item.isDate)
            pInstants->push_back(item.value);
        else if (timezone_WallClockToUtc(zone, item.value + floor_mod(startWall, kSecondsPerDay),
                                         &utc) == 0)
            pInstants->push_back(utc);
    }
    std::sort(pInstants->begin(), pInstants->end());
    return allRead;
}

/* The EXDATE instants and days, sorted. False when an item was unreadable. */
bool read_exdates(const array_t* texts, const icu::TimeZone* zone, Exclusions* pExclusions) {
    bool allRead = true;
    for (unsigned i = 0; texts && i < texts->count; i++) {
        DateItem item;
        if (!read_date_item("EXDATE", (const char*)texts->data[i], zone, &item))
            allRead = false;
        else if (item.isDate)
            pExclusions->days.push_back(floor_div(item.value, kSecondsPerDay));
        else
            pExclusions->instants.push_back(item.value);
    }
    std::sort(pExclusions->instants.begin(), pExclusions->instants.end());
    std::sort(pExclusions->days.begin(), pExclusions->days.end());
    return allRead;
}

/* The sources of occurrences, merged in ascending order. */
struct Inclusions {
    bool startPending = true;
    time_t start = 0;
    std::vector<long long> instants;   /* RDATEs, sorted */
    size_t nextInstant = 0;
    RuleStreams rules;

    /* Takes the smallest occurrence of every source, once however many give
     * it; false when all are exhausted. */
    bool take_next(WorkBudget& budget, long long* pCandidate) {
        long long candidate = LLONG_MAX;
        long long next = 0;
        bool found = startPending;
        if (startPending)
            candidate = start;
        if (nextInstant < instants.size() && instants[nextInstant] <= candidate) {
            candidate = instants[nextInstant];
            found = true;
        }
        for (auto& rule : rules)
            if (rule->peek(budget, &next) && next <= candidate) {
                candidate = next;
                found = true;
            }
        if (!found)
            return false;
        if (startPending && candidate == start)
            startPending = false;
        while (nextInstant < instants.size() && instants[nextInstant] == candidate)
            nextInstant++;
        for (auto& rule : rules)
            while (rule->peek(budget, &next) && next == candidate)
                rule->pop();
        *pCandidate = candidate;
        return true;
    }
};

/* The first `bound` occurrences that no exclusion removes. */
std::vector<long long> merge(Inclusions& inclusions, Exclusions& exclusions, int bound,
                             const icu::TimeZone* zone, WorkBudget& budget) {
    std::vector<long long> results;
    long long candidate = 0;
    while (results.size() < (size_t)bound && inclusions.take_next(budget, &candidate)) {
        /* Past the budget the exclusion rules may be cut short too, so no
         * later candidate can be trusted. */
        if (candidate > kLastTime || budget.exhausted())
            break;
        if (candidate < 1 || (!results.empty() && candidate <= results.back()))
            continue;
        const bool excluded = is_excluded(candidate, exclusions, zone, budget);
        if (budget.exhausted())
            break;
        if (!excluded)
            results.push_back(candidate);
    }
    /* A series cut before its first date still keeps its start. */
    if (budget.exhausted() && results.empty() && inclusions.start <= kLastTime &&
        !is_excluded_by_dates(inclusions.start, exclusions, zone))
        results.push_back(inclusions.start);
    if (budget.exhausted() && results.size() < (size_t)bound)
        kvallog(0, KVALLOG_LEVEL_DROPPED,
                "%s: Recurrence expansion stopped at its work limit with %u dates.",
                KVALLOG_CORE_SUBSYSTEM, (unsigned)results.size());
    return results;
}

/* Once the thread's allowance is spent, rules are not iterated at all. */
bool rules_allowed(const WorkBudget& budget, const array_t* rrules, const array_t* exrules) {
    if (!budget.denied())
        return true;
    const bool hasRules = (rrules && rrules->count > 0) || (exrules && exrules->count > 0);
    if (hasRules && work_denial_first_since_set())
        kvallog(0, KVALLOG_LEVEL_DROPPED,
                "%s: Recurrence rules are not expanded any more: the rule work allowed is spent.",
                KVALLOG_CORE_SUBSYSTEM);
    return false;
}

int generate(time_t dtstart, array_t* rrules, array_t* rdates, array_t* exrules,
             array_t* exdates, int bound, array_t* dates, const icu::TimeZone* zone) {
    long long startWall = 0;
    if (timezone_UtcToWallClock(zone, dtstart, &startWall) != 0)
        return 2;
    WorkBudget budget;
    Inclusions inclusions;
    Exclusions exclusions;
    inclusions.start = dtstart;
    bool allRead = true;
    if (rules_allowed(budget, rrules, exrules)) {
        allRead = open_rules(rrules, startWall, zone, budget, &inclusions.rules);
        allRead = open_rules(exrules, startWall, zone, budget, &exclusions.rules) && allRead;
    }
    allRead = read_rdates(rdates, startWall, zone, &inclusions.instants) && allRead;
    allRead = read_exdates(exdates, zone, &exclusions) && allRead;
    const int appended = append_results(merge(inclusions, exclusions, bound, zone, budget), dates);
    return appended != 0 ? appended : (allRead ? 0 : 2);
}

}  // namespace

extern "C" int recurrence_init(void) {
    /* Rule errors must come back as results, never abort the server. */
    icalerror_set_errors_are_fatal(0);
    /* Created on first use; done here, before threads start. */
    icaltimezone_get_utc_timezone();
    return 0;
}

extern "C" void recurrence_uninit(void) {}

extern "C" int recurrence_GenerateDates(time_t dtstart, array_t* rrules, array_t* rdates,
                                        array_t* exrules, array_t* exdates, int bound,
                                        array_t* dates, const void* zone, int flag) {
    (void)flag;
    if (!dates || dtstart < 1)
        return 1;
    if (bound < 1)
        return 0;
    try {
        return generate(dtstart, rrules, rdates, exrules, exdates, bound, dates,
                        static_cast<const icu::TimeZone*>(zone));
    } catch (...) {
        return 3;
    }
}
