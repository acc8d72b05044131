#include "platform/Process.h"
#include "platform/Sanitizer.h"

#ifdef __linux__
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <iterator>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>
#endif

namespace vidlume::platform {

std::string Confinement::description() const
{
    std::string text;
    const auto add = [&](bool on, const char* what) {
        if (on)
            text += (text.empty() ? "" : ", ") + std::string(what);
    };
    add(noNewPrograms, "no new privileges");
    add(syscallFilter, "seccomp filter");
    add(pathRules, "Landlock");
    return text.empty() ? "none" : text;
}

#ifdef __linux__

namespace {

#if defined(__x86_64__)
constexpr std::uint32_t ownArchitecture = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr std::uint32_t ownArchitecture = AUDIT_ARCH_AARCH64;
#else
#define VIDLUME_NO_SYSCALL_FILTER 1
#endif

#ifndef VIDLUME_NO_SYSCALL_FILTER

/// The system calls refused, and the error they give. Everything else is
/// allowed: the libraries' threads, memory and the handed files work as before.
struct Refusal
{
    long call;
    int error;
};

std::vector<Refusal> refusals()
{
    std::vector<Refusal> list = {
        // No network: no socket of any kind is made or connected. The channel
        // to the parent is a socket it was handed, and stays usable.
        {SYS_socket, EACCES},
        {SYS_socketpair, EACCES},
        {SYS_connect, EACCES},
        {SYS_bind, EACCES},
        {SYS_listen, EACCES},
        {SYS_accept, EACCES},
        {SYS_accept4, EACCES},
        // No file made, removed, renamed or changed by name.
        {SYS_mkdirat, EACCES},
        {SYS_mknodat, EACCES},
        {SYS_unlinkat, EACCES},
        {SYS_renameat, EACCES},
        {SYS_linkat, EACCES},
        {SYS_symlinkat, EACCES},
        {SYS_fchmodat, EACCES},
        {SYS_fchownat, EACCES},
        {SYS_truncate, EACCES},
        // Nothing that escapes the filter or reaches into other processes.
        {SYS_io_uring_setup, ENOSYS},
        {SYS_process_vm_writev, EPERM},
        {SYS_mount, EPERM},
        {SYS_umount2, EPERM},
        {SYS_chroot, EPERM},
        {SYS_pivot_root, EPERM},
        {SYS_bpf, EPERM},
        {SYS_perf_event_open, EPERM},
        {SYS_open_by_handle_at, EPERM},
        {SYS_keyctl, EPERM},
        {SYS_add_key, EPERM},
        {SYS_request_key, EPERM},
#ifdef SYS_renameat2
        {SYS_renameat2, EACCES},
#endif
#ifdef SYS_open
        {SYS_mkdir, EACCES},
        {SYS_mknod, EACCES},
        {SYS_rmdir, EACCES},
        {SYS_unlink, EACCES},
        {SYS_rename, EACCES},
        {SYS_link, EACCES},
        {SYS_symlink, EACCES},
        {SYS_chmod, EACCES},
        {SYS_chown, EACCES},
        {SYS_lchown, EACCES},
        {SYS_creat, EACCES},
        {SYS_uselib, EPERM},
#endif
    };
#ifndef VIDLUME_ASAN
    // No file opened by name, no program started, no process traced. A
    // sanitized build keeps these: its leak check traces its own threads and
    // reads /proc/self/maps, its reports start a symbolizer.
    for (const Refusal refusal : std::initializer_list<Refusal>{{SYS_openat, EACCES},
                                                                {SYS_openat2, EACCES},
                                                                {SYS_execve, EACCES},
                                                                {SYS_execveat, EACCES},
                                                                {SYS_ptrace, EPERM},
                                                                {SYS_process_vm_readv, EPERM},
#ifdef SYS_open
                                                                {SYS_open, EACCES},
#endif
         })
        list.push_back(refusal);
#endif
    return list;
}

bool installSyscallFilter()
{
    std::vector<sock_filter> program;
    // Another architecture's calls (a 32-bit entry into a 64-bit process)
    // would bypass the numbers below: they end the process.
    program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)));
    program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ownArchitecture, 1, 0));
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS));
    program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)));
