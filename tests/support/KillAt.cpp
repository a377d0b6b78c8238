// Preloaded into netsh by the crash tests: QUORV_KILL_AT=ftruncate or rename kills netsh at its
// first call of that function, as kill -9 or a power cut at that moment would.
#include <dlfcn.h>
#include <errno.h>
#include <signal.h>
#include <sys/types.h>

#include <cstdlib>
#include <cstring>

namespace {

bool Armed(const char* call) {
    const char* at = std::getenv("QUORV_KILL_AT");
    // `ip netns exec`, which starts netsh, sees the same environment and must live.
    return at && std::strcmp(at, call) == 0 &&
           std::strcmp(program_invocation_short_name, "netsh") == 0;
}

template <typename Fn>
Fn Next(const char* name) {
    return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" int ftruncate(int fd, off_t length) {
    if (Armed("ftruncate")) {
        raise(SIGKILL);
    }
    static auto real = Next<int (*)(int, off_t)>("ftruncate");
    return real(fd, length);
}

extern "C" int ftruncate64(int fd, off_t length) {
    if (Armed("ftruncate")) {
        raise(SIGKILL);
    }
    static auto real = Next<int (*)(int, off_t)>("ftruncate64");
    return real(fd, length);
}

extern "C" int rename(const char* from, const char* to) {
    if (Armed("rename")) {
        raise(SIGKILL);
    }
    static auto real = Next<int (*)(const char*, const char*)>("rename");
    return real(from, to);
}
