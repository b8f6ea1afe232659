#include <xob/support/TracingChannel.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(TracingChannel, LevelStartsAsGivenAndStaysInRange) {
    tracing::Channel channel("PC_XOBLOG", 7, 2);
    EXPECT_EQ(channel.GetName(), "PC_XOBLOG");
    EXPECT_EQ(channel.GetLevel(), 2);
    struct {
        short set, expected;
    } const cases[] = {{1, 1}, {0, 0}, {7, 7}, {9, 7}, {-3, 0}};
    for (const auto& c : cases) {
        channel.SetLevel(c.set);
        EXPECT_EQ(channel.GetLevel(), c.expected) << c.set;
    }
    EXPECT_EQ(tracing::Channel("T", 7, 12).GetLevel(), 7);
}

TEST(TracingChannel, SinkReceivesEveryLineAndEmptySinkRestoresStandardError) {
    tracing::Channel channel("PC_XOBLOG", 7, 2);
    std::vector<std::pair<short, std::string>> lines;
    channel.SetSink([&lines](short level, const std::string& text) { lines.emplace_back(level, text); });
    channel.log(1, "TID 1: Tick: ");
    channel.log(5, "second");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::make_pair(short{1}, std::string("TID 1: Tick: ")));
    EXPECT_EQ(lines[1].first, 5);

    channel.SetSink(nullptr);
    testing::internal::CaptureStderr();
    channel.log(1, "to standard error");
    const std::string written = testing::internal::GetCapturedStderr();
    EXPECT_EQ(lines.size(), 2u);
    EXPECT_NE(written.find("PC_XOBLOG"), std::string::npos);
    EXPECT_NE(written.find("to standard error\n"), std::string::npos);
}

// Threads log while another replaces the sink and changes the level: every line reaches exactly one
// sink, and a sink that has been replaced is never called again.
TEST(TracingChannel, ReplacingTheSinkWhileOthersLog) {
    tracing::Channel channel("T", 7, 2);
    std::atomic<int> delivered{0}, lateCalls{0};
    constexpr int kSinks = 50;
    std::vector<std::atomic<bool>> retired(kSinks);
    auto sinkNumber = [&](int n) {
        return [&, n](short, const std::string&) {
            if (retired[n]) ++lateCalls;
            ++delivered;
        };
    };
    channel.SetSink(sinkNumber(0));

    // The loggers go on until every sink has had its turn.
    std::atomic<bool> swapping{true};
    std::atomic<int> logged{0};
    std::vector<std::thread> loggers;
    for (int t = 0; t < 4; ++t) {
        loggers.emplace_back([&] {
            while (swapping) {
                if (channel.GetLevel() >= 0) channel.log(1, "line");
                ++logged;
            }
        });
    }
    for (int n = 1; n < kSinks; ++n) {
        channel.SetSink(sinkNumber(n));
        retired[n - 1] = true;
        channel.SetLevel(static_cast<short>(n % 3));
        std::this_thread::yield();
    }
    swapping = false;
    for (std::thread& thread : loggers) thread.join();
    EXPECT_EQ(delivered, logged);
    EXPECT_EQ(lateCalls, 0);
}

}  // namespace
