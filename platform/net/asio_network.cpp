#include "platform/net/asio_network.h"

#include <asio.hpp>

#include <deque>
#include <mutex>
#include <thread>

#include "platform/error.h"
#include "platform/net/http_response.h"
#include "platform/text.h"

namespace platform::net {

using asio::ip::tcp;
using Millis = std::chrono::milliseconds;

namespace {

// A TV's description is a few kilobytes; anything much larger is not one.
constexpr std::size_t longestReply = 64 * 1024;
constexpr const char* descriptionPaths[] = {"/api/v2/", "/ms/1.0/"};

asio::ip::address_v4 parsedAddress(const std::wstring& address) {
    std::error_code ec;
    const auto ip = asio::ip::make_address_v4(toUtf8(address), ec);
    if (ec)
        throw Error(L"Not an IPv4 address: " + address);
    return ip;
}

// One network operation with a time limit. Everything runs on the network thread; stop()
// may be called there at any time and makes the operation end (its callback still runs once).
class Operation {
  public:
    virtual ~Operation() = default;
    virtual void stop() = 0;
};

enum class KnockResult {
    connected,  // the port accepted the connection
    refused,    // the host answered, but nothing listens there
    silent,     // no answer within the limit, or no way there at all
};

// Connects to a port; only whether and how the host answers counts.
class Knock final : public Operation, public std::enable_shared_from_this<Knock> {
  public:
    using Done = std::function<void(KnockResult result)>;

    explicit Knock(asio::io_context& io) : socket_(io), timer_(io) {}

    void start(const tcp::endpoint& to, Millis limit, Done done) {
        done_ = std::move(done);
        auto self = shared_from_this();
        timer_.expires_after(limit);
        timer_.async_wait([self](const std::error_code& ec) {
            if (!ec)
                self->stop();
        });
        socket_.async_connect(to, [self](const std::error_code& ec) {
            self->timer_.cancel();
            std::error_code ignored;
            self->socket_.close(ignored);
            self->done_(!ec                                     ? KnockResult::connected
                        : ec == asio::error::connection_refused ? KnockResult::refused
                                                                : KnockResult::silent);
        });
    }
    void stop() override {
        std::error_code ignored;
        socket_.close(ignored);
    }

  private:
    tcp::socket socket_;
    asio::steady_timer timer_;
    Done done_;
};

// GET of a TV's description, trying the older path when the newer one is not there, all within
// one limit.
class DescriptionGet final : public Operation, public std::enable_shared_from_this<DescriptionGet> {
  public:
    using Done = std::function<void(std::optional<std::string> description)>;

    explicit DescriptionGet(asio::io_context& io) : io_(io), socket_(io), timer_(io) {}

    void start(const tcp::endpoint& to, Millis limit, Done done) {
        to_ = to;
        done_ = std::move(done);
        auto self = shared_from_this();
        timer_.expires_after(limit);
        timer_.async_wait([self](const std::error_code& ec) {
            if (!ec) {
                self->expired_ = true;
                self->stop();
            }
        });
        get(0);
    }
    void stop() override {
        std::error_code ignored;
        socket_.close(ignored);
    }

  private:
    void get(std::size_t path) {
        auto self = shared_from_this();
        socket_ = tcp::socket(io_);
        reply_.clear();
        request_ = httpGetRequest(to_.address().to_string() + ":" + std::to_string(to_.port()),
                                  descriptionPaths[path]);
        socket_.async_connect(to_, [self, path](const std::error_code& ec) {
            if (ec || self->expired_)
                return self->finish(std::nullopt);
            asio::async_write(self->socket_, asio::buffer(self->request_),
                              [self, path](const std::error_code& ec, std::size_t) {
                                  if (ec)
                                      return self->finish(std::nullopt);
                                  self->read(path);
                              });
        });
    }
    void read(std::size_t path) {
        auto self = shared_from_this();
        asio::async_read(
            socket_, asio::dynamic_buffer(reply_, longestReply),
            [self, path](const std::error_code& ec, std::size_t) {
                // The server closes the connection after its answer.
                if (ec != asio::error::eof || self->expired_)
                    return self->finish(std::nullopt);
                const auto response = parseHttpResponse(self->reply_);
                if (response && response->status == 404 && path + 1 < std::size(descriptionPaths)) {
                    return self->get(path + 1);
                }
                if (response && response->status == 200)
                    return self->finish(std::move(response->body));
                self->finish(std::nullopt);
            });
    }
    void finish(std::optional<std::string> description) {
        if (finished_)
            return;
        finished_ = true;
        timer_.cancel();
        stop();
        done_(std::move(description));
    }

