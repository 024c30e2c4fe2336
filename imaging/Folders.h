#pragma once

#include <string>
#include <vector>

namespace quill {

// The names (without folder) of the regular files in folder, and links to regular
// files, whose name matches pattern ('*' any run of characters, '?' one character,
// letters compared case-insensitively, so "*.jpg" lists a.JPG and b.jpg). Sorted
// case-insensitively (exact order breaking ties), because the platform's own order is
// arbitrary. "." and ".." never; a missing or unreadable folder gives an empty list.
std::vector<std::string> ScanFolderList(const std::string& folder, const std::string& pattern);

// True when name matches a ScanFolderList pattern.
bool nameMatchesPattern(const std::string& name, const std::string& pattern);

// Removes path with everything in it, deepest entries first. Read-only bits are cleared
// on the way (a folder without write permission could not lose its entries). A symbolic
// link is removed itself and never followed, so nothing outside the tree is touched;
// path itself being a link removes just the link. Stops at the first entry that cannot
// be removed, leaving the rest in place. True when path itself was removed.
bool DeleteFolder(const std::string& path);

// Joins a folder and a file name with one '/' (the name alone when folder is empty).
std::string joinPath(const std::string& folder, const std::string& name);

// The name with its extension (from the last '.' of the file-name part) replaced by
// extension, or extension appended when the name has none: "a/picture.jpg" + ".bmp"
// -> "a/picture.bmp", "a.b/picture" + ".exe" -> "a.b/picture.exe".
std::string changeExtension(const std::string& path, const std::string& extension);

// The folder of the running program (from /proc/self/exe), ending in '/'.
std::string programFolder();

struct LibraryFolders {
    std::string programFolder;    // ends in '/'
    std::string BackgroundFolder; // programFolder + "background"
    std::string ForegroundFolder; // programFolder + "foreground"
    std::string FrameFolder;      // programFolder + "frame"
    std::string MaskFolder;       // programFolder + "mask"
    std::string RecorderFolder;   // programFolder + "recorder/"
};

// The library folders beside a program folder ('/' is added when it lacks one).
LibraryFolders libraryFoldersBeside(const std::string& programFolder);

// The folder that holds the picture libraries of a program in programFolder: the
// program folder itself when it has background/, foreground/, frame/ or mask/ (a build
// or a copy kept together), else <programFolder>/../share/quillmark/ when that has
// them (an installed program: /usr/bin/quillmark finds /usr/share/quillmark/), else the
// program folder. The result ends in '/'.
std::string libraryFolder(const std::string& programFolder);

// Where the program writes its working files: the program folder when it is writable,
// else the per-user folder of the XDG base directories, $XDG_CACHE_HOME/quillmark/ for
// the cache (default $HOME/.cache) or $XDG_DATA_HOME/quillmark/ for data (default
// $HOME/.local/share). A relative XDG variable is ignored, as the XDG rules say. The
// result ends in '/'; the folder is not created here.
std::string workingFolder(const std::string& programFolder, bool forCache);

} // namespace quill
