// Runs a program under the seccomp filters a systemd service unit installs, for a machine (or a container) without
// a running systemd. The filters follow systemd's own construction, one filter per setting, the kernel taking the
// strictest answer of all of them:
//   SystemCallFilter= (allow-list) + SystemCallErrorNumber=EPERM + SystemCallArchitectures=native
//                               --syscalls FILE: the allowed names, one a line; every other call fails with EPERM,
//                               a call of another architecture ends the process
//   MemoryDenyWriteExecute=yes  --mdwe: mmap with PROT_WRITE|PROT_EXEC, mprotect/pkey_mprotect adding PROT_EXEC and
//                               shmat with SHM_EXEC fail with EPERM
//   RestrictAddressFamilies=    --families AF_X,...: socket() of any other family fails with EAFNOSUPPORT
//   RestrictNamespaces=yes      --no-namespaces: unshare/clone with a namespace flag and setns fail with EPERM,
//                               clone3 with ENOSYS (its flags cannot be inspected), so the C library uses clone
//   RestrictSUIDSGID=yes        --no-suid: chmod/fchmod/fchmodat setting S_ISUID or S_ISGID fail with EPERM
// The file system, user and capability settings are the caller's part (unshare, mount, setpriv).
// Usage: unit-sandbox [--syscalls FILE] [--mdwe] [--families LIST] [--no-namespaces] [--no-suid] -- PROGRAM ARGS...
// Also: unit-sandbox --self-check [options]: with the filters loaded, tries what they forbid and prints the results.
#include <seccomp.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include <sched.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/shm.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace
{

[[noreturn]] void die(const std::string &text)
{
    std::fprintf(stderr, "unit-sandbox: %s\n", text.c_str());
    std::exit(125);
}

void check(int rc, const std::string &what)
{
    if (rc < 0)
        die(what + ": " + std::strerror(-rc));
}

int syscallNumber(const char *name)
{
    return seccomp_syscall_resolve_name(name);
}

void load(scmp_filter_ctx ctx, const std::string &what)
{
    check(seccomp_load(ctx), "loading " + what);
    seccomp_release(ctx);
}

// The allow-list; the calls systemd always permits are added as it adds them.
void loadAllowList(const std::string &file)
{
    std::ifstream in(file);
    if (!in)
        die("cannot read " + file);
    scmp_filter_ctx ctx = seccomp_init(SCMP_ACT_ERRNO(EPERM));
    if (!ctx)
        die("seccomp_init failed");
    // Another architecture's calls end the process, as SystemCallArchitectures=native does.
    check(seccomp_attr_set(ctx, SCMP_FLTATR_ACT_BADARCH, SCMP_ACT_KILL_PROCESS), "bad architecture action");
    std::set<std::string> names{"execve", "exit", "exit_group", "getrlimit", "rt_sigreturn", "sigreturn"};
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            names.insert(line);
    int allowed = 0;
    for (const std::string &name : names) {
        const int nr = syscallNumber(name.c_str());
        if (nr == __NR_SCMP_ERROR || nr < 0)
            continue; // not a call of this architecture (or unknown to this libseccomp)
        check(seccomp_rule_add(ctx, SCMP_ACT_ALLOW, nr, 0), "allowing " + name);
        ++allowed;
    }
    std::fprintf(stderr, "unit-sandbox: %d system calls allowed\n", allowed);
    load(ctx, "the system call allow-list");
}

scmp_filter_ctx allowByDefault()
{
    scmp_filter_ctx ctx = seccomp_init(SCMP_ACT_ALLOW);
    if (!ctx)
        die("seccomp_init failed");
    return ctx;
}

void loadMemoryDenyWriteExecute()
{
    scmp_filter_ctx ctx = allowByDefault();
    const scmp_datum_t wx = PROT_WRITE | PROT_EXEC;
    check(seccomp_rule_add(ctx, SCMP_ACT_ERRNO(EPERM), SCMP_SYS(mmap), 1, SCMP_A2(SCMP_CMP_MASKED_EQ, wx, wx)),
          "mmap rule");
    for (const char *name : {"mprotect", "pkey_mprotect"})
        check(seccomp_rule_add(ctx, SCMP_ACT_ERRNO(EPERM), syscallNumber(name), 1,
                               SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, PROT_EXEC)),
              std::string(name) + " rule");
    check(seccomp_rule_add(ctx, SCMP_ACT_ERRNO(EPERM), SCMP_SYS(shmat), 1,
                           SCMP_A2(SCMP_CMP_MASKED_EQ, SHM_EXEC, SHM_EXEC)),
          "shmat rule");
    load(ctx, "MemoryDenyWriteExecute");
}

// A family as the unit names it (AF_INET) or as a number.
int familyNumber(const std::string &name)
{
    static const std::pair<const char *, int> known[] = {{"AF_UNIX", AF_UNIX},
                                                         {"AF_INET", AF_INET},
                                                         {"AF_INET6", AF_INET6},
                                                         {"AF_NETLINK", AF_NETLINK},
                                                         {"AF_PACKET", AF_PACKET}};
    for (const auto &[text, number] : known)
        if (name == text)
            return number;
    char *end = nullptr;
    const long number = std::strtol(name.c_str(), &end, 10);
    if (name.empty() || *end != '\0')
        die("unknown address family " + name);
    return int(number);
}

