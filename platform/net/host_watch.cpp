#include "platform/net/host_watch.h"

#include "platform/net/ssdp_message.h"
#include "platform/text.h"

namespace platform::net::detail {
namespace {

using asio::ip::udp;

}  // namespace

HostWatch::HostWatch(asio::io_context& io, const std::vector<SearchNetwork>& networks,
                     const std::vector<std::wstring>& listed, const WatchLimits& limits,
                     std::function<void(const FoundHost& host)> answered)
    : io_(io),
      networks_(networks),
      set_(networks),
      limits_(limits),
      answered_(std::move(answered)),
      round_(io),
      gap_(io),
      notify_(io) {
    for (const auto& text : listed) {
        if (static_cast<int>(listed_.size()) >= limits_.mostWatched)
            break;
        std::error_code ec;
        const auto address = asio::ip::make_address_v4(toUtf8(text), ec);
        // Only a host of the networks is ever asked.
        if (!ec && set_.find(address) >= 0 && known_.insert(address.to_uint()).second)
            listed_.push_back(address);
    }
    asking_.assign(listed_.size(), false);
}

void HostWatch::start() {
    listen();
    round_.expires_after(limits_.interval);
    nextRound();
}

void HostWatch::cancel() {
    gate_.close();
    asio::post(io_, [self = shared_from_this()] {
        self->cancelled_ = true;
        self->round_.cancel();
        self->gap_.cancel();
        self->announced_.clear();
        std::error_code ignored;
        self->notify_.close(ignored);
        self->running_.stopAll();
        for (auto& weak : self->probes_) {
            if (auto probe = weak.lock())
                probe->cancel();
        }
    });
}

void HostWatch::report(const FoundHost& host) {
    gate_.pass([&] { answered_(host); });
}

// Announcements come to port 1900 of the group, joined on each network's own address. Another
// program may hold the port (on Windows the SSDP service can): then there are none.
void HostWatch::listen() {
    if (set_.localAddresses().empty())
        return;
    std::error_code ec;
    notify_.open(udp::v4(), ec);
    if (!ec)
        notify_.set_option(asio::socket_base::reuse_address(true), ec);
    if (!ec)
        notify_.bind({asio::ip::address_v4::any(), ssdpPort}, ec);
    int joined = 0;
    if (!ec) {
        const auto group = asio::ip::make_address_v4(ssdpGroup);
        for (const auto& local : set_.localAddresses()) {
            std::error_code join;
            notify_.set_option(asio::ip::multicast::join_group(group, local), join);
            joined += join ? 0 : 1;
        }
    }
    if (ec || joined == 0) {
        std::error_code ignored;
        notify_.close(ignored);
        return;
    }
    receive();
}

void HostWatch::receive(int errors) {
    notify_.async_receive_from(
        asio::buffer(buffer_), from_,
        [self = shared_from_this(), errors](const std::error_code& ec, std::size_t size) {
            if (self->cancelled_ || ec == asio::error::operation_aborted ||
                !self->notify_.is_open() || (ec && errors + 1 >= mostReceiveErrors)) {
                return;
            }
            if (!ec) {
                const auto message = parseSsdpMessage(std::string_view(self->buffer_.data(), size));
                const auto from = self->from_.address();
                if (message && message->kind == SsdpKind::alive &&
                    isTvSearchTarget(message->target) && from.is_v4() &&
                    self->set_.find(from.to_v4()) >= 0 &&
                    self->known_.insert(from.to_v4().to_uint()).second) {
                    self->announced_.push_back(from.to_v4());
                    if (!self->announcing_)
                        self->announceNext();
                }
            }
            self->receive(ec ? errors + 1 : 0);
        });
}

// An announced host is knocked at and described as a search's named host; the next one waits
// for the gap, so that a burst of announcements never becomes a burst of connections.
void HostWatch::announceNext() {
    if (announced_.empty() || cancelled_) {
        announcing_ = false;
        return;
    }
    announcing_ = true;
    const auto address = announced_.front();
    announced_.pop_front();
    std::erase_if(probes_, [](const auto& probe) { return probe.expired(); });
    SearchEvents events;
    events.found = [self = shared_from_this()](const FoundHost& host) { self->report(host); };
    auto probe =
        std::make_shared<HostSearch>(io_, networks_, std::vector{address}, limits_.announced,
                                     std::move(events), HostSearch::Options{false, false});
    probes_.push_back(probe);
    probe->start();
    gap_.expires_after(limits_.announcedGap);
    gap_.async_wait([self = shared_from_this()](const std::error_code& ec) {
        if (!ec)
            self->announceNext();
    });
}

void HostWatch::nextRound() {
    round_.async_wait([self = shared_from_this()](const std::error_code& ec) {
        if (ec || self->cancelled_)
            return;
        for (std::size_t i = 0; i < self->listed_.size(); ++i)
            self->ask(i);
        // From now, not from the last expiry: a stalled thread never makes a burst of rounds.
        self->round_.expires_after(self->limits_.interval);
        self->nextRound();
    });
}

// Both questions, as the check before a run asks them.
void HostWatch::ask(std::size_t index) {
    if (asking_[index])
        return;  // still asking since the last round
    asking_[index] = true;
    struct Answers {
        TvAnswers answers;
        int left = 2;
    };
    auto answers = std::make_shared<Answers>();
    auto self = shared_from_this();
    const auto done = [self, index, answers] {
        if (--answers->left > 0)
            return;
        self->asking_[index] = false;
        const auto& given = answers->answers;
        self->report({fromUtf8(self->listed_[index].to_string()), given.description.has_value(),
                      given, true});
    };
    auto knock = std::make_shared<Knock>(io_);
    auto get = std::make_shared<DescriptionGet>(io_);
    running_.add(knock);
    running_.add(get);
    knock->start({listed_[index], tvBridgePort}, limits_.questions.bridgeConnect,
                 [answers, done](KnockResult result) {
                     answers->answers.bridgeOpen = result == KnockResult::connected;
                     done();
                 });
    get->start({listed_[index], tvDescriptionPort}, limits_.questions.description,
               [answers, done](std::optional<std::string> description) {
                   answers->answers.description = std::move(description);
                   done();
               });
}

}  // namespace platform::net::detail
