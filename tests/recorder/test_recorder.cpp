// xob-recorder as a child process, as an integrator runs it all day: who owns the FIFO's path, what
// a stop saves while producer processes write, a closed standard output, damaged input between good
// records, rotation of the saved files, and the FIFO's mode.
#include "Decoder.h"
#include "TestKit.h"

#include <grp.h>
#include <pwd.h>

using namespace xobtest;

const std::chrono::milliseconds kLimit(20000);  // a recorder that takes longer has hung

// Cuts a saved stream by its length fields; every record must be whole.
std::vector<Bytes> records(const Bytes& stream) {
    std::vector<Bytes> cut;
    xob::decoder::decodeStream(stream.data(), stream.size(), [&](const xob::decoder::DecodedRecord& r) {
        cut.emplace_back(stream.begin() + r.offset, stream.begin() + r.offset + r.size);
        EXPECT_EQ(r.size, stream[r.offset] + stream[r.offset + 1] * 256 + 2u) << "not whole at " << r.offset;
    });
    return cut;
}

// A log entry that tells its producer (its payload) and its place in that producer's sequence (its timestamp).
Bytes numbered(std::uint8_t producer, std::uint32_t sequence) { return logEntry(0x703, sequence, {producer}); }

class Recorder : public testing::Test {
protected:
    ~Recorder() override {
        if (m_pid > 0 && kill(m_pid, SIGKILL) == 0) waitpid(m_pid, nullptr, 0);
    }

