#include "public/core_util/userattr.h"
#include "public/util/config.h"
#include "tests/support/directory_search.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

const char* const kLdif = CALPARSER_SOURCE_ROOT "/tests/data/directory.ldif";

class Directory : public ::testing::Test {
protected:
    void SetUp() override { use_file(nullptr); }
    void TearDown() override { use_file(nullptr); }
    static void use_file(const char* path)
    {
        config_set_string(config_getdefaultcache(), "directory.ldif", path);
        userattr_directory_clear();
    }
};

}  // namespace

// How the builders use the matches is theirs to test; here the search itself.
// Entries of the configured file come first; a folded mailAlternateAddress is
// found only when asked for, and the primary address is returned. Entries
// without a calendar count only while no match has one.
TEST_F(Directory, MailSearchListsOneEntryPerCalendar)
{
    use_file(kLdif);
    userattr_directory_add("jdoe", "extra", "", "JDOE@example.com");
    ByMail r = by_mail("jdoe@example.com", 0);
    EXPECT_EQ((ByMail{0, 3, {"jdoe", "jdoe:work", "extra"},
                      {"J\xc3\xb6rg Doe", "J\xc3\xb6rg Doe", "<null>"},  // base64; empty is absent
                      {"jdoe@example.com", "jdoe@example.com", "JDOE@example.com"}}),
              r);
    EXPECT_EQ((Texts{"jdoe"}), by_mail("jdoe@example.com", 0, 1).calids);
    EXPECT_EQ(0, by_mail("j.doe@example.com", 0).listed);
    EXPECT_EQ((Texts{"jdoe@example.com", "jdoe@example.com"}),
              by_mail("j.doe@example.com", 1).mails);
    userattr_directory_add(nullptr, nullptr, "Guest", "visitor@example.com");
    EXPECT_EQ((Texts{"Guest"}), by_mail("visitor@example.com", 0).cns);
    userattr_directory_add("visitor", "visitor", nullptr, "visitor@example.com");
    EXPECT_EQ((Texts{"visitor"}), by_mail("visitor@example.com", 0).calids);

    // The mails of a user are distinct regardless of case, as mailto: URIs.
    array_t* mails = nullptr;
    EXPECT_EQ(0, userattr_search_mail_with_uid("JDOE", nullptr, &mails));
    EXPECT_EQ((Texts{"mailto:jdoe@example.com"}), take(mails));
    // Clearing drops the added entries; the next look-up reads the file again.
    userattr_directory_clear();
    EXPECT_EQ((Texts{"jdoe", "jdoe:work"}), by_mail("jdoe@example.com", 0).calids);
}

TEST_F(Directory, LookupsRunWhileEntriesAreAdded)
{
    userattr_directory_add("base", "base", "Base", "base@example.com");
    std::vector<std::thread> readers;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t)
        readers.emplace_back([t, &failures] {
            for (int i = 0; i < 300; ++i) {
                ByMail r = by_mail("base@example.com", 1);
                if (r.rc != 0 || r.calids != Texts{"base"})
                    ++failures[t];
            }
        });
    for (int i = 0; i < 300; ++i)
        userattr_directory_add("u", ("u:" + std::to_string(i)).c_str(), nullptr, "u@example.com");
    for (std::thread& reader : readers)
        reader.join();
    EXPECT_EQ((std::vector<int>(4, 0)), failures);
    EXPECT_EQ(300, by_mail("u@example.com", 0).listed);
}
