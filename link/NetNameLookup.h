// Names of network ports looked up without holding the caller past its
// deadline. The system's resolver takes no deadline, and a name server that
// is down holds it for many seconds, which would freeze the window's thread
// at each open: the lookup runs on a thread of its own, the caller waits for
// it only until its deadline, and a later lookup of the same name takes up
// the same one instead of starting another. An address written out is
// answered at once.
#pragma once

#include <chrono>
#include <string>

struct addrinfo;

namespace travin::net {

// As platform::lookUp, or kErrorLookupSlow when the name server has not
// answered by `deadline` (the lookup goes on; its answer is kept for the
// next call for the same name, for half a minute).
int lookUpWithin(const std::string& host, const std::string& service, addrinfo*& found,
                 std::chrono::steady_clock::time_point deadline);

// Who answers for names: the system's resolver by default; tests put a slow
// one in. nullptr puts the system's back.
using NameLookup = int (*)(const std::string& host, const std::string& service, addrinfo*& found);
void setNameLookup(NameLookup lookup);

}  // namespace travin::net
