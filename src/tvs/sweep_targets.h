#pragma once
// The hosts a search for TVs may contact: the neighbours of this PC on its own networks, and
// nothing else.
#include <string>
#include <vector>

#include "platform/addresses.h"
#include "platform/network.h"

inline constexpr int sweepMostAdapters = 4;

// For each of the PC's IPv4 addresses in a private or link-local range (10/8, 172.16/12,
// 192.168/16, 169.254/16), at most four of them, the hosts of its network, but never more than
// the /24 around the address. Never the PC's own addresses, never one twice; in order. An
// address whose hosts an earlier one has already taken is left out.
std::vector<platform::SearchNetwork> searchNetworks(
    const std::vector<platform::LocalAddress>& local);

// The hosts of all of them, in order.
std::vector<std::wstring> sweepTargets(const std::vector<platform::LocalAddress>& local);