    asio::io_context& io_;
    tcp::socket socket_;
    asio::steady_timer timer_;
    tcp::endpoint to_;
    std::string request_;
    std::string reply_;
    Done done_;
    bool expired_ = false;
    bool finished_ = false;
};

// The operations still running for a question or a sweep, to stop them when it is given up.
class Running {
  public:
    void add(const std::shared_ptr<Operation>& operation) {
        std::erase_if(operations_, [](const auto& o) { return o.expired(); });
        operations_.push_back(operation);
    }
    void stopAll() {
        for (auto& weak : operations_) {
            if (auto operation = weak.lock())
                operation->stop();
        }
        operations_.clear();
    }

  private:
    std::vector<std::weak_ptr<Operation>> operations_;
};

// What a question to one TV shares between the GUI thread and the network thread.
struct Question {
    std::mutex mutex;
    TvAnswers answers;
    int unanswered = 2;
    std::unique_ptr<Signal> done;
    Running running;  // network thread only

    void answered() {
        std::lock_guard lock(mutex);
        if (--unanswered == 0)
            done->set();
    }
};

class AsioPendingAnswers final : public PendingAnswers {
  public:
    AsioPendingAnswers(asio::io_context& io, std::shared_ptr<Question> question)
        : io_(io), question_(std::move(question)) {}
    AsioPendingAnswers(const AsioPendingAnswers&) = delete;
    AsioPendingAnswers& operator=(const AsioPendingAnswers&) = delete;
    ~AsioPendingAnswers() override {
        // Whatever still runs ends on the network thread; the question outlives it.
        asio::post(io_, [question = question_] { question->running.stopAll(); });
    }
    Waitable& done() override { return *question_->done; }
    TvAnswers answers() const override {
        std::lock_guard lock(question_->mutex);
        return question_->answers;
    }

  private:
    asio::io_context& io_;
    std::shared_ptr<Question> question_;
};

// A search of many hosts. Both knocks of a host start together, in two free connection slots;
// descriptions are asked as soon as a host answered, ahead of the knocks still waiting; no more
// than the limit of connections is ever in flight. A host that answers neither knock within
// hostSilence is no host on this network: its knocks end early, which keeps a /24 of empty
// addresses within a few seconds. A host that answers on one port keeps its other knock for
// that knock's whole limit (a TV's closed bridge port can take over a second to refuse).
class Sweep final : public std::enable_shared_from_this<Sweep> {
  public:
    Sweep(asio::io_context& io, std::vector<asio::ip::address_v4> targets,
          const SweepLimits& limits, std::function<void()> finished)
        : io_(io),
          targets_(std::move(targets)),
          limits_(limits),
          finished_(std::move(finished)),
          slots_(std::max(2, limits.mostInFlight)),  // a host's two knocks go together
          hosts_(targets_.size()) {
        for (std::size_t i = 0; i < targets_.size(); ++i)
            toKnock_.push_back(i);
    }

    void start() { fill(); }

    // From the GUI thread: no callback after this returns.
    void cancel() {
        {
            std::lock_guard lock(mutex_);
            cancelled_ = true;
        }
        asio::post(io_, [self = shared_from_this()] {
            self->toKnock_.clear();
            self->toDescribe_.clear();
            self->running_.stopAll();
        });
    }

