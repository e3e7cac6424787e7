#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>

#include "app/cli/BatchInputs.h"
#include "app/cli/BatchRun.h"
#include "app/cli/CliHost.h"
#include "app/cli/CliOptions.h"
#include "app/cli/JobRunner.h"
#include "app/cli/MemoryShare.h"
#include "app/cli/OutputClaims.h"
#include "app/cli/OutputNames.h"
#include "io/Files.h"
#include "io/ImageIO.h"
#include "support/CliRun.h"

namespace morv {
namespace {

using namespace cli;

TEST(JobRunner, DeliversInInputOrderWhateverOrderTheWorkEnds) {
    // Each item of a group of `jobs` waits for the next one to end, so the work ends
    // backwards within each group: 2 1 0 5 4 3 with three jobs. No clock decides it.
    struct Case {
        unsigned jobs;
        std::vector<std::size_t> endOrder;
    };
    const Case cases[] = {{1, {0, 1, 2, 3, 4, 5}}, {3, {2, 1, 0, 5, 4, 3}}, {8, {5, 4, 3, 2, 1, 0}}};
    for (const Case& c : cases) {
        const std::size_t group = std::min<std::size_t>(c.jobs, 6);
        std::vector<std::size_t> delivered, finished;
        std::vector<char> done(6, 0);
        std::mutex m;
        std::condition_variable ended;
        runInOrder(
            6, c.jobs,
            [&](std::size_t i) {
                std::unique_lock lock(m);
                if ((i + 1) % group != 0 && i + 1 < 6) ended.wait(lock, [&] { return done[i + 1] != 0; });
                done[i] = 1;
                finished.push_back(i);
                ended.notify_all();
            },
            [&](std::size_t i) {
                const std::lock_guard lock(m);
                EXPECT_TRUE(done[i]) << "delivered before done";
                delivered.push_back(i);
            });
        EXPECT_EQ(delivered, (std::vector<std::size_t>{0, 1, 2, 3, 4, 5})) << c.jobs << " jobs";
        EXPECT_EQ(finished, c.endOrder) << c.jobs << " jobs";
    }
}

TEST(JobRunner, AFailingItemIsThrownInItsTurnAndStopsTheRest) {
    for (unsigned jobs : {1u, 2u}) {
        std::vector<std::size_t> delivered;
        std::atomic<int> started{0};
        EXPECT_THROW(runInOrder(
                         50, jobs,
                         [&](std::size_t i) {
                             ++started;
                             if (i == 2) throw std::runtime_error("broken");
                         },
                         [&](std::size_t i) { delivered.push_back(i); }),
                     std::runtime_error);
        EXPECT_EQ(delivered, (std::vector<std::size_t>{0, 1}));
        // One job starts nothing past the failure; with more, how many others
        // started meanwhile is up to the scheduler.
        if (jobs == 1) {
            EXPECT_EQ(started.load(), 3);
        }
    }
}

TEST(OutputNames, TheFormatFollowsTheExtension) {
    test::TempDir dir;
    struct Case {
        std::string given, path, errorStart;
    };
    const Case cases[] = {
        {"out.bmp", "out.bmp", ""}, {"OUT.BMP", "OUT.BMP", ""}, {"noext", "noext.bmp", ""}, {"out.png", "out.png", ""},
        {"done/Ridge", "done/Ridge.bmp", ""}, {"-", "", "cannot write a result to standard output"},
        {"out.tiff", "", "cannot write 'out.tiff': morv-cli writes .bmp, .png files"},
        {"done/", "", "-o needs a file name"}, {dir.path().string(), "", "-o needs a file name"},
    };
    for (const Case& c : cases) {
        const OutputChoice o = chooseOutput(c.given);
        EXPECT_EQ(o.error.substr(0, c.errorStart.size()), c.errorStart) << c.given;
        EXPECT_EQ(o.error.empty(), c.errorStart.empty()) << c.given << ": " << o.error;
        if (o.error.empty()) {
            EXPECT_EQ(o.path, c.path);
            ASSERT_NE(o.format, nullptr);
            EXPECT_STREQ(o.format->extension, c.path.substr(c.path.size() - 3) == "png" ? "png" : "bmp");
        }
    }
    EXPECT_EQ(inFolder("done/", "maps/Hills_4x3_B-0.bmp"), "done/Hills_4x3_B-0.bmp");
    EXPECT_EQ(inFolder("done", "Hills.bmp"), "done/Hills.bmp");
}

TEST(BatchInputs, ResultNamesAreRecognisedWithTheirSource) {
    const std::pair<std::string, std::string> cases[] = {
        {"maps/Hills_576x576_ML-20_B-0.bmp", "maps/Hills"},
        {"Hills_576x576_MSU-30_VI-100_B-4.bmp", "Hills"}, {"Hills_1x2_VF-5_B-48.bmp", "Hills"},
        {"Hills_576x576_ML-20_B-0_576x576_ML-20_B-0.bmp", "Hills_576x576_ML-20_B-0"},
        {"maps/Hills_576x432_MF-40_B-0_FB-4x3.bmp", "maps/Hills"}, {"Hills_649x505_MF-60_B-0_FB10-9x7.png", "Hills"},
        {"Hills_576x432_MF-40_B-0_FB-4x3_576x432_MF-30_B-0.bmp", "Hills_576x432_MF-40_B-0_FB-4x3"},
        {"Hills_576x432_FB-4x3_B-0.bmp", ""},      // the fit before the blur
        {"Hills_576x576_ML-20.bmp", ""},          // no blur code: not a result
        {"Hills_576x576_B-0", ""},                // no extension: not a result
        {"Hills_576_B-0.bmp", ""}, {"a_1x1_B-0/Ridge.bmp", ""},
        {"Hills_576x576_VF-5_ML-20_B-0.bmp", ""},  // codes out of order
    };
    for (const auto& [path, source] : cases) EXPECT_EQ(resultSourceStem(path), source) << path;
}

struct SortInputs : ::testing::Test {
    App app;
    std::set<std::string> files;  // the files "beside" the inputs
    NameRules rules{[](const std::string& p) { return contourPathFor(p); },
                    [this](const std::string& p) { return files.count(p) > 0; }};

