#include "job/SignedIn.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace job {

std::string HostName() {
    char name[256] = {};
    return gethostname(name, sizeof name - 1) == 0 ? std::string(name) : std::string();
}

std::string SignedInUser() {
    // The account the process runs as, not a variable anyone may set.
    if (const passwd* account = getpwuid(geteuid()); account != nullptr) {
        return account->pw_name;
    }
    const char* user = std::getenv("USER");
    return user != nullptr ? user : std::string();
}

}  // namespace job
