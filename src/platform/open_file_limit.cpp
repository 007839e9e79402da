#include "platform/open_file_limit.h"

#include <dirent.h>
#include <sys/resource.h>

#include <cstdio>

namespace quorrix {

void raiseOpenFileLimit() {
    struct rlimit files {};
    if (::getrlimit(RLIMIT_NOFILE, &files) != 0 || files.rlim_cur == files.rlim_max) return;
    files.rlim_cur = files.rlim_max;
    if (::setrlimit(RLIMIT_NOFILE, &files) == 0) return;
    // An unlimited hard limit still stops at the kernel's ceiling.
    if (std::FILE* ceiling = std::fopen("/proc/sys/fs/nr_open", "re")) {
        unsigned long most = 0;
        if (std::fscanf(ceiling, "%lu", &most) == 1 && most < files.rlim_max) {
            files.rlim_cur = most;
            ::setrlimit(RLIMIT_NOFILE, &files);
        }
        std::fclose(ceiling);
    }
}

OpenFiles openFiles() {
    OpenFiles result;
    struct rlimit files {};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0)
        result.limit = files.rlim_cur == RLIM_INFINITY ? 1L << 30 : static_cast<long>(files.rlim_cur);
    if (DIR* folder = ::opendir("/proc/self/fd")) {
        while (const dirent* entry = ::readdir(folder))
            if (entry->d_name[0] != '.') ++result.open;
        --result.open;  // the listing's own
        ::closedir(folder);
    }
    return result;
}

}  // namespace quorrix
