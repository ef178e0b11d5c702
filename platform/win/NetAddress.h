#pragma once
// Where a network name and port really lead. Programs ask for servers by name and on their usual ports;
// the prefix decides where that goes, so a setup can be pointed at a server on this machine without
// changing it:
//
//   - names resolve through the prefix's own hosts file, where Windows keeps it: "drivers\etc\hosts" in
//     the system folder on the NT kinds, "hosts" in the Windows folder on 95, 98 and ME. Lines hold an
//     address and one or more names; "#" starts a comment. Names found there never reach the host's
//     resolver.
//   - $SCRIVANE_PORT_MAP redirects ports: "21=2121,80=8080" sends port 21 to 2121 and 80 to 8080.
//
// With neither set, every name and port stays as it is. The Internet and socket services both ask here.

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace win {

// The Windows path of the hosts file for the prefix's kind of Windows.
std::string HostsFilePath();

// The address the hosts file gives `hostName` (names compare without regard to case; the first line
// naming it wins), or nothing. A missing file is empty; lines whose address is not an IPv4 or IPv6
// address are passed over, as the system does.
std::optional<std::string> HostsFileAddress(const std::string& hostName);

// "21=2121, 80=8080" -> {21: 2121, 80: 8080}. An empty text is an empty map; an entry that is not two
// port numbers 1 to 65535 joined by "=" raises rtl::Exception naming it and the variable.
std::map<uint16_t, uint16_t> ParsePortMap(const std::string& text);

// The port $SCRIVANE_PORT_MAP sends `port` to; `port` itself when the map does not name it. A malformed
// map raises rtl::Exception (ParsePortMap).
uint16_t MappedPort(uint16_t port);

}  // namespace win
