// xob-decode as a diagnostic engineer runs it: selection, several sources, time, statistics, JSON
// Lines that validate against the schema, --follow, and the exit status.
#include "Golden.h"
#include "TestKit.h"

#include <nlohmann/json.hpp>

#include <poll.h>

namespace {

using xobtest::Bytes;
using xobtest::logEntry;
using xobtest::operator+;

struct ToolRun {
    int status;
    std::string out;
};

const Bytes kPrepare = logEntry(0x759, 100, {2, 1});
const Bytes kMedia = logEntry(0x41B, 200, {23, 0, 0, 1, 2});
const Bytes kImpossible = {0xFF, 0xFF, 0};
// The clock wraps between the 2nd and 3rd record; the 5th is stamped a little out of order.
const Bytes kAcrossTheWrap = logEntry(0x759, 0xFFFF00, {2, 1}) + logEntry(0x759, 0xFFFFF0, {2, 1}) +
                             logEntry(0x759, 0x10, {2, 1}) + logEntry(0x703, 0x20, {'b', 0, 'a', 0}) +
                             logEntry(0x759, 0x18, {2, 1});

// The tool runs in a directory of recordings: those tool.cases names.
class DecodeTool : public testing::Test {
protected:
    void SetUp() override {
        m_dir = xobtest::makeTempDir();
        write("good.xob", kPrepare + kMedia + logEntry(0x703, 300, {'b', 0, 'a', 0}));
        write("damaged.xob", kPrepare + kImpossible + kMedia);
        write("a.xob", kAcrossTheWrap);
        write("control.xob", Bytes{6, 0, 0, 0, 13, 0, 0, 0} + kMedia);
    }
    void TearDown() override { std::system(("rm -rf '" + m_dir + "'").c_str()); }

    template <typename Contents>
    std::string write(const std::string& name, const Contents& bytes) {
        const std::string path = m_dir + "/" + name;
        std::FILE* file = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
        return path;
    }

    // A shell command's exit status and standard output, run in the recordings' directory.
    ToolRun shell(const std::string& command) const {
        ToolRun run{-1, ""};
        std::FILE* pipe = popen(("cd '" + m_dir + "' && " + command + " 2>/dev/null").c_str(), "r");
        char chunk[4096];
        for (std::size_t got; pipe != nullptr && (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
            run.out.append(chunk, got);
        }
        const int status = pipe != nullptr ? pclose(pipe) : -1;
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return run;
    }
    ToolRun tool(const std::string& arguments) const { return shell(std::string(XOBTEST_DECODE_TOOL) + " " + arguments); }

    std::string m_dir;
};

long lineCount(const std::string& out) { return std::count(out.begin(), out.end(), '\n'); }

// The cases of tool.cases: exit status, lines and parts of the output of each run.
TEST_F(DecodeTool, SelectsAndTellsDamageAndUsageErrorsByItsExitStatus) {
    std::ifstream in(XOBTEST_TOOL_CASES);
    int cases = 0;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        int status = -1;
        std::string lines, arguments;
        if (line.empty() || line[0] == '#' || !(fields >> status >> lines) || !std::getline(fields, arguments)) {
            continue;
        }
        const std::size_t arrow = arguments.find(" => ");
        const ToolRun run = tool(arguments.substr(0, arrow));
        EXPECT_EQ(run.status, status) << line;
        EXPECT_TRUE(lines == "-" || lineCount(run.out) == std::stol(lines)) << line << "\n" << run.out;
        std::size_t at = 0;
        for (const auto& part : arrow == std::string::npos ? nlohmann::json::array() : nlohmann::json::parse(arguments.substr(arrow + 4))) {
            at = ("\n" + run.out).find(part.get<std::string>(), at);
            EXPECT_NE(at, std::string::npos) << line << "\n" << run.out << "\nhas no " << part;
        }
        ++cases;
    }
    EXPECT_GE(cases, 20);
}

TEST_F(DecodeTool, StatsCountEveryEntryKindPerSourceAndInAll) {
    const ToolRun run = tool("--stats --json a.xob damaged.xob");
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
    write("all.xob", stream);
    const ToolRun valid = shell(std::string(XOBTEST_DECODE_TOOL) + " --json all.xob | " + validate);
    EXPECT_EQ(valid.status, 0);
    EXPECT_EQ(valid.out, std::to_string(records) + " lines valid\n");
    const std::string wrong = R"({"offset":0,"size":14,"command":"LogEntry","commandCode":8,"timestamp":1,)"
                              R"("clock":"0:00:00.01","functionId":"0x759","sub":2,"entry":"Nav_SWDL_Prepare",)"
                              R"("fields":{"component":"1"},"undecoded":null,"damage":[],"elapsed":1,"source":"-","schema":1})";
    EXPECT_EQ(shell("echo '" + wrong + "' | " + validate).status, 1);
    EXPECT_EQ(shell(R"(echo '{"component":1}' | )" + validate).status, 1);
}

// --follow: records appended to the file while the decoder runs come out as they arrive, a record
// written in two parts once it is whole; SIGINT ends the run.
TEST_F(DecodeTool, FollowPrintsRecordsAppendedToAGrowingFile) {
    const std::string path = write("growing.xob", kPrepare);
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t child = xobtest::startChild({XOBTEST_DECODE_TOOL, "--follow", "--no-header", path}, "", {}, out[1]);
    ASSERT_GT(child, 0);
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
    const xobtest::ChildRun run = xobtest::finishChild(child, std::chrono::seconds(10));
    close(out[0]);
    EXPECT_TRUE(run.exited && run.status == 0) << run.status;
}

}  // namespace
