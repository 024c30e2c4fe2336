#include "imaging/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quill {

namespace {

WriteResult failure(const std::string& path, int error) {
    return WriteResult{false, path + ": " + std::strerror(error != 0 ? error : EIO)};
}

std::string folderOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Creates a new file beside path under a hidden name no one else uses; returns its
// descriptor (or -1 with errno set) and the name.
int createTemporary(const std::string& path, unsigned mode, std::string& name) {
    static std::atomic<unsigned> counter{0};
    std::size_t slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    // The hidden name must stay within the file system's name limit however long
    // the file's own name is.
    std::string base = (slash == std::string::npos ? path : path.substr(slash + 1)).substr(0, 100);
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned long long stamp =
            (unsigned long long)std::chrono::steady_clock::now().time_since_epoch().count();
        name = folder + "." + base + "." + std::to_string(getpid()) + "-" +
               std::to_string(counter++) + "-" + std::to_string(stamp % 1000000) + ".tmp";
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode & 07777);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// Makes the rename itself durable; a folder that cannot be synced is no failure.
void syncFolder(const std::string& path) {
    int fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

WriteResult writeFileAtomically(const std::string& path,
                                const std::function<bool(std::FILE*)>& writer, unsigned mode) {
    if (path.empty())
        return failure(path, ENOENT);
    // Writing to a symbolic link replaces the file it points to, not the link.
    std::string target = path;
    struct stat link;
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }
    std::string temporary;
    int fd = createTemporary(target, mode, temporary);
    if (fd < 0)
        return failure(path, errno);
    // A file that is replaced keeps its permissions.
    struct stat existing;
    if (::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
        ::fchmod(fd, existing.st_mode & 07777);
    std::FILE* file = ::fdopen(fd, "wb");
    if (file == nullptr) {
        int error = errno;
        ::close(fd);
        ::unlink(temporary.c_str());
        return failure(path, error);
    }

    errno = 0;
    bool written = false;
    try {
        written = writer(file);
    } catch (...) {
        written = false;
    }
    int error = errno;
    if (written && (std::fflush(file) != 0 || std::ferror(file))) {
        written = false;
        error = errno;
    }
    if (written && ::fsync(fd) != 0) {
        written = false;
        error = errno;
    }
    if (std::fclose(file) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written && ::rename(temporary.c_str(), target.c_str()) != 0) {
        written = false;
        error = errno;
    }
    if (!written) {
        ::unlink(temporary.c_str());
        if (error == 0)
            return WriteResult{false, path + ": the data could not be written"};
        return failure(path, error);
    }
    syncFolder(target);
    return WriteResult{};
}

WriteResult writeFileAtomically(const std::string& path, const void* data, std::size_t size,
                                unsigned mode) {
    return writeFileAtomically(
        path,
        [data, size](std::FILE* file) {
            return size == 0 || std::fwrite(data, 1, size, file) == size;
        },
        mode);
}

} // namespace quill