    std::vector<std::string> sorted(const std::vector<std::string>& inputs) {
        std::vector<std::string> out;
        for (const BatchInput& in : sortInputs(inputs, rules))
            out.push_back(in.skip == Skip::None ? in.path : skipNote(in));
        return out;
    }
};

TEST_F(SortInputs, CompanionsAndEarlierResultsAreSkippedWithANote) {
    files = {"m/B.bmp", "m/BCL.bmp"};
    EXPECT_EQ(sorted({"m/ACL.bmp", "m/A.bmp", "m/Hills.bmp", "m/HillsCL.bmp", "m/A.bmp"}),
              (std::vector<std::string>{"skipped m/ACL.bmp: the contour image of m/A.bmp", "m/A.bmp", "m/Hills.bmp",
                                        "skipped m/HillsCL.bmp: the contour image of m/Hills.bmp"}));
    // Alone in the call, a contour image is still known by the map beside it.
    EXPECT_EQ(sorted({"m/BCL.bmp", "m/CCL.bmp", "CL.bmp", "m/CL.bmp"}),
              (std::vector<std::string>{"skipped m/BCL.bmp: the contour image of m/B.bmp", "m/CCL.bmp", "CL.bmp",
                                        "m/CL.bmp"}));
    // A second run over a folder holding the first run's results.
    EXPECT_EQ(sorted({"m/Hills.bmp", "m/HillsCL.bmp", "m/Hills_576x576_ML-20_B-0.bmp",
                      "m/Hills_576x576_ML-20_B-0CL.bmp", "n/Ridge_8x8_MF-1_B-0.bmp"}),
              (std::vector<std::string>{
                  "m/Hills.bmp", "skipped m/HillsCL.bmp: the contour image of m/Hills.bmp",
                  "skipped m/Hills_576x576_ML-20_B-0.bmp: a result made from m/Hills.bmp",
                  "skipped m/Hills_576x576_ML-20_B-0CL.bmp: the contour image of m/Hills_576x576_ML-20_B-0.bmp",
                  "n/Ridge_8x8_MF-1_B-0.bmp"}));
}

TEST(OutputClaims, EarlierInputKeepsASharedName) {
    OutputClaims claims({"done/A", "done/B", "done/A", "done/A"});
    std::optional<std::size_t> third;
    // Whenever it runs, the third must see the first's claim: it waits for it.
    std::thread later([&] { third = claims.claim(2, {"done/A_4x3_B-0.bmp"}); });
    EXPECT_EQ(claims.claim(1, {"done/A_4x3_B-0.bmp"}), std::nullopt) << "another key is not compared";
    EXPECT_EQ(claims.claim(0, {"done/A_4x3_B-0.bmp", "done/A_4x3_B-0CL.bmp"}), std::nullopt);
    later.join();
    EXPECT_EQ(third, std::optional<std::size_t>(0));
    EXPECT_EQ(claims.claim(3, {"done/A_5x5_B-0.bmp"}), std::nullopt) << "another size, another name";
}

TEST(OutputClaims, AMapThatFailedHoldsNoName) {
    OutputClaims claims({"k", "k"});
    claims.settle(0);
    EXPECT_EQ(claims.claim(1, {"k_1x1_B-0.bmp"}), std::nullopt);
}


/// A batch run with its two streams caught.
test::CliResult batch(BatchReport report, const std::vector<BatchInput>& inputs, unsigned jobs = 2) {
    report.out = std::tmpfile();
    report.err = std::tmpfile();
    // With several jobs the first map ends last: it waits until every other map is done.
    std::size_t maps = 0;
    for (const BatchInput& in : inputs) maps += in.skip == Skip::None;
    std::mutex m;
    std::condition_variable cv;
    std::size_t done = 0;
    const int status = runBatch(inputs, jobs, report, 2, [&](std::size_t i, const std::string& path, MapProgress& p) {
        p.pass(50);
        p.pass(100);
        p.startPass();
        p.pass(100);
        // Done however the map ends, a throw included.
        const auto markDone = [&](std::mutex* held) {
            const std::lock_guard lock(*held);
            ++done;
            cv.notify_all();
        };
        const std::unique_ptr<std::mutex, decltype(markDone)> mark(&m, markDone);
        if (i == 0 && jobs > 1) {
            std::unique_lock lock(m);
            cv.wait(lock, [&] { return done == maps - 1; });
        }
        if (path == "B.bmp") throw std::runtime_error("Invalid picture: B.bmp (truncated)");
        if (path == "D.bmp") return MapOutcome{"", "D.bmp exists (use --force to replace it)", ""};
        return MapOutcome{path + " done\n", "", ""};
    });
    return {status, test::contentOf(report.out), test::contentOf(report.err)};
}

const std::vector<BatchInput> kInputs = {
    {"A.bmp", Skip::None, ""}, {"ACL.bmp", Skip::Companion, "A.bmp"}, {"B.bmp", Skip::None, ""},
    {"A_4x3_B-0.bmp", Skip::EarlierResult, "A.bmp"}, {"C.bmp", Skip::None, ""}, {"D.bmp", Skip::None, ""}};

TEST(BatchRun, FailuresAreLinesTheOthersGoOnInInputOrder) {
    const test::CliResult c = batch({}, kInputs);
    EXPECT_EQ(c.status, 1);
    EXPECT_EQ(c.out, "A.bmp done\nC.bmp done\n");
    EXPECT_EQ(c.err,
              "morv-cli: skipped ACL.bmp: the contour image of A.bmp\n"
              "morv-cli: skipped A_4x3_B-0.bmp: a result made from A.bmp\n"
              "morv-cli: Invalid picture: B.bmp (truncated)\n"
              "morv-cli: D.bmp exists (use --force to replace it)\n"
              "2 written, 2 failed, 1 companions skipped, 1 earlier results skipped\n");
}

TEST(BatchRun, AFailureNamesItsMapOnce) {
    BatchReport report;
    report.quiet = true;
    report.out = std::tmpfile();
    report.err = std::tmpfile();
    const std::vector<BatchInput> inputs = {
        {"in/a.bmp", Skip::None, ""}, {"in/b.bmp", Skip::None, ""}, {"c.bmp", Skip::None, ""}, {"d.bmp", Skip::None, ""},
        {"in/aCL.bmp", Skip::Companion, "in/a.bmp"}};  // quiet: no note for it, and no summary
    runBatch(inputs, 1, report, 1, [](std::size_t i, const std::string&, MapProgress&) -> MapOutcome {
        switch (i) {
        case 0: throw std::runtime_error("Invalid picture: in/a.bmp: damaged PNG data");
        case 1: return {"", "in/b.bmp exists", ""};
        case 2: return {"", "Invalid picture: out/c.bmp: cut short", ""};  // another file ending alike
        default: return {"", "Invalid picture: d.bmpx: cut short", ""};
        }
    });
    EXPECT_EQ(test::contentOf(report.err),
              "morv-cli: Invalid picture: in/a.bmp: damaged PNG data\n"
              "morv-cli: in/b.bmp exists\n"
              "morv-cli: c.bmp: Invalid picture: out/c.bmp: cut short\n"
              "morv-cli: d.bmp: Invalid picture: d.bmpx: cut short\n");
    std::fclose(report.out);
}

TEST(BatchRun, OnATerminalOneBarAMapNamesItsPlace) {
    BatchReport report;
    report.terminal = true;
    const test::CliResult c = batch(report, {kInputs[0], kInputs[4]}, 1);
    EXPECT_NE(c.err.find("\r\033[K[" + std::string(6, '#') + std::string(18, '.') + "] map 1 of 2: A.bmp"),
              std::string::npos)
        << "half the first of two passes is a quarter of the map";
    EXPECT_NE(c.err.find("[" + std::string(24, '#') + "] map 2 of 2: C.bmp"), std::string::npos);
    EXPECT_TRUE(c.err.ends_with("\r\033[K2 written, 0 failed, 0 companions skipped\n"))
        << "the line is cleared before the summary";
    EXPECT_EQ(c.out, "A.bmp done\nC.bmp done\n");
}

TEST(BatchRun, JsonStringsEscapeAndStayUtf8) {
    const std::pair<std::string, QString> cases[] = {
        {"a\"b\\c", "a\"b\\c"},
        {"new\nline\t", "new\nline\t"},
        {"Vallée.bmp", "Vallée.bmp"},
        {"bad\xff.bmp", "bad\uFFFD.bmp"},
        {"\xed\xa0\x80", "\uFFFD\uFFFD\uFFFD"},  // a surrogate is not UTF-8
    };
    for (const auto& [text, read] : cases) {
        const std::string json = "[" + jsonString(text) + "]";
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
        ASSERT_EQ(error.error, QJsonParseError::NoError) << json;
        EXPECT_EQ(doc.array().at(0).toString(), read) << json;
        EXPECT_EQ(json.find('\n'), std::string::npos) << "one map a line: " << json;
    }
}

using cli::MemoryShare;

constexpr std::uint64_t MB = std::uint64_t(1) << 20;

/// A map taking its share on a thread of its own; done once take() returned.
struct Taker {
    std::atomic<bool> done{false};
    std::uint64_t heldWhenTaken = 0;
    std::jthread thread;
    Taker(MemoryShare& share, std::size_t index, std::uint64_t need)
        : thread([this, &share, index, need] {
              const MemoryShare::Lease lease = share.take(index, need);
              heldWhenTaken = share.held();
              done = true;
          }) {}
};

TEST(MemoryShare, MapsWaitForRoomAndTakeTurnsInInputOrder) {
    MemoryShare share(100 * MB, 3);
    std::optional<MemoryShare::Lease> first = share.take(0, 95 * MB);
    Taker second(share, 1, 10 * MB);  // no room beside the first
    Taker third(share, 2, 1 * MB);    // room, but not its turn
    while (share.waiting() < 2 && !second.done && !third.done) std::this_thread::yield();
    EXPECT_FALSE(second.done) << "took more than the whole";
    EXPECT_FALSE(third.done) << "overtook an earlier map";
    first.reset();
    second.thread.join();
    third.thread.join();
    // The third may take its turn before the second reads what is held.
    EXPECT_GE(second.heldWhenTaken, 10 * MB);
    EXPECT_LE(second.heldWhenTaken, 11 * MB);
    EXPECT_LE(third.heldWhenTaken, 11 * MB);
    EXPECT_EQ(share.held(), 0u);
}

TEST(MemoryShare, AMapNeedingMoreThanTheWholeRunsAlone) {
    MemoryShare share(100 * MB, 4);
    std::optional<MemoryShare::Lease> first = share.take(0, 30 * MB);
    share.pass(1);  // failed before taking
    Taker big(share, 2, 300 * MB);
    Taker small(share, 3, 1 * MB);
    while (share.waiting() < 2 && !big.done && !small.done) std::this_thread::yield();
    EXPECT_FALSE(big.done) << "ran beside another map";
    EXPECT_FALSE(small.done) << "overtook an earlier map";
    first.reset();
    big.thread.join();
    small.thread.join();
    EXPECT_EQ(big.heldWhenTaken, 100 * MB) << "holds the whole while it runs";
    EXPECT_EQ(small.heldWhenTaken, 1 * MB) << "ran beside the big map";
}


/// Runs morv-cli with args in dir, in a child whose address space is capped at cap
/// bytes, as `ulimit -v` does.
test::CliResult morvCliCapped(const test::TempDir& dir, std::uint64_t cap, std::vector<std::string> args) {
    args.insert(args.begin(), MORV_CLI_PATH);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string folder = dir.path().string(), out = dir.file("stdout.txt"), err = dir.file("stderr.txt");
    const pid_t child = ::fork();
    if (child == 0) {
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const rlimit limit{cap, cap};
        if (o < 0 || e < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0 || ::chdir(folder.c_str()) != 0 ||
            ::setrlimit(RLIMIT_AS, &limit) != 0)
            ::_exit(126);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, "", test::readFile(err)};
}

constexpr int kSide = 8192;  // 64 MiB a grey picture: far more than the program itself

/// A folder holding a.bmp, a kSide-square map.
struct MemoryCap : ::testing::Test {
    test::TempDir dir;
    void SetUp() override {
#ifdef __SANITIZE_ADDRESS__
        GTEST_SKIP() << "the address sanitizer reserves far more address space than the cap allows";
#endif
        HeightImage map(kSide, kSide, 100);
        for (int y = 1000; y < 2000; ++y)
            for (int x = 1000; x < 2000; ++x) map.setPixel(x, y, fcnGrayColor(200));
        savePictureFile(map, dir.file("a.bmp"), PictureType::Bmp8);
    }
};

TEST_F(MemoryCap, MapsThatFitOneAfterTheOtherBothRunWithTwoJobs) {
    std::filesystem::copy_file(dir.file("a.bmp"), dir.file("b.bmp"));
    const std::vector<std::string> args = {"redraw", "a.bmp", "b.bmp", "--flatten", "50", "--jobs", "2", "--depth", "8"};
    const auto parsed = cli::parseArguments(args);
    ASSERT_TRUE(parsed.options) << parsed.error;
    const std::uint64_t need = cli::mapMemoryNeed(std::int64_t(kSide) * kSide, false, *parsed.options);
    // Half the cap is what the maps may hold together: one map, but not two.
    const std::uint64_t cap = 3 * need;
    ASSERT_LE(need, cap / 2);
    ASSERT_GT(2 * need, cap / 2);
    const test::CliResult run = morvCliCapped(dir, cap, args);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "2 written, 0 failed, 0 companions skipped\n");
    EXPECT_TRUE(std::filesystem::exists(dir.file("a_8192x8192_MF-50_B-0.bmp")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("b_8192x8192_MF-50_B-0.bmp")));
}

TEST_F(MemoryCap, RunningOutNamesTheMapAndItsNeed) {
    // 140 MiB holds the program and the map as loaded and flattened (about 130),
    // not the blur's spare plane besides (about 150).
    const test::CliResult run = morvCliCapped(dir, 140 * MB, {"redraw", "a.bmp", "--flatten", "50", "--blur", "8"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "morv-cli: Out of memory: a.bmp: its run needs about 144 MB, more than this process could get\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("a_8192x8192_MF-50_B-8.bmp")));
}

}  // namespace
}  // namespace morv
