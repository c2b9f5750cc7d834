// velk_read_fault RANGES PROGRAM [ARGUMENTS...]
//
// Runs PROGRAM with read errors at known places of every file it reads with
// pread: RANGES is "FIRST-END[,FIRST-END...]" in bytes, and every pread whose
// span [offset, offset + count) meets one of them fails with EIO, exactly as
// the kernel reports a medium error of a disk.  The errors come from a
// seccomp filter installed before PROGRAM starts, so PROGRAM runs unchanged
// and reads through its ordinary code path; the launcher needs no privilege
// (it sets no-new-privileges) and no kernel module.  Offsets and ends must be
// below 4 GiB.
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct ByteRange {
    unsigned first;
    unsigned end;
};

std::vector<ByteRange> ParseRanges(const std::string& text) {
    std::vector<ByteRange> ranges;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t comma = text.find(',', at);
        std::string item =
            text.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        std::size_t dash = item.find('-');
        if (dash == std::string::npos) {
            return {};
        }
        unsigned long first = std::strtoul(item.substr(0, dash).c_str(), nullptr, 0);
        unsigned long end = std::strtoul(item.substr(dash + 1).c_str(), nullptr, 0);
        if (end <= first || end > 0xffffffffUL) {
            return {};
        }
        ranges.push_back({static_cast<unsigned>(first), static_cast<unsigned>(end)});
        at = comma == std::string::npos ? text.size() : comma + 1;
    }
    return ranges;
}

unsigned ArgumentLow(int index) {
    return static_cast<unsigned>(offsetof(seccomp_data, args) + 8 * index);
}

// The filter: pread64 calls whose span meets a range fail with EIO; every
// other call is allowed.
std::vector<sock_filter> BuildFilter(const std::vector<ByteRange>& ranges) {
    constexpr unsigned kOffset = 3;
    constexpr unsigned kCount = 2;
    std::vector<sock_filter> filter = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_pread64, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        // Offsets of 4 GiB and more are outside every range.
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, ArgumentLow(kOffset) + 4),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        // M[0] = offset, M[1] = offset + count.
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, ArgumentLow(kOffset)),
        BPF_STMT(BPF_ST, 0),
        BPF_STMT(BPF_MISC | BPF_TAX, 0),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, ArgumentLow(kCount)),
        BPF_STMT(BPF_ALU | BPF_ADD | BPF_X, 0),
        BPF_STMT(BPF_ST, 1),
    };
    for (const ByteRange& range : ranges) {
        // Meets when end > first and offset < range end.
        filter.push_back(BPF_STMT(BPF_LD | BPF_MEM, 1));
        filter.push_back(BPF_JUMP(BPF_JMP | BPF_JGT | BPF_K, range.first, 0, 3));
        filter.push_back(BPF_STMT(BPF_LD | BPF_MEM, 0));
        filter.push_back(BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, range.end, 1, 0));
        filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EIO & SECCOMP_RET_DATA)));
    }
    filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    return filter;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s FIRST-END[,FIRST-END...] PROGRAM [ARGUMENTS...]\n",
                     argv[0]);
        return 2;
    }
    std::vector<ByteRange> ranges = ParseRanges(argv[1]);
    if (ranges.empty()) {
        std::fprintf(stderr, "%s: bad ranges '%s'\n", argv[0], argv[1]);
        return 2;
    }
    std::vector<sock_filter> filter = BuildFilter(ranges);
    sock_fprog program = {static_cast<unsigned short>(filter.size()), filter.data()};
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
        ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
        std::perror("seccomp");
        return 127;
    }
    ::execv(argv[2], argv + 2);
    std::perror(argv[2]);
    return 127;
}