#if defined(__x86_64__)
    // x32 calls carry bit 30 and the same architecture.
    program.push_back(BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, 0x40000000u, 0, 1));
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS));
#endif
    for (const Refusal refusal : refusals()) {
        program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint32_t>(refusal.call), 0, 1));
        program.push_back(BPF_STMT(BPF_RET | BPF_K,
                                   SECCOMP_RET_ERRNO | (static_cast<std::uint32_t>(refusal.error) & SECCOMP_RET_DATA)));
    }
    // Of the device requests, only those that ask (is this a terminal, how
    // much is waiting) or set our own descriptors' flags: none that acts on
    // a terminal or device, pushing input into one least of all.
    const std::uint32_t allowedRequests[] = {TCGETS, TIOCGWINSZ, FIONREAD, FIONBIO, FIOCLEX, FIONCLEX};
    const auto allowedCount = static_cast<std::uint8_t>(std::size(allowedRequests));
    program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_ioctl, 0, static_cast<std::uint8_t>(allowedCount + 2)));
    // The request is an int: the low half of the second argument.
    constexpr std::uint32_t requestLow = offsetof(seccomp_data, args[1]) +
                                         (__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? 0 : sizeof(std::uint32_t));
    program.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, requestLow));
    for (std::uint8_t i = 0; i < allowedCount; ++i)
        program.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, allowedRequests[i], static_cast<std::uint8_t>(allowedCount - i), 0));
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOTTY));
    program.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    const sock_fprog filter = {static_cast<unsigned short>(program.size()), program.data()};
    return ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) == 0;
}

#endif

/// The Landlock ruleset's attributes up to ABI 6; the kernel reads as much of
/// it as the size passed says, so an older kernel gets the front part.
struct LandlockRuleset
{
    std::uint64_t handledAccessFs = 0;
    std::uint64_t handledAccessNet = 0;
    std::uint64_t scoped = 0;
};

[[maybe_unused]] bool restrictPaths()
{
#if defined(SYS_landlock_create_ruleset) && defined(SYS_landlock_restrict_self)
    constexpr std::uint32_t askVersion = 1u << 0; // LANDLOCK_CREATE_RULESET_VERSION
    const long abi = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, askVersion);
    if (abi < 1)
        return false; // not built into this kernel, or switched off
    LandlockRuleset ruleset;
    // Every access right the ABI knows, and no rule granting any: no path
    // leads anywhere.
    ruleset.handledAccessFs = (1ull << 13) - 1; // ABI 1: execute .. make symlink
    if (abi >= 2)
        ruleset.handledAccessFs |= 1ull << 13; // refer
    if (abi >= 3)
        ruleset.handledAccessFs |= 1ull << 14; // truncate
    if (abi >= 5)
        ruleset.handledAccessFs |= 1ull << 15; // ioctl on devices
    std::size_t size = sizeof ruleset.handledAccessFs;
    if (abi >= 4) {
        ruleset.handledAccessNet = 0x3; // bind and connect TCP
        size = offsetof(LandlockRuleset, scoped);
    }
    if (abi >= 6) {
        ruleset.scoped = 0x3; // abstract UNIX sockets and signals outside
        size = sizeof ruleset;
    }
    const long fd = ::syscall(SYS_landlock_create_ruleset, &ruleset, size, 0u);
    if (fd < 0)
        return false;
    const bool restricted = ::syscall(SYS_landlock_restrict_self, static_cast<int>(fd), 0u) == 0;
    ::close(static_cast<int>(fd));
    return restricted;
#else
    return false;
#endif
}

} // namespace

Confinement confineThisProcess()
{
    Confinement confinement;
    confinement.noNewPrograms = ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0;
    if (!confinement.noNewPrograms)
        return confinement; // neither of the others may be put in place without it
#ifndef VIDLUME_ASAN
    // Landlock first: the filter below refuses nothing it needs, but keeps
    // things simple to reason about.
    confinement.pathRules = restrictPaths();
#endif
#ifndef VIDLUME_NO_SYSCALL_FILTER
    confinement.syscallFilter = installSyscallFilter();
#endif
    return confinement;
}

#else

Confinement confineThisProcess()
{
    return {};
}

#endif

} // namespace vidlume::platform
