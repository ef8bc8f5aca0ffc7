#include "platform/net/asio_network.h"

#include <asio.hpp>

#include <mutex>
#include <thread>

#include "platform/net/host_search.h"
#include "platform/net/host_watch.h"
#include "platform/net/tv_operations.h"

namespace platform::net {

using namespace detail;

namespace {

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

// A search or a watch, cancelled when its owner lets go of it.
template <typename Work>
class Cancelling final : public PendingSearch {
  public:
    explicit Cancelling(std::shared_ptr<Work> work) : work_(std::move(work)) {}
    Cancelling(const Cancelling&) = delete;
    Cancelling& operator=(const Cancelling&) = delete;
    ~Cancelling() override { work_->cancel(); }

  private:
    std::shared_ptr<Work> work_;
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

std::unique_ptr<PendingSearch> AsioNetwork::search(const std::vector<SearchNetwork>& networks,
                                                   const std::vector<std::wstring>& named,
                                                   const SearchLimits& limits,
                                                   SearchEvents events) {
    std::vector<asio::ip::address_v4> namedHosts;
    for (const auto& host : named)
        namedHosts.push_back(parsedAddress(host));
    auto search = std::make_shared<HostSearch>(engine_->io, networks, namedHosts, limits,
                                               std::move(events), HostSearch::Options{});
    asio::post(engine_->io, [search] { search->start(); });
    return std::make_unique<Cancelling<HostSearch>>(search);
}

std::unique_ptr<PendingSearch> AsioNetwork::watch(
    const std::vector<SearchNetwork>& networks, const std::vector<std::wstring>& listed,
    const WatchLimits& limits, std::function<void(const FoundHost& host)> answered) {
    auto watch =
        std::make_shared<HostWatch>(engine_->io, networks, listed, limits, std::move(answered));
    asio::post(engine_->io, [watch] { watch->start(); });
    return std::make_unique<Cancelling<HostWatch>>(watch);
}

}  // namespace platform::net
