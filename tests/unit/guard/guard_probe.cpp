// A copy's check in a process of its own, run by the guard's tests under another account.
//
//   guard_probe [--hold] [--refuse-create-open]
//
// Makes the check in the lock folder the program would use (lockFolder(), from this
// process's environment) and prints "first" or "second". With --hold a first copy keeps
// its lock until its standard input ends. With --refuse-create-open the kernel refuses
// every open() that carries O_CREAT without O_EXCL, as it does in a sticky world-writable
// folder for a file another account owns when fs.protected_regular is on; the test cannot
// switch that setting on for this machine alone.
// The probe keeps its files private (umask 077), as an operator's account may.

#include "app/singleinstance.h"
#include "base/config.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

#if defined(__x86_64__)
constexpr unsigned kArch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr unsigned kArch = AUDIT_ARCH_AARCH64;
#else
#error "the probe's filter knows x86-64 and AArch64 only"
#endif

// The low word of a system call's argument (both architectures are little-endian).
constexpr unsigned argument(int n)
{
    return unsigned(offsetof(seccomp_data, args) + n * sizeof(__u64));
}

bool refuseCreateOpen()
{
    constexpr unsigned kCreateOnly = O_CREAT;
    constexpr unsigned kCreateBits = O_CREAT | O_EXCL;
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kArch, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
#ifdef __NR_open
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_open, 2, 0),
#else
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_openat, 0, 0),
#endif
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_openat, 3, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        // open(path, flags)
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, argument(1)),
        BPF_JUMP(BPF_JMP | BPF_JA, 1, 0, 0),
        // openat(folder, path, flags)
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, argument(2)),
        BPF_STMT(BPF_ALU | BPF_AND | BPF_K, kCreateBits),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kCreateOnly, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EACCES),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
        ::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &program) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    bool hold = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--hold") == 0) {
            hold = true;
        } else if (std::strcmp(argv[i], "--refuse-create-open") == 0) {
            if (!refuseCreateOpen()) {
                std::perror("guard_probe: seccomp");
                return 2;
            }
        } else {
            std::fprintf(stderr, "guard_probe: unknown argument %s\n", argv[i]);
            return 2;
        }
    }
    ::umask(077);
    quorvel::app::NamedLock lock = quorvel::app::checkFirstCopy(quorvel::app::lockFolder(), quorvel::kAppTitle);
    std::printf("%s\n", lock.held() ? "first" : "second");
    std::fflush(stdout);
    if (hold && lock.held()) {
        char buffer[64];
        while (::read(STDIN_FILENO, buffer, sizeof buffer) > 0) { }
    }
    return 0;
}
