#include "PolkitSandbox.h"

#include <crypt.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

#include "ChildProcess.h"

namespace quorv::systest {

namespace fs = std::filesystem;

namespace {

void Folder(const std::string& path) {
    fs::create_directories(path);
    chmod(path.c_str(), 0755);
}

void PublicFile(const std::string& path, const std::string& content, mode_t mode = 0644) {
    WriteFile(path, content);
    chmod(path.c_str(), mode);
}

std::string Script(const char* name) {
    return std::string(QUORV_SOURCE_DIR) + "/tests/support/" + name;
}

}  // namespace

PolkitSandbox::PolkitSandbox() {
    char pattern[] = "/var/tmp/quorvt-polkit-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    work_ = pattern;
    for (const char* dir : {"", "/actions", "/rules", "/bin"}) {
        Folder(work_ + dir);
    }
    for (const char* program : {"qic", "netsh"}) {
        CopyProgram(BinDir() + "/" + program);
    }
    // The action as installed, naming the copy of netsh.
    std::string policy =
        ReadFile(std::string(QUORV_SOURCE_DIR) + "/packaging/com.quorv.ipchanger.policy.in");
    const std::string token = "@QUORV_NETSH_PATH@";
    policy.replace(policy.find(token), token.size(), Program("netsh"));
    PublicFile(work_ + "/actions/com.quorv.ipchanger.policy", policy);
}

PolkitSandbox::~PolkitSandbox() {
    std::error_code ignored;
    fs::remove_all(work_, ignored);
}

void PolkitSandbox::CopyProgram(const std::string& path) {
    CopyForOtherUsers(path, work_ + "/bin");
}

std::string PolkitSandbox::DataFolder(unsigned uid) const {
    const std::string folder = work_ + "/data-" + std::to_string(uid);
    Folder(folder);
    chown(folder.c_str(), uid, uid);
    return folder;
}

void PolkitSandbox::Rules(const std::string& script) {
    const std::string path = work_ + "/rules/10-quorv-test.rules";
    if (script.empty()) {
        fs::remove(path);
        return;
    }
    PublicFile(path, script);
}

void PolkitSandbox::AddUser(const std::string& name, unsigned uid, const std::string& password) {
    const std::string etc = work_ + "/etc";
    Folder(etc + "/pam.d");
    const std::string id = std::to_string(uid);
    // The machine's own accounts stay (polkitd and the bus run as theirs); their password
    // hashes are never read: the shadow file holds the test user alone.
    PublicFile(etc + "/passwd", ReadFile("/etc/passwd") + name + ":x:" + id + ":" + id +
                                    ":Quorv test:/nonexistent:/usr/sbin/nologin\n");
    PublicFile(etc + "/group", ReadFile("/etc/group") + name + ":x:" + id + ":\n");
    crypt_data data{};
    const char* hash = crypt_r(password.c_str(), "$6$quorvtest$", &data);
    if (hash == nullptr || hash[0] == '*') {
        throw std::runtime_error("crypt_r failed");
    }
    PublicFile(etc + "/shadow",
               "root:*:19000:0:99999:7:::\n" + name + ":" + hash + ":19000:0:99999:7:::\n", 0600);
    // polkit's helper checks the password; pkexec opens a session for root.
    PublicFile(etc + "/pam.d/polkit-1",
               "auth required pam_unix.so\naccount required pam_unix.so\n"
               "session required pam_permit.so\n");
    PublicFile(etc + "/pam.d/other",
               "auth required pam_deny.so\naccount required pam_deny.so\n"
               "session required pam_deny.so\n");
    users_ = true;
}

std::vector<std::string> PolkitSandbox::Command(const std::vector<std::string>& command) const {
    // A PID namespace of its own: when a test gives up on the command, killing it ends the
    // bus, polkitd and the agent too.
    std::vector<std::string> argv{
        "/usr/bin/unshare", "-m",     "-p", "-f", "--kill-child", "--mount-proc",
        "--propagation",    "private"};
    if (users_) {
        argv.push_back(Script("polkit-users.sh"));
        argv.push_back(work_ + "/etc");
    }
    argv.push_back(Script("polkit-bus.sh"));
    argv.push_back(work_ + "/actions");
    argv.push_back(work_ + "/rules");
    argv.insert(argv.end(), command.begin(), command.end());
    return argv;
}

}  // namespace quorv::systest
