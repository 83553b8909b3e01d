/* The fields of the record head that events and to-dos share
 * (CALDB_COMPONENT), described once: where each lies, what it holds, its
 * modification bit, how a comparison weighs it, how a copy takes it, and the
 * property stored into it. The property storers, the comparisons, the
 * modification bits and the copies all read this one table, so they cannot
 * disagree about a field. */
#ifndef CORE_PARSER_CAL_FIELDS_H
#define CORE_PARSER_CAL_FIELDS_H

#include <stddef.h>

#include "core/parser/cal_str.h"
#include "public/db/caldb.h"

#ifdef __cplusplus
extern "C" {
#endif

/* What a field holds, which decides how it is compared and copied. */
typedef enum CALPARSER_FIELD_KIND {
    CALPARSER_FIELD_TIME,      /* int32_t seconds */
    CALPARSER_FIELD_INT,       /* int */
    CALPARSER_FIELD_STATE,     /* uint32_t nCompState: method << 16 | state */
    CALPARSER_FIELD_TEXT,      /* char* */
    CALPARSER_FIELD_TEXT_LIST, /* array_t* of texts */
    CALPARSER_FIELD_ORGANIZER, /* CALDB_ORGANIZER* */
    CALPARSER_FIELD_ATTENDEES, /* array_t* of CALDB_ATTENDEE */
    CALPARSER_FIELD_ALARMS     /* array_t* of CALDB_VALARM */
} CALPARSER_FIELD_KIND;

/* How a change of the field weighs when two versions are compared. The
 * component state weighs by its method half only (REQUEST, REPLY, CANCEL
 * and the PUBLISH-like method must match); its modification bit by the
 * whole value. */
typedef enum CALPARSER_FIELD_CLASS {
    CALPARSER_FIELD_NOT_COMPARED,
    CALPARSER_FIELD_MAJOR,
    CALPARSER_FIELD_MINOR /* only the alarms, the extension lines, SEQUENCE */
} CALPARSER_FIELD_CLASS;

/* When a copy of the properties takes the field. A full copy takes every
 * field but NEVER ones; a modified-only copy takes ALWAYS fields, PLAIN ones
 * whose bit the source has set, and GUARDED ones whose bit the source has
 * set and the destination has clear (unless forced). */
typedef enum CALPARSER_FIELD_COPY {
    CALPARSER_COPY_NEVER,
    CALPARSER_COPY_ALWAYS,
    CALPARSER_COPY_FULL, /* full copies only */
    CALPARSER_COPY_PLAIN,
    CALPARSER_COPY_GUARDED
} CALPARSER_FIELD_COPY;

/* How the property stored into the field is read. */
typedef enum CALPARSER_FIELD_STORER {
    CALPARSER_STORE_NONE,      /* no property is stored here */
    CALPARSER_STORE_TEXT,      /* a copy replaces the text */
    CALPARSER_STORE_APPEND,    /* a copy of the value is appended */
    CALPARSER_STORE_ITEMS,     /* the comma-separated items are appended */
    CALPARSER_STORE_DATETIME,  /* a date-time read without a zone */
    CALPARSER_STORE_INTEGER,   /* a number; a value that is none leaves it */
    CALPARSER_STORE_EMAIL,     /* the address without "mailto:" */
    CALPARSER_STORE_ATTENDEE,  /* the attendee storer */
    CALPARSER_STORE_ORGANIZER, /* the organizer storer */
    CALPARSER_STORE_GEO        /* latitude and longitude, both at once */
} CALPARSER_FIELD_STORER;

/* One field of CALDB_COMPONENT. */
typedef struct CALPARSER_FIELD {
    size_t nOffset;              /* offsetof(CALDB_COMPONENT, the field) */
    CALPARSER_FIELD_KIND nKind;
    unsigned nModBit;            /* CALPARSER_MOD_*; 0: none */
    CALPARSER_FIELD_CLASS nClass;
    CALPARSER_FIELD_COPY nCopy;
    /* The source replaces the destination's value outright: a text is
     * cleared when the source has none; a list is dropped before a
     * modified-only copy merges the source's in. Otherwise a missing source
     * text leaves the destination's, and lists merge without duplicates. */
    int bReplace;
    iCal_Token_t nProperty;      /* what is stored here (with nStorer) */
    CALPARSER_FIELD_STORER nStorer;
} CALPARSER_FIELD;

/* The fields, in the order comparisons and copies examine them, and their
 * number. The table is constant. */
extern const CALPARSER_FIELD calparser_componentFields[];
extern const unsigned calparser_componentFieldCount;

/* The field that stores the property nProperty, or NULL when none does. */
const CALPARSER_FIELD* calparser_fieldOfProperty(iCal_Token_t nProperty);

#ifdef __cplusplus
}

/* The field `field` of `component`, as the type T its kind names. */
template <typename T>
T& calparser_field(CALDB_COMPONENT* component, const CALPARSER_FIELD& field)
{
    return *reinterpret_cast<T*>(reinterpret_cast<char*>(component) + field.nOffset);
}
template <typename T>
const T& calparser_field(const CALDB_COMPONENT* component, const CALPARSER_FIELD& field)
{
    return *reinterpret_cast<const T*>(reinterpret_cast<const char*>(component) + field.nOffset);
}
#endif

#endif
