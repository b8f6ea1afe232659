// xob-decode as a diagnostic engineer runs it: selection by identifier, name and time, several
// sources, statistics, JSON Lines that validate against the schema, --follow, and the exit status
// that tells whether the recording is damaged.
#include "DeviceStandIn.h"
#include "Golden.h"

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
using xobtest::logEntry;
using xobtest::operator+;

struct ToolRun {
    int status;
    std::string out;
};

class DecodeTool : public testing::Test {
protected:
    void SetUp() override { m_dir = xobtest::makeTempDir(); }
    void TearDown() override { std::system(("rm -rf '" + m_dir + "'").c_str()); }

    std::string write(const std::string& name, const std::string& bytes) {
        const std::string path = m_dir + "/" + name;
        std::FILE* file = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        return path;
    }
    std::string write(const std::string& name, const Bytes& bytes) { return write(name, std::string(bytes.begin(), bytes.end())); }

    // A shell command's exit status and standard output.
    static ToolRun shell(const std::string& command) {
        ToolRun run{-1, ""};
        std::FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
        char chunk[4096];
        for (std::size_t got; pipe != nullptr && (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
            run.out.append(chunk, got);
        }
        const int status = pipe != nullptr ? pclose(pipe) : -1;
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return run;
    }
    static ToolRun tool(const std::string& arguments) { return shell(std::string(XOBTEST_DECODE_TOOL) + " " + arguments); }

    std::string m_dir;
};

std::vector<nlohmann::json> jsonLines(const std::string& out) {
    std::vector<nlohmann::json> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(nlohmann::json::parse(line));
    }
    return lines;
}

long lineCount(const std::string& out) { return std::count(out.begin(), out.end(), '\n'); }

const Bytes kPrepare = logEntry(0x759, 100, {2, 1});
const Bytes kMedia = logEntry(0x41B, 200, {23, 0, 0, 1, 2});
const Bytes kWatchdog = logEntry(0x703, 300, {'b', 0, 'a', 0});
const Bytes kImpossible = {0xFF, 0xFF, 0};
// The clock wraps between the 2nd and 3rd record; the 5th is stamped a little out of order.
const Bytes kAcrossTheWrap = logEntry(0x759, 0xFFFF00, {2, 1}) + logEntry(0x759, 0xFFFFF0, {2, 1}) +
                             logEntry(0x759, 0x10, {2, 1}) + logEntry(0x703, 0x20, {'b', 0, 'a', 0}) +
                             logEntry(0x759, 0x18, {2, 1});

TEST_F(DecodeTool, SelectsByIdentifierAndName) {
    const std::string good = write("good.xob", kPrepare + kMedia + kWatchdog);
    EXPECT_EQ(lineCount(tool("--no-header " + good).out), 3);
    const ToolRun media = tool("--json --id 0x41B " + good);
    EXPECT_NE(media.out.find(R"("entry":"HDU_Media_SystemModeChanged","fields":{"i32Mode":258})"), std::string::npos);
    EXPECT_EQ(lineCount(media.out), 1);
    const ToolRun named = tool("--no-header --name 'Nav_*' --name 'WatchDog*' " + good);
    EXPECT_NE(named.out.find("Nav_SWDL_Prepare"), std::string::npos);
    EXPECT_NE(named.out.find("second=\"b\" first=\"a\""), std::string::npos);
    EXPECT_EQ(named.out.find("HDU_Media"), std::string::npos);
    const ToolRun decimal = tool("--no-header --id 1881 - < " + good);  // 0x759, from standard input
    EXPECT_NE(decimal.out.find("Nav_SWDL_Prepare"), std::string::npos);
    EXPECT_EQ(lineCount(decimal.out), 1);
    const ToolRun damaged = tool("--damaged --no-header " + write("damaged.xob", kPrepare + kImpossible + kMedia));
    EXPECT_EQ(damaged.out.rfind("      14  ", 0), 0u);  // the damaged line, at its offset
    EXPECT_EQ(lineCount(damaged.out), 1);
}

// 0: well-formed, 1: damage (whatever the selection shows), 2: usage errors and bad patterns.
TEST_F(DecodeTool, ExitStatusTellsDamageAndUsageErrors) {
    const std::string good = write("good.xob", kPrepare + kMedia);
    const std::string damaged = write("damaged.xob", kPrepare + kImpossible + kMedia);
    const std::pair<std::string, int> cases[] = {
        {good, 0}, {"--json - < " + good, 0}, {"--quiet " + good, 0}, {"--name '[!]]*' " + good, 0},
        {damaged, 1}, {"--id 0x41B " + damaged, 1}, {"--quiet " + damaged, 1},
        {"--id 0x10000 " + good, 2}, {"--no-such-option", 2}, {m_dir + "/missing.xob", 2},
        {"--name '[Nav_*' " + good, 2}, {"--name 'Nav_\\' " + good, 2}, {"--since 1:00 " + good, 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tool(c.first).status, c.second) << c.first;
    }
    EXPECT_EQ(tool("--quiet " + good).out, "");
}

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
        std::vector<std::uint64_t> elapsed;
        for (const nlohmann::json& line : jsonLines(tool(std::string("--json ") + c.first + " " + file).out)) {
            elapsed.push_back(line["elapsed"].get<std::uint64_t>());
            EXPECT_EQ(line["timestamp"].get<std::uint64_t>(), elapsed.back() % range);
        }
        EXPECT_EQ(elapsed, c.second) << c.first;
    }
    EXPECT_NE(tool("--no-header " + file).out.find(" 46:36:12.48  0x703"), std::string::npos);  // the text clock
}

