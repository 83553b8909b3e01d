/* How much work the rule iterator may do.
 *
 * A rule that matches rarely, or one counted in a lunisolar calendar scale,
 * can make the iterator walk for a long time between two dates: a few dozen
 * bytes of input could cost seconds. So rule work is counted in units of
 * about one day step of a Gregorian rule, and capped twice:
 * - each expansion may spend at most kMaxWorkPerExpansion units;
 * - a thread may hold an allowance (recurrence_SetWorkAllowance) that all its
 *   expansions draw from; a whole parse sets one that grows with its input,
 *   so the cost of expanding stays proportional to the size of the input. */
#ifndef PUBLIC_RECURRENCE_RECURRENCE_WORK_H
#define PUBLIC_RECURRENCE_RECURRENCE_WORK_H

#include <libical/ical.h>

/* Units one expansion may spend: about a sixth of a second of iteration. */
constexpr long long kMaxWorkPerExpansion = 60000;

/* What iterating one rule costs: `weight` units for each `grainSeconds` of
 * wall-clock time the iterator walks through (and at least `weight` for
 * each call). */
struct RuleCost {
    long long grainSeconds;
    long long weight;
};

/* The cost of `rule`, from its frequency and calendar scale. */
RuleCost rule_cost(const struct icalrecurrencetype& rule);

/* The units a walk from `fromWall` to `toWall` costs beyond the call's own. */
long long walk_cost(const RuleCost& cost, long long fromWall, long long toWall);

/* The work one expansion may do: the smaller of kMaxWorkPerExpansion and the
 * thread's allowance, which receives what was spent when the budget ends. */
class WorkBudget {
  public:
    WorkBudget();
    ~WorkBudget();
    WorkBudget(const WorkBudget&) = delete;
    WorkBudget& operator=(const WorkBudget&) = delete;

    /* Whether the thread's allowance was spent before this expansion began. */
    bool denied() const { return granted_ == 0; }
    /* The units left. */
    long long left() const { return granted_ - spent_; }
    /* Takes `units`; false (and exhausted from then on) when they were not
     * all there. */
    bool spend(long long units);
    /* Marks the budget as exhausted: a walk was cut short for lack of it. */
    void exhaust() { exhausted_ = true; }
    bool exhausted() const { return exhausted_; }

  private:
    long long granted_;
    long long spent_ = 0;
    bool exhausted_ = false;
};

/* Whether this is the first denied expansion since the allowance was set, so
 * that the cut is logged once per allowance rather than once per series. */
bool work_denial_first_since_set();

#endif
