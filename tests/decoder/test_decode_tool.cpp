// xob-decode as a diagnostic engineer runs it: selection by identifier and name, JSON Lines, and the
// exit status that tells whether the recording is damaged.
#include "DeviceStandIn.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using xobtest::Bytes;
using xobtest::operator+;

struct ToolRun {
    int status;
    std::string out;
};

ToolRun decodeTool(const std::string& arguments) {
    const std::string command = std::string(XOBTEST_DECODE_TOOL) + " " + arguments + " 2>/dev/null";
    ToolRun run{-1, ""};
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char chunk[4096];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
        run.out.append(chunk, got);
    }
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class DecodeTool : public testing::Test {
protected:
    void SetUp() override { m_dir = xobtest::makeTempDir(); }
    void TearDown() override {
        for (const std::string& file : m_files) {
            unlink(file.c_str());
        }
        rmdir(m_dir.c_str());
    }
    std::string write(const char* name, const Bytes& bytes) {
        const std::string path = m_dir + "/" + name;
        std::FILE* file = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        m_files.push_back(path);
        return path;
    }

    std::string m_dir;
    std::vector<std::string> m_files;
};

const Bytes kPrepare = xobtest::logEntry(0x759, 100, {2, 1});
const Bytes kMedia = xobtest::logEntry(0x41B, 200, {23, 0, 0, 1, 2});
const Bytes kWatchdog = xobtest::logEntry(0x703, 300, {'b', 0, 'a', 0});

TEST_F(DecodeTool, SelectsByIdentifierAndNameAndExitsZeroOnAWellFormedRecording) {
    const std::string good = write("good.xob", kPrepare + kMedia + kWatchdog);
    const ToolRun all = decodeTool("--no-header " + good);
    EXPECT_EQ(all.status, 0);
    EXPECT_EQ(std::count(all.out.begin(), all.out.end(), '\n'), 3);

    const ToolRun media = decodeTool("--json --id 0x41B " + good);
    EXPECT_EQ(media.status, 0);
    EXPECT_NE(media.out.find(R"("entry":"HDU_Media_SystemModeChanged","fields":{"i32Mode":258})"),
              std::string::npos);
    EXPECT_EQ(std::count(media.out.begin(), media.out.end(), '\n'), 1);

    const ToolRun named = decodeTool("--no-header --name 'Nav_*' --name 'WatchDog*' " + good);
    EXPECT_NE(named.out.find("Nav_SWDL_Prepare"), std::string::npos);
    EXPECT_NE(named.out.find("second=\"b\" first=\"a\""), std::string::npos);
    EXPECT_EQ(named.out.find("HDU_Media"), std::string::npos);

    const ToolRun decimal = decodeTool("--no-header --id 1881 - < " + good);  // 0x759, from standard input
    EXPECT_EQ(decimal.status, 0);
    EXPECT_NE(decimal.out.find("Nav_SWDL_Prepare"), std::string::npos);
    EXPECT_EQ(std::count(decimal.out.begin(), decimal.out.end(), '\n'), 1);
}

TEST_F(DecodeTool, ExitStatusTellsDamageAndUsageErrors) {
    const std::string damaged = write("damaged.xob", kPrepare + Bytes{0xFF, 0xFF, 0} + kMedia);
    const ToolRun run = decodeTool("--damaged --no-header " + damaged);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out.rfind("      14  ", 0), 0u);  // the damaged line, at its offset
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1);
    // The damage counts whatever the selection shows.
    EXPECT_EQ(decodeTool("--id 0x41B " + damaged).status, 1);

    EXPECT_EQ(decodeTool("--id 0x10000 " + damaged).status, 2);
    EXPECT_EQ(decodeTool("--no-such-option").status, 2);
    EXPECT_EQ(decodeTool(m_dir + "/missing.xob").status, 2);
    const ToolRun help = decodeTool("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Exit status"), std::string::npos);
}

