// xob-decode as a diagnostic engineer runs it: selection, several sources, time, statistics, JSON
// Lines that validate against the schema, --follow, and the exit status.
#include "Golden.h"
#include "TestKit.h"

#include <nlohmann/json.hpp>

#include <iterator>

using namespace xobtest;

const Bytes kPrepare = logEntry(0x759, 100, {2, 1});
const Bytes kMedia = logEntry(0x41B, 200, {23, 0, 0, 1, 2});

long lineCount(const std::string& out) { return std::count(out.begin(), out.end(), '\n'); }

// The tool runs in a directory of recordings: those tool.cases names.
class DecodeTool : public testing::Test {
protected:
    void SetUp() override {
        write("good.xob", kPrepare + kMedia + logEntry(0x703, 300, {'b', 0, 'a', 0}));
        write("damaged.xob", kPrepare + Bytes{0xFF, 0xFF, 0} + kMedia);
        // The clock wraps between the 2nd and 3rd record; the 5th is stamped a little out of order.
        write("a.xob", logEntry(0x759, 0xFFFF00, {2, 1}) + logEntry(0x759, 0xFFFFF0, {2, 1}) +
                           logEntry(0x759, 0x10, {2, 1}) + logEntry(0x703, 0x20, {'b', 0, 'a', 0}) +
                           logEntry(0x759, 0x18, {2, 1}));
        write("control.xob", Bytes{6, 0, 0, 0, 13, 0, 0, 0} + kMedia);
    }

    std::string write(const std::string& name, const Bytes& bytes) const {
        const std::string path = m_dir + "/" + name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return path;
    }
    // A shell command's exit status and standard output, run in the recordings' directory.
    std::pair<int, std::string> shell(const std::string& command) const {
        std::pair<int, std::string> run{-1, ""};
        std::FILE* pipe = popen(("cd '" + m_dir + "' && " + command + " 2>/dev/null").c_str(), "r");
        char chunk[4096];
        for (std::size_t got; pipe != nullptr && (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
            run.second.append(chunk, got);
        }
        const int status = pipe != nullptr ? pclose(pipe) : -1;
        run.first = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return run;
    }

    const TempDir m_temp;
    const std::string m_dir = m_temp.path;
};

// The cases of tool.cases: exit status, lines and parts of the output of each run.
TEST_F(DecodeTool, SelectsAndTellsDamageAndUsageErrorsByItsExitStatus) {
    std::ifstream in(XOBTEST_TOOL_CASES);
    int cases = 0;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        int status = -1;
        std::string lines, args;
        if (line.empty() || line[0] == '#' || !(fields >> status >> lines) || !std::getline(fields, args)) {
            continue;
        }
        const std::size_t arrow = args.find(" => ");
        const auto run = shell(XOBTEST_DECODE_TOOL + args.substr(0, arrow));
        EXPECT_EQ(run.first, status) << line;
        EXPECT_TRUE(lines == "-" || lineCount(run.second) == std::stol(lines)) << line << "\n" << run.second;
        std::size_t at = 0;
        for (const auto& part : nlohmann::json::parse(arrow == std::string::npos ? "[]" : args.substr(arrow + 4))) {
            at = ("\n" + run.second).find(part.get<std::string>(), at);
            EXPECT_NE(at, std::string::npos) << line << "\n" << run.second << "\nhas no " << part;
        }
        ++cases;
    }
    EXPECT_GE(cases, 20);
}

// Every line written for the golden records, control records and damage validates against
// docs/xob-jsonl.schema.json; the schema holds types.
TEST_F(DecodeTool, JsonLinesValidateAgainstTheSchema) {
    Bytes stream = initFilesRecord(0x418) + Bytes{6, 0, 0, 0, 12, 0, 1, 0} + Bytes{6, 0, 0, 0, 13, 0, 0, 0} +
                   logEntry(0x41B, 1, {19, 2}) + logEntry(0x999, 1, {1}) + Bytes{0xFF, 0xFF, 1};
    std::size_t records = 6;
    for (const GoldenCase& c : goldenCases(XOBTEST_GOLDEN_RECORDS)) {
        stream = stream + c.bytes;
        records += c.records ? 1 : 0;
    }
    const std::string validate = " | /usr/bin/python3 " XOBTEST_VALIDATE_JSONL " " XOBTEST_JSONL_SCHEMA;
    EXPECT_EQ(shell(XOBTEST_DECODE_TOOL " --json " + write("all.xob", stream) + validate),
              std::make_pair(0, std::to_string(records) + " lines valid\n"));
    const std::string wrong = R"({"offset":0,"size":14,"command":"LogEntry","commandCode":8,"timestamp":1,)"
                              R"("clock":"0:00:00.01","functionId":"0x759","sub":2,"entry":"Nav_SWDL_Prepare",)"
                              R"("fields":{"component":"1"},"undecoded":null,"damage":[],"elapsed":1,"source":"-","schema":1})";
    EXPECT_EQ(shell("echo '" + wrong + "'" + validate).first, 1);
    EXPECT_EQ(shell(R"(echo '{"component":1}')" + validate).first, 1);
}

// --follow: records appended to the file while the decoder runs come out as they arrive, a record
// written in two parts once it is whole; SIGINT ends the run.
TEST_F(DecodeTool, FollowPrintsRecordsAppendedToAGrowingFile) {
    const std::string path = write("growing.xob", kPrepare);
    const int out = open((m_dir + "/out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    const pid_t child = startChild({XOBTEST_DECODE_TOOL, "--follow", "--no-header", path}, "", {}, out);
    close(out);
    std::string seen;
    const auto lines = [&] {
        std::ifstream in(m_dir + "/out");
        return lineCount(seen = std::string(std::istreambuf_iterator<char>(in), {}));
    };
    EXPECT_TRUE(eventually([&] { return lines() == 1; }));
    std::FILE* file = std::fopen(path.c_str(), "ab");
    std::fwrite(kMedia.data(), 1, 5, file);
    std::fflush(file);
    EXPECT_FALSE(eventually([&] { return lines() > 1; }, std::chrono::milliseconds(500)));  // half a record waits
    std::fwrite(kMedia.data() + 5, 1, kMedia.size() - 5, file);
    std::fclose(file);
    EXPECT_TRUE(eventually([&] { return lines() == 2; })) << seen;
    EXPECT_NE(seen.find("HDU_Media_SystemModeChanged"), std::string::npos);
    kill(child, SIGINT);
    const ChildRun run = finishChild(child, std::chrono::seconds(10));
    EXPECT_TRUE(run.exited && run.status == 0) << run.status;
}
