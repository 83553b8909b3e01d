// The field table of the shared record head: a field added to the record but
// not to the table, or two rows claiming one field, bit or property, would
// make the storers, comparisons and copies silently skip or repeat it.
#include "core/parser/cal_fields.h"

#include <map>
#include <set>

#include <gtest/gtest.h>

#include "core/parser/cal_compare.h"

namespace {

size_t size_of(CALPARSER_FIELD_KIND kind)
{
    switch (kind) {
    case CALPARSER_FIELD_TIME: return sizeof(int32_t);
    case CALPARSER_FIELD_INT: return sizeof(int);
    case CALPARSER_FIELD_STATE: return sizeof(uint32_t);
    default: return sizeof(void*);
    }
}

size_t aligned(size_t offset, size_t alignment)
{
    return (offset + alignment - 1) / alignment * alignment;
}

// Two rows claiming one property show as a row its property does not find.
TEST(ComponentFields, EveryFieldBitAndPropertyOfTheHeadOnce)
{
    std::map<size_t, size_t> sizeAt;  // offset -> size, in record order
    std::set<unsigned> bits;
    for (unsigned i = 0; i < calparser_componentFieldCount; i++) {
        const CALPARSER_FIELD& field = calparser_componentFields[i];
        EXPECT_TRUE(sizeAt.emplace(field.nOffset, size_of(field.nKind)).second) << "row " << i;
        EXPECT_TRUE(!field.nModBit || bits.insert(field.nModBit).second) << "row " << i;
        if (field.nStorer != CALPARSER_STORE_NONE) {
            EXPECT_EQ(&field, calparser_fieldOfProperty(field.nProperty)) << "row " << i;
        }
        // A modified-only copy needs a bit to decide on.
        if (field.nCopy == CALPARSER_COPY_PLAIN || field.nCopy == CALPARSER_COPY_GUARDED) {
            EXPECT_NE(0u, field.nModBit) << "row " << i;
        }
    }
    EXPECT_EQ(nullptr, calparser_fieldOfProperty(TOKEN_DTSTART));  // each kind stores its own
    // The flags word and the modification bytes come first and are handled
    // elsewhere; every later byte belongs to a row or is alignment padding.
    size_t next = offsetof(CALDB_COMPONENT, modFields) + 8;
    for (const auto& [offset, size] : sizeAt) {
        EXPECT_EQ(aligned(next, size), offset) << "a field missing before offset " << offset;
        next = offset + size;
    }
    EXPECT_EQ(sizeof(CALDB_COMPONENT), aligned(next, alignof(CALDB_COMPONENT)));
}

}  // namespace
