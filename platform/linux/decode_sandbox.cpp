// Limits of the decode helper. The filter is an allow-list: calls outside it
// fail with EPERM instead of killing the helper, so a library that probes
// something harmless (or the sanitizer's crash report) does not turn a good
// decode into a crash, while opening any file, starting programs, sockets,
// signals to other processes and tracing all stay out of reach: the helper
// reads only the files the viewer hands it, and every library has opened
// what it needs before the filter is installed. Of the calls it allows, mmap
// and mprotect never make memory writable and executable at once, and
// prlimit64 only reads limits.
// A test-build helper attacks all of this (sandbox_attack.cpp).
#include "platform/linux/decode_sandbox.h"

#include <fcntl.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

const rlim_t addressSpaceCap = rlim_t(2) << 30;

#if defined(__x86_64__)
const unsigned filterArch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
const unsigned filterArch = AUDIT_ARCH_AARCH64;
#else
const unsigned filterArch = 0;  // no filter on other machines
#endif

const long allowedCalls[] = {
    SYS_read,         SYS_pread64,       SYS_readv,        SYS_write,         SYS_writev,
    SYS_close,        SYS_fstat,         SYS_newfstatat,   SYS_lseek,
    SYS_munmap,       SYS_mremap,        SYS_madvise,      SYS_brk,
    SYS_futex,        SYS_exit,          SYS_exit_group,   SYS_rt_sigreturn,  SYS_rt_sigaction,
    SYS_rt_sigprocmask, SYS_sigaltstack, SYS_getpid,       SYS_gettid,        SYS_getppid,
    SYS_clock_gettime, SYS_clock_nanosleep, SYS_nanosleep, SYS_sched_yield,   SYS_getrandom,
    SYS_memfd_create, SYS_ftruncate,     SYS_fcntl,        SYS_sendmsg,       SYS_recvmsg,
    SYS_recvfrom,     SYS_sendto,        SYS_readlinkat,   SYS_getdents64,
#ifdef SYS_statx
    SYS_statx,
#endif
#ifdef SYS_stat
    SYS_stat,         SYS_lstat,         SYS_access,       SYS_readlink,
#endif
};

void allowCall(std::vector<sock_filter>& program, long call) {
    program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, unsigned(call), 0, 1));
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
}

// Every open fails as a file the helper may not read would.
void refuseOpen(std::vector<sock_filter>& program, long call) {
    program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, unsigned(call), 0, 1));
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EACCES));
}

// The low and high words of a call's argument.
unsigned argumentLow(int argument) {
    return unsigned(offsetof(seccomp_data, args) + sizeof(uint64_t) * unsigned(argument));
}
unsigned argumentHigh(int argument) { return argumentLow(argument) + sizeof(uint32_t); }

// Memory may be mapped or protected writable or executable, never both at
// once: no page the decoder can write is ever run.
void allowWithoutWritableExecutable(std::vector<sock_filter>& program, long call) {
    const unsigned writableExecutable = PROT_WRITE | PROT_EXEC;
    program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, unsigned(call), 0, 5));
    program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, argumentLow(2)));
    program.push_back(BPF_STMT(BPF_ALU | BPF_AND | BPF_K, writableExecutable));
    program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, writableExecutable, 0, 1));
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EACCES));
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
}

// prlimit64 may read limits (a null new limit), never set them: a limit
// once given up stays given up, also for a helper running as root.
void allowReadingLimits(std::vector<sock_filter>& program) {
    program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, unsigned(SYS_prlimit64), 0, 6));
    program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, argumentLow(2)));
    program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0, 0, 2));
    program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, argumentHigh(2)));
    program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0, 1, 0));
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM));
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
}

bool installFilter() {
    if (filterArch == 0) return false;
    std::vector<sock_filter> program;
    program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, unsigned(offsetof(seccomp_data, arch))));
    program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, filterArch, 1, 0));
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS));
    program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, unsigned(offsetof(seccomp_data, nr))));
    for (long call : allowedCalls) allowCall(program, call);
    allowWithoutWritableExecutable(program, SYS_mmap);
    allowWithoutWritableExecutable(program, SYS_mprotect);
    allowReadingLimits(program);
    refuseOpen(program, SYS_openat);
#ifdef SYS_open
    refuseOpen(program, SYS_open);
#endif
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM));
    sock_fprog filter = {static_cast<unsigned short>(program.size()), program.data()};
    return ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter, 0, 0) == 0;
}

void setLimit(int resource, rlim_t value) {
    rlimit limit = {value, value};
    ::setrlimit(resource, &limit);
}

}  // namespace

void closeDescriptorsAbove(int lowest) {
#ifdef SYS_close_range
    if (::syscall(SYS_close_range, unsigned(lowest + 1), ~0u, 0u) == 0) return;
#endif
    long limit = ::sysconf(_SC_OPEN_MAX);
    if (limit < 0 || limit > 65536) limit = 65536;
    for (int fd = lowest + 1; fd < limit; ++fd) ::close(fd);
}

void restrictDecodeHelper() {
    // The address sanitizer reserves terabytes of shadow memory up front, so
    // a sanitized build cannot run under an address-space cap; its own
    // allocator limit and DevIL's bounded allocator remain.
#if !defined(__SANITIZE_ADDRESS__)
    setLimit(RLIMIT_AS, addressSpaceCap);
#else
    (void)addressSpaceCap;
#endif
    setLimit(RLIMIT_CORE, 0);
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0) installFilter();
}