void loadAddressFamilies(const std::string &list)
{
    std::set<int> allowed;
    size_t at = 0;
    while (at <= list.size()) {
        const size_t end = list.find(',', at);
        const std::string item = list.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (!item.empty())
            allowed.insert(familyNumber(item));
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
    scmp_filter_ctx ctx = allowByDefault();
    for (int family = 0; family < AF_MAX; ++family)
        if (!allowed.count(family))
            check(seccomp_rule_add(ctx, SCMP_ACT_ERRNO(EAFNOSUPPORT), SCMP_SYS(socket), 1,
                                   SCMP_A0(SCMP_CMP_EQ, scmp_datum_t(family))),
                  "socket family rule");
    check(seccomp_rule_add(ctx, SCMP_ACT_ERRNO(EAFNOSUPPORT), SCMP_SYS(socket), 1,
                           SCMP_A0(SCMP_CMP_GE, scmp_datum_t(AF_MAX))),
          "socket family rule");
    load(ctx, "RestrictAddressFamilies");
}

void loadNoNamespaces()
{
    scmp_filter_ctx ctx = allowByDefault();
    for (unsigned long flag :
         {CLONE_NEWNS, CLONE_NEWCGROUP, CLONE_NEWUTS, CLONE_NEWIPC, CLONE_NEWUSER, CLONE_NEWPID, CLONE_NEWNET}) {
        check(
            seccomp_rule_add(ctx, SCMP_ACT_ERRNO(EPERM), SCMP_SYS(unshare), 1, SCMP_A0(SCMP_CMP_MASKED_EQ, flag, flag)),
            "unshare rule");
        check(seccomp_rule_add(ctx, SCMP_ACT_ERRNO(EPERM), SCMP_SYS(clone), 1, SCMP_A0(SCMP_CMP_MASKED_EQ, flag, flag)),
              "clone rule");
    }
    check(seccomp_rule_add(ctx, SCMP_ACT_ERRNO(EPERM), SCMP_SYS(setns), 0), "setns rule");
    check(seccomp_rule_add(ctx, SCMP_ACT_ERRNO(ENOSYS), syscallNumber("clone3"), 0), "clone3 rule");
    load(ctx, "RestrictNamespaces");
}

void loadNoSuid()
{
    scmp_filter_ctx ctx = allowByDefault();
    for (scmp_datum_t bit : {scmp_datum_t(S_ISUID), scmp_datum_t(S_ISGID)}) {
        check(seccomp_rule_add(ctx, SCMP_ACT_ERRNO(EPERM), SCMP_SYS(chmod), 1, SCMP_A1(SCMP_CMP_MASKED_EQ, bit, bit)),
              "chmod rule");
        check(seccomp_rule_add(ctx, SCMP_ACT_ERRNO(EPERM), SCMP_SYS(fchmod), 1, SCMP_A1(SCMP_CMP_MASKED_EQ, bit, bit)),
              "fchmod rule");
        check(
            seccomp_rule_add(ctx, SCMP_ACT_ERRNO(EPERM), SCMP_SYS(fchmodat), 1, SCMP_A2(SCMP_CMP_MASKED_EQ, bit, bit)),
            "fchmodat rule");
    }
    load(ctx, "RestrictSUIDSGID");
}

void report(const char *what, bool refused)
{
    std::printf("%s: %s (%s)\n", what, refused ? "refused" : "allowed", refused ? std::strerror(errno) : "-");
}

// What the filters are there to refuse, tried once each.
int selfCheck()
{
    errno = 0;
    void *wx = mmap(nullptr, 4096, PROT_READ | PROT_WRITE | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    report("mmap write+exec", wx == MAP_FAILED);
    void *w = mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    errno = 0;
    report("mprotect exec", w == MAP_FAILED || mprotect(w, 4096, PROT_READ | PROT_EXEC) != 0);
    for (const auto &[name, family] :
         {std::pair{"socket AF_UNIX", AF_UNIX}, std::pair{"socket AF_INET", AF_INET},
          std::pair{"socket AF_INET6", AF_INET6}, std::pair{"socket AF_NETLINK", AF_NETLINK},
          std::pair{"socket AF_PACKET", AF_PACKET}}) {
        errno = 0;
        const int fd = socket(family, SOCK_DGRAM, 0);
        report(name, fd < 0);
        if (fd >= 0)
            close(fd);
    }
    errno = 0;
    report("unshare CLONE_NEWUSER", unshare(CLONE_NEWUSER) != 0);
    errno = 0;
    report("chmod setuid", chmod("/proc/self/exe", 04755) != 0);
    errno = 0;
    report("reboot", syscall(SYS_reboot, 0, 0, 0, nullptr) != 0);
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    std::string syscalls;
    std::string families;
    bool mdwe = false;
    bool noNamespaces = false;
    bool noSuid = false;
    bool selfTest = false;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") {
            ++i;
            break;
        }
        if (arg == "--syscalls" && i + 1 < argc)
            syscalls = argv[++i];
        else if (arg == "--families" && i + 1 < argc)
            families = argv[++i];
        else if (arg == "--mdwe")
            mdwe = true;
        else if (arg == "--no-namespaces")
            noNamespaces = true;
        else if (arg == "--no-suid")
            noSuid = true;
        else if (arg == "--self-check")
            selfTest = true;
        else
            die("unknown argument " + arg);
    }
    if (!selfTest && i >= argc)
        die("no program given");
    // As NoNewPrivileges=yes; also what lets a process without CAP_SYS_ADMIN install filters.
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        die(std::string("no_new_privs: ") + std::strerror(errno));
    // The narrower filters first: the allow-list is loaded last, so it does not have to permit their set-up.
    if (mdwe)
        loadMemoryDenyWriteExecute();
    if (!families.empty())
        loadAddressFamilies(families);
    if (noNamespaces)
        loadNoNamespaces();
    if (noSuid)
        loadNoSuid();
    if (!syscalls.empty())
        loadAllowList(syscalls);
    if (selfTest)
        return selfCheck();
    execv(argv[i], argv + i);
    die(std::string("cannot start ") + argv[i] + ": " + std::strerror(errno));
}
