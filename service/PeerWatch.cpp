#include "PeerWatch.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace {

int PortOf(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
    if (address.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
    return -1;
}

bool HasPorts(int fd, int remotePort, int localPort) {
    sockaddr_storage peer{}, self{};
    socklen_t peerSize = sizeof peer, selfSize = sizeof self;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerSize) != 0) return false;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&self), &selfSize) != 0) return false;
    return PortOf(peer) == remotePort && PortOf(self) == localPort;
}

}  // namespace

PeerWatch::PeerWatch(int remotePort, int localPort) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        const int fd = std::stoi(name);
        if (HasPorts(fd, remotePort, localPort)) {
            fd_ = fd;
            return;
        }
    }
}

bool PeerWatch::Gone() const {
    if (fd_ < 0) return false;
    pollfd item{fd_, POLLIN | POLLRDHUP, 0};
    if (::poll(&item, 1, 0) <= 0) return false;
    if (item.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) return true;
    // Readable without RDHUP: data from the client, so it is still there.
    return false;
}
