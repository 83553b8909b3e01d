/* calparse --output ical: the records of an input written back as one
 * iCalendar file through the library's serializer (UTF-8, CR LF, folded),
 * whatever form or character set the input came in. */
#include "tools/calparse/calparse.h"

namespace calparse {

int print_ical(int fd, const Parsed& in) {
    protstream* out = prot_new(fd, 1);
    int rc = 1;
    if (out && in.result)
        rc = calparser_write_ical(out, in.result, CALPARSER_WRITE_DEFAULT) == 0 ? 0 : 1;
    else if (out)
        rc = 0; /* nothing was parsed: nothing to write */
    prot_free(out);
    return rc;
}

}  // namespace calparse
