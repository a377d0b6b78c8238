// The window program on a real X server with a window manager (Xvfb and openbox): where it
// opens, where it comes back after close-and-start, at scale 1 and 2, and that a second
// start on the same data file brings the first window forward instead of opening another.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>
#include <thread>

#include "ChildProcess.h"
#include "TempFolder.h"

namespace {

namespace fs = std::filesystem;
using quorv::systest::Child;

using quorv::systest::RunOptions;
using quorv::systest::WaitFor;
using quorv::testing::TempFolder;

const char* const kTitle = "Quorv IP Changer";
constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 1024;

std::string Which(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string rest = path ? path : "/usr/bin:/bin";
    for (size_t start = 0; start <= rest.size();) {
        const size_t end = rest.find(':', start);
        const std::string dir = rest.substr(start, end == std::string::npos ? end : end - start);
        const std::string candidate = dir + "/" + name;
        if (!dir.empty() && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return {};
}

// Where a window is, in the server's pixels: its client area and the frame around it.
struct Placement {
    int x = 0, y = 0, width = 0, height = 0;
    int left = 0, right = 0, top = 0, bottom = 0;  // frame extents
};

class DesktopPlacementTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* tool : {"Xvfb", "openbox", "wmctrl", "xwininfo", "xprop"}) {
            if (Which(tool).empty()) {
                GTEST_SKIP() << tool << " is not installed (scripts/setup-deps installs it)";
            }
        }
        // Xvfb takes a free display itself, safely against tests that start at the same
        // time, and names it on its standard output (the log).
        const std::string log = tmp_ / "xvfb.log";
        xvfb_ = std::make_unique<Child>(
            std::vector<std::string>{
                Which("Xvfb"), "-displayfd", "1", "-screen", "0",
                std::to_string(kScreenWidth) + "x" + std::to_string(kScreenHeight) + "x24",
                "-nolisten", "tcp"},
            log);
        ASSERT_TRUE(WaitFor(
            [&] {
                std::smatch m;
                const std::string text = quorv::systest::ReadFile(log);
                const std::regex number(R"((^|\n)(\d+)\n)");
                if (std::regex_search(text, m, number)) {
                    display_ = ":" + m[2].str();
                }
                return !display_.empty() && fs::exists("/tmp/.X11-unix/X" + display_.substr(1));
            },
            20000))
            << "Xvfb did not start";
        openbox_ = std::make_unique<Child>(
            std::vector<std::string>{Which("openbox"), "--sm-disable"}, tmp_ / "openbox.log",
            std::vector<std::string>{"DISPLAY=" + display_});
        ASSERT_TRUE(WaitFor(
            [&] {
                return X({"wmctrl", "-m"}).status == 0;
            },
            30000))
            << "openbox did not start";

        // The program in a folder of its own, so its data file is made there.
        fs::create_directories(tmp_ / "program");
        fs::copy_file(QUORV_BIN_DIR "/QuorvIPChanger", tmp_ / "program/QuorvIPChanger");
        fs::create_directory_symlink(QUORV_BIN_DIR "/Language", tmp_ / "program/Language");
        fs::create_directories(tmp_ / "run");
        ::chmod((tmp_ / "run").c_str(), 0700);
    }

    void TearDown() override {
        program_.reset();
        openbox_.reset();
        xvfb_.reset();
    }

    quorv::systest::Result X(std::vector<std::string> argv) {
        argv[0] = Which(argv[0]);
        RunOptions options;
        options.timeoutMs = 10000;
        options.extraEnv = {"DISPLAY=" + display_};
        return quorv::systest::Run(argv, options);
    }

    void StartProgram(const std::string& scale = "1") {
        program_ =
            std::make_unique<Child>(std::vector<std::string>{tmp_ / "program/QuorvIPChanger"},
                                    tmp_ / "program.log", Env(scale));
    }
    std::vector<std::string> Env(const std::string& scale) {
        return {"DISPLAY=" + display_,
                "QT_QPA_PLATFORM=xcb",
                "QT_SCALE_FACTOR=" + scale,
                "XDG_CONFIG_HOME=" + (tmp_ / "config"),
                "XDG_RUNTIME_DIR=" + (tmp_ / "run"),
                "LC_ALL=C.UTF-8"};
    }

    std::optional<Placement> Find() {
        const auto info = X({"xwininfo", "-name", kTitle});
        const auto extents = X({"xprop", "-name", kTitle, "_NET_FRAME_EXTENTS"});
        std::smatch m;
        Placement p;
        auto number = [&](const std::string& label, int& value) {
            const std::regex pattern(label + R"(:\s+(-?\d+))");
            if (!std::regex_search(info.out, m, pattern)) {
                return false;
            }
            value = std::stoi(m[1]);
            return true;
        };
        if (info.status != 0 || !number("Absolute upper-left X", p.x) ||
            !number("Absolute upper-left Y", p.y) || !number("Width", p.width) ||
            !number("Height", p.height)) {
            return std::nullopt;
        }
        const std::regex frame(R"(= (\d+), (\d+), (\d+), (\d+))");
        if (std::regex_search(extents.out, m, frame)) {
            p.left = std::stoi(m[1]);
            p.right = std::stoi(m[2]);
            p.top = std::stoi(m[3]);
            p.bottom = std::stoi(m[4]);
        }
        return p;
    }