    SweepReport report() const {
        std::lock_guard lock(mutex_);
        SweepReport report;
        report.mostInFlight = mostInFlight_;
        for (std::size_t i = 0; i < hosts_.size(); ++i) {
            const Host& host = hosts_[i];
            if (host.answers.bridgeOpen || host.descriptionPortOpen) {
                report.found.push_back({platform::fromUtf8(targets_[i].to_string()),
                                        host.descriptionPortOpen, host.answers});
            }
        }
        return report;
    }

  private:
    struct Host {
        int knocksLeft = 2;
        bool answered = false;  // either knock had an answer, accepted or refused
        bool descriptionPortOpen = false;
        TvAnswers answers;
        std::shared_ptr<Knock> knocks[2];
        std::shared_ptr<asio::steady_timer> silence;
    };

    // Starts waiting work while there is room: descriptions first, then the next host's knocks.
    void fill() {
        for (;;) {
            const int room = slots_ - inFlight_;
            if (!toDescribe_.empty() && room >= 1) {
                const std::size_t host = toDescribe_.front();
                toDescribe_.pop_front();
                describe(host);
            } else if (!toKnock_.empty() && room >= 2) {
                const std::size_t host = toKnock_.front();
                toKnock_.pop_front();
                knock(host);
            } else {
                break;
            }
        }
        if (toKnock_.empty() && toDescribe_.empty() && inFlight_ == 0)
            end();
    }

    void opened(int connections) {
        inFlight_ += connections;
        std::lock_guard lock(mutex_);
        mostInFlight_ = std::max(mostInFlight_, inFlight_);
    }

    void knock(std::size_t index) {
        Host& host = hosts_[index];
        auto self = shared_from_this();
        const auto& address = targets_[index];
        opened(2);
        for (int k = 0; k < 2; ++k) {
            const bool bridge = k == 0;
            auto knock = std::make_shared<Knock>(io_);
            host.knocks[k] = knock;
            running_.add(knock);
            knock->start({address, bridge ? tvBridgePort : tvDescriptionPort},
                         bridge ? limits_.bridgeConnect : limits_.descriptionConnect,
                         [self, index, bridge](KnockResult result) {
                             self->knocked(index, bridge, result);
                         });
        }
        host.silence = std::make_shared<asio::steady_timer>(io_, limits_.hostSilence);
        host.silence->async_wait([self, index](const std::error_code& ec) {
            Host& host = self->hosts_[index];
            if (ec || host.answered)
                return;
            for (auto& knock : host.knocks) {
                if (knock)
                    knock->stop();
            }
        });
    }

    void knocked(std::size_t index, bool bridge, KnockResult result) {
        Host& host = hosts_[index];
        if (result != KnockResult::silent)
            host.answered = true;
        {
            std::lock_guard lock(mutex_);
            (bridge ? host.answers.bridgeOpen : host.descriptionPortOpen) =
                result == KnockResult::connected;
        }
        host.knocks[bridge ? 0 : 1].reset();
        --inFlight_;
        if (--host.knocksLeft == 0) {
            if (host.silence)
                host.silence->cancel();
            if ((host.answers.bridgeOpen || host.descriptionPortOpen) && !isCancelled())
                toDescribe_.push_back(index);
        }
        fill();
    }

    void describe(std::size_t index) {
        opened(1);
        auto self = shared_from_this();
        auto get = std::make_shared<DescriptionGet>(io_);
        running_.add(get);
        get->start({targets_[index], tvDescriptionPort}, limits_.description,
                   [self, index](std::optional<std::string> description) {
                       {
                           std::lock_guard lock(self->mutex_);
                           self->hosts_[index].answers.description = std::move(description);
                       }
                       --self->inFlight_;
                       self->fill();
                   });
    }