    // Starts xob-recorder on the test's FIFO and waits until writers can open it.
    void start(std::vector<std::string> options, int outFd = -1) {
        options.insert(options.begin(), XOBTEST_RECORDER_TOOL);
        options.push_back(m_fifo);
        m_pid = startChild(options, m_errors, {}, outFd);
        ASSERT_TRUE(m_pid > 0 && eventually([&] {
            const int fd = open(m_fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            return fd >= 0 && close(fd) == 0;
        })) << readFile(m_errors);
    }
    ChildRun stop(bool terminate = true) {
        if (terminate) kill(m_pid, SIGTERM);
        return finishChild(std::exchange(m_pid, -1), kLimit, m_errors);
    }
    // One write per record, as the library delivers them.
    bool send(const Bytes& bytes) const {
        const int fd = open(m_fifo.c_str(), O_WRONLY | O_CLOEXEC);
        const bool written = fd >= 0 && write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
        return fd >= 0 && close(fd) == 0 && written;
    }
    bool fifoGone() const { return access(m_fifo.c_str(), F_OK) != 0 && errno == ENOENT; }

    const TempDir m_temp;
    const std::string m_dir = m_temp.path, m_fifo = m_dir + "/xob", m_errors = m_dir + "/errors";
    int m_pid = -1;
};

// The run ended with `status` and told `message` on its standard error.
void expectEnd(const ChildRun& run, int status, const std::string& message) {
    EXPECT_EQ(run.status, status) << run.errors;
    EXPECT_NE(run.errors.find(message), std::string::npos) << run.errors;
}

const Bytes kPrepare = logEntry(0x759, 100, {2, 1});
const Bytes kMedia = logEntry(0x41B, 200, {23, 0, 0, 1, 2});
const Bytes kWatchdog = logEntry(0x703, 300, {'b', 0, 'a', 0});

// A path the recorder did not make is left as it is; a stale FIFO is replaced; a FIFO with a live
// reader is refused; at its stop a recorder removes the path only if it still names its FIFO.
TEST_F(Recorder, OwnsOnlyThePathItMade) {
    const std::pair<const char*, void (*)(const char*)> cases[] = {
        {"a file", [](const char* path) { std::ofstream(path) << "keep"; }},
        {"a directory", [](const char* path) { mkdir(path, 0700); }},
        {"a symbolic link", [](const char* path) { symlink("elsewhere", path); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        c.second(m_fifo.c_str());
        struct stat before {}, after {};
        lstat(m_fifo.c_str(), &before);
        expectEnd(runChild({XOBTEST_RECORDER_TOOL, m_fifo}, kLimit, m_errors), 1, "left as it is");
        EXPECT_EQ(lstat(m_fifo.c_str(), &after), 0);
        EXPECT_TRUE(after.st_ino == before.st_ino && after.st_mode == before.st_mode);
        std::remove(m_fifo.c_str());
    }
    ASSERT_EQ(mkfifo(m_fifo.c_str(), 0600), 0);
    start({"--quiet"});
    expectEnd(runChild({XOBTEST_RECORDER_TOOL, m_fifo}, kLimit, m_dir + "/second"), 1, "has a reader already");
    ASSERT_TRUE(send(kPrepare));  // the first still owns its FIFO and receives
    expectEnd(stop(), 0, "1 records, 14 bytes");
    EXPECT_TRUE(fifoGone());
    start({});
    ASSERT_EQ(unlink(m_fifo.c_str()), 0);
    std::ofstream(m_fifo) << "someone else's";
    EXPECT_EQ(stop().status, 0);
    EXPECT_EQ(readFile(m_fifo), "someone else's");
}

// Eight producer processes write records straight to the FIFO, opening it for each record as the
// library does, until it is gone. Every record a write delivered is saved, whole and in its
// producer's order, however the stop falls into the stream.
TEST_F(Recorder, StopSavesEveryRecordThatWritersDelivered) {
    constexpr unsigned kProducers = 8;
    const std::string savedPath = m_dir + "/saved.xob";
    start({"--output", savedPath, "--quiet", "--stats-every", "0.05"});
    int counts[2];  // each producer's (number, records delivered), written at once when it ends
    ASSERT_EQ(pipe(counts), 0);
    for (std::uint8_t producer = 0; producer < kProducers; ++producer) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            signal(SIGPIPE, SIG_IGN);
            std::uint32_t report[2] = {producer, 0};  // until the recorder has removed its path
            for (int fd; report[1] < 20000 && (fd = open(m_fifo.c_str(), O_WRONLY | O_NONBLOCK)) >= 0; ++report[1]) {
                const Bytes record = numbered(producer, report[1]);
                fcntl(fd, F_SETFL, 0);  // the write waits for room
                const bool whole = write(fd, record.data(), record.size()) == static_cast<ssize_t>(record.size());
                close(fd);
                if (!whole) break;
            }
            _exit(write(counts[1], report, sizeof report) == sizeof report ? 0 : 1);
        }
    }
    close(counts[1]);
    // Stop while they write: once the first counts are out and something is saved.
    EXPECT_TRUE(eventually([&] {
        return readFile(m_errors).find("records/s") != std::string::npos && !readFile(savedPath).empty();
    }));
    const ChildRun run = stop();
    std::vector<std::uint32_t> delivered(kProducers, 0);
    for (std::uint32_t report[2]; read(counts[0], report, sizeof report) == sizeof report;) {
        delivered.at(report[0]) = report[1];
    }
    close(counts[0]);
    for (unsigned producer = 0; producer < kProducers; ++producer) wait(nullptr);
    EXPECT_TRUE(fifoGone());
    EXPECT_EQ(run.errors.find("dropped"), std::string::npos) << run.errors;
    const std::vector<Bytes> saved = records(readFile<Bytes>(savedPath));
    std::vector<std::uint32_t> next(kProducers, 0);
    for (const Bytes& record : saved) {
        const std::uint8_t producer = record[12];
        ASSERT_LT(producer, kProducers);
        ASSERT_EQ(record, numbered(producer, next[producer]++)) << "out of order or not whole";
    }
    EXPECT_EQ(next, delivered);
    expectEnd(run, 0, std::to_string(saved.size()) + " records");
}

// `xob-recorder --decode | head -2`: the reader of its output goes away. Without --output the
// recorder stops as cleanly as on a signal; with --output it goes on saving until stopped.
TEST_F(Recorder, ClosedStandardOutputEndsThePrintingCleanly) {
    for (const bool saving : {false, true}) {
        SCOPED_TRACE(saving ? "with --output" : "printing only");
        const std::string savedPath = m_dir + "/saved.xob";
        int out[2];
        ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
        start(saving ? std::vector<std::string>{"--decode", "--output", savedPath}
                     : std::vector<std::string>{"--decode"}, out[1]);
        close(out[1]);
        ASSERT_TRUE(send(kPrepare));
        std::string lines;  // as head -2 reads them
        for (char c; std::count(lines.begin(), lines.end(), '\n') < 2 && read(out[0], &c, 1) == 1;) lines += c;
        close(out[0]);
        EXPECT_NE(lines.find("Nav_SWDL_Prepare"), std::string::npos) << lines;
        unsigned sent = 1;
        EXPECT_TRUE(eventually([&] {
            sent += send(kMedia) ? 1 : 0;
            return saving ? readFile(m_errors).find("standard output closed") != std::string::npos : fifoGone();
        }));
        if (saving) sent += send(kWatchdog) ? 1 : 0;
        expectEnd(stop(saving), 0, std::to_string(sent) + " records");
        EXPECT_TRUE(fifoGone());
        if (saving) {
            const std::vector<Bytes> saved = records(readFile<Bytes>(savedPath));
            EXPECT_EQ(saved.size(), sent);
            EXPECT_EQ(saved.back(), kWatchdog);
        }
    }
}

// A write with an impossible length field, and a record whose header does not parse, between good
// records: each is reported on its line, and every good record after it is decoded and saved.
TEST_F(Recorder, DamagedInputIsReportedAndSkipped) {
    const std::string saved = m_dir + "/saved.xob", printed = m_dir + "/printed";
    const int out = open(printed.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    start({"--decode", "--no-header", "--output", saved}, out);
    close(out);
    for (const Bytes& write : {kPrepare, Bytes{0xFF, 0xFF, 0}, kMedia, Bytes{6, 0, 0, 0, 7, 0, 0, 0}, kWatchdog,
                               kPrepare}) {
        ASSERT_TRUE(send(write));
    }
    // Live: the records behind the damage are not held back until more bytes come. Each line
    // starts with its offset; a damage line names where the next well-formed record starts.
    const std::string expected[] = {"\n       0  ", "Nav_SWDL_Prepare", "\n      14  ", "offset 17", "\n      17  ",
                                    "HDU_Media", "\n      34  ", "offset 42", "\n      42  ", "WatchDogHDU",
                                    "\n      58  ", "Nav_SWDL_Prepare"};
    EXPECT_TRUE(eventually([&] {
        const std::string text = "\n" + readFile(printed);
        std::size_t at = 0;
        for (const std::string& part : expected) at = at == std::string::npos ? at : text.find(part, at);
        return at != std::string::npos && std::count(text.begin(), text.end(), '\n') == 7;
    })) << readFile(printed);
    expectEnd(stop(), 0, "4 records, 61 bytes, 2 damaged, 11 bytes skipped");
    EXPECT_EQ(readFile<Bytes>(saved), kPrepare + kMedia + kWatchdog + kPrepare);
}

// Records of every size, into files of 64 KiB: no record is split, a file is closed only when the next record would not
// fit, and nothing is lost. In a ring of three the newest three files are the ones kept.
TEST_F(Recorder, RotationKeepsRecordsWholeInARingOfFiles) {
    constexpr std::size_t kSize = 64 * 1024;
    Bytes stream = initFilesRecord(0x418) + Bytes{6, 0, 0, 0, 13, 0, 0, 0};
    for (std::uint32_t n = 1; n <= 2044; ++n) stream = std::move(stream) + logEntry(0x703, n, Bytes(n, 0xA5));
    const std::vector<Bytes> sent = records(stream);
    const auto record = [&](const std::string& saved, const std::string& rotate) {
        start({"--quiet", "--output", saved, "--rotate", rotate});
        for (const Bytes& one : sent) ASSERT_TRUE(send(one));
        EXPECT_EQ(stop().status, 0);
    };
    const auto name = [](const std::string& base, std::size_t i) { return i ? base + "." + std::to_string(i) : base; };
    const std::string all = m_dir + "/all.xob", ring = m_dir + "/ring.xob";
    record(all, "64k,100");
    std::vector<Bytes> files;
    for (std::string path = all; access(path.c_str(), F_OK) == 0; path = name(all, files.size())) {
        files.push_back(readFile<Bytes>(path));
    }
    ASSERT_GT(files.size(), 3u);
    Bytes joined;
    for (std::size_t i = 0, recordsBefore = 0; i < files.size(); ++i) {
        SCOPED_TRACE("file " + std::to_string(i));
        recordsBefore += records(files[i]).size();
        EXPECT_LE(files[i].size(), kSize);
        EXPECT_TRUE(i + 1 == files.size() || files[i].size() + sent[recordsBefore].size() > kSize) << "closed early";
        joined = std::move(joined) + files[i];
    }
    EXPECT_EQ(joined, stream);
    record(ring, "64k,3");
    EXPECT_NE(access(name(ring, 3).c_str(), F_OK), 0);
    const std::size_t newest = (files.size() - 1) % 3;
    for (std::size_t age = 0; age < 3; ++age) {
        EXPECT_EQ(readFile<Bytes>(name(ring, (newest + 3 - age) % 3)), files[files.size() - 1 - age]) << "age " << age;
    }
}

// The FIFO's mode is the one asked for (0622 by default: anyone writes, only the recorder's user
// reads), whatever the umask; a process of another user writes through it and cannot read.
TEST_F(Recorder, FifoModeIsTheOneAskedForWhateverTheUmask) {
    const std::pair<mode_t, std::vector<std::string>> cases[] = {
        {0022, {"--mode", "0600"}}, {0077, {}}, {0000, {}}, {0022, {"--quiet", "--output", m_dir + "/saved.xob"}}};
    for (const auto& c : cases) {
        const mode_t umaskBefore = umask(c.first);
        start(c.second);
        umask(umaskBefore);
        struct stat status {};
        EXPECT_EQ(stat(m_fifo.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, c.second.size() == 2 ? 0600u : 0622u) << "umask " << c.first;
        if (c.second.size() == 3) break;  // the last recorder gets a write from another user
        EXPECT_EQ(stop().status, 0);
    }
    const passwd* other = getpwnam("nobody");
    int status = -1;
    if (getuid() == 0 && other != nullptr && chmod(m_dir.c_str(), 0711) == 0) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (setgroups(0, nullptr) != 0 || setgid(other->pw_gid) != 0 || setuid(other->pw_uid) != 0) _exit(3);
            if (open(m_fifo.c_str(), O_RDONLY | O_NONBLOCK) >= 0) _exit(2);  // it could steal records
            const int fd = open(m_fifo.c_str(), O_WRONLY | O_NONBLOCK);
            _exit(fd >= 0 && write(fd, kMedia.data(), kMedia.size()) == static_cast<ssize_t>(kMedia.size()) ? 0 : 1);
        }
        waitpid(pid, &status, 0);
    }
    EXPECT_EQ(stop().status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) == 3) {
        GTEST_SKIP() << "a write by another user needs root and a user 'nobody' it can become";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: could not write, 2: could read";
    EXPECT_EQ(readFile<Bytes>(m_dir + "/saved.xob"), kMedia);
}
