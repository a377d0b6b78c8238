// Runs a private NetworkManager for one test: inside the test's client network namespace, with
// a mount namespace of its own (tmpfs /run, private system bus, bind-mounted configuration,
// read-only /sys) and a PID namespace, so that everything it started dies with it.
//
// quorv-nm-sandbox PARENT_PID NETNS_PATH STATE_DIR [polkit]
// The PID of the namespace's init (as the host sees it) goes to STATE_DIR/init.pid.
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

pid_t initPid = -1;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "quorv-nm-sandbox: %s: %s\n", what.c_str(), std::strerror(errno));
    _exit(70);
}

void Mount(const char* source, const std::string& target, const char* type, unsigned long flags,
           const char* data = nullptr) {
    if (mount(source, target.c_str(), type, flags, data) != 0) {
        Fail("mount " + target);
    }
}

void Bind(const std::string& source, const std::string& target) {
    Mount(source.c_str(), target, nullptr, MS_BIND);
}

pid_t Start(const std::vector<std::string>& argv, const std::string& log) {
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
        dup2(null, 0);
        dup2(fd, 1);
        dup2(fd, 2);
        std::vector<char*> args;
        for (const auto& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    return pid;
}

bool WaitForPath(const std::string& path, int ms) {
    for (int i = 0; i < ms / 10; ++i) {
        if (access(path.c_str(), F_OK) == 0) {
            return true;
        }
        usleep(10000);
    }
    return false;
}

// PID 1 of the new namespace: set up, start the daemons, then reap until killed.
[[noreturn]] void Init(const std::string& state, bool polkit) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    Mount("none", "/", nullptr, MS_REC | MS_PRIVATE);
    // Our copies of the host's namespace files would keep them from being deleted.
    umount2("/run/netns", MNT_DETACH);
    Mount("proc", "/proc", "proc", MS_NOSUID | MS_NODEV | MS_NOEXEC);
    // Read-only /sys tells NetworkManager that no udev will announce the devices.
    Mount("sysfs", "/sys", "sysfs", MS_RDONLY | MS_NOSUID | MS_NODEV | MS_NOEXEC);
    Mount("tmpfs", "/run", "tmpfs", MS_NOSUID | MS_NODEV, "mode=0755");
    mkdir("/run/dbus", 0755);
    Bind(state + "/etc-nm", "/etc/NetworkManager");
    Bind(state + "/var-nm", "/var/lib/NetworkManager");
    // Anything falling back to resolv.conf writes the test's copy, never the host's.
    Bind(state + "/resolv.conf", "/etc/resolv.conf");
    if (polkit) {
        Bind(state + "/polkit-rules", "/etc/polkit-1/rules.d");
    }
    Start({"/usr/bin/dbus-daemon", "--system", "--nofork", "--nopidfile"}, state + "/dbus.log");
    if (!WaitForPath("/run/dbus/system_bus_socket", 5000)) {
        Fail("the system bus did not start");
    }
    if (polkit) {
        Start({"/usr/lib/polkit-1/polkitd", "--no-debug"}, state + "/polkit.log");
    }
    Start({"/usr/sbin/NetworkManager", "--no-daemon", "--debug"}, state + "/nm.log");
    while (true) {
        if (waitpid(-1, nullptr, 0) < 0 && errno == ECHILD) {
            pause();
        }
    }
}

void KillInit(int) {
    if (initPid > 0) {
        kill(initPid, SIGKILL);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: quorv-nm-sandbox PARENT_PID NETNS_PATH STATE_DIR [polkit]\n");
        return 2;
    }
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != std::atoi(argv[1])) {
        return 1;  // the test is gone already
    }
    std::string state = argv[3];
    bool polkit = argc > 4 && std::string(argv[4]) == "polkit";
    int netns = open(argv[2], O_RDONLY | O_CLOEXEC);
    if (netns < 0 || setns(netns, CLONE_NEWNET) != 0) {
        Fail(std::string("enter ") + argv[2]);
    }
    close(netns);
    if (unshare(CLONE_NEWNS | CLONE_NEWPID) != 0) {
        Fail("unshare");
    }
    signal(SIGTERM, KillInit);
    signal(SIGINT, KillInit);
    initPid = fork();
    if (initPid == 0) {
        Init(state, polkit);
    }
    if (initPid < 0) {
        Fail("fork");
    }
    std::string pidFile = state + "/init.pid";
    if (FILE* f = std::fopen((pidFile + ".new").c_str(), "w")) {
        std::fprintf(f, "%d\n", int(initPid));
        std::fclose(f);
        rename((pidFile + ".new").c_str(), pidFile.c_str());
    }
    int status = 0;
    while (waitpid(initPid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 0;
}
