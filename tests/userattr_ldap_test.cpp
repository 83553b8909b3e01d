// The directory look-ups against a real slapd, started by this test binary on
// 127.0.0.1 with the users of tests/data/ldap/directory.ldif, and the pieces
// behind them (filter escaping, the answer cache).
#include "core/parser/calparser.h"
#include "public/core_util/userattr.h"
#include "public/core_util/userattr_cache.h"
#include "public/core_util/userattr_ldap.h"
#include "public/core_util/userattr_ldap_filter.h"
#include "public/core_util/userattr_ldap_settings.h"
#include "public/util/config.h"
#include "public/util/kvallog.h"
#include "public/util/prot.h"
#include "tests/support/directory_search.h"
#include "tests/support/log_capture.h"
#include "tests/support/slapd_server.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <stdio.h>

#include <atomic>
#include <fstream>
#include <set>
#include <thread>
#include <tuple>

namespace {

const std::string kData = CALPARSER_SOURCE_ROOT "/tests/data/ldap/";

SlapdServer* g_slapd = nullptr;

// Starts slapd once for the whole binary and stops it at the end, whatever
// the tests did; without slapd every test fails with the reason.
class SlapdEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        auto server = std::make_unique<SlapdServer>();
        std::string why;
        ASSERT_TRUE(server->prepare(kData + "calendar.schema", kData + "directory.ldif", &why) &&
                    server->start(&why))
            << why;
        g_slapd = server.release();
    }
    void TearDown() override
    {
        delete g_slapd;
        g_slapd = nullptr;
    }
};
const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new SlapdEnvironment);

void set(const char* key, const std::string& value)
{
    config_set_string(config_getdefaultcache(), key, value.c_str());
}

void unset(const char* key)
{
    config_set_string(config_getdefaultcache(), key, nullptr);
}

// The texts of the captured lines of one level.
Texts at_level(const LogCapture& log, int level)
{
    Texts out;
    for (const auto& line : log.lines())
        if (line.first == level)
            out.push_back(line.second);
    return out;
}

std::pair<int, Texts> mail_with_calid(const char* calid)
{
    array_t* mails = nullptr;
    int rc = userattr_search_mail_with_calid(calid, nullptr, &mails);
    return {rc, take(mails)};
}

std::pair<int, Texts> mail_with_uid(const char* uid)
{
    array_t* mails = nullptr;
    int rc = userattr_search_mail_with_uid(uid, nullptr, &mails);
    return {rc, take(mails)};
}

const ByMail kNothing{0, 0, {}, {}, {}};
const ByMail kFailed{4, 0, {}, {}, {}};
const ByMail kJdoe{0, 2, {"jdoe", "jdoe:work"}, {"Jane Doe", "Jane Doe"},
                   {"jdoe@example.com", "jdoe@example.com"}};

const char* const kDirectoryKeys[] = {
    "directory.ldap.uri",        "directory.ldap.base",         "directory.ldap.binddn",
    "directory.ldap.password",   "directory.ldap.password_file", "directory.ldap.attr.calid",
    "directory.ldap.filter",     "directory.ldap.timeout_ms",   "directory.ldap.connections",
    "directory.cache.ttl",       "directory.cache.entries",     "directory.ldap.starttls",
};

// The configured directory is the test slapd, with the calendar-id
// attribute of its schema, disabled users filtered out and no cache.
class LdapDirectory : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(nullptr, g_slapd) << "slapd is not running";
        set("directory.ldap.uri", g_slapd->uri());
        set("directory.ldap.base", SlapdServer::kSuffix);
        set("directory.ldap.attr.calid", "calid");
        set("directory.ldap.filter", "(!(description=disabled))");
        set("directory.ldap.timeout_ms", "5000");
        set("directory.cache.ttl", "0");
    }
    void TearDown() override
    {
        for (const char* key : kDirectoryKeys)
            unset(key);
        parser_set_lookup_ldpool(nullptr, 0);
        parser_set_ldpool(nullptr, 0);
        userattr_directory_clear();
    }
};

}  // namespace

