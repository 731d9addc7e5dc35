#include "platform/netio/net_env.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cstdlib>

namespace kestrin {

int32_t NetEnvInt(const char* name, int32_t fallback, int32_t low, int32_t high) {
    const char* text = std::getenv(name);
    if (!text || !*text) return fallback;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*end != '\0' || value < low || value > high) return fallback;
    return static_cast<int32_t>(value);
}

bool NetBroadcastAddress(uint32_t& address) {
    if (const char* text = std::getenv("KESTRIN_NET_BROADCAST"); text && *text) {
        in_addr parsed{};
        if (inet_pton(AF_INET, text, &parsed) != 1) return false;
        address = parsed.s_addr;
        return true;
    }
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    bool found = false;
    for (ifaddrs* it = list; it && !found; it = it->ifa_next) {
        if (!it->ifa_addr || it->ifa_addr->sa_family != AF_INET) continue;
        if (!(it->ifa_flags & IFF_UP) || (it->ifa_flags & IFF_LOOPBACK) || !(it->ifa_flags & IFF_BROADCAST))
            continue;
        if (!it->ifa_broadaddr || it->ifa_broadaddr->sa_family != AF_INET) continue;
        address = reinterpret_cast<const sockaddr_in*>(it->ifa_broadaddr)->sin_addr.s_addr;
        found = true;
    }
    freeifaddrs(list);
    return found;
}

std::string NetFirstAddress() {
    std::string text;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return text;
    for (ifaddrs* it = list; it && text.empty(); it = it->ifa_next) {
        if (!it->ifa_addr || it->ifa_addr->sa_family != AF_INET) continue;
        const uint32_t host = ntohl(reinterpret_cast<const sockaddr_in*>(it->ifa_addr)->sin_addr.s_addr);
        if ((host >> 24) == 127) continue;
        text = std::to_string(host >> 24) + "." + std::to_string((host >> 16) & 255) + "." +
               std::to_string((host >> 8) & 255) + "." + std::to_string(host & 255);
    }
    freeifaddrs(list);
    return text;
}

} // namespace kestrin