std::vector<nlohmann::json> jsonLines(const std::string& out) {
    std::vector<nlohmann::json> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(nlohmann::json::parse(line));
    }
    return lines;
}

// The clock wraps between the 2nd and 3rd record; the 5th is stamped a little out of order.
const Bytes kAcrossTheWrap = xobtest::logEntry(0x759, 0xFFFF00, {2, 1}) + xobtest::logEntry(0x759, 0xFFFFF0, {2, 1}) +
                             xobtest::logEntry(0x759, 0x10, {2, 1}) + xobtest::logEntry(0x703, 0x20, {'b', 0, 'a', 0}) +
                             xobtest::logEntry(0x759, 0x18, {2, 1});

TEST_F(DecodeTool, ElapsedTimeCountsTheClocksWrapsAndSelectsAWindow) {
    const std::string file = write("wrap.xob", kAcrossTheWrap);
    const std::uint64_t range = 1u << 24;
    const std::pair<const char*, std::vector<std::uint64_t>> cases[] = {
        {"", {0xFFFF00, 0xFFFFF0, range + 0x10, range + 0x20, range + 0x18}},
        {"--since 16777200", {0xFFFFF0, range + 0x10, range + 0x20, range + 0x18}},
        {"--since 46:36:12.16 --until 46:36:12.40", {range + 0x10, range + 0x18}},
        {"--until 0:00:01.00", {}},
    };
    for (const auto& c : cases) {
        const ToolRun run = decodeTool(std::string("--json ") + c.first + " " + file);
        std::vector<std::uint64_t> elapsed;
        for (const nlohmann::json& line : jsonLines(run.out)) {
            elapsed.push_back(line["elapsed"].get<std::uint64_t>());
            EXPECT_EQ(line["timestamp"].get<std::uint64_t>(), elapsed.back() % range);
        }
        EXPECT_EQ(elapsed, c.second) << c.first;
    }
    // The text clock column shows the elapsed time.
    EXPECT_NE(decodeTool("--no-header " + file).out.find(" 46:36:12.48  0x703"), std::string::npos);
    EXPECT_EQ(decodeTool("--since 1:00 " + file).status, 2);
}

TEST_F(DecodeTool, SeveralSourcesAreNamedOnEveryLineAndUnwrappedEachOnItsOwn) {
    const std::string a = write("a.xob", kAcrossTheWrap);
    const std::string b = write("bb.xob", kPrepare + Bytes{0xFF, 0xFF, 0});
    const ToolRun json = decodeTool("--json " + a + " " + b);
    EXPECT_EQ(json.status, 1);
    const std::vector<nlohmann::json> lines = jsonLines(json.out);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[4]["source"], a);
    EXPECT_EQ(lines[5]["source"], b);
    EXPECT_EQ(lines[5]["elapsed"], 100);  // b's clock starts afresh
    EXPECT_EQ(lines[6]["offset"], 14);
    const ToolRun text = decodeTool("--no-header " + a + " " + b);
    EXPECT_EQ(text.out.rfind(a + "  ", 0), 0u);
    EXPECT_NE(text.out.find("\n" + b + "        14  "), std::string::npos);  // names padded to one width
}

