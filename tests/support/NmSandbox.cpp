#include "NmSandbox.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

namespace quorv::systest {
namespace {

namespace fs = std::filesystem;

std::string Link(const std::string& path) {
    std::error_code ec;
    auto target = fs::read_symlink(path, ec);
    return ec ? std::string() : target.string();
}

std::string Tail(const std::string& text, std::size_t bytes = 3000) {
    return text.size() > bytes ? text.substr(text.size() - bytes) : text;
}

}  // namespace

NmSandbox::NmSandbox(const TestNetwork& net, const NmSandboxOptions& options) {
    state_ = net.WorkDir() + "/nm";
    fs::create_directories(state_ + "/etc-nm/system-connections");
    fs::create_directories(state_ + "/etc-nm/conf.d");
    fs::create_directories(state_ + "/var-nm");
    fs::permissions(state_ + "/etc-nm/system-connections", fs::perms::owner_all,
                    fs::perm_options::replace);
    WriteFile(state_ + "/resolv.conf", "nameserver 192.0.2.53\n");
    std::string except;
    for (const auto& name : options.managed) {
        except += ",except:interface-name:" + name;
    }
    WriteFile(state_ + "/etc-nm/NetworkManager.conf",
              "[main]\n"
              "plugins=keyfile\n"
              "rc-manager=unmanaged\n"
              "hostname-mode=none\n"
              "no-auto-default=*\n"
              "[keyfile]\n"
              "unmanaged-devices=*" +
                  except + "\n");
    std::vector<std::string> argv{QUORV_NM_SANDBOX, std::to_string(getpid()),
                                  "/run/netns/" + net.Client(), state_};
    if (!options.polkitRules.empty()) {
        fs::create_directories(state_ + "/polkit-rules");
        WriteFile(state_ + "/polkit-rules/50-quorv-test.rules", options.polkitRules);
        // polkitd reads its rules as its own user.
        fs::permissions(state_, fs::perms::others_read | fs::perms::others_exec,
                        fs::perm_options::add);
        fs::permissions(net.WorkDir(), fs::perms::others_read | fs::perms::others_exec,
                        fs::perm_options::add);
        argv.push_back("polkit");
    }
    child_ = std::make_unique<Child>(argv, state_ + "/sandbox.log");
    bool started = WaitFor(
        [&] {
            std::string pid = ReadFile(state_ + "/init.pid");
            init_ = pid.empty() ? -1 : std::stoi(pid);
            return init_ > 0 || !child_->Running();
        },
        5000);
    if (!started || init_ <= 0) {
        throw std::runtime_error("the sandbox did not start: " + ReadFile(state_ + "/sandbox.log"));
    }
    for (const auto& name : options.managed) {
        if (!WaitForDevice(name, 15000)) {
            throw std::runtime_error("NetworkManager did not take " + name + ": " + Tail(Log()));
        }
    }
}

NmSandbox::~NmSandbox() {
    child_.reset();  // its init's death ends every process in the namespace
}

std::vector<std::string> NmSandbox::Inside(const std::vector<std::string>& argv, int uid) const {
    std::vector<std::string> full{
        "/usr/bin/nsenter", "-t", std::to_string(init_), "-n", "-m", "-p", "--"};
    if (uid >= 0) {
        full.insert(full.end(),
                    {"/usr/bin/setpriv", "--reuid=" + std::to_string(uid),
                     "--regid=" + std::to_string(uid), "--clear-groups", "--inh-caps=-all", "--"});
    }
    full.insert(full.end(), argv.begin(), argv.end());
    // The user may not be able to enter the build's folders.
    const std::string build = fs::path(BinDir()).parent_path().string() + "/";
    if (uid >= 0 && !argv.empty() && argv[0].rfind(build, 0) == 0) {
        full[full.size() - argv.size()] = CopyForOtherUsers(argv[0], state_ + "/bin");
    }
    return full;
}

Result NmSandbox::Exec(const std::vector<std::string>& argv, const RunOptions& options,
                       int uid) const {
    return Run(Inside(argv, uid), options);
}

std::unique_ptr<Child> NmSandbox::Start(const std::vector<std::string>& argv,
                                        const std::string& logPath, int uid) const {
    return std::make_unique<Child>(Inside(argv, uid), logPath);
}

Result NmSandbox::Nmcli(const std::vector<std::string>& args) const {
    std::vector<std::string> argv{"/usr/bin/nmcli"};
    argv.insert(argv.end(), args.begin(), args.end());
    RunOptions options;
    options.timeoutMs = 20000;
    return Exec(argv, options);
}

Result NmSandbox::Netsh(const std::vector<std::string>& args, int uid) const {
    std::vector<std::string> argv{BinDir() + "/netsh", "interface", "ip"};
    argv.insert(argv.end(), args.begin(), args.end());
    RunOptions options;
    options.timeoutMs = 40000;
    return Exec(argv, options, uid);
}

std::string NmSandbox::DeviceField(const std::string& field, const std::string& iface) const {
    Result r = Nmcli({"-g", field, "device", "show", iface});
    if (r.status != 0) {
        return "";
    }
    while (!r.out.empty() && r.out.back() == '\n') {
        r.out.pop_back();
    }
    return r.out;
}

bool NmSandbox::WaitForDevice(const std::string& iface, int timeoutMs) const {
    return WaitFor(
        [&] {
            std::string state = DeviceField("GENERAL.STATE", iface);
            return !state.empty() && std::atoi(state.c_str()) >= 30;
        },
        timeoutMs, 50);
}

std::vector<pid_t> NmSandbox::Processes(const std::string& comm) const {
    std::vector<pid_t> out;
    std::string ns = Link("/proc/" + std::to_string(init_) + "/ns/pid");
    if (ns.empty()) {
        return out;
    }
    if (DIR* dir = opendir("/proc")) {
        while (dirent* entry = readdir(dir)) {
            pid_t pid = std::atoi(entry->d_name);
            std::string base = "/proc/" + std::string(entry->d_name);
            if (pid > 0 && Link(base + "/ns/pid") == ns &&
                ReadFile(base + "/comm") == comm + "\n" && IsLive(pid)) {
                out.push_back(pid);
            }
        }
        closedir(dir);
    }
    return out;
}

void NmSandbox::StopNetworkManager() const {
    for (pid_t pid : Processes("NetworkManager")) {
        kill(pid, SIGTERM);
    }
    WaitFor([&] { return !NetworkManagerRunning(); }, 10000);
}

bool NmSandbox::NetworkManagerRunning() const {
    return !Processes("NetworkManager").empty();
}

std::string NmSandbox::Log() const {
    return ReadFile(state_ + "/nm.log");
}

}  // namespace quorv::systest