TEST_F(LdapDirectory, MailSearchListsEveryCalendarSortedWithNameAndPrimaryAddress)
{
    const struct {
        const char* mail;
        int matchAliases;
        unsigned maxResults;
        ByMail expected;
    } cases[] = {
        // Two calendar ids of one user, sorted, each with the user's name and address.
        {"jdoe@example.com", 1, 0, kJdoe},
        // Matching ignores case; an alternate address finds the primary one,
        // unless alternates are not to be matched.
        {"JDoe@Example.COM", 1, 0, kJdoe},
        {"jane@example.com", 1, 0, kJdoe},
        {"jane@example.com", 0, 0, kNothing},
        // The directory's upper-case address and a name beyond ASCII, as stored.
        {"jorg.muller@example.com", 1, 0,
         {0, 1, {"jmuller"}, {"J\xC3\xB6rg M\xC3\xBCller"}, {"JORG.MULLER@EXAMPLE.COM"}}},
        // A user without a calendar: no ids, the name and address.
        {"guest@example.com", 1, 0, {0, 1, {}, {"Guest Person"}, {"guest@example.com"}}},
        // Two users behind one address, by calendar id, and the first of them.
        {"team@example.com", 1, 0,
         {0, 2, {"amy", "zed"}, {"Amy Team", "Zed Team"}, {"team@example.com", "team@example.com"}}},
        {"team@example.com", 1, 1, {0, 1, {"amy"}, {"Amy Team"}, {"team@example.com"}}},
        // Unknown, filtered out by the configured filter, empty.
        {"nobody@example.com", 1, 0, kNothing},
        {"gone@example.com", 1, 0, kNothing},
        {"", 1, 0, kNothing},
    };
    LogCapture log;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mail);
        EXPECT_EQ(c.expected, by_mail(c.mail, c.matchAliases, c.maxResults));
    }
    EXPECT_TRUE(at_level(log, KVALLOG_LEVEL_ERROR).empty());
    EXPECT_EQ(1, by_mail(nullptr).rc);
}

TEST_F(LdapDirectory, MailsOfACalendarIdOrUserIdAsMailtoTexts)
{
    using Found = std::pair<int, Texts>;
    EXPECT_EQ((Found{0, {"mailto:jdoe@example.com"}}), mail_with_calid("jdoe:work"));
    EXPECT_EQ((Found{0, {"mailto:rroe@example.com"}}), mail_with_calid("RICHARD"));
    EXPECT_EQ((Found{0, {}}), mail_with_calid("rroe"));  // a user id, not a calendar id
    EXPECT_EQ((Found{0, {"mailto:rroe@example.com"}}), mail_with_uid("rroe"));
    EXPECT_EQ((Found{0, {"mailto:JORG.MULLER@EXAMPLE.COM"}}), mail_with_uid("jmuller"));
    EXPECT_EQ((Found{0, {}}), mail_with_uid("gone"));
    EXPECT_EQ((Found{0, {}}), mail_with_uid("nobody"));
    EXPECT_EQ(1, mail_with_uid(nullptr).first);

    // The defaults read the calendar id from uid.
    unset("directory.ldap.attr.calid");
    EXPECT_EQ((Found{0, {"mailto:rroe@example.com"}}), mail_with_calid("rroe"));
    EXPECT_EQ((ByMail{0, 1, {"rroe"}, {"Richard Roe"}, {"rroe@example.com"}}),
              by_mail("rroe@example.com"));
}

