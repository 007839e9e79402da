#include "mpdreader/serve.h"

#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <new>

namespace quorrix::mpdreader {

namespace mpd = importer::plans::mpd;

namespace {

// The sanitizers reserve terabytes of address space up front: no limit on it can hold there.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kLimitAddressSpace = false;
#else
constexpr bool kLimitAddressSpace = true;
#endif

int answerFd = -1;

void limit(int resource, rlim_t soft, rlim_t hard) {
    const struct rlimit value {soft, hard};
    ::setrlimit(resource, &value);
}

// The limits of one reading. The processor time counts from now: the soft limit is raised past
// what earlier readings used (SIGXCPU ends the process when it is reached).
void limitReading(const mpd::Request& request) {
    if (request.memoryMegabytes != 0 && kLimitAddressSpace) {
        const rlim_t bytes = rlim_t(request.memoryMegabytes) << 20;
        limit(RLIMIT_AS, bytes, bytes);
    }
    struct rlimit cpu {};
    ::getrlimit(RLIMIT_CPU, &cpu);
    rlim_t soft = RLIM_INFINITY;
    if (request.cpuSeconds != 0) {
        timespec used{};
        ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
        soft = rlim_t(used.tv_sec) + 1 + request.cpuSeconds;
    }
    if (cpu.rlim_max != RLIM_INFINITY && (soft == RLIM_INFINITY || soft > cpu.rlim_max)) soft = cpu.rlim_max;
    limit(RLIMIT_CPU, soft, cpu.rlim_max);
}

// Takes a request and its two descriptors; false when the socket closed or the request is not one.
bool receive(int control, mpd::Request& request, int (&fds)[2]) {
    for (;;) {
        fds[0] = fds[1] = -1;
        alignas(struct cmsghdr) char space[CMSG_SPACE(sizeof fds)];
        iovec io{&request, sizeof request};
        msghdr message{};
        message.msg_iov = &io;
        message.msg_iovlen = 1;
        message.msg_control = space;
        message.msg_controllen = sizeof space;
        const ssize_t n = ::recvmsg(control, &message, MSG_CMSG_CLOEXEC);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        int received = 0;
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS) continue;
            const std::size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
            for (std::size_t i = 0; i < count; ++i) {
                int fd = -1;
                std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof fd);
                if (received < 2) fds[received] = fd;
                else ::close(fd);
                ++received;
            }
        }
        if (n == static_cast<ssize_t>(sizeof request) && request.version == mpd::kVersion && received == 2 &&
            (message.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) == 0)
            return true;
        for (const int fd : fds)
            if (fd >= 0) ::close(fd);
        return false;
    }
}

}  // namespace

int answerDescriptor() { return answerFd; }

int serve(int control, Dump dump) {
    // A crash is reported to the programs; no core file lands anywhere. Nothing here writes a file.
    limit(RLIMIT_CORE, 0, 0);
    limit(RLIMIT_FSIZE, 0, 0);
    mpd::Request request;
    int fds[2];
    while (receive(control, request, fds)) {
        limitReading(request);
        answerFd = fds[1];
        mpd::AnswerWriter writer(fds[1]);
        writer.header();
        bool exhausted = false;
        if (writer.flush()) {
            try {
                dump(fds[0], request.asked, writer);
            } catch (const std::bad_alloc&) {
                writer = mpd::AnswerWriter(fds[1]);  // the records not yet handed over go
                writer.failure(mpd::Code::OutOfMemory);
                exhausted = true;
            }
            writer.flush();
        }
        answerFd = -1;
        ::close(fds[0]);
        ::close(fds[1]);
        if (exhausted) return 0;  // the programs start a fresh process
    }
    return 0;
}

}  // namespace quorrix::mpdreader
