#include "platform/net/host_search.h"

#include <algorithm>

#include "platform/net/ssdp_message.h"
#include "platform/text.h"

namespace platform::net::detail {
namespace {

using asio::ip::udp;

constexpr int ssdpMx = 1;  // seconds a device may take to answer

unsigned short portNumber(bool bridge) {
    return bridge ? tvBridgePort : tvDescriptionPort;
}

}  // namespace

HostSet::HostSet(const std::vector<SearchNetwork>& networks) {
    for (const auto& network : networks) {
        const auto local = parsedAddress(network.localAddress);
        bool any = false;
        for (const auto& text : network.hosts) {
            const auto host = parsedAddress(text);
            if (index_.emplace(host.to_uint(), static_cast<int>(hosts_.size())).second) {
                hosts_.push_back(host);
                any = true;
            }
        }
        // A second address on a network already covered adds nothing to search from.
        if (any)
            local_.push_back(local);
    }
}

int HostSet::find(const asio::ip::address_v4& address) const {
    const auto it = index_.find(address.to_uint());
    return it == index_.end() ? -1 : it->second;
}

HostSearch::HostSearch(asio::io_context& io, const std::vector<SearchNetwork>& networks,
                       const std::vector<asio::ip::address_v4>& named, const SearchLimits& limits,
                       SearchEvents events, Options options)
    : io_(io),
      set_(networks),
      limits_(limits),
      events_(std::move(events)),
      options_(options),
      slots_(std::max(2, limits.mostInFlight)),  // a named host's two knocks go together
      hosts_(set_.hosts().size()),
      ssdpRepeat_(io),
      ssdpEnd_(io) {
    for (const auto& address : named) {
        const int host = set_.find(address);
        if (host >= 0 && !hosts_[host].named) {
            hosts_[host].named = true;
            named_.push_back(host);
        }
    }
    if (options_.sweep) {
        for (int host = 0; host < static_cast<int>(hosts_.size()); ++host)
            sweep_.push_back(host);
    }
}

void HostSearch::start() {
    if (options_.ssdp)
        startSsdp();
    fill();
}

void HostSearch::cancel() {
    gate_.close();
    asio::post(io_, [self = shared_from_this()] {
        self->cancelled_ = true;
        self->followUps_.clear();
        self->named_.clear();
        self->sweep_.clear();
        self->firstKnocks_.clear();
        self->ssdpRepeat_.cancel();
        self->ssdpEnd_.cancel();
        for (auto& ssdp : self->ssdp_) {
            std::error_code ignored;
            ssdp->socket.close(ignored);
        }
        for (auto& host : self->hosts_) {
            if (host.silence)
                host.silence->cancel();
        }
        self->running_.stopAll();
    });
}

// SSDP: from each network's own address, with the interface for multicast set to it, so that the
// search goes out there and nowhere else (TTL 1: never beyond the local network).
void HostSearch::startSsdp() {
    for (const auto& local : set_.localAddresses()) {
        auto ssdp = std::make_shared<Ssdp>(io_);
        std::error_code ec;
        ssdp->socket.open(udp::v4(), ec);
        if (!ec)
            ssdp->socket.bind({local, 0}, ec);
        if (!ec)
            ssdp->socket.set_option(asio::ip::multicast::outbound_interface(local), ec);
        if (!ec)
            ssdp->socket.set_option(asio::ip::multicast::hops(1), ec);
        if (ec) {
            std::error_code ignored;
            ssdp->socket.close(ignored);
            continue;  // that network is still swept
        }
        ssdp_.push_back(ssdp);
        ++ssdpOpen_;
        receive(ssdp);
    }
    if (ssdp_.empty())
        return;
    sendSearches();
    auto self = shared_from_this();
    ssdpRepeat_.expires_after(limits_.ssdpRepeat);
    ssdpRepeat_.async_wait([self](const std::error_code& ec) {
        if (!ec && !self->cancelled_)
            self->sendSearches();
    });
    ssdpEnd_.expires_after(limits_.ssdpListen);
    ssdpEnd_.async_wait([self](const std::error_code&) {
        for (auto& ssdp : self->ssdp_) {
            std::error_code ignored;
            ssdp->socket.close(ignored);
        }
    });
}

void HostSearch::sendSearches() {
    const udp::endpoint group(asio::ip::make_address_v4(ssdpGroup), ssdpPort);
    for (auto& ssdp : ssdp_) {
        if (!ssdp->socket.is_open())
            continue;
        for (const auto target : tvSearchTargets) {
            auto request = std::make_shared<std::string>(ssdpSearchRequest(target, ssdpMx));
            ssdp->socket.async_send_to(
                asio::buffer(*request), group,
                [self = shared_from_this(), request](const std::error_code& ec, std::size_t) {
                    if (!ec)
                        ++self->report_.datagrams;
                });
        }
    }
}

void HostSearch::receive(const std::shared_ptr<Ssdp>& ssdp, int errors) {
    auto self = shared_from_this();
    ssdp->socket.async_receive_from(
        asio::buffer(ssdp->buffer), ssdp->from,
        [self, ssdp, errors](const std::error_code& ec, std::size_t size) {
            if (ec == asio::error::operation_aborted || !ssdp->socket.is_open() ||
                (ec && errors + 1 >= mostReceiveErrors)) {
                std::error_code ignored;
                ssdp->socket.close(ignored);
                --self->ssdpOpen_;
                self->endIfDone();
                return;
            }
            if (!ec) {
                const auto message = parseSsdpMessage(std::string_view(ssdp->buffer.data(), size));
                const auto from = ssdp->from.address();
                // Only a host the search may contact counts; a reply names it, whatever it is.
                if (message && message->kind == SsdpKind::searchReply && from.is_v4()) {
                    const int host = self->set_.find(from.to_v4());
                    if (host >= 0) {
                        ++self->report_.ssdpReplies;
                        self->name(host);
                    }
                }
            }
            self->receive(ssdp, ec ? errors + 1 : 0);
        });
}

// A host SSDP named is there: it gets both knocks at once and the longer patience, ahead of the
// sweep; a swept host still waiting on its first knock is given the longer patience in place.
void HostSearch::name(int index) {
    Host& host = hosts_[index];
    if (host.named || cancelled_)
        return;
    host.named = true;
    switch (host.stage) {
        case Stage::waiting:
            named_.push_back(index);
            break;
        case Stage::knocking:
            if (host.preempted)
                break;  // its knock ends at once; it goes to the named hosts then
            std::erase(firstKnocks_, index);
            if (host.silence)
                host.silence->cancel();
            if (!host.answered && host.knocks[0]) {
                host.knocks[0]->extendTo(host.knockedAt + knockLimit(host, Port::description));
            }
            if (!host.bridgeKnockStarted) {
                host.bridgeKnockStarted = true;
                ++host.busy;
                followUps_.push_back({index, false});
            }
            break;
        case Stage::done:
            if (host.portOpen[0] || host.portOpen[1])
                break;  // found already
            // Silent to the sweep: knocked at again, with the patience a named host has.
            host = Host{};
            host.named = true;
            named_.push_back(index);
            break;
    }
    fill();
}

// Starts waiting work while there is room: a found host's follow-ups first, then the named
// hosts (which may stop the newest first knocks of the sweep to get room), then the sweep.
void HostSearch::fill() {
    while (!cancelled_) {
        const int room = slots_ - inFlight_;
        if (!followUps_.empty()) {
            if (room < 1)
                break;
            const FollowUp work = followUps_.front();
            followUps_.pop_front();
            followUp(work);
        } else if (!named_.empty()) {
            const int host = named_.front();
            if (hosts_[host].stage != Stage::waiting) {
                named_.pop_front();
            } else if (room >= 2) {
                named_.pop_front();
                startKnocks(host);
            } else {
                for (int need = 2 - room - preempting_; need > 0 && preemptOne(); --need) {
                }
                break;
            }
        } else if (!sweep_.empty() && room >= 1) {
            const int host = sweep_.front();
            sweep_.pop_front();
            if (hosts_[host].stage == Stage::waiting)
                startKnocks(host);
        } else {
            break;
        }
    }
    endIfDone();
}

bool HostSearch::preemptOne() {
    for (auto it = firstKnocks_.rbegin(); it != firstKnocks_.rend(); ++it) {
        Host& host = hosts_[*it];
        if (host.answered || host.named || host.preempted || !host.knocks[0])
            continue;
        host.preempted = true;
        ++preempting_;
        host.knocks[0]->stop();
        firstKnocks_.erase(std::next(it).base());
        return true;
    }
    return false;
}

Millis HostSearch::knockLimit(const Host& host, Port port) const {
    const Millis own = port == Port::bridge ? limits_.bridgeConnect : limits_.descriptionConnect;
    return host.named ? std::max(own, limits_.namedHostSilence) : own;
}

// A named host is knocked at on both ports at once. A swept one only on its description port
// first, as every TV serves it: only a host that answers there, accepted or refused, is knocked
// at on its bridge port too, so that an empty address costs one connection for hostSilence.
void HostSearch::startKnocks(int index) {
    Host& host = hosts_[index];
    host.stage = Stage::knocking;
    host.knockedAt = std::chrono::steady_clock::now();
    knock(index, Port::description, knockLimit(host, Port::description));
    if (host.named) {
        host.bridgeKnockStarted = true;
        knock(index, Port::bridge, knockLimit(host, Port::bridge));
        return;
    }
    firstKnocks_.push_back(index);
    host.silence = std::make_unique<asio::steady_timer>(io_, limits_.hostSilence);
    host.silence->async_wait([self = shared_from_this(), index](const std::error_code& ec) {
        Host& host = self->hosts_[index];
        if (ec || host.answered || host.named || !host.knocks[0])
            return;
        host.knocks[0]->stop();
    });
}

void HostSearch::knock(int index, Port port, Millis limit) {
    Host& host = hosts_[index];
    const int slot = static_cast<int>(port);
    opened();
    ++host.busy;
    auto knock = std::make_shared<Knock>(io_);
    host.knocks[slot] = knock;
    running_.add(knock);
    knock->start({set_.hosts()[index], portNumber(port == Port::bridge)}, limit,
                 [self = shared_from_this(), index, port](KnockResult result) {
                     self->knocked(index, port, result);
                 });
}

void HostSearch::knocked(int index, Port port, KnockResult result) {
    Host& host = hosts_[index];
    --inFlight_;
    --host.busy;
    host.knocks[static_cast<int>(port)].reset();
    if (port == Port::description)
        std::erase(firstKnocks_, index);
    if (host.preempted) {
        host.preempted = false;
        --preempting_;
        if (result == KnockResult::silent) {
            // Stopped to make room: knocked at again later, with its whole time.
            const bool named = host.named;
            host = Host{};
            host.named = named;
            if (named)
                named_.push_back(index);
            else
                sweep_.push_front(index);
            fill();
            return;
        }
    }
    if (result != KnockResult::silent) {
        host.answered = true;
        if (host.silence)
            host.silence->cancel();
    }
    host.portOpen[static_cast<int>(port)] = result == KnockResult::connected;
    if (port == Port::description && result != KnockResult::silent && !cancelled_) {
        if (result == KnockResult::connected) {
            ++host.busy;
            followUps_.push_back({index, true});
        }
        if (!host.bridgeKnockStarted) {
            host.bridgeKnockStarted = true;
            ++host.busy;
            followUps_.push_back({index, false});
        }
    }
    settle(index);
    fill();
}

void HostSearch::followUp(const FollowUp& work) {
    Host& host = hosts_[work.host];
    if (!work.describe) {
        --host.busy;  // counted while it waited; the knock counts itself
        knock(work.host, Port::bridge, knockLimit(host, Port::bridge));
        return;
    }
    opened();
    auto get = std::make_shared<DescriptionGet>(io_);
    running_.add(get);
    get->start({set_.hosts()[work.host], tvDescriptionPort}, limits_.description,
               [self = shared_from_this(), index = work.host](std::optional<std::string> text) {
                   Host& host = self->hosts_[index];
                   --self->inFlight_;
                   --host.busy;
                   host.description = std::move(text);
                   self->settle(index);
                   self->fill();
               });
}

// A host with nothing left to do is reported when it answered on either port.
void HostSearch::settle(int index) {
    Host& host = hosts_[index];
    if (host.busy > 0 || host.stage != Stage::knocking)
        return;
    host.stage = Stage::done;
    if (host.silence)
        host.silence->cancel();
    if (!host.portOpen[0] && !host.portOpen[1])
        return;
    const FoundHost found{fromUtf8(set_.hosts()[index].to_string()), host.portOpen[0],
                          TvAnswers{host.portOpen[1], host.description}, host.named};
    gate_.pass([&] {
        if (events_.found)
            events_.found(found);
    });
}

void HostSearch::opened() {
    ++inFlight_;
    ++report_.connections;
    report_.mostInFlight = std::max(report_.mostInFlight, inFlight_);
}

void HostSearch::endIfDone() {
    if (ended_ || cancelled_ || ssdpOpen_ > 0 || inFlight_ > 0 || !followUps_.empty() ||
        !named_.empty() || !sweep_.empty()) {
        return;
    }
    ended_ = true;
    gate_.pass([&] {
        if (events_.finished)
            events_.finished(report_);
    });
}

}  // namespace platform::net::detail