TEST_F(DecodeTool, SeveralSourcesAreNamedOnEveryLineAndUnwrappedEachOnItsOwn) {
    const std::string a = write("a.xob", kAcrossTheWrap);
    const std::string b = write("bb.xob", kPrepare + kImpossible);
    const ToolRun json = tool("--json " + a + " " + b);
    EXPECT_EQ(json.status, 1);
    const std::vector<nlohmann::json> lines = jsonLines(json.out);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[4]["source"], a);
    EXPECT_EQ(lines[5]["source"], b);
    EXPECT_EQ(lines[5]["elapsed"], 100);  // b's clock starts afresh
    EXPECT_EQ(lines[6]["offset"], 14);
    const ToolRun text = tool("--no-header " + a + " " + b);
    EXPECT_EQ(text.out.rfind(a + "  ", 0), 0u);
    EXPECT_NE(text.out.find("\n" + b + "        14  "), std::string::npos);  // names padded to one width
}

TEST_F(DecodeTool, StatsCountEveryEntryKindPerSourceAndInAll) {
    const std::string a = write("a.xob", kAcrossTheWrap);
    const std::string b = write("b.xob", kMedia + kImpossible + kPrepare);
    const ToolRun run = tool("--stats --json " + a + " " + b);
    EXPECT_EQ(run.status, 1);
    const nlohmann::json stats = nlohmann::json::parse(run.out);
    ASSERT_EQ(stats["sources"].size(), 2u);
    const nlohmann::json& second = stats["sources"][1];
    EXPECT_EQ(second["records"], 3);
    EXPECT_EQ(second["damaged"], 1);
    EXPECT_EQ(second["skippedBytes"], 3);
    EXPECT_EQ(stats["total"]["records"], 8);
    std::vector<std::string> rows;
    for (const nlohmann::json& row : stats["total"]["entries"]) {
        rows.push_back(row["entry"].get<std::string>() + " " + row["count"].dump() + " " + row["bytes"].dump() +
                       " " + row["first"].dump() + " " + row["last"].dump());
    }
    EXPECT_EQ(rows, (std::vector<std::string>{"? 1 3 null null", "HDU_Media_SystemModeChanged 1 17 200 200",
                                              "Nav_SWDL_Prepare 5 70 100 16777240", "WatchDogHDU_LogEntry 1 16 16777248 16777248"}));
    // The first source's Nav_SWDL_Prepare: 4 records over 16777240 - 16776960 hundredths.
    EXPECT_NEAR(stats["sources"][0]["entries"][0]["perMinute"].get<double>(), 4 * 6000.0 / 280, 1e-3);
    EXPECT_NE(tool("--stats " + a).out.find("Nav_SWDL_Prepare"), std::string::npos);
    const std::vector<nlohmann::json> kinds = jsonLines(tool("--list --json").out);
    const auto media = std::find_if(kinds.begin(), kinds.end(), [](const nlohmann::json& kind) {
        return kind["entry"] == "HDU_Media_SystemModeChanged";
    });
    ASSERT_NE(media, kinds.end());
    EXPECT_EQ((*media)["functionId"], "0x41B");
    EXPECT_EQ((*media)["sub"], 23);
    EXPECT_EQ((*media)["fields"], nlohmann::json::array({"i32Mode"}));
}

// Every line written for the golden records, control records and damage validates against
// docs/xob-jsonl.schema.json; the schema holds types.
TEST_F(DecodeTool, JsonLinesValidateAgainstTheSchema) {
    Bytes stream = xobtest::initFilesRecord(0x418) + Bytes{6, 0, 0, 0, 12, 0, 1, 0} + Bytes{6, 0, 0, 0, 13, 0, 0, 0} +
                   logEntry(0x41B, 1, {19, 2}) + logEntry(0x999, 1, {1}) + Bytes{0xFF, 0xFF, 1};
    std::size_t records = 6;
    for (const xobtest::GoldenCase& c : xobtest::goldenCases(XOBTEST_GOLDEN_RECORDS)) {
        stream = stream + c.bytes;
        records += c.records ? 1 : 0;
    }
    const std::string validate = std::string("/usr/bin/python3 ") + XOBTEST_VALIDATE_JSONL + " " + XOBTEST_JSONL_SCHEMA;
    const ToolRun valid = shell(std::string(XOBTEST_DECODE_TOOL) + " --json " + write("all.xob", stream) + " | " + validate);
    EXPECT_EQ(valid.status, 0);
    EXPECT_EQ(valid.out, std::to_string(records) + " lines valid\n");
    const std::string wrong = R"({"offset":0,"size":14,"command":"LogEntry","commandCode":8,"timestamp":1,)"
                              R"("clock":"0:00:00.01","functionId":"0x759","sub":2,"entry":"Nav_SWDL_Prepare",)"
                              R"("fields":{"component":"1"},"undecoded":null,"damage":[],"elapsed":1,"source":"-","schema":1})";
    EXPECT_EQ(shell(validate + " < " + write("wrong.jsonl", wrong + "\n")).status, 1);
    EXPECT_EQ(shell(validate + " < " + write("bare.jsonl", std::string(R"({"component":1})" "\n"))).status, 1);
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
        for (int i = 0; i < polls && lineCount(seen) < lines; ++i) {
            pollfd p{out[0], POLLIN, 0};
            if (poll(&p, 1, 50) == 1) {
                char chunk[4096];
                const ssize_t got = read(out[0], chunk, sizeof chunk);
                seen.append(chunk, got > 0 ? static_cast<std::size_t>(got) : 0);
            }
        }
        return lineCount(seen);
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
