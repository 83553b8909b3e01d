/* calparse: show what the library makes of calendar files.
 *
 *   calparse [--format ical|ical-strict|xml|sxml] [--charset NAME] [--tz ZONE]
 *            [--output summary|json|sxml|ical|xml|tokens] [--config FILE]
 *            [--literal-series-zone] [FILE...]
 *   calparse --help | --version
 *
 * Reads each FILE (standard input when there is none, or for "-") through the
 * library's parse entry, exactly as a server would, and prints the time zones,
 * events and to-dos it made (summary, json, sxml), writes the records back
 * as iCalendar (ical), writes the XML reply frame of the events and to-dos,
 * which holds their UID and recurrence id only (xml), or prints the token
 * list of the lexer (tokens). --tz names the zone of date-times without one and the zone
 * local times are shown in; without it each component is shown in its own
 * zone (X-KVAL-DTSTART-TZID, else the first zone of the input, else the
 * server's default zone). --config names the configuration file, as the
 * environment variable CALPARSER_CONFIG does (the default zone, the
 * directory that resolves attendees, ...).
 * A recurring series whose DTSTART has a TZID is expanded in that zone, so
 * its instances keep DTSTART's wall-clock time across daylight-saving
 * changes as RFC 5545 reads it; --literal-series-zone expands it as a server
 * does without X-KVAL-DTSTART-TZID, in the zone of date-times without one.
 * Summary and json list events and to-dos in the order the parse made them,
 * except that the instances of an expanded series come earliest first (the
 * library leaves them latest first); sxml writes the library's order as is.
 * Exit status (tools/calparse/calparse.1): 0 every input parsed; 1 a usage
 * error; 2 an input did not parse; 3 an input could not be read (the reason
 * goes to standard error with the file name). With several failures the
 * highest status is returned. */
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <exception>
#include <vector>

#include <prio.h>

#include "core/parser/cal_expand.h"
#include "tools/calparse/calparse.h"

