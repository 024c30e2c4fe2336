#include "imaging/Folders.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quill {
namespace {

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool lessIgnoringCase(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char x = lowerAscii(a[i]), y = lowerAscii(b[i]);
        if (x != y)
            return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

std::string withSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

// An absolute path from an XDG variable, or the default under the home folder.
std::string xdgBase(const char* variable, const char* homeDefault) {
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] == '/')
        return withSlash(value);
    const char* home = std::getenv("HOME");
    std::string homeFolder;
    if (home != nullptr && home[0] == '/') {
        homeFolder = home;
    } else if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) {
        homeFolder = pw->pw_dir;
    } else {
        homeFolder = "/tmp";
    }
    return withSlash(withSlash(homeFolder) + homeDefault);
}

bool holdsLibraries(const std::string& folder) {
    for (const char* name : {"background", "foreground", "frame", "mask"}) {
        struct stat st {};
        if (stat((folder + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            return true;
    }
    return false;
}

} // namespace

bool nameMatchesPattern(const std::string& name, const std::string& pattern) {
    // Greedy wildcard match with one backtrack point: linear in practice.
    std::size_t n = 0, p = 0, starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == '?' || lowerAscii(pattern[p]) == lowerAscii(name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::vector<std::string> ScanFolderList(const std::string& folder, const std::string& pattern) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return names;
    const int fd = dirfd(dir);
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || !nameMatchesPattern(name, pattern))
            continue;
        struct stat st {};
        // Follows a link: a link to a file lists, a link to a folder or nowhere does not.
        if (fstatat(fd, entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode))
            names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end(), lessIgnoringCase);
    return names;
}

bool DeleteFolder(const std::string& path) {
    struct stat st {};
    if (path.empty() || lstat(path.c_str(), &st) != 0)
        return false;
    if (S_ISLNK(st.st_mode))
        return unlink(path.c_str()) == 0; // the link goes, what it points to stays
    if (!S_ISDIR(st.st_mode))
        return false;
    // A folder we may not write to or list could not lose its entries.
    if ((st.st_mode & S_IRWXU) != S_IRWXU)
        chmod(path.c_str(), (st.st_mode & 07777) | S_IRWXU);

    bool ok = true;
    if (DIR* dir = opendir(path.c_str())) {
        while (ok) {
            const dirent* entry = readdir(dir);
            if (entry == nullptr)
                break;
            const std::string name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            const std::string child = path + "/" + name;
            struct stat cs {};
            if (lstat(child.c_str(), &cs) != 0) {
                ok = false;
            } else if (S_ISDIR(cs.st_mode)) {
                ok = DeleteFolder(child);
            } else {
                if (S_ISREG(cs.st_mode) && (cs.st_mode & S_IWUSR) == 0)
                    chmod(child.c_str(), (cs.st_mode & 07777) | S_IWUSR); // clear read-only
                ok = unlink(child.c_str()) == 0;
            }
        }
        closedir(dir);
    }
    return rmdir(path.c_str()) == 0;
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    if (folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

std::string changeExtension(const std::string& path, const std::string& extension) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart)
        return path + extension;
    return path.substr(0, dot) + extension;
}

std::string programFolder() {
    std::string buffer(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0 || std::size_t(n) >= buffer.size())
        return "./";
    buffer.resize(std::size_t(n));
    const std::size_t slash = buffer.rfind('/');
    return slash == std::string::npos ? std::string("./") : buffer.substr(0, slash + 1);
}

LibraryFolders libraryFoldersBeside(const std::string& folder) {
    LibraryFolders f;
    f.programFolder = withSlash(folder);
    f.BackgroundFolder = f.programFolder + "background";
    f.ForegroundFolder = f.programFolder + "foreground";
    f.FrameFolder = f.programFolder + "frame";
    f.MaskFolder = f.programFolder + "mask";
    f.RecorderFolder = f.programFolder + "recorder/";
    return f;
}

std::string libraryFolder(const std::string& folder) {
    const std::string own = withSlash(folder);
    if (holdsLibraries(own))
        return own;
    const std::string installed = own + "../share/quillmark/";
    if (!holdsLibraries(installed))
        return own;
    // Resolved, so that messages name /usr/share/quillmark/, not /usr/bin/../share/...
    char* real = realpath(installed.c_str(), nullptr);
    const std::string result = real != nullptr ? withSlash(real) : installed;
    std::free(real);
    return result;
}

std::string workingFolder(const std::string& folder, bool forCache) {
    const std::string own = withSlash(folder);
    if (access(own.c_str(), W_OK | X_OK) == 0)
        return own;
    return forCache ? xdgBase("XDG_CACHE_HOME", ".cache") + "quillmark/"
                    : xdgBase("XDG_DATA_HOME", ".local/share") + "quillmark/";
}

} // namespace quill
