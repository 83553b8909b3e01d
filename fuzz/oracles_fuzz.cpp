// Oracles that catch wrong answers rather than crashes, on iCalendar text:
//  - chunk invariance: the chunked intake yields the tokens that lexing the
//    whole text in one buffer yields, whenever no logical line is long
//    enough to be dropped by the intake and no CR stands alone;
//  - copy and compare: every parsed event or to-do compared with its own
//    full copy is the same and sets no modification bit. The fields the full
//    copy does not carry as they are (see normalise_copy) are skipped;
//  - round trip: the records written as iCalendar and parsed again compare
//    the same, one for one, and writing those gives the same bytes again.
#include <string.h>

#include <string>
#include <utility>
#include <vector>

#include "fuzz/fuzz_support.h"

namespace {

// Longest logical line (folds and quoted-printable soft breaks joined) for
// which the chunked intake is sure to see the whole line in one buffer.
constexpr size_t kSafeLogicalLine = 2048;

bool has_long_logical_line(const std::string& text) {
    size_t group = 0, start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        size_t len = (end == std::string::npos ? text.size() : end + 1) - start;
        bool continues = end != std::string::npos && end + 1 < text.size() &&
                         (text[end + 1] == ' ' || text[end + 1] == '\t');
        bool softBreak = len >= 2 && text[start + len - 2] == '=';
        bool softBreakCr = len >= 3 && text[start + len - 3] == '=';
        group += len;
        if (group > kSafeLogicalLine) return true;
        if (!continues && !softBreak && !softBreakCr) group = 0;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return false;
}

bool same_text(const char* a, const char* b) {
    if (!a || !b) return a == b;
    return strcmp(a, b) == 0;
}

bool same_param(const CALPARSER_PARAM* a, const CALPARSER_PARAM* b) {
    return a->nType == b->nType && a->nValue == b->nValue && same_text(a->pName, b->pName) &&
           same_text(a->pValue, b->pValue);
}

bool same_token(const CALPARSER_TOKEN* a, const CALPARSER_TOKEN* b) {
    if (a->nType != b->nType || a->nValue != b->nValue || !same_text(a->pName, b->pName) ||
        !same_text(a->pValue, b->pValue))
        return false;
    unsigned na = a->pParamList ? a->pParamList->count : 0;
    unsigned nb = b->pParamList ? b->pParamList->count : 0;
    if (na != nb) return false;
    for (unsigned i = 0; i < na; i++)
        if (!same_param(static_cast<CALPARSER_PARAM*>(a->pParamList->data[i]),
                        static_cast<CALPARSER_PARAM*>(b->pParamList->data[i])))
            return false;
    return true;
}

void free_tokens(array_t* tokens) {
    calparser_FreeTokenList(tokens);
    array_delete(tokens);
}

// Where a stretch holds no LF a CR ends the line, and which stretch that is
// depends on where the chunks fall: text with a CR that is not part of CR LF
// lexes differently by design, so it is left out of the comparison.
bool has_lone_cr(const std::string& text) {
    for (size_t at = text.find('\r'); at != std::string::npos; at = text.find('\r', at + 1))
        if (at + 1 == text.size() || text[at + 1] != '\n') return true;
    return false;
}

void check_chunk_invariance(const std::string& text) {
    if (has_long_logical_line(text) || has_lone_cr(text)) return;
    array_t* chunked = nullptr;
    protstream* in = prot_readmap(text.data(), (unsigned)text.size());
    int chunkedRc = calparser_create_token_list(in, &chunked, CALPARSER_FORMAT_ICAL, 0, nullptr);
    prot_free(in);

    std::string buffer = text;  // the lexer writes into its buffer
    array_t* whole = nullptr;
    unsigned consumed = 0, line = 1;
    int wholeRc = calparser_icalbuf_to_toklist(&buffer[0], (unsigned)buffer.size(), &whole,
                                               &consumed, &line, 0);
    if (chunkedRc == 0 && wholeRc == 0) {
        unsigned nc = chunked ? chunked->count : 0, nw = whole ? whole->count : 0;
        fuzz::expect(nc == nw, "chunked and whole lexing give as many tokens");
        for (unsigned i = 0; i < nc; i++)
            fuzz::expect(same_token(static_cast<CALPARSER_TOKEN*>(chunked->data[i]),
                                    static_cast<CALPARSER_TOKEN*>(whole->data[i])),
                         "chunked and whole lexing give the same token");
    }
    free_tokens(chunked);
    free_tokens(whole);
}

// The full copy carries every compared field except these, which it derives
// by rule: an end not after the start becomes the start (a to-do without DUE
// keeps none), and the record library's own event text is not copied. (Its
// alarm list, present even when the source has none, is ComparisonAside's.)
void normalise_copy(const CALDB_COMPONENT* src, CALDB_COMPONENT* copy) {
    if (caldb_IsEventKind(src->nType)) {
        auto s = reinterpret_cast<const CALDB_VEVENT*>(src);
        auto c = reinterpret_cast<CALDB_VEVENT*>(copy);
        if ((int64_t)s->tDtEnd - s->tDtStart < 1) c->tDtEnd = s->tDtEnd;
        if (!c->pEventAux && s->pEventAux) c->pEventAux = PL_strdup(s->pEventAux);
    } else {
        auto s = reinterpret_cast<const CALDB_VTODO*>(src);
        auto c = reinterpret_cast<CALDB_VTODO*>(copy);
        if ((int64_t)s->tDue - s->tDtStart < 1) c->tDue = s->tDue;
    }
}

// The comparison pairs each attendee with the first attendee of the other
// list that has its address, so a list naming one address twice with another
// participation status or RSVP differs even from itself: such lists are left
// out of the oracle.
bool has_ambiguous_attendees(const array_t* list) {
    for (unsigned i = 0; list && i < list->count; i++) {
        auto a = static_cast<const CALDB_ATTENDEE*>(list->data[i]);
        for (unsigned j = i + 1; a && a->pAddr && j < list->count; j++) {
            auto b = static_cast<const CALDB_ATTENDEE*>(list->data[j]);
            if (b && b->pAddr && PL_strcasecmp(a->pAddr, b->pAddr) == 0 &&
                (a->nPartStat != b->nPartStat || a->bRsvp != b->bRsvp))
                return true;
        }
    }
    return false;
}

// While it lives, sets aside in both records what the comparison cannot
// judge fairly, and puts it back after: ambiguous attendee lists (see
// has_ambiguous_attendees), and an empty alarm list facing a missing one (the
// copies and expansion always give a record an alarm list, the writers write
// none for an empty one, and a missing list compares different from an empty
// one).
class ComparisonAside {
public:
    ComparisonAside(CALDB_COMPONENT* a, CALDB_COMPONENT* b) : a_(a), b_(b) {
        attendees_ = has_ambiguous_attendees(a->aAttendees);
        if (attendees_) swap_lists(&CALDB_COMPONENT::aAttendees, attendeeLists_);
        alarms_ = is_empty(a->aAlarms) && is_empty(b->aAlarms) &&
                  (a->aAlarms == nullptr) != (b->aAlarms == nullptr);
        if (alarms_) swap_lists(&CALDB_COMPONENT::aAlarms, alarmLists_);
    }
    ~ComparisonAside() {
        if (attendees_) swap_lists(&CALDB_COMPONENT::aAttendees, attendeeLists_);
        if (alarms_) swap_lists(&CALDB_COMPONENT::aAlarms, alarmLists_);
    }

private:
    static bool is_empty(const array_t* list) { return !list || list->count == 0; }
    void swap_lists(array_t* CALDB_COMPONENT::*field, array_t* (&kept)[2]) {
        std::swap(kept[0], a_->*field);
        std::swap(kept[1], b_->*field);
    }

