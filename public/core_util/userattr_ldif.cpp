/* LDIF reader for the in-memory directory: records of "name: value" lines. */
#include "public/core_util/userattr_ldif.h"

#include <strings.h>

namespace {

/* The attributes of one record that the directory keeps. */
struct LdifRecord {
    std::string uid;
    std::string cn;
    std::vector<std::string> calids;
    std::vector<std::string> mails;    /* first is primary */
    std::vector<std::string> aliases;
};

int base64_digit(char c)
{
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

/* Decodes base64 text, skipping white space and stopping at "=". False for
 * any other byte outside the alphabet. */
bool decode_base64(const std::string& text, std::string* out)
{
    unsigned bits = 0;
    int nbits = 0;
    out->clear();
    for (char c : text) {
        if (c == '=')
            break;
        if (c == ' ' || c == '\t')
            continue;
        int digit = base64_digit(c);
        if (digit < 0)
            return false;
        bits = (bits << 6) | static_cast<unsigned>(digit);
        nbits += 6;
        if (nbits >= 8) {
            nbits -= 8;
            out->push_back(static_cast<char>((bits >> nbits) & 0xFF));
        }
    }
    return true;
}

/* Splits one logical line into its attribute name (options cut off) and its
 * value. False for a line that is not "name: value", for an
 * undecodable base64 value and for "name:< URL" values, which are not read. */
bool parse_attribute(const std::string& line, std::string* name, std::string* value)
{
    size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0)
        return false;
    size_t semicolon = line.find(';');
    *name = line.substr(0, semicolon < colon ? semicolon : colon);
    size_t pos = colon + 1;
    char kind = pos < line.size() ? line[pos] : ' ';
    if (kind == ':' || kind == '<')
        ++pos;
    while (pos < line.size() && line[pos] == ' ')
        ++pos;
    std::string raw = line.substr(pos);
    if (kind == '<')
        return false;
    if (kind == ':')
        return decode_base64(raw, value);
    *value = raw;
    return true;
}

void store_attribute(LdifRecord* record, const std::string& name, const std::string& value)
{
    if (value.empty())
        return;
    if (strcasecmp(name.c_str(), "uid") == 0) {
        if (record->uid.empty())
            record->uid = value;
    } else if (strcasecmp(name.c_str(), "cn") == 0) {
        if (record->cn.empty())
            record->cn = value;
    } else if (strcasecmp(name.c_str(), "calid") == 0) {
        record->calids.push_back(value);
    } else if (strcasecmp(name.c_str(), "mail") == 0) {
        record->mails.push_back(value);
    } else if (strcasecmp(name.c_str(), "mailAlternateAddress") == 0) {
        record->aliases.push_back(value);
    }
}

/* Turns a finished record into its entries (one per calendar id) and resets it. */
void flush_record(LdifRecord* record, std::vector<userattr_entry>* entries)
{
    if (!record->uid.empty() || !record->calids.empty() || !record->mails.empty()) {
        userattr_entry entry;
        entry.uid = record->uid;
        entry.cn = record->cn;
        if (!record->mails.empty())
            entry.mail = record->mails[0];
        for (size_t i = 1; i < record->mails.size(); ++i)
            entry.aliases.push_back(record->mails[i]);
        for (const std::string& alias : record->aliases)
            entry.aliases.push_back(alias);
        if (record->calids.empty()) {
            entries->push_back(entry);
        } else {
            for (const std::string& calid : record->calids) {
                entry.calid = calid;
                entries->push_back(entry);
            }
        }
    }
    *record = LdifRecord();
}

void finish_line(const std::string& logical, LdifRecord* record)
{
    std::string name;
    std::string value;
    if (!logical.empty() && logical[0] != '#' && parse_attribute(logical, &name, &value))
        store_attribute(record, name, value);
}

}  // namespace

void userattr_read_ldif(std::istream& in, std::vector<userattr_entry>* entries)
{
    LdifRecord record;
    std::string logical;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line[0] == ' ') {
            logical.append(line, 1, std::string::npos);  /* continuation */
            continue;
        }
        finish_line(logical, &record);
        logical = line;
        if (line.empty())
            flush_record(&record, entries);
    }
    finish_line(logical, &record);
    flush_record(&record, entries);
}