    bool isCancelled() const {
        std::lock_guard lock(mutex_);
        return cancelled_;
    }

    void end() {
        std::lock_guard lock(mutex_);
        if (cancelled_ || ended_)
            return;
        ended_ = true;
        finished_();  // under the lock, so that cancel() cannot return while it runs
    }

    asio::io_context& io_;
    const std::vector<asio::ip::address_v4> targets_;
    const SweepLimits limits_;
    const std::function<void()> finished_;
    const int slots_;
    mutable std::mutex mutex_;  // the answers in hosts_, mostInFlight_, cancelled_, ended_
    std::vector<Host> hosts_;
    // The rest is the network thread's alone.
    std::deque<std::size_t> toKnock_;
    std::deque<std::size_t> toDescribe_;
    int inFlight_ = 0;
    int mostInFlight_ = 0;
    bool cancelled_ = false;
    bool ended_ = false;
    Running running_;
};

class AsioPendingSweep final : public PendingSweep {
  public:
    explicit AsioPendingSweep(std::shared_ptr<Sweep> sweep) : sweep_(std::move(sweep)) {}
    AsioPendingSweep(const AsioPendingSweep&) = delete;
    AsioPendingSweep& operator=(const AsioPendingSweep&) = delete;
    ~AsioPendingSweep() override { sweep_->cancel(); }
    SweepReport report() const override { return sweep_->report(); }

  private:
    std::shared_ptr<Sweep> sweep_;
};

}  // namespace

struct AsioNetwork::Engine {
    asio::io_context io;
    asio::executor_work_guard<asio::io_context::executor_type> work{io.get_executor()};
    std::thread thread;

    Engine() {
        thread = std::thread([this] {
            for (;;) {
                try {
                    io.run();
                    return;
                } catch (...) {
                    // A handler that throws loses its own question only; the others go on.
                }
            }
        });
    }
    ~Engine() {
        work.reset();
        io.stop();
        thread.join();
    }
};

AsioNetwork::AsioNetwork(Processes& processes)
    : processes_(processes), engine_(std::make_unique<Engine>()) {}

AsioNetwork::~AsioNetwork() = default;

std::unique_ptr<PendingAnswers> AsioNetwork::askTv(const std::wstring& address,
                                                   const TvQuestionLimits& limits) {
    const auto ip = parsedAddress(address);
    auto question = std::make_shared<Question>();
    question->done = processes_.newSignal();
    auto& io = engine_->io;
    asio::post(io, [&io, question, ip, limits] {
        auto knock = std::make_shared<Knock>(io);
        auto get = std::make_shared<DescriptionGet>(io);
        question->running.add(knock);
        question->running.add(get);
        knock->start({ip, tvBridgePort}, limits.bridgeConnect, [question](KnockResult result) {
            {
                std::lock_guard lock(question->mutex);
                question->answers.bridgeOpen = result == KnockResult::connected;
            }
            question->answered();
        });
        get->start({ip, tvDescriptionPort}, limits.description,
                   [question](std::optional<std::string> description) {
                       {
                           std::lock_guard lock(question->mutex);
                           question->answers.description = std::move(description);
                       }
                       question->answered();
                   });
    });
    return std::make_unique<AsioPendingAnswers>(io, question);
}

std::unique_ptr<PendingSweep> AsioNetwork::sweep(const std::vector<std::wstring>& targets,
                                                 const SweepLimits& limits,
                                                 std::function<void()> finished) {
    std::vector<asio::ip::address_v4> addresses;
    addresses.reserve(targets.size());
    for (const auto& target : targets)
        addresses.push_back(parsedAddress(target));
    auto sweep =
        std::make_shared<Sweep>(engine_->io, std::move(addresses), limits, std::move(finished));
    asio::post(engine_->io, [sweep] { sweep->start(); });
    return std::make_unique<AsioPendingSweep>(sweep);
}

}  // namespace platform::net
