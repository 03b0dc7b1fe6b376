// The settings file on disk: read whole, kept aside under a new name, and
// replaced atomically. Failures come back as errno values (0: done);
// nothing here throws.
#pragma once

#include <string>

namespace lum::gtk {

struct TIniFileRead {
    int Error = 0;          // ENOENT when there is no file
    bool NotAFile = false;  // something else stands in its place
    bool IsFolder = false;
    std::string Text;  // at most one byte over kMaxIniFileBytes
};

// Opens without blocking (a FIFO in the file's place cannot hang the
// program) and reads only a regular file.
TIniFileRead ReadIniFile(const std::string& path);
// Keeps the file as path ".bad", else ".bad.2" ... ".bad.99", never over an
// earlier one; kept gets the name. ENOENT when there is no file, EISDIR when
// it is not a regular file, EEXIST when every name is taken.
int KeepIniFileAside(const std::string& path, std::string& kept);
// Replaces the file with text: a temporary file in its folder (the folder is
// created when missing, mode 0700), fsync, rename, fsync of the folder. The
// file keeps its mode when its owner could read and write it, else gets
// 0600; a symbolic link keeps pointing at the replaced file.
int ReplaceIniFile(const std::string& path, const std::string& text);

}  // namespace lum::gtk
