#include <xob/support/TracingChannel.h>

#include "TestKit.h"

TEST(TracingChannel, LevelStaysInRangeAndLinesGoToTheSinkOrStandardError) {
    tracing::Channel channel("PC_XOBLOG", 7, 2);
    EXPECT_EQ(channel.GetName(), "PC_XOBLOG");
    EXPECT_EQ(channel.GetLevel(), 2);
    const std::pair<int, int> levels[] = {{1, 1}, {0, 0}, {7, 7}, {9, 7}, {-3, 0}};  // set, kept
    for (const auto& c : levels) {
        channel.SetLevel(static_cast<short>(c.first));
        EXPECT_EQ(channel.GetLevel(), c.second) << c.first;
    }
    EXPECT_EQ(tracing::Channel("T", 7, 12).GetLevel(), 7);

    std::vector<std::pair<short, std::string>> lines;
    channel.SetSink([&lines](short level, const std::string& text) { lines.emplace_back(level, text); });
    channel.log(5, "TID 1: Tick: ");
    channel.SetSink(nullptr);
    testing::internal::CaptureStderr();
    channel.log(1, "to standard error");
    const std::string written = testing::internal::GetCapturedStderr();
    EXPECT_EQ(lines, (std::vector<std::pair<short, std::string>>{{5, "TID 1: Tick: "}}));
    EXPECT_NE(written.find("PC_XOBLOG"), std::string::npos) << written;
    EXPECT_NE(written.find("to standard error\n"), std::string::npos) << written;
}

// Threads log while the sink is replaced and the level changed: every line reaches exactly one
// sink, and a sink that has been replaced is never called again.
TEST(TracingChannel, ReplacingTheSinkWhileOthersLog) {
    tracing::Channel channel("T", 7, 2);
    std::atomic<int> current{0}, delivered{0}, lateCalls{0}, logged{0};
    const auto sink = [&](int n) {
        return [&, n](short, const std::string&) {
            lateCalls += n < current ? 1 : 0;
            ++delivered;
        };
    };
    channel.SetSink(sink(0));
    std::atomic<bool> swapping{true};
    std::vector<std::thread> loggers;
    for (int t = 0; t < 4; ++t) loggers.emplace_back([&] { for (; swapping; ++logged) channel.log(1, "line"); });
    for (int n = 1; n < 50; ++n, std::this_thread::yield()) {
        channel.SetSink(sink(n));
        current = n;
        channel.SetLevel(static_cast<short>(n % 3));
    }
    swapping = false;
    for (std::thread& thread : loggers) thread.join();
    EXPECT_EQ(delivered, logged);
    EXPECT_EQ(lateCalls, 0);
}
