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

// Connects to a port; only whether the connection is accepted counts.
class Knock final : public Operation, public std::enable_shared_from_this<Knock> {
  public:
    using Done = std::function<void(bool connected)>;

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
            self->done_(!ec);
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

// A search of many hosts: both knocks of a host start together, descriptions are asked as
// soon as a host answered, and no more than the limit of connections is ever in flight.
class Sweep final : public std::enable_shared_from_this<Sweep> {
  public:
    Sweep(asio::io_context& io, std::vector<asio::ip::address_v4> targets,
          const SweepLimits& limits, std::function<void()> finished)
        : io_(io),
          targets_(std::move(targets)),
          limits_(limits),
          finished_(std::move(finished)),
          hosts_(targets_.size()) {
        for (std::size_t i = 0; i < targets_.size(); ++i) {
            waiting_.push_back({i, Step::bridge});
            waiting_.push_back({i, Step::descriptionPort});
        }
    }

    void start() { fill(); }

    // From the GUI thread: no callback after this returns.
    void cancel() {
        {
            std::lock_guard lock(mutex_);
            cancelled_ = true;
        }
        asio::post(io_, [self = shared_from_this()] {
            self->waiting_.clear();
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
    enum class Step { bridge, descriptionPort, description };
    struct Work {
        std::size_t host;
        Step step;
    };
    struct Host {
        int knocksLeft = 2;
        bool descriptionPortOpen = false;
        TvAnswers answers;
    };

    // Starts waiting work while there is room.
    void fill() {
        while (!waiting_.empty() && inFlight_ < limits_.mostInFlight) {
            const Work work = waiting_.front();
            waiting_.pop_front();
            begin(work);
        }
        if (waiting_.empty() && inFlight_ == 0)
            end();
    }

    void begin(const Work& work) {
        ++inFlight_;
        {
            std::lock_guard lock(mutex_);
            mostInFlight_ = std::max(mostInFlight_, inFlight_);
        }
        auto self = shared_from_this();
        const auto& address = targets_[work.host];
        if (work.step == Step::description) {
            auto get = std::make_shared<DescriptionGet>(io_);
            running_.add(get);
            get->start({address, tvDescriptionPort}, limits_.description,
                       [self, work](std::optional<std::string> description) {
                           {
                               std::lock_guard lock(self->mutex_);
                               self->hosts_[work.host].answers.description = std::move(description);
                           }
                           self->ended();
                       });
            return;
        }
        const bool bridge = work.step == Step::bridge;
        auto knock = std::make_shared<Knock>(io_);
        running_.add(knock);
        knock->start(
            {address, bridge ? tvBridgePort : tvDescriptionPort},
            bridge ? limits_.bridgeConnect : limits_.descriptionConnect,
            [self, work, bridge](bool connected) {
                Host& host = self->hosts_[work.host];
                {
                    std::lock_guard lock(self->mutex_);
                    (bridge ? host.answers.bridgeOpen : host.descriptionPortOpen) = connected;
                }
                if (--host.knocksLeft == 0 &&
                    (host.answers.bridgeOpen || host.descriptionPortOpen) && !self->isCancelled()) {
                    // Ahead of the knocks still waiting: a found host is told first.
                    self->waiting_.push_front({work.host, Step::description});
                }
                self->ended();
            });
    }

    void ended() {
        --inFlight_;
        fill();
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
    mutable std::mutex mutex_;  // hosts_, mostInFlight_, cancelled_, ended_
    std::vector<Host> hosts_;
    std::deque<Work> waiting_;  // network thread only, as are inFlight_ and running_
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
        knock->start({ip, tvBridgePort}, limits.bridgeConnect, [question](bool connected) {
            {
                std::lock_guard lock(question->mutex);
                question->answers.bridgeOpen = connected;
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
