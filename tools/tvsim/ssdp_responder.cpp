#include "tools/tvsim/ssdp_responder.h"

#include <cstdio>
#include <ctime>
#include <random>
#include <string_view>
#include <thread>
#include <variant>
#include <vector>

#include "tools/tvsim/ssdp.h"

namespace tvsim {

namespace {

std::string endpointText(const asio::ip::udp::endpoint& endpoint) {
    return endpoint.address().to_string() + ":" + std::to_string(endpoint.port());
}

}  // namespace

SsdpResponder::SsdpResponder(Tv& tv, const asio::ip::address_v4& address)
    : tv_(tv), address_(address), group_(io_), own_(io_) {}

bool SsdpResponder::open() {
    const auto group = asio::ip::make_address_v4(kSsdpGroup);
    std::error_code ec;
    auto bind = [&](asio::ip::udp::socket& socket, const asio::ip::address_v4& at) {
        if (!ec) {
            socket.open(asio::ip::udp::v4(), ec);
        }
        if (!ec) {
            socket.set_option(asio::socket_base::reuse_address(true), ec);
        }
        if (!ec) {
            socket.bind({at, kSsdpPort}, ec);
        }
    };
    // Bound to the group address, the first socket gets only what is sent to the group; the
    // second only what is sent to this TV.
    bind(group_, group);
    if (!ec) {
        group_.set_option(asio::ip::multicast::join_group(group, address_), ec);
    }
    bind(own_, address_);
    if (!ec) {
        own_.set_option(asio::ip::multicast::outbound_interface(address_), ec);
    }
    if (!ec) {
        own_.set_option(asio::ip::multicast::hops(1), ec);
    }
    if (!ec) {
        own_.set_option(asio::ip::multicast::enable_loopback(false), ec);
    }
    if (ec) {
        std::fprintf(stderr, "tvsim: no SSDP on %s:%u: %s\n", address_.to_string().c_str(),
                     kSsdpPort, ec.message().c_str());
        return false;
    }
    return true;
}

void SsdpResponder::start() {
    std::thread(&SsdpResponder::serve, this, std::ref(group_), true).detach();
    std::thread(&SsdpResponder::serve, this, std::ref(own_), false).detach();
    const auto on = tv_.options().onAfter();
    if (on && *on == 0) {
        announce();  // before the TV says it is ready: a listener started first sees it
    } else if (on) {
        std::thread([this, at = tv_.started() + std::chrono::seconds(*on)] {
            std::this_thread::sleep_until(at);
            announce();
        }).detach();
    }
}

void SsdpResponder::serve(asio::ip::udp::socket& socket, bool multicast) {
    thread_local std::minstd_rand random(std::random_device{}());
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        asio::ip::udp::endpoint from;
        std::error_code ec;
        const std::size_t size = socket.receive_from(asio::buffer(buffer), from, 0, ec);
        if (ec) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        const std::string peer = endpointText(from) + (multicast ? "" : " (to this TV)");
        // A TV in standby does not answer SSDP; the port knock still finds it.
        if (!tv_.isOn()) {
            tv_.log("ssdp: in standby, nothing for " + peer);
            continue;
        }
        const std::string_view datagram(buffer.data(), size);
        const auto parsed = parseSsdpSearch(datagram, multicast);
        if (const auto* why = std::get_if<std::string>(&parsed)) {
            // Other devices' announcements are no business of ours.
            if (datagram.rfind("NOTIFY ", 0) != 0) {
                tv_.log("ssdp: ignored from " + peer + ": " + *why);
            }
            continue;
        }
        const SsdpSearch& search = std::get<SsdpSearch>(parsed);
        std::vector<std::string> answers = ssdpAnswers(tv_.options(), search, std::time(nullptr));
        if (answers.empty()) {
            tv_.log("ssdp: ignored from " + peer + ": not a target of this TV: " + search.target);
            continue;
        }
        const auto delay = ssdpAnswerDelay(tv_.options().ssdpDelayMs, search,
                                           static_cast<std::uint32_t>(random()));
        tv_.log("ssdp: " + search.target + " from " + peer + ": " + std::to_string(answers.size()) +
                " answer(s) after " + std::to_string(delay.count()) + " ms");
        auto reply = [this, from, answers = std::move(answers), delay] {
            std::this_thread::sleep_for(delay);
            for (const auto& answer : answers) {
                send(answer, from);
            }
        };
        // A waiting answer must not hold up the next search.
        if (delay.count() == 0) {
            reply();
        } else {
            std::thread(std::move(reply)).detach();
        }
    }
}

void SsdpResponder::announce() {
    const asio::ip::udp::endpoint group(asio::ip::make_address_v4(kSsdpGroup), kSsdpPort);
    for (const auto& notice : ssdpAliveNotices(tv_.options())) {
        send(notice, group);
    }
    tv_.log("ssdp: NOTIFY ssdp:alive sent");
}

void SsdpResponder::send(const std::string& message, const asio::ip::udp::endpoint& to) {
    std::lock_guard lock(sendMutex_);
    std::error_code ec;
    own_.send_to(asio::buffer(message), to, 0, ec);
    if (ec) {
        tv_.log("ssdp: could not send to " + endpointText(to) + ": " + ec.message());
    }
}

}  // namespace tvsim
