/* Daylight-saving crossings of a span of years, from ICU's transition data.
 *
 * The registry walks a zone's crossing list in order, starting outside daylight time, and
 * takes an even position as a start of daylight time and an odd one as an end. So the list
 * must begin with a start: a zone that is in daylight time on 1 January of the first year
 * (the southern hemisphere) gets the start before the span first. Likewise a zone still in
 * daylight time at the end of the span gets the end after it, so every daylight period
 * listed is closed. A transition that only changes the standard offset, or the amount of
 * daylight time, is not a crossing. */
#include "tools/mktzfile/tz_zone.h"

#include <unicode/tztrans.h>

#include "tools/mktzfile/tz_date.h"

namespace mktz {

namespace {

/* A search for a transition of one kind gives up after this many transitions of other
 * kinds; no zone changes its standard offset that often between two daylight changes. */
constexpr int kMaxSkippedTransitions = 64;

bool is_start(const icu::TimeZoneTransition& t) {
    return t.getFrom()->getDSTSavings() == 0 && t.getTo()->getDSTSavings() != 0;
}

bool is_end(const icu::TimeZoneTransition& t) {
    return t.getFrom()->getDSTSavings() != 0 && t.getTo()->getDSTSavings() == 0;
}

int64_t to_seconds(UDate ms) {
    int64_t days = 0;
    int64_t msOfDay = 0;
    split_ms((int64_t)ms, &days, &msOfDay);
    return days * 86400 + msOfDay / 1000;
}

enum class Direction { Earlier, Later };

/* The nearest transition from `base` in `direction` that `wanted` accepts; false when
 * there is none. */
bool nearest_transition(const icu::BasicTimeZone& zone, UDate base, Direction direction,
                        bool (*wanted)(const icu::TimeZoneTransition&), UDate* when) {
    icu::TimeZoneTransition t;
    for (int i = 0; i < kMaxSkippedTransitions; i++) {
        bool found = direction == Direction::Later ? zone.getNextTransition(base, false, t)
                                                   : zone.getPreviousTransition(base, false, t);
        if (!found) return false;
        if (wanted(t)) {
            *when = t.getTime();
            return true;
        }
        base = t.getTime();
    }
    return false;
}

/* The last start of daylight time before `base`; false when there is none. */
bool previous_start(const icu::BasicTimeZone& zone, UDate base, UDate* when) {
    return nearest_transition(zone, base, Direction::Earlier, is_start, when);
}

/* The first end of daylight time after `base`; false when there is none. */
bool next_end(const icu::BasicTimeZone& zone, UDate base, UDate* when) {
    return nearest_transition(zone, base, Direction::Later, is_end, when);
}

}  // namespace

std::vector<int64_t> daylight_crossings(const icu::BasicTimeZone& zone, int firstYear,
                                        int lastYear) {
    std::vector<int64_t> crossings;
    // Just before the span, so that a transition at its very first instant belongs to it.
    UDate before = (UDate)(days_from_civil(firstYear, 1, 1) * kMsPerDay - 1);
    UDate end = (UDate)(days_from_civil(lastYear + 1, 1, 1) * kMsPerDay);

    UErrorCode status = U_ZERO_ERROR;
    int32_t rawMs = 0;
    int32_t dstMs = 0;
    zone.getOffset(before, false, rawMs, dstMs, status);
    // In daylight time as the span begins: its start comes first; if ICU knows none, the
    // span's first end is left out instead, so that the list still begins with a start.
    bool skipFirstEnd = false;
    if (U_SUCCESS(status) && dstMs != 0) {
        UDate start = 0;
        if (previous_start(zone, before, &start))
            crossings.push_back(to_seconds(start));
        else
            skipFirstEnd = true;
    }

    icu::TimeZoneTransition t;
    UDate base = before;
    while (zone.getNextTransition(base, false, t) && t.getTime() < end) {
        base = t.getTime();
        // The flag "in daylight time" toggles at each of these, so they alternate.
        if (skipFirstEnd && is_end(t)) {
            skipFirstEnd = false;
            continue;
        }
        if (is_start(t) || is_end(t)) crossings.push_back(to_seconds(t.getTime()));
    }

    UDate closing = 0;
    if (crossings.size() % 2 == 1 && next_end(zone, (UDate)(end - 1), &closing))
        crossings.push_back(to_seconds(closing));
    return crossings;
}

}  // namespace mktz
