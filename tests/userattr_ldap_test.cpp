// The directory look-ups against a real slapd, started by this test binary on
// 127.0.0.1 with the users of tests/data/ldap/directory.ldif, and the pieces
// behind them (the answer cache).
#include "public/core_util/userattr.h"
#include "public/core_util/userattr_cache.h"
#include "public/core_util/userattr_ldap.h"
#include "public/util/config.h"
#include "public/util/kvallog.h"
#include "tests/support/directory_search.h"
#include "tests/support/log_capture.h"
#include "tests/support/parsed_text.h"
#include "tests/support/slapd_server.h"

#include <gtest/gtest.h>

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

std::vector<std::string> g_keysSet;  // unset again after each test

void set(const char* key, const std::string& value)
{
    config_set_string(config_getdefaultcache(), key, value.c_str());
    g_keysSet.push_back(key);
}

void unset(const char* key)
{
    config_set_string(config_getdefaultcache(), key, nullptr);
}

Texts errors(const LogCapture& log)
{
    Texts out;
    for (const auto& line : log.lines())
        if (line.first == KVALLOG_LEVEL_ERROR)
            out.push_back(line.second);
    return out;
}

using Mails = std::pair<int, Texts>;
using MailSearch = int (*)(const char*, const char*, array_t**);

// The mailto: texts a reverse search gives for `id`, with its status.
Mails mails(MailSearch search, const char* id)
{
    array_t* found = nullptr;
    int rc = search(id, nullptr, &found);
    return {rc, take(found)};
}

const MailSearch kByCalid = userattr_search_mail_with_calid;
const MailSearch kByUid = userattr_search_mail_with_uid;

const ByMail kNothing{0, 0, {}, {}, {}};
const ByMail kFailed{4, 0, {}, {}, {}};
const ByMail kJdoe{0, 2, {"jdoe", "jdoe:work"}, {"Jane Doe", "Jane Doe"},
                   {"jdoe@example.com", "jdoe@example.com"}};

std::string failure(const std::string& uri, const std::string& why)
{
    return "calparser: directory look-up at " + uri + " failed: " + why;
}

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
        set("directory.ldap.filter", "!(description=disabled)");  // gets its parentheses
        set("directory.ldap.timeout_ms", "5000");
        set("directory.cache.ttl", "0");
    }
    void TearDown() override
    {
        for (const std::string& key : g_keysSet)
            unset(key.c_str());
        g_keysSet.clear();
        parser_set_lookup_ldpool(nullptr, 0);
        parser_set_ldpool(nullptr, 0);
        userattr_directory_clear();
    }
};

// The attendees of every event of a parse, as (calid, cn, address).
using Attendee = std::tuple<std::string, std::string, std::string>;

