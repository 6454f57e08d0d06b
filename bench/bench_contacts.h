// Contacts shared by the contact benchmarks: a typical mix of names (a third Chinese), numbers,
// mail, addresses, notes and groups.
#pragma once

#include "content/contact_fields.h"

#include <algorithm>
#include <string>

namespace bench {

// Contact i of a typical book. note: the text the notes carry (every fifth contact has one);
// firstGroup: the group number of contact 0 (groups cycle through five).
inline content::TMobileVacrd typicalContact(int i, const std::string &note, int firstGroup)
{
    using namespace content;
    bool chinese = i % 3 == 0;
    std::string n = std::to_string(i);
    TMobileVacrd c;
    c.push_back({kFieldName, -1, chinese ? "张;" + n + "三丰" : "Kowalski" + n + ";Jan"});
    c.push_back({kFieldTel, 0x140, "+48600" + std::string(6 - std::min<size_t>(6, n.size()), '0') + n});
    c.push_back({kFieldTel, 0x802, "+4822" + n});
    if (i % 2)
        c.push_back({kFieldTel, 0x401, "+4822" + n + "9"});
    c.push_back({kFieldEmail, 0x40, "user" + n + "@example.com"});
    if (i % 4 == 1)
        c.push_back({kFieldAddr, 0x1, chinese ? ";;长安街" + n + "号;北京;;100000;中国" : ";;Prosta " + n + ";Warszawa;;00-950;Polska"});
    if (i % 5 == 2)
        c.push_back({kFieldNote, 0, chinese ? "备注：老同学" : note});
    c.push_back({kFieldGroup, 0, std::to_string(i % 5 + firstGroup)});
    SortFields(c);
    return c;
}

} // namespace bench
