#include "vexdir/LocalAddress.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <cerrno>
#include <cstring>

namespace warden::vexdir {

bool IsAddressOfThisMachine(std::string_view address, std::string& problem) {
    problem.clear();
    in_addr wanted{};
    if (::inet_pton(AF_INET, std::string(address).c_str(), &wanted) != 1) return false;
    if ((ntohl(wanted.s_addr) >> 24) == 127) return true;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        problem = std::string("cannot read this machine's addresses: ") + std::strerror(errno);
        return false;
    }
    bool found = false;
    for (const ifaddrs* i = list; i != nullptr && !found; i = i->ifa_next) {
        if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET) continue;
        const auto* ip = reinterpret_cast<const sockaddr_in*>(i->ifa_addr);
        found = ip->sin_addr.s_addr == wanted.s_addr;
    }
    ::freeifaddrs(list);
    return found;
}

}  // namespace warden::vexdir
