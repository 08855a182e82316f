// The reader reaches a client only through the relay sink: a sink put in the client's place (as a
// second transport's would be) gets what the radio says, and whether a block goes out is decided
// before the block is parsed, so a parse that ends a session keeps its own answers from the next.
#include <mutex>
#include <string>

#include "HostMessages.h"
#include "LinkFixture.h"

namespace {

using cattest::LinkTest;

const std::string kIf = "IF00014250000" "0010" "+00500" "100" "05" "1" "2" "0100" "03" "1;";

// Relays until the first status answer after its start has been parsed.
class UntilStatusSink : public brenlow::RelaySink {
public:
    bool Relaying() override { return brenlow::State().statusAnswers.load() == statusBefore_; }
    void Relay(const unsigned char* data, std::size_t length) override {
        std::lock_guard<std::mutex> g(lock_);
        relayed_.append(reinterpret_cast<const char*>(data), length);
    }
    std::string Relayed() {
        std::lock_guard<std::mutex> g(lock_);
        return relayed_;
    }

private:
    const std::uint32_t statusBefore_ = brenlow::State().statusAnswers.load();
    std::mutex lock_;
    std::string relayed_;
};

TEST_F(LinkTest, theRelaySinkIsAskedBeforeEachBlockIsParsed) {
    OpenLink(20);
    auto client = ConnectClient(true);  // logged in, but the sink takes its place
    brenlow::RadioState& s = brenlow::State();
    UntilStatusSink sink;
    s.relay = &sink;
    struct Restore {
        brenlow::RadioState& s;
        ~Restore() { s.relay = &s.client; }
    } restore{s};

    sim->Inject("FA00014250000;" + kIf);
    ASSERT_TRUE(window.WaitFor(brenlow::kStatusAnswer, 5000));
    sim->Inject("MD3;");
    ASSERT_TRUE(window.WaitFor(4134, 5000));
    EXPECT_EQ(sink.Relayed(), "FA00014250000;" + kIf)
        << "the block whose status answer ended the relaying still goes out; the next does not";
    client->ReadFor(200);
    EXPECT_EQ(client->Got(), "") << "nothing reaches the client past the sink";
}

}  // namespace