TEST(LdapFilter, ValuesAreEscapedSoTheyCannotWidenTheSearch)
{
    const struct {
        std::string value, escaped;
    } cases[] = {
        {"jdoe@example.com", "jdoe@example.com"},
        {"x*)(uid=*", "x\\2a\\29\\28uid=\\2a"},
        {"a\\b", "a\\5cb"},
        {std::string("a\0b", 3), "a\\00b"},
        {"tab\there", "tab\\09here"},
        {"J\xC3\xB6rg", "J\\c3\\b6rg"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.escaped, userattr_ldap_escape_value(c.value)) << c.escaped;
    EXPECT_EQ("(&(objectClass=*)(mail=\\2a))",
              userattr_ldap_equality_filter("(objectClass=*)", "mail", "*"));
}

// Unset keys and numbers out of range take the defaults; a bare filter gets
// its parentheses.
TEST(LdapSettings, DefaultsAndRangesOfTheKeys)
{
    userattr_ldap_settings s = userattr_ldap_read_settings("unset");
    EXPECT_EQ("", s.uri);
    EXPECT_EQ((std::vector<std::string>{"uid", "cn", "mail", "uid", "(objectClass=*)"}),
              (std::vector<std::string>{s.calidAttr, s.cnAttr, s.mailAttr, s.uidAttr, s.filter}));
    EXPECT_EQ((std::vector<int>{0, 2000, 4, 300, 10000}),
              (std::vector<int>{s.startTls, s.timeoutMs, s.connections, s.cacheTtlSeconds,
                                s.cacheEntries}));

    const char* const keys[][2] = {
        {"t.ldap.starttls", "1"},        {"t.ldap.filter", "employeeType=staff"},
        {"t.ldap.timeout_ms", "abc"},    {"t.ldap.connections", "0"},
        {"t.cache.ttl", "0"},            {"t.cache.entries", "-5"},
    };
    for (const auto& key : keys)
        set(key[0], key[1]);
    s = userattr_ldap_read_settings("t");
    EXPECT_EQ("(employeeType=staff)", s.filter);
    EXPECT_EQ((std::vector<int>{1, 2000, 4, 0, 10000}),
              (std::vector<int>{s.startTls, s.timeoutMs, s.connections, s.cacheTtlSeconds,
                                s.cacheEntries}));
    for (const auto& key : keys)
        unset(key[0]);
}

TEST_F(LdapDirectory, InjectionAttemptsMatchNothing)
{
    const char* const attempts[] = {"*", "x*)(uid=*", "*)(|(mail=*", "jdoe@example.com\\",
                                    "\\2a", "j*@example.com", "team@example.com)(!(uid=amy)"};
    LogCapture log;
    for (const char* attempt : attempts) {
        SCOPED_TRACE(attempt);
        EXPECT_EQ(kNothing, by_mail(attempt));
        EXPECT_EQ((std::pair<int, Texts>{0, {}}), mail_with_uid(attempt));
        EXPECT_EQ((std::pair<int, Texts>{0, {}}), mail_with_calid(attempt));
    }
    // Every escaped filter was a valid one.
    EXPECT_TRUE(at_level(log, KVALLOG_LEVEL_ERROR).empty());
}

TEST_F(LdapDirectory, BindFailureFailsTheLookupAndNeverLogsTheCredentials)
{
    set("directory.ldap.binddn", SlapdServer::kRootDn);
    set("directory.ldap.password", "wrong-password");
    {
        LogCapture log;
        EXPECT_EQ(kFailed, by_mail("jdoe@example.com"));
        EXPECT_EQ(Texts{"calparser: directory look-up at " + g_slapd->uri() +
                        " failed: bind refused: Invalid credentials."},
                  at_level(log, KVALLOG_LEVEL_ERROR));
        for (const auto& line : log.lines()) {
            EXPECT_EQ(std::string::npos, line.second.find("admin")) << line.second;
            EXPECT_EQ(std::string::npos, line.second.find("wrong-password")) << line.second;
        }
    }
    set("directory.ldap.password", SlapdServer::kRootPassword);
    EXPECT_EQ(kJdoe, by_mail("jdoe@example.com"));

    // The password from a file (its line end dropped), and a file that is missing.
    std::string file = testing::TempDir() + "ldap-password";
    std::ofstream(file) << SlapdServer::kRootPassword << "\n";
    unset("directory.ldap.password");
    set("directory.ldap.password_file", file);
    EXPECT_EQ(kJdoe, by_mail("jdoe@example.com"));
    set("directory.ldap.password_file", file + ".missing");
    LogCapture log;
    EXPECT_EQ(kFailed, by_mail("jdoe@example.com"));
    EXPECT_EQ(1u, at_level(log, KVALLOG_LEVEL_ERROR).size());
    remove(file.c_str());
}

TEST_F(LdapDirectory, ServerDownFailsEachLookupOnceAndTheNextOneReconnects)
{
    ASSERT_EQ(kJdoe, by_mail("jdoe@example.com"));  // a connection is open now
    g_slapd->stop();
    {
        LogCapture log;
        EXPECT_EQ(kFailed, by_mail("jdoe@example.com"));
        EXPECT_EQ((std::pair<int, Texts>{4, {}}), mail_with_uid("rroe"));
        Texts expected(2, "calparser: directory look-up at " + g_slapd->uri() +
                              " failed: cannot be reached: Can't contact LDAP server.");
        EXPECT_EQ(expected, at_level(log, KVALLOG_LEVEL_ERROR));
    }
    std::string why;
    ASSERT_TRUE(g_slapd->start(&why)) << why;
    EXPECT_EQ(kJdoe, by_mail("jdoe@example.com"));

    // A server that accepts connections but never answers: the look-up
    // gives up after the timeout instead of holding the parse.
    set("directory.ldap.timeout_ms", "200");
    g_slapd->pause();
    auto start = std::chrono::steady_clock::now();
    LogCapture log;
    EXPECT_EQ(kFailed, by_mail("jdoe@example.com"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    g_slapd->resume();
    EXPECT_EQ(1u, at_level(log, KVALLOG_LEVEL_ERROR).size());
    set("directory.ldap.timeout_ms", "5000");  // the reconnect may wait for the CPU
    EXPECT_EQ(kJdoe, by_mail("jdoe@example.com"));
}

// A directory that cannot be used at all fails each look-up with the step
// that failed; the client library's own words follow.
TEST_F(LdapDirectory, UnusableDirectoryFailsTheLookup)
{
    const struct {
        const char* uri;
        bool startTls;
        std::string failure;
    } rows[] = {
        {"ldap://127.0.0.1:1/", false, "cannot be reached: Can't contact LDAP server."},
        {"nonsense://127.0.0.1/", false, "the URI is not usable: "},
        {nullptr, true, "StartTLS failed: "},   // the test slapd has no certificate
    };
    for (const auto& row : rows) {
        const std::string uri = row.uri ? row.uri : g_slapd->uri();
        set("directory.ldap.uri", uri);
        set("directory.ldap.starttls", row.startTls ? "1" : "0");
        LogCapture log;
        EXPECT_EQ(kFailed, by_mail("jdoe@example.com")) << uri;
        const Texts errors = at_level(log, KVALLOG_LEVEL_ERROR);
        ASSERT_EQ(1u, errors.size()) << uri;
        const std::string head = "calparser: directory look-up at " + uri + " failed: ";
        EXPECT_EQ(head + row.failure, errors[0].substr(0, head.size() + row.failure.size()));
    }
}

TEST_F(LdapDirectory, PoolHandlesChooseTheDirectory)
{
    set("other.ldap.uri", g_slapd->uri());
    set("other.ldap.attr.calid", "calid");
    set("other.ldap.base", SlapdServer::kSuffix);
    unset("directory.ldap.uri");  // the configured directory is the empty table
    uint32_t handle = 0;
    ASSERT_EQ(0, userattr_ldap_pool_open("other", &handle));
    EXPECT_NE(0u, handle);
    EXPECT_EQ(1, userattr_ldap_pool_open("unconfigured", &handle));
    EXPECT_EQ(1, userattr_ldap_pool_open(nullptr, &handle));

    EXPECT_EQ(kNothing, by_mail("jdoe@example.com"));
    parser_set_ldpool(nullptr, handle);
    EXPECT_EQ(kJdoe, by_mail("jdoe@example.com"));
    parser_set_ldpool(nullptr, 0);
    parser_set_lookup_ldpool(nullptr, handle);
    EXPECT_EQ(kJdoe, by_mail("jdoe@example.com"));

    EXPECT_EQ(0, userattr_ldap_pool_close(handle));
    EXPECT_EQ(1, userattr_ldap_pool_close(handle));
    LogCapture log;
    EXPECT_EQ(kFailed, by_mail("jdoe@example.com"));
    EXPECT_EQ(Texts{"calparser: directory look-up failed: no directory pool has the handle " +
                    std::to_string(handle) + "."},
              at_level(log, KVALLOG_LEVEL_ERROR));
    unset("other.ldap.uri");
    unset("other.ldap.attr.calid");
    unset("other.ldap.base");
}

TEST_F(LdapDirectory, EightThreadsShareFourConnections)
{
    set("directory.ldap.connections", "4");
    set("directory.ldap.timeout_ms", "10000");
    constexpr int kThreads = 8, kLookups = 1000;
    unsigned long before = userattr_ldap_search_count();
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t, &wrong] {
            for (int i = 0; i < kLookups; ++i) {
                bool right = (t + i) % 2 == 0 ? by_mail("jdoe@example.com") == kJdoe
                                              : mail_with_uid("rroe") ==
                                                    std::pair<int, Texts>{0, {"mailto:rroe@example.com"}};
                if (!right)
                    ++wrong;
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(0, wrong.load());
    EXPECT_EQ(before + kThreads * kLookups, userattr_ldap_search_count());
}

namespace {

// The attendees of every event of a parse, as (calid, cn, address).
using Attendee = std::tuple<std::string, std::string, std::string>;

std::multiset<Attendee> parse_attendees(const std::string& text)
{
    std::multiset<Attendee> found;
    protstream* s = prot_readmap(text.data(), (unsigned)text.size());
    array_t* result = nullptr;
    char tzid[] = "Africa/Casablanca";
    EXPECT_EQ(0, calparser_prot_to_dbstruct(s, &result, CALPARSER_FORMAT_ICAL, 0, nullptr, tzid,
                                            nullptr, nullptr, nullptr));
    prot_free(s);
    array_t* events = result ? (array_t*)result->data[CALPARSER_SLOT_EVENTS] : nullptr;
    auto text_of = [](const char* t) { return std::string(t ? t : "<null>"); };
    for (unsigned i = 0; events && i < events->count; ++i) {
        auto* event = (CAL_VCOMPONENT*)events->data[i];
        array_t* attendees = static_cast<CALDB_VEVENT*>(event->pComponent)->aAttendees;
        for (unsigned j = 0; attendees && j < attendees->count; ++j) {
            auto* a = (CALDB_ATTENDEE*)attendees->data[j];
            found.emplace(text_of(a->pCalid), text_of(a->pCn), text_of(a->pAddr));
        }
    }
    calparser_FreeComponentArrayAndDestroy(&result);
    return found;
}

std::string calendar_of(const std::vector<std::string>& attendeeLines)
{
    std::string text = "BEGIN:VCALENDAR\r\n";
    for (size_t i = 0; i < attendeeLines.size(); ++i)
        text += "BEGIN:VEVENT\r\nUID:e" + std::to_string(i) +
                "\r\nDTSTART:20240101T100000Z\r\n" + attendeeLines[i] + "\r\nEND:VEVENT\r\n";
    return text + "END:VCALENDAR\r\n";
}

}  // namespace

TEST_F(LdapDirectory, ServerDownStoresTheAttendeeAsAnUnknownAddress)
{
    ASSERT_EQ(0, parser_init());
    std::string calendar = calendar_of({"ATTENDEE:mailto:jdoe@example.com"});
    EXPECT_EQ((std::multiset<Attendee>{{"jdoe", "Jane Doe", "mailto:jdoe@example.com"},
                                       {"jdoe:work", "Jane Doe", "mailto:jdoe@example.com"}}),
              parse_attendees(calendar));
    g_slapd->stop();
    EXPECT_EQ((std::multiset<Attendee>{{"<null>", "<null>", "mailto:jdoe@example.com"}}),
              parse_attendees(calendar));
    std::string why;
    ASSERT_TRUE(g_slapd->start(&why)) << why;
    EXPECT_EQ(2u, parse_attendees(calendar).size());
    parser_uninit();
}

// 20,000 events among 50 attendees: one search per distinct address while
// the answers are fresh, whether the directory knows the address or not.
TEST_F(LdapDirectory, CachedAnswersSpareRepeatedSearches)
{
    ASSERT_EQ(0, parser_init());
    set("directory.cache.ttl", "300");
    std::vector<std::string> lines;
    for (int i = 0; i < 20000; ++i)
        lines.push_back(i % 50 == 0 ? "ATTENDEE:mailto:jdoe@example.com"
                                    : "ATTENDEE:mailto:user" + std::to_string(i % 50) +
                                          "@example.com");
    unsigned long before = userattr_ldap_search_count();
    std::multiset<Attendee> attendees = parse_attendees(calendar_of(lines));
    EXPECT_EQ(50u, userattr_ldap_search_count() - before);
    EXPECT_EQ(400u, attendees.count({"jdoe:work", "Jane Doe", "mailto:jdoe@example.com"}));
    EXPECT_EQ(400u, attendees.count({"<null>", "<null>", "mailto:user7@example.com"}));

    // Clearing the directory forgets the answers; a bound of two entries
    // keeps only the latest two.
    userattr_directory_clear();
    by_mail("jdoe@example.com");
    EXPECT_EQ(51u, userattr_ldap_search_count() - before);
    set("directory.cache.entries", "2");
    for (const char* mail : {"a@example.com", "b@example.com", "c@example.com", "a@example.com",
                             "c@example.com"})
        by_mail(mail);
    EXPECT_EQ(55u, userattr_ldap_search_count() - before);
    parser_uninit();
}

// The TTL counts from the store, and a negative answer is kept as well. (The
// bound on entries and a TTL of 0 are seen through the search counts above.)
TEST(AnswerCache, KeepsAnswersForTheTtlNegativeOnesToo)
{
    const userattr_cache::Clock::time_point t0 = userattr_cache::Clock::now();
    auto records = std::make_shared<std::vector<userattr_ldap_record>>();
    userattr_cache cache(10, 2);
    cache.store("n", userattr_answer(records), t0);
    records = std::make_shared<std::vector<userattr_ldap_record>>();
    records->push_back({"A", {}});
    cache.store("a", userattr_answer(records), t0);
    EXPECT_TRUE(cache.find("n", t0) && cache.find("n", t0)->empty());
    userattr_answer found = cache.find("a", t0 + std::chrono::seconds(9));
    ASSERT_TRUE(found);
    EXPECT_EQ("A", found->front().dn);
    EXPECT_FALSE(cache.find("a", t0 + std::chrono::seconds(10)));  // expired
}

// calparse with a configuration that names the directory resolves the
// attendees of a file: calendar ids, names and addresses in its JSON.
TEST_F(LdapDirectory, CalparseResolvesThroughTheConfiguredDirectory)
{
    std::string dir = testing::TempDir();
    std::string conf = dir + "directory-test.conf", ics = dir + "directory-test.ics";
    std::ofstream(conf) << "directory.ldap.uri = " << g_slapd->uri()
                        << "\ndirectory.ldap.base = " << SlapdServer::kSuffix
                        << "\ndirectory.ldap.attr.calid = calid\n";
    std::ofstream(ics) << calendar_of({"ATTENDEE:mailto:jorg.muller@example.com\r\n"
                                       "ATTENDEE;CN=Someone:mailto:guest@example.com\r\n"
                                       "ATTENDEE:richard\r\nATTENDEE:mailto:nobody@example.com"});

    std::string tool = std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() /
                       "tools" / "calparse" / "calparse";
    if (!std::filesystem::exists(tool))
        GTEST_SKIP() << "calparse is not built";  // the ThreadSanitizer build leaves it out
    std::string command =
        "env -u CALPARSER_CONFIG '" + tool + "' --config '" + conf + "' --output json '" + ics + "'";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(nullptr, pipe);
    std::string json;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        json.append(buffer, n);
    EXPECT_EQ(0, pclose(pipe));

    std::set<Attendee> found;
    auto text_of = [](const nlohmann::json& v) {
        return v.is_null() ? std::string("<null>") : v.get<std::string>();
    };
    nlohmann::json parsed = nlohmann::json::parse(json);
    for (const auto& a : parsed["events"].at(0)["attendees"])
        found.emplace(text_of(a["calid"]), text_of(a["cn"]), text_of(a["address"]));
    EXPECT_EQ((std::set<Attendee>{
                  {"jmuller", "J\xC3\xB6rg M\xC3\xBCller", "mailto:jorg.muller@example.com"},
                  {"<null>", "Guest Person", "mailto:guest@example.com"},  // the directory's name
                  {"richard", "<null>", "mailto:rroe@example.com"},
                  {"<null>", "<null>", "mailto:nobody@example.com"},
              }),
              found);
    remove(conf.c_str());
    remove(ics.c_str());
}