namespace {

using calparse::Options;
using calparse::Output;
using calparse::Parsed;
using calparse::Request;

constexpr int kExitParsed = 0;
constexpr int kExitUsage = 1;
constexpr int kExitNotParsed = 2;
constexpr int kExitUnreadable = 3;

void usage(FILE* out) {
    fprintf(out,
            "usage: calparse [--format ical|ical-strict|xml|sxml] [--charset NAME] [--tz ZONE]\n"
            "                [--output summary|json|sxml|ical|xml|tokens] [--config FILE]\n"
            "                [--literal-series-zone] [FILE...]\n"
            "       calparse --help | --version\n"
            "ical writes the records back as iCalendar; xml writes only the XML reply\n"
            "frame of the events and to-dos (each one's UID and recurrence id).\n"
            "Instances of a recurring series are listed earliest first (summary, json).\n"
            "A series whose DTSTART has a TZID keeps its wall-clock time in that zone;\n"
            "--literal-series-zone expands it in the --tz zone instead, as a server would.\n"
            "Exit status: 0 parsed, 1 usage error, 2 an input did not parse,\n"
            "3 an input could not be read.\n");
}

int format_code(const char* name) {
    if (strcmp(name, "ical") == 0) return CALPARSER_FORMAT_ICAL;
    if (strcmp(name, "ical-strict") == 0) return CALPARSER_FORMAT_ICAL_STRICT;
    if (strcmp(name, "xml") == 0) return CALPARSER_FORMAT_XML;
    if (strcmp(name, "sxml") == 0) return CALPARSER_FORMAT_SXML;
    return 0;
}

bool output_kind(const char* name, Output* pOutput) {
    if (strcmp(name, "summary") == 0) *pOutput = Output::Summary;
    else if (strcmp(name, "json") == 0) *pOutput = Output::Json;
    else if (strcmp(name, "sxml") == 0) *pOutput = Output::Sxml;
    else if (strcmp(name, "tokens") == 0) *pOutput = Output::Tokens;
    else if (strcmp(name, "ical") == 0) *pOutput = Output::Ical;
    else if (strcmp(name, "xml") == 0) *pOutput = Output::Xml;
    else return false;
    return true;
}

/* Reads the options into *opt and the files into *files. Returns false (after
 * saying why) on a usage error. */
bool read_arguments(int argc, char** argv, Options* opt, std::vector<const char*>* files) {
    for (int i = 1; i < argc; i++) {
        const char* arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        bool takesValue = strcmp(arg, "--format") == 0 || strcmp(arg, "--charset") == 0 ||
                          strcmp(arg, "--tz") == 0 || strcmp(arg, "--output") == 0 ||
                          strcmp(arg, "--config") == 0;
        if (takesValue && !value) {
            fprintf(stderr, "calparse: %s needs a value\n", arg);
            return false;
        }
        if (strcmp(arg, "--help") == 0 || strcmp(arg, "--version") == 0) {
            opt->request = arg[2] == 'h' ? Request::Help : Request::Version;
            return true;
        } else if (strcmp(arg, "--format") == 0) {
            if (!(opt->format = format_code(value))) {
                fprintf(stderr, "calparse: unknown format %s\n", value);
                return false;
            }
        } else if (strcmp(arg, "--charset") == 0) {
            opt->charset = value;
        } else if (strcmp(arg, "--tz") == 0) {
            opt->defaultTzid = value;
            opt->tzGiven = true;
        } else if (strcmp(arg, "--output") == 0) {
            if (!output_kind(value, &opt->output)) {
                fprintf(stderr, "calparse: unknown output %s\n", value);
                return false;
            }
        } else if (strcmp(arg, "--literal-series-zone") == 0) {
            opt->literalSeriesZone = true;
            continue;
        } else if (strcmp(arg, "--config") == 0) {
            // Read when the configuration is first used, which comes later.
            setenv("CALPARSER_CONFIG", value, 1);
        } else if (arg[0] == '-' && arg[1] != '\0') {
            fprintf(stderr, "calparse: unknown option %s\n", arg);
            return false;
        } else {
            files->push_back(arg);
            continue;
        }
        i++;
    }
    if (files->empty()) files->push_back("-");
    return true;
}

/* Lexes the stream and prints its tokens. Returns the intake's result. */
int show_tokens(protstream* stream, const Options& opt) {
    array_t* tokens = nullptr;
    int rc = calparser_create_token_list(stream, &tokens, opt.format, 0, opt.charset.c_str());
    calparser_debugPrintTokenList(tokens, PR_GetSpecialFD(PR_StandardOutput));
    calparser_FreeTokenList(tokens);
    array_delete(tokens);
    return rc;
}

/* Parses and prints one input. Returns the exit status it calls for. */
int show_input(const char* name, int fd, const Options& opt) {
    protstream* stream = prot_file(fd, 0);
    if (!stream) {
        fprintf(stderr, "calparse: %s: out of memory\n", name);
        return kExitNotParsed;
    }
    int status = 0;
    if (opt.output == Output::Tokens) {
        status = show_tokens(stream, opt);
        if (status == 2)
            fprintf(stderr, "calparse: %s: no line of the first chunk begins with "
                            "BEGIN:VCALENDAR\n", name);
        else if (status != 0)
            fprintf(stderr, "calparse: %s: out of memory\n", name);
        prot_free(stream);
        return status == 0 ? kExitParsed : kExitNotParsed;
    }
    Parsed in;
    in.name = name;
    std::vector<char> tzid(opt.defaultTzid.begin(), opt.defaultTzid.end());
    tzid.push_back('\0');
    in.status = calparser_prot_to_dbstruct(stream, &in.result, opt.format, 0, opt.charset.c_str(),
                                           tzid.data(), &in.props, &in.methodState, nullptr);
    prot_free(stream);
    int written = 0;
    if (opt.output == Output::Json) {
        written = calparse::print_json(stdout, in, opt);
    } else if (opt.output == Output::Sxml) {
        fflush(stdout);
        written = calparse::print_sxml(STDOUT_FILENO, in);
    } else if (opt.output == Output::Ical) {
        fflush(stdout);
        written = calparse::print_ical(STDOUT_FILENO, in);
    } else if (opt.output == Output::Xml) {
        fflush(stdout);
        written = calparse::print_xml(STDOUT_FILENO, in);
    } else {
        written = calparse::print_summary(stdout, in, opt);
    }
    if (in.status != 0) {
        fprintf(stderr, "calparse: %s: %s\n", name, calparse::status_text(in.status));
        status = kExitNotParsed;
    }
    if (written != 0) {
        fprintf(stderr, "calparse: %s: cannot write the output\n", name);
        status = kExitNotParsed;
    }
    return status;
}

int run(int argc, char** argv) {
    Options opt;
    std::vector<const char*> files;
    if (!read_arguments(argc, argv, &opt, &files)) {
        usage(stderr);
        return kExitUsage;
    }
    if (opt.request == Request::Help) {
        usage(stdout);
        return kExitParsed;
    }
    if (opt.request == Request::Version) {
        printf("calparse (core_parser10) %s\n", CALPARSER_VERSION);
        return kExitParsed;
    }
    if (!opt.literalSeriesZone)
        config_set_string(config_getdefaultcache(), CALPARSER_SERIES_ZONE_KEY, "1");
    if (!opt.tzGiven)
        opt.defaultTzid = config_get_string(config_getdefaultcache(), TIMEZONE_DEFAULT_TZID_KEY,
                                            TIMEZONE_FALLBACK_TZID);
    int initialised = parser_init();
    if (initialised != 0) {
        fprintf(stderr, "calparse: the library did not start (%d)\n", initialised);
        return kExitNotParsed;
    }
    int status = kExitParsed;
    for (const char* path : files) {
        bool isStdin = strcmp(path, "-") == 0;
        int fd = isStdin ? STDIN_FILENO : open(path, O_RDONLY);
        if (fd < 0) {
            fprintf(stderr, "calparse: cannot read %s: %s\n", path, strerror(errno));
            status = std::max(status, kExitUnreadable);
            continue;
        }
        if (files.size() > 1 && opt.output == Output::Tokens) printf("==> %s <==\n", path);
        fflush(stdout);
        status = std::max(status, show_input(path, fd, opt));
        if (!isStdin) close(fd);
    }
    parser_uninit();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        fprintf(stderr, "calparse: %s\n", e.what());
        return kExitNotParsed;
    }
}
