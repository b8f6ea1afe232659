// xob-decode as a diagnostic engineer runs it: selection by identifier and name, JSON Lines, and the
// exit status that tells whether the recording is damaged.
#include "DeviceStandIn.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
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

}  // namespace