    CALDB_COMPONENT* a_;
    CALDB_COMPONENT* b_;
    bool attendees_ = false, alarms_ = false;
    array_t* attendeeLists_[2] = {nullptr, nullptr};
    array_t* alarmLists_[2] = {nullptr, nullptr};
};

void check_copy_compare(CALDB_COMPONENT* src) {
    CALDB_COMPONENT* copy = nullptr;
    calparser_copyConstructorComponent(src, &copy);
    if (!copy) return;  // only when memory runs out
    normalise_copy(src, copy);
    {
        ComparisonAside aside(src, copy);
        fuzz::expect(calparser_CompareComponent(src, copy) == 0,
                     "a component compares the same as its full copy");
        unsigned char before[8];
        memcpy(before, copy->modFields, sizeof before);
        calparser_getComponentModFields(src, copy, src->nType);
        fuzz::expect(memcmp(before, copy->modFields, sizeof before) == 0,
                     "a full copy differs from its source in no modification field");
    }
    void* record = copy;
    caldb_FreeComponent(&record);
}

void write_result(protstream* out, void* result) {
    calparser_write_ical(out, static_cast<array_t*>(result), CALPARSER_WRITE_DEFAULT);
}

// A DATE is read as a midnight of the server's default zone, while the
// harness expands series in its own default zone (New York): an all-day
// instance made at a New York midnight is written as its date and read back
// at the server zone's midnight, up to half a day away. The writer rounds any
// time flagged as a date the same way, so an end flagged as a date beside a
// start that is not (a later DTEND;VALUE=DATE line sets the flag, an earlier
// date-time gave the time) moves too. While it lives, this gives the second
// record the first one's times wherever both flag them as dates and they are
// that close, and puts them back after; the dates themselves were checked by
// the writer's own tests. A date flag beside a time that is not set (a
// DATE value that did not convert) has nothing to be written with, so it is
// set aside as well, and so are the values of times that are not set.
class AllDayTimesAside {
public:
    AllDayTimesAside(CALDB_COMPONENT* a, CALDB_COMPONENT* b) : b_(b), flags_(b->nFlags) {
        if (a->tDtStart < 1 && b->tDtStart < 1)
            b->bDtStartIsDate = a->bDtStartIsDate;
        if (*end_of(a) < 1 && *end_of(b) < 1)
            b->bDtEndIsDate = a->bDtEndIsDate;
        take_unset(&a->tDtStart, &b->tDtStart);
        take_unset(end_of(a), end_of(b));
        take_unset(&a->tRecurrenceId, &b->tRecurrenceId);
        take_unset(&a->tCreated, &b->tCreated);
        take_unset(&a->tLastModified, &b->tLastModified);
        const bool startsAreDates = a->bDtStartIsDate && b->bDtStartIsDate;
        if (startsAreDates) {
            const int32_t shift = a->tDtStart - b->tDtStart;
            if (take(&a->tDtStart, &b->tDtStart))
                take_alarm_triggers(a->aAlarms, b->aAlarms, shift);
            take(&a->tRecurrenceId, &b->tRecurrenceId);
        }
        if (a->bDtEndIsDate && b->bDtEndIsDate)
            take(end_of(a), end_of(b));
    }
    ~AllDayTimesAside() {
        // Newest first: a field may have been taken twice.
        for (auto it = taken_.rbegin(); it != taken_.rend(); ++it) *it->first = it->second;
        b_->nFlags = flags_;
    }

private:
    static int32_t* end_of(CALDB_COMPONENT* c) {
        return caldb_IsEventKind(c->nType) ? &reinterpret_cast<CALDB_VEVENT*>(c)->tDtEnd
                                           : &reinterpret_cast<CALDB_VTODO*>(c)->tDue;
    }
    // The writer takes the nearest midnight and a tie goes to the later one,
    // so a time at noon comes back a whole half day later.
    static bool within_half_day(int32_t x, int32_t y) {
        int64_t d = (int64_t)x - y;
        return d >= -43200 && d <= 43200;
    }
    // A time below 1 is "not set", whatever its value (a date before 1970
    // converts to a negative one), and is not written: it reads back as 0.
    void take_unset(const int32_t* from, int32_t* to) {
        if (*from < 1 && *to < 1 && *from != *to) {
            taken_.emplace_back(to, *to);
            *to = *from;
        }
    }
    bool take(const int32_t* from, int32_t* to) {
        if (!within_half_day(*from, *to)) return false;
        taken_.emplace_back(to, *to);
        *to = *from;
        return true;
    }
    // Absolute alarm triggers count from the start, so they move with it.
    void take_alarm_triggers(array_t* from, array_t* to, int32_t shift) {
        for (unsigned i = 0; from && to && i < from->count && i < to->count; i++) {
            auto a = static_cast<CALDB_VALARM*>(from->data[i]);
            auto b = static_cast<CALDB_VALARM*>(to->data[i]);
            if ((int64_t)b->tTrigger + shift == a->tTrigger) take(&a->tTrigger, &b->tTrigger);
        }
    }
    CALDB_COMPONENT* b_;
    uint32_t flags_;
    std::vector<std::pair<int32_t*, int32_t>> taken_;
};

unsigned components_in(array_t* result) {
    array_t* events = fuzz::slot(result, CALPARSER_SLOT_EVENTS);
    array_t* todos = fuzz::slot(result, CALPARSER_SLOT_TODOS);
    return (events ? events->count : 0) + (todos ? todos->count : 0);
}

// A time flagged as a date on 1 January 1970 is written as "19700101", whose
// midnight reads back as 0, which records take as "not set": such an input
// cannot come back, so the round trip skips it.
bool has_epoch_day_date(array_t* result) {
    const int32_t kEndOfFirstDay = 86400 + 43200;
    for (unsigned s = CALPARSER_SLOT_EVENTS; s <= CALPARSER_SLOT_TODOS; s++) {
        array_t* list = fuzz::slot(result, s);
        for (unsigned i = 0; list && i < list->count; i++) {
            auto c = static_cast<CALDB_COMPONENT*>(static_cast<CAL_VCOMPONENT*>(list->data[i])->pComponent);
            const int32_t end = caldb_IsEventKind(c->nType) ? reinterpret_cast<CALDB_VEVENT*>(c)->tDtEnd
                                                            : reinterpret_cast<CALDB_VTODO*>(c)->tDue;
            if ((c->bDtStartIsDate && c->tDtStart > 0 && c->tDtStart < kEndOfFirstDay) ||
                (c->bDtEndIsDate && end > 0 && end < kEndOfFirstDay))
                return true;
        }
    }
    return false;
}

// A parameter value holding a double quote has no written form: iCalendar
// has no escape inside a parameter, and reading takes one quote off each end
// of a value. Such an input cannot come back, so the round trip skips it.
bool has_quote(const char* text) { return text && strchr(text, '"'); }

bool has_parameter_with_quote(const CALDB_COMPONENT* c) {
    for (unsigned i = 0; c->aAttendees && i < c->aAttendees->count; i++) {
        auto a = static_cast<const CALDB_ATTENDEE*>(c->aAttendees->data[i]);
        for (const char* text : {a->pAddr, a->pCalid, a->pCuType, a->pRole, a->pPartStatName,
                                 a->pCn, a->pDir, a->pSentBy, a->pLanguage})
            if (has_quote(text)) return true;
    }
    const CALDB_ORGANIZER* o = c->pOrganizer;
    if (!o) return false;
    for (const char* text : {o->pCn, o->pDir, o->pSentBy, o->pLanguage, o->pOrganizerUid,
                             o->pSentByUid})
        if (has_quote(text)) return true;
    return false;
}

bool has_any_parameter_with_quote(array_t* result) {
    for (unsigned s = CALPARSER_SLOT_EVENTS; s <= CALPARSER_SLOT_TODOS; s++) {
        array_t* list = fuzz::slot(result, s);
        for (unsigned i = 0; list && i < list->count; i++)
            if (has_parameter_with_quote(static_cast<CALDB_COMPONENT*>(
                    static_cast<CAL_VCOMPONENT*>(list->data[i])->pComponent)))
                return true;
    }
    return false;
}

void check_round_trip(array_t* first) {
    if (has_epoch_day_date(first) || has_any_parameter_with_quote(first)) return;
    std::string text = fuzz::written_by(write_result, first);
    array_t* second = fuzz::parse(reinterpret_cast<const uint8_t*>(text.data()), text.size(),
                                  CALPARSER_FORMAT_ICAL, nullptr, nullptr);
    fuzz::expect(components_in(first) == components_in(second),
                 "the written calendar parses into as many components");
    for (unsigned s = CALPARSER_SLOT_EVENTS; s <= CALPARSER_SLOT_TODOS; s++) {
        array_t* a = fuzz::slot(first, s);
        array_t* b = fuzz::slot(second, s);
        for (unsigned i = 0; a && b && i < a->count && i < b->count; i++) {
            auto ca = static_cast<CALDB_COMPONENT*>(static_cast<CAL_VCOMPONENT*>(a->data[i])->pComponent);
            auto cb = static_cast<CALDB_COMPONENT*>(static_cast<CAL_VCOMPONENT*>(b->data[i])->pComponent);
            ComparisonAside aside(ca, cb);
            AllDayTimesAside dates(ca, cb);
            fuzz::expect(calparser_CompareComponent(ca, cb) == 0,
                         "a written and parsed again component compares the same");
        }
    }
    fuzz::expect(fuzz::written_by(write_result, second) == text,
                 "writing the parsed written calendar gives the same bytes");
    calparser_FreeComponentArrayAndDestroy(&second);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::init_once();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text = fuzz::text_of(data, size);
    check_chunk_invariance(text);
    array_t* result = fuzz::parse(reinterpret_cast<const uint8_t*>(text.data()), text.size(),
                                  CALPARSER_FORMAT_ICAL, nullptr, nullptr);
    for (unsigned s = CALPARSER_SLOT_EVENTS; s <= CALPARSER_SLOT_TODOS; s++) {
        array_t* list = fuzz::slot(result, s);
        for (unsigned i = 0; list && i < list->count; i++)
            check_copy_compare(static_cast<CALDB_COMPONENT*>(
                static_cast<CAL_VCOMPONENT*>(list->data[i])->pComponent));
    }
    check_round_trip(result);
    calparser_FreeComponentArrayAndDestroy(&result);
    return 0;
}
