#include "Netns.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <atomic>
#include <filesystem>
#include <sstream>
#include <stdexcept>

namespace quorv::systest {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPrefix = "quorvt-";
const char* kIp = "/usr/sbin/ip";

std::atomic<int> sequence{0};

Result Ip(const std::vector<std::string>& args) {
    std::vector<std::string> argv{fs::exists(kIp) ? kIp : "/sbin/ip"};
    argv.insert(argv.end(), args.begin(), args.end());
    RunOptions options;
    options.timeoutMs = 15000;
    return Run(argv, options);
}

void MustIp(const std::vector<std::string>& args) {
    Result r = Ip(args);
    if (r.status != 0) {
        std::string joined;
        for (const auto& a : args) {
            joined += " " + a;
        }
        throw std::runtime_error("ip" + joined + " failed: " + r.err);
    }
}

QJsonArray Json(const Result& r) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).array();
}

std::vector<std::string> NamespaceNames() {
    std::vector<std::string> out;
    if (DIR* dir = opendir("/run/netns")) {
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name.rfind(kPrefix, 0) == 0) {
                out.push_back(name);
            }
        }
        closedir(dir);
    }
    return out;
}

}  // namespace

TestNetwork::TestNetwork(int subnet) : subnet_(subnet) {
    RemoveLeftovers();
    std::string base = kPrefix + std::to_string(getpid()) + "-" + std::to_string(sequence++);
    client_ = base + "-c";
    server_ = base + "-s";
    workDir_ = "/tmp/" + base;
    fs::create_directories(workDir_);
    try {
        MustIp({"netns", "add", client_});
        MustIp({"netns", "add", server_});
        // Namespace inodes are reused: state a dead namespace left under the same number goes.
        struct stat ns;
        if (stat(("/run/netns/" + client_).c_str(), &ns) == 0) {
            fs::remove_all("/run/quorv-netsh/net-" + std::to_string(ns.st_ino));
        }
        fs::create_directories("/etc/netns/" + client_);
        WriteFile(ResolvConfPath(),
                  "# resolver of a quorv test namespace\n"
                  "search quorv.test\n"
                  "nameserver 192.0.2.53\n"
                  "options ndots:1\n");
        MustIp({"link", "add", kClientIf, "netns", client_, "type", "veth", "peer", "name",
                kServerIf, "netns", server_});
        MustIp({"-n", client_, "link", "set", "lo", "up"});
        MustIp({"-n", server_, "link", "set", "lo", "up"});
        MustIp({"-n", server_, "addr", "add", Address(1) + "/24", "dev", kServerIf});
        MustIp({"-n", server_, "link", "set", kServerIf, "up"});
    } catch (...) {
        Remove(client_);
        Remove(server_);
        fs::remove_all(workDir_);
        throw;
    }
}

TestNetwork::~TestNetwork() {
    Remove(client_);
    Remove(server_);
    std::error_code ignored;
    fs::remove_all(workDir_, ignored);
}

void TestNetwork::Remove(const std::string& name) {
    struct stat ns;
    std::string path = "/run/netns/" + name;
    if (stat(path.c_str(), &ns) == 0) {
        // Whatever runs inside (DHCP clients, dnsmasq) goes first, or the namespace lives on.
        std::istringstream pids(Ip({"netns", "pids", name}).out);
        pid_t pid;
        while (pids >> pid) {
            if (pid > 1 && pid != getpid()) {
                kill(pid, SIGKILL);
            }
        }
        std::error_code ignored;
        fs::remove_all("/run/quorv-netsh/net-" + std::to_string(ns.st_ino), ignored);
        Ip({"netns", "del", name});
    }
    std::error_code ignored;
    fs::remove_all("/etc/netns/" + name, ignored);
}

void TestNetwork::RemoveLeftovers() {
    for (const auto& name : NamespaceNames()) {
        // quorvt-<pid>-<n>-c: the run that made it is gone when <pid> no longer lives.
        pid_t owner = std::atoi(name.c_str() + std::string(kPrefix).size());
        if (owner > 0 && owner != getpid() && !IsLive(owner)) {
            Remove(name);
            std::error_code ignored;
            fs::remove_all("/tmp/" + name.substr(0, name.size() - 2), ignored);
        }
    }
}

std::string TestNetwork::Address(int host) const {
    return "10.213." + std::to_string(subnet_) + "." + std::to_string(host);
}

Result TestNetwork::InClient(const std::vector<std::string>& argv,
                             const RunOptions& options) const {
    std::vector<std::string> full{fs::exists(kIp) ? kIp : "/sbin/ip", "netns", "exec", client_};
    full.insert(full.end(), argv.begin(), argv.end());
    return Run(full, options);
}

Result TestNetwork::Netsh(const std::vector<std::string>& args, const RunOptions& options) const {
    std::vector<std::string> argv{BinDir() + "/netsh", "interface", "ip"};
    argv.insert(argv.end(), args.begin(), args.end());
    return InClient(argv, options);
}

std::string TestNetwork::ResolvConfPath() const {
    return "/etc/netns/" + client_ + "/resolv.conf";
}

std::string TestNetwork::ResolvConf() const {
    return ReadFile(ResolvConfPath());
}

std::vector<std::pair<std::string, int>> TestNetwork::Addresses() const {
    std::vector<std::pair<std::string, int>> out;
    for (const auto& link :
         Json(Ip({"-j", "-n", client_, "-4", "addr", "show", "dev", kClientIf}))) {
        for (const auto& info : link.toObject()["addr_info"].toArray()) {
            QJsonObject a = info.toObject();
            out.emplace_back(a["local"].toString().toStdString(), a["prefixlen"].toInt());
        }
    }
    return out;
}

std::vector<RouteInfo> TestNetwork::DefaultRoutes() const {
    std::vector<RouteInfo> out;
    for (const auto& route : Json(Ip({"-j", "-n", client_, "-4", "route", "show", "default"}))) {
        QJsonObject r = route.toObject();
        out.push_back({r["gateway"].toString().toStdString(), r["dev"].toString().toStdString(),
                       unsigned(r["metric"].toInt(0))});
    }
    return out;
}

bool TestNetwork::ClientLinkUp() const {
    for (const auto& link : Json(Ip({"-j", "-n", client_, "link", "show", "dev", kClientIf}))) {
        for (const auto& flag : link.toObject()["flags"].toArray()) {
            if (flag.toString() == QLatin1String("UP")) {
                return true;
            }
        }
    }
    return false;
}

std::vector<pid_t> TestNetwork::LiveProcesses(const std::string& comm) const {
    std::vector<pid_t> out;
    std::istringstream pids(Ip({"netns", "pids", client_}).out);
    pid_t pid;
    while (pids >> pid) {
        std::string name = ReadFile("/proc/" + std::to_string(pid) + "/comm");
        if (name == comm + "\n" && IsLive(pid)) {
            out.push_back(pid);
        }
    }
    return out;
}

std::string HostResolvConfFingerprint() {
    struct stat st {};
    stat("/etc/resolv.conf", &st);
    return std::to_string(st.st_ino) + ":" + std::to_string(st.st_mtim.tv_sec) + "." +
           std::to_string(st.st_mtim.tv_nsec) + ":" + ReadFile("/etc/resolv.conf");
}

std::vector<std::string> Nameservers(const std::string& conf) {
    std::vector<std::string> out;
    std::istringstream in(conf);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("nameserver ", 0) == 0) {
            out.push_back(line.substr(11));
        }
    }
    return out;
}

}  // namespace quorv::systest