TEST_F(DecodeTool, StatsCountEveryEntryKindPerSourceAndInAll) {
    const std::string a = write("a.xob", kAcrossTheWrap);
    const std::string b = write("b.xob", kMedia + Bytes{0xFF, 0xFF, 0} + kPrepare);
    const ToolRun run = decodeTool("--stats --json " + a + " " + b);
    EXPECT_EQ(run.status, 1);
    const nlohmann::json stats = nlohmann::json::parse(run.out);
    ASSERT_EQ(stats["sources"].size(), 2u);
    const nlohmann::json& second = stats["sources"][1];
    EXPECT_EQ(second["records"], 3);
    EXPECT_EQ(second["damaged"], 1);
    EXPECT_EQ(second["skippedBytes"], 3);
    const nlohmann::json& total = stats["total"];
    EXPECT_EQ(total["records"], 8);
    std::vector<std::string> rows;
    for (const nlohmann::json& row : total["entries"]) {
        rows.push_back(row["entry"].get<std::string>() + " " + row["count"].dump() + " " + row["bytes"].dump() +
                       " " + row["first"].dump() + " " + row["last"].dump());
    }
    EXPECT_EQ(rows, (std::vector<std::string>{"? 1 3 null null", "HDU_Media_SystemModeChanged 1 17 200 200",
                                              "Nav_SWDL_Prepare 5 70 100 16777240", "WatchDogHDU_LogEntry 1 16 16777248 16777248"}));
    // The first source's Nav_SWDL_Prepare: 4 records over 16777240 - 16776960 hundredths.
    EXPECT_NEAR(stats["sources"][0]["entries"][0]["perMinute"].get<double>(), 4 * 6000.0 / 280, 1e-3);
    EXPECT_NE(decodeTool("--stats " + a).out.find("Nav_SWDL_Prepare"), std::string::npos);
}

TEST_F(DecodeTool, SmallOptionsListQuietAndBadPatterns) {
    const std::string good = write("good.xob", kPrepare + kMedia);
    EXPECT_EQ(decodeTool("--name '[Nav_*' " + good).status, 2);
    EXPECT_EQ(decodeTool("--name 'Nav_\\' " + good).status, 2);
    EXPECT_EQ(decodeTool("--name '[!]]*' " + good).status, 0);
    const ToolRun quiet = decodeTool("--quiet " + good);
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.out, "");
    const std::vector<nlohmann::json> kinds = jsonLines(decodeTool("--list --json").out);
    ASSERT_GT(kinds.size(), 50u);
    const auto media = std::find_if(kinds.begin(), kinds.end(), [](const nlohmann::json& kind) {
        return kind["entry"] == "HDU_Media_SystemModeChanged";
    });
    ASSERT_NE(media, kinds.end());
    EXPECT_EQ((*media)["functionId"], "0x41B");
    EXPECT_EQ((*media)["sub"], 23);
    EXPECT_EQ((*media)["fields"], nlohmann::json::array({"i32Mode"}));
}

// --follow: records appended to the file while the decoder runs come out as they arrive, a record
// written in two parts once it is whole; SIGINT ends the run.
TEST_F(DecodeTool, FollowPrintsRecordsAppendedToAGrowingFile) {
    const std::string path = write("growing.xob", kPrepare);
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(out[1], 1);
        close(out[0]);
        execl(XOBTEST_DECODE_TOOL, XOBTEST_DECODE_TOOL, "--follow", "--no-header", path.c_str(), (char*)nullptr);
        _exit(127);
    }
    close(out[1]);
    std::string seen;
    const auto waitForLines = [&](long lines, int polls = 100) {
        for (int i = 0; i < polls && std::count(seen.begin(), seen.end(), '\n') < lines; ++i) {
            pollfd p{out[0], POLLIN, 0};
            if (poll(&p, 1, 50) == 1) {
                char chunk[4096];
                const ssize_t got = read(out[0], chunk, sizeof chunk);
                seen.append(chunk, got > 0 ? static_cast<std::size_t>(got) : 0);
            }
        }
        return std::count(seen.begin(), seen.end(), '\n');
    };
    EXPECT_EQ(waitForLines(1), 1);
    std::FILE* file = std::fopen(path.c_str(), "ab");
    std::fwrite(kMedia.data(), 1, 5, file);
    std::fflush(file);
    EXPECT_EQ(waitForLines(2, 10), 1);  // half a record waits
    std::fwrite(kMedia.data() + 5, 1, kMedia.size() - 5, file);
    std::fclose(file);
    EXPECT_EQ(waitForLines(2), 2);
    EXPECT_NE(seen.find("HDU_Media_SystemModeChanged"), std::string::npos);
    kill(child, SIGINT);
    int status = 0;
    waitpid(child, &status, 0);
    close(out[0]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
