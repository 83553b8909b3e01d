// Directory look-ups per second against a local slapd (started here, as the
// tests start it): cold, every look-up a search on the pooled connections;
// warm, every look-up answered by the cache. One and two threads.
#include <benchmark/benchmark.h>

#include <stdio.h>

#include "public/core_util/userattr.h"
#include "public/util/config.h"
#include "tests/support/slapd_server.h"

namespace {

const std::string kData = CALPARSER_SOURCE_ROOT "/tests/data/ldap/";

void set(const char* key, const std::string& value)
{
    config_set_string(config_getdefaultcache(), key, value.c_str());
}

// The users looked up in turn: two calendars, none, upper-case mail, unknown.
const char* const kMails[] = {"jdoe@example.com", "guest@example.com",
                              "jorg.muller@example.com", "nobody@example.com"};

void look_up(benchmark::State& state, const char* cacheTtl)
{
    set("directory.cache.ttl", cacheTtl);  // every thread sets the same value
    unsigned i = static_cast<unsigned>(state.thread_index());
    for (auto _ : state) {
        array_t *calids = nullptr, *cns = nullptr, *mails = nullptr;
        int listed = 1;
        int rc = userattr_search_calids_with_mail(kMails[i++ % 4], nullptr, &calids, &cns, &mails,
                                                  &listed, 0);
        if (rc != 0)
            state.SkipWithError("the directory did not answer");
        array_free_and_destroy(&calids);
        array_free_and_destroy(&cns);
        array_free_and_destroy(&mails);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_LookupCold(benchmark::State& state) { look_up(state, "0"); }
void BM_LookupWarm(benchmark::State& state) { look_up(state, "300"); }

BENCHMARK(BM_LookupCold)->Threads(1)->Threads(2)->UseRealTime();
BENCHMARK(BM_LookupWarm)->Threads(1)->Threads(2)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    SlapdServer server;
    std::string why;
    if (!server.prepare(kData + "calendar.schema", kData + "directory.ldif", &why) ||
        !server.start(&why)) {
        fprintf(stderr, "directory_bench: %s\n", why.c_str());
        return 1;
    }
    set("directory.ldap.uri", server.uri());
    set("directory.ldap.base", SlapdServer::kSuffix);
    set("directory.ldap.attr.calid", "calid");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
