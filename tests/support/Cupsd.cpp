#include "Cupsd.h"

#include <dirent.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

namespace quorv::systest {
namespace {

namespace fs = std::filesystem;
constexpr const char* kPrefix = "/tmp/quorvt-cups-";

}  // namespace

PrivateCupsd::PrivateCupsd() {
    RemoveLeftovers();
    std::string pattern = kPrefix + std::to_string(getpid()) + "-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        throw std::runtime_error("cannot make the cupsd folder");
    }
    dir_ = pattern;
    chmod(dir_.c_str(), 0755);  // the scheduler's helpers run as lp
    socket_ = dir_ + "/cups.sock";
    for (const char* sub : {"state", "cache", "spool", "tmp", "log", "client", "other"}) {
        fs::create_directories(dir_ + "/" + sub);
    }
    WriteFile(dir_ + "/cupsd.conf",
              "Listen " + socket_ +
                  "\n"
                  "Browsing No\n"
                  "WebInterface No\n"
                  "LogLevel warn\n"
                  "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                  "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n");
    WriteFile(dir_ + "/cups-files.conf",
              "ServerRoot " + dir_ + "\nStateDir " + dir_ + "/state\nCacheDir " + dir_ +
                  "/cache\nRequestRoot " + dir_ + "/spool\nTempDir " + dir_ + "/tmp\nAccessLog " +
                  dir_ + "/log/access_log\nErrorLog " + dir_ + "/log/error_log\nPageLog " + dir_ +
                  "/log/page_log\nFileDevice Yes\n");
    child_ = std::make_unique<Child>(
        std::vector<std::string>{"/usr/sbin/cupsd", "-f", "-c", dir_ + "/cupsd.conf", "-s",
                                 dir_ + "/cups-files.conf"},
        dir_ + "/log/cupsd.out");
    // lpstat -r exits 0 either way; only its text tells.
    bool ready = WaitFor(
        [&] {
            return Tool("/usr/bin/lpstat", {"-r"}).out.find("scheduler is running") !=
                   std::string::npos;
        },
        10000, 50);
    if (!ready) {
        throw std::runtime_error("cupsd did not start: " + ReadFile(dir_ + "/log/error_log") +
                                 ReadFile(dir_ + "/log/cupsd.out"));
    }
}

PrivateCupsd::~PrivateCupsd() {
    child_.reset();
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
}

std::vector<std::string> PrivateCupsd::ClientEnv() const {
    return {"CUPS_SERVER=" + socket_, "CUPS_SERVERROOT=" + dir_ + "/client",
            "HOME=" + dir_ + "/client"};
}

void PrivateCupsd::UseInThisProcess() const {
    setenv("CUPS_SERVER", socket_.c_str(), 1);
    setenv("CUPS_SERVERROOT", (dir_ + "/client").c_str(), 1);
    setenv("HOME", (dir_ + "/client").c_str(), 1);
}

Result PrivateCupsd::Tool(const std::string& program, const std::vector<std::string>& args,
                          const std::string& home) const {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    RunOptions options;
    options.timeoutMs = 20000;
    options.extraEnv = {"CUPS_SERVER=" + socket_, "CUPS_SERVERROOT=" + dir_ + "/" + home,
                        "HOME=" + dir_ + "/" + home};
    return Run(argv, options);
}

void PrivateCupsd::AddPrinter(const std::string& name, const std::string& description) {
    Result r =
        Tool("/usr/sbin/lpadmin", {"-p", name, "-E", "-v", "file:///dev/null", "-D", description});
    if (r.status != 0) {
        throw std::runtime_error("lpadmin -p " + name + " failed: " + r.err);
    }
}

void PrivateCupsd::SetServerDefault(const std::string& name) {
    Result r = Tool("/usr/sbin/lpadmin", {"-d", name});
    if (r.status != 0) {
        throw std::runtime_error("lpadmin -d " + name + " failed: " + r.err);
    }
}

std::string PrivateCupsd::UserDefault() const {
    return DefaultFor("client");
}

std::string PrivateCupsd::ServerDefault() const {
    return DefaultFor("other");
}

std::string PrivateCupsd::DefaultFor(const std::string& home) const {
    std::string out = Tool("/usr/bin/lpstat", {"-d"}, home).out;
    auto colon = out.find(": ");
    if (colon == std::string::npos) {
        return "";
    }
    std::string name = out.substr(colon + 2);
    while (!name.empty() && (name.back() == '\n' || name.back() == ' ')) {
        name.pop_back();
    }
    return name;
}

void PrivateCupsd::RemoveLeftovers() {
    DIR* proc = opendir("/proc");
    if (!proc) {
        return;
    }
    // A scheduler whose configuration lives in the folder of a dead test run is that run's.
    while (dirent* entry = readdir(proc)) {
        pid_t pid = std::atoi(entry->d_name);
        if (pid <= 0) {
            continue;
        }
        std::string cmd = ReadFile("/proc/" + std::to_string(pid) + "/cmdline");
        auto at = cmd.find(kPrefix);
        if (cmd.rfind("/usr/sbin/cupsd", 0) != 0 || at == std::string::npos) {
            continue;
        }
        pid_t owner = std::atoi(cmd.c_str() + at + std::string(kPrefix).size());
        if (owner > 0 && owner != getpid() && !IsLive(owner)) {
            kill(pid, SIGKILL);
        }
    }
    closedir(proc);
    for (const auto& entry : fs::directory_iterator("/tmp")) {
        std::string path = entry.path().string();
        if (path.rfind(kPrefix, 0) == 0) {
            pid_t owner = std::atoi(path.c_str() + std::string(kPrefix).size());
            if (owner > 0 && owner != getpid() && !IsLive(owner)) {
                std::error_code ignored;
                fs::remove_all(path, ignored);
            }
        }
    }
}

}  // namespace quorv::systest