std::multiset<Attendee> parse_attendees(const std::string& text)
{
    ParsedText parsed(text, "Africa/Casablanca");
    EXPECT_EQ(0, parsed.status);
    std::multiset<Attendee> found;
    auto text_of = [](const char* t) { return std::string(t ? t : "<null>"); };
    const array_t* events = parsed.slot(CALPARSER_SLOT_EVENTS);
    for (unsigned i = 0; events && i < events->count; ++i) {
        const array_t* attendees = parsed.component(CALPARSER_SLOT_EVENTS, i)->aAttendees;
        for (unsigned j = 0; attendees && j < attendees->count; ++j) {
            auto* a = static_cast<const CALDB_ATTENDEE*>(attendees->data[j]);
            found.emplace(text_of(a->pCalid), text_of(a->pCn), text_of(a->pAddr));
        }
    }
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

TEST_F(LdapDirectory, FoundEntriesGiveTheirCalendarsNamesAndPrimaryAddress)
{
    const struct {
        const char* mail;
        int matchAliases;
        ByMail expected;
        unsigned maxResults = 0;
    } cases[] = {
        // Matching ignores case; an alternate address finds the primary one.
        {"JDoe@Example.COM", 1, kJdoe},
        {"jane@example.com", 1, kJdoe},
        {"jane@example.com", 0, kNothing},
        // Two users behind one address sorted by calendar id (the two
        // calendars of one user are kJdoe's); a bound of one keeps the first.
        {"team@example.com", 1,
         {0, 2, {"amy", "zed"}, {"Amy Team", "Zed Team"}, Texts(2, "team@example.com")}},
        {"team@example.com", 1, {0, 1, {"amy"}, {"Amy Team"}, {"team@example.com"}}, 1},
        // The directory's upper-case address and a name beyond ASCII, as stored.
        {"jorg.muller@example.com", 1,
         {0, 1, {"jmuller"}, {"J\xC3\xB6rg M\xC3\xBCller"}, {"JORG.MULLER@EXAMPLE.COM"}}},
        // A user without a calendar: no ids, the name and address.
        {"guest@example.com", 1, {0, 1, {}, {"Guest Person"}, {"guest@example.com"}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, by_mail(c.mail, c.matchAliases, c.maxResults)) << c.mail;

    EXPECT_EQ((Mails{0, {"mailto:jdoe@example.com"}}), mails(kByCalid, "jdoe:work"));
    EXPECT_EQ((Mails{0, {}}), mails(kByCalid, "rroe"));  // a user id, not a calendar id
    EXPECT_EQ((Mails{0, {"mailto:JORG.MULLER@EXAMPLE.COM"}}), mails(kByUid, "jmuller"));

    // In a parse the directory's name replaces the one given, and a calendar
    // id becomes the user's address.
    ASSERT_EQ(0, parser_init());
    EXPECT_EQ((std::multiset<Attendee>{{"<null>", "Guest Person", "mailto:guest@example.com"},
                                       {"richard", "<null>", "mailto:rroe@example.com"}}),
              parse_attendees(calendar_of(
                  {"ATTENDEE;CN=Someone:mailto:guest@example.com\r\nATTENDEE:richard"})));
    parser_uninit();
}

// Unknown, filtered out, empty, and values that would widen an unescaped
// filter: no match, and no error (every escaped filter was a valid one).
TEST_F(LdapDirectory, NotFoundIsAnEmptyAnswer)
{
    LogCapture log;
    for (const char* value : {"nobody@example.com", "gone@example.com", "", "*", "x*)(uid=*",
                              "jdoe@example.com\\", "j*@example.com", "J\xC3\xB6rg\t",
                              "team@example.com)(!(uid=amy)"}) {
        EXPECT_EQ(kNothing, by_mail(value)) << value;
        EXPECT_EQ((Mails{0, {}}), mails(kByUid, value)) << value;
        EXPECT_EQ((Mails{0, {}}), mails(kByCalid, value)) << value;
    }
    EXPECT_EQ((Mails{0, {}}), mails(kByUid, "gone"));
    EXPECT_TRUE(errors(log).empty());
    EXPECT_EQ(1, by_mail(nullptr).rc);
    EXPECT_EQ(1, mails(kByUid, nullptr).first);
}

// A change of the settings takes effect at the next look-up: the calendar-id
// attribute, the bind credentials (by value or from a file, its line end
// dropped) and the pool a handle names.
TEST_F(LdapDirectory, ConfigurationChangeTakesEffectAtTheNextLookup)
{
    unset("directory.ldap.attr.calid");  // the default reads the id from uid
    EXPECT_EQ((Mails{0, {"mailto:rroe@example.com"}}), mails(kByCalid, "rroe"));
    set("directory.ldap.attr.calid", "calid");

    set("directory.ldap.binddn", SlapdServer::kRootDn);
    set("directory.ldap.password", SlapdServer::kRootPassword);
    EXPECT_EQ(kJdoe, by_mail("jdoe@example.com"));
    std::string file = testing::TempDir() + "ldap-password";
    std::ofstream(file) << SlapdServer::kRootPassword << "\n";
    unset("directory.ldap.password");
    set("directory.ldap.password_file", file);
    EXPECT_EQ(kJdoe, by_mail("jdoe@example.com"));
    remove(file.c_str());
    unset("directory.ldap.binddn");

    set("other.ldap.uri", g_slapd->uri());
    set("other.ldap.attr.calid", "calid");
    set("other.ldap.base", SlapdServer::kSuffix);
    unset("directory.ldap.uri");  // the configured directory is the empty table
    uint32_t handle = 0;
    ASSERT_EQ(0, userattr_ldap_pool_open("other", &handle));
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
              errors(log));
}

// A directory that cannot be used fails each look-up with the step that
// failed (the client library's own words follow) and never logs credentials.
TEST_F(LdapDirectory, UnusableDirectoryFailsTheLookup)
{
    const std::string slapd = g_slapd->uri();
    const struct {
        std::string uri;
        const char* startTls;
        const char* password;
        std::string failure;
    } rows[] = {
        {"ldap://127.0.0.1:1/", "0", nullptr, "cannot be reached: Can't contact LDAP server."},
        {"nonsense://127.0.0.1/", "0", nullptr, "the URI is not usable: "},
        {slapd, "1", nullptr, "StartTLS failed: "},  // the test slapd has no certificate
        {slapd, "0", "wrong-password", "bind refused: Invalid credentials."},
    };
    for (const auto& row : rows) {
        set("directory.ldap.uri", row.uri);
        set("directory.ldap.starttls", row.startTls);
        if (row.password) {
            set("directory.ldap.binddn", SlapdServer::kRootDn);
            set("directory.ldap.password", row.password);
        }
        LogCapture log;
        EXPECT_EQ(kFailed, by_mail("jdoe@example.com")) << row.failure;
        const Texts lines = errors(log);
        ASSERT_EQ(1u, lines.size()) << row.failure;
        const std::string expected = failure(row.uri, row.failure);
        EXPECT_EQ(expected, lines[0].substr(0, expected.size()));
        for (const auto& line : log.lines())
            for (const char* secret : {"admin", "wrong-password"})
                EXPECT_EQ(std::string::npos, line.second.find(secret)) << line.second;
    }
    set("directory.ldap.password_file", testing::TempDir() + "missing-password");
    unset("directory.ldap.password");
    LogCapture log;
    EXPECT_EQ(kFailed, by_mail("jdoe@example.com"));
    EXPECT_EQ(1u, errors(log).size());
}

// Stopped: each look-up fails once and a parse keeps the attendee as an
// unknown address; started again, the next look-up reconnects. Frozen: the
// look-up gives up after the timeout instead of holding the parse.
TEST_F(LdapDirectory, ServerDownFailsTheLookupAndTheNextOneReconnects)
{
    ASSERT_EQ(0, parser_init());
    const std::string calendar = calendar_of({"ATTENDEE:mailto:jdoe@example.com"});
    ASSERT_EQ(2u, parse_attendees(calendar).size());  // a connection is open now
    g_slapd->stop();
    {
        LogCapture log;
        EXPECT_EQ(kFailed, by_mail("jdoe@example.com"));
        EXPECT_EQ((Mails{4, {}}), mails(kByUid, "rroe"));
        EXPECT_EQ((std::multiset<Attendee>{{"<null>", "<null>", "mailto:jdoe@example.com"}}),
                  parse_attendees(calendar));
        EXPECT_EQ(Texts(3, failure(g_slapd->uri(),
                                   "cannot be reached: Can't contact LDAP server.")),
                  errors(log));
    }
    std::string why;
    ASSERT_TRUE(g_slapd->start(&why)) << why;
    EXPECT_EQ((std::multiset<Attendee>{{"jdoe", "Jane Doe", "mailto:jdoe@example.com"},
                                       {"jdoe:work", "Jane Doe", "mailto:jdoe@example.com"}}),
              parse_attendees(calendar));
    parser_uninit();

    set("directory.ldap.timeout_ms", "200");
    g_slapd->pause();
    auto start = std::chrono::steady_clock::now();
    LogCapture log;
    EXPECT_EQ(kFailed, by_mail("jdoe@example.com"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    g_slapd->resume();
    EXPECT_EQ(1u, errors(log).size());
    set("directory.ldap.timeout_ms", "5000");  // the reconnect may wait for the CPU
    EXPECT_EQ(kJdoe, by_mail("jdoe@example.com"));
}

TEST_F(LdapDirectory, EightThreadsShareFourConnections)
{
    set("directory.ldap.connections", "0");  // out of range: the default, 4
    set("directory.ldap.timeout_ms", "10000");
    constexpr int kThreads = 8, kLookups = 1000;
    unsigned long before = userattr_ldap_search_count();
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t, &wrong] {
            for (int i = 0; i < kLookups; ++i) {
                bool right = (t + i) % 2 == 0
                                 ? by_mail("jdoe@example.com") == kJdoe
                                 : mails(kByUid, "rroe") == Mails{0, {"mailto:rroe@example.com"}};
                if (!right)
                    ++wrong;
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(0, wrong.load());
    EXPECT_EQ(before + kThreads * kLookups, userattr_ldap_search_count());
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

    // The TTL counts from the store.
    const userattr_cache::Clock::time_point t0 = userattr_cache::Clock::now();
    userattr_cache cache(10, 2);
    cache.store("n", userattr_answer(std::make_shared<std::vector<userattr_ldap_record>>()), t0);
    EXPECT_TRUE(cache.find("n", t0 + std::chrono::seconds(9)));
    EXPECT_FALSE(cache.find("n", t0 + std::chrono::seconds(10)));
}