    // The window once it has settled: shown, framed, past its start-up work.
    Placement Settled() {
        std::optional<Placement> last;
        int same = 0;
        WaitFor(
            [&] {
                const std::optional<Placement> now = Find();
                same = now && last && now->x == last->x && now->y == last->y &&
                               now->width == last->width && now->top == last->top
                           ? same + 1
                           : 0;
                last = now;
                return same >= 6;
            },
            30000, 250);
        EXPECT_TRUE(last.has_value()) << "the window did not show";
        return last.value_or(Placement{});
    }

    void Close() {
        X({"wmctrl", "-c", kTitle});
        EXPECT_TRUE(WaitFor([&] { return !program_->Running(); }, 20000))
            << "the window did not close";
        program_.reset();
    }

    void Shot(const std::string& name) {
        const char* dir = std::getenv("QUORV_SCREENSHOT_DIR");
        if (dir == nullptr) {
            return;
        }
        RunOptions options;
        options.extraEnv = {"DISPLAY=" + display_, "QT_QPA_PLATFORM=xcb"};
        quorv::systest::Run(
            {QUORV_BIN_DIR "/../tests/screen_shot", std::string(dir) + "/" + name + ".png"},
            options);
    }

    static void ExpectOnScreen(const Placement& p, const std::string& what) {
        EXPECT_GE(p.x - p.left, 0) << what;
        EXPECT_GE(p.y - p.top, 0) << what;
        EXPECT_LE(p.x + p.width + p.right, kScreenWidth) << what;
        EXPECT_LE(p.y + p.height + p.bottom, kScreenHeight) << what;
    }

    TempFolder tmp_;
    std::string display_;
    std::unique_ptr<Child> xvfb_;
    std::unique_ptr<Child> openbox_;
    std::unique_ptr<Child> program_;
};

TEST_F(DesktopPlacementTest, CloseAndStartKeepsTheWindowWhereItWas) {
    StartProgram();
    ExpectOnScreen(Settled(), "first start");
    // Where a user put it: in the open, then with its title bar at the top of the screen
    // (openbox places the client area, below a title bar of 20 pixels).
    for (const auto& [place, cycles] : {std::pair{"0,100,80,-1,-1", 5}, {"0,300,20,-1,-1", 2}}) {
        X({"wmctrl", "-r", kTitle, "-e", place});
        const Placement moved = Settled();
        Shot("desktop-scale1");
        Close();
        for (int cycle = 1; cycle <= cycles; ++cycle) {
            StartProgram();
            const Placement again = Settled();
            EXPECT_NEAR(again.x, moved.x, 2) << place << " cycle " << cycle;
            EXPECT_NEAR(again.y, moved.y, 2) << place << " cycle " << cycle;
            EXPECT_EQ(again.width, moved.width) << place << " cycle " << cycle;
            EXPECT_EQ(again.height, moved.height) << place << " cycle " << cycle;
            if (cycle < cycles) {
                Close();
            }
        }
    }
    Close();
}

TEST_F(DesktopPlacementTest, AtScaleTwoTheWindowFitsTheScreen) {
    StartProgram("2");
    const Placement first = Settled();
    ExpectOnScreen(first, "first start at scale 2");
    Shot("desktop-scale2-first");
    Close();
    // A place stored at scale 1 near the bottom right, then a start at scale 2.
    StartProgram("1");
    Settled();
    X({"wmctrl", "-r", kTitle, "-e", "0,520,560,-1,-1"});
    Settled();
    Close();
    StartProgram("2");
    const Placement restored = Settled();
    ExpectOnScreen(restored, "scale-1 place restored at scale 2");
    Shot("desktop-scale2-restored");
    Close();
    StartProgram("1.5");
    ExpectOnScreen(Settled(), "scale-1 place restored at scale 1.5");
    Close();
}

TEST_F(DesktopPlacementTest, ASecondStartBringsTheFirstWindowForward) {
    StartProgram();
    Settled();
    RunOptions options;
    options.timeoutMs = 15000;
    options.extraEnv = Env("1");
    const auto second = quorv::systest::Run({tmp_ / "program/QuorvIPChanger"}, options);
    EXPECT_EQ(second.status, 0) << second.err;
    const auto list = X({"wmctrl", "-l"});
    size_t windows = 0;
    for (size_t at = list.out.find(kTitle); at != std::string::npos;
         at = list.out.find(kTitle, at + 1)) {
        ++windows;
    }
    EXPECT_EQ(windows, 1u) << list.out;
    EXPECT_TRUE(program_->Running());
    Close();
}

}  // namespace
