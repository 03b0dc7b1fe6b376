#include "linux/session/WebDataFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "linux/PosixFileSystem.h"
#include "linux/session/KeptPasswords.h"
#include "platform/Types.h"

namespace lum::gtk {

namespace {

constexpr const char* kCertificatesFolder = "certificates/";
constexpr const char* kPemSuffix = ".pem";

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// The home folder exactly as the cache folder finds it (the environment,
// else the password database): CacheDirPath without XDG_CACHE_HOME is
// home + "/.cache/lumenary/".
std::string HomeLikeTheCache(const char* home) {
    const std::string cache = CacheDirPath(nullptr, home);
    const std::string tail = "/.cache/lumenary/";
    std::string result = cache.substr(0, cache.size() - tail.size());
    return result.empty() ? "/" : result;
}

// Brings an existing folder of ours to 0700; throws for a link, a
// non-folder or a folder of another user.
void MakePrivateFolder(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        throw Exception("the folder " + path + " cannot be read: " + std::strerror(errno));
    if (!S_ISDIR(info.st_mode))
        throw Exception("the web session folder " + path + " is not a folder");
    if (info.st_uid != ::getuid())
        throw Exception("the web session folder " + path + " belongs to another user");
    if ((info.st_mode & 07777) != 0700 && ::chmod(path.c_str(), 0700) != 0)
        throw Exception("the folder " + path + " cannot be made private: " + std::strerror(errno));
}

bool LooksLikePem(const std::string& text) {
    return text.find("-----BEGIN CERTIFICATE-----") != std::string::npos &&
           text.find("-----END CERTIFICATE-----") != std::string::npos;
}

// nftw has no user argument: the removal in progress.
thread_local TWebDataRemoval* gRemoval = nullptr;
thread_local bool gRemoving = false;
thread_local std::string gCertificates;

int VisitEntry(const char* path, const struct stat*, int type, struct FTW*) {
    const std::string name = path;
    const bool folder = type == FTW_DP || type == FTW_D || type == FTW_DNR;
    if (!folder) {
        ++gRemoval->Files;
        if (name.rfind(gCertificates, 0) == 0 && name.size() > gCertificates.size() + 4 &&
            name.compare(name.size() - 4, 4, kPemSuffix) == 0 &&
            name.find('/', gCertificates.size()) == std::string::npos)
            gRemoval->Trusted.push_back(
                name.substr(gCertificates.size(), name.size() - gCertificates.size() - 4));
    }
    if (!gRemoving)
        return 0;
    if ((folder ? ::rmdir(path) : ::unlink(path)) != 0 && gRemoval->Error.empty())
        gRemoval->Error = name + ": " + std::strerror(errno);
    return 0;
}

TWebDataRemoval Walk(const std::string& dir, bool remove) {
    TWebDataRemoval removal;
    const std::string root = WithoutTrailingSlashes(dir);
    struct stat info {};
    if (::lstat(root.c_str(), &info) != 0)
        return removal;
    removal.Existed = true;
    gRemoval = &removal;
    gRemoving = remove;
    gCertificates = root + "/" + kCertificatesFolder;
    // FTW_DEPTH: a folder after its entries; FTW_PHYS: links are entries.
    if (::nftw(root.c_str(), VisitEntry, 16, FTW_DEPTH | FTW_PHYS) != 0 && removal.Error.empty())
        removal.Error = root + ": " + std::strerror(errno);
    gRemoval = nullptr;
    std::sort(removal.Trusted.begin(), removal.Trusted.end());
    return removal;
}

std::string Listed(const std::vector<std::string>& hosts) {
    std::string text;
    for (std::size_t i = 0; i < hosts.size(); ++i)
        text += (i ? ", " : "") + hosts[i];
    return text;
}

}  // namespace

std::string WebDataDirPath(const char* xdgDataHome, const char* home) {
    // A relative XDG_DATA_HOME is invalid and ignored, as the base-directory
    // rules say.
    std::string base = xdgDataHome && xdgDataHome[0] == '/'
                           ? std::string(xdgDataHome)
                           : WithoutTrailingSlashes(HomeLikeTheCache(home)) + "/.local/share";
    base = WithoutTrailingSlashes(base);
    if (base == "/")
        base.clear();
    return base + "/lumenary/web/";
}

std::string DefaultWebDataDir() {
    return WebDataDirPath(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
}

void UsePrivateEngineCache() {
    const std::string cache = DefaultWebDataDir() + "engine-cache";
    try {
        CreateFolderPath(cache);
    } catch (const std::exception&) {
        // Not there: nothing of it is shown to a page process either.
    }
    ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
}

std::string CreateWebDataDir(const std::string& dir) {
    const std::string web = WithoutTrailingSlashes(dir);
    CreateFolderPath(web);  // missing parts are made 0700
    const std::size_t slash = web.rfind('/');
    if (slash != std::string::npos && slash > 0)
        MakePrivateFolder(web.substr(0, slash));  // "lumenary"
    MakePrivateFolder(web);
    return web + "/";
}

std::string CertificateHostName(const std::string& host) {
    if (host.empty() || host.size() > 253 || host[0] == '.')
        return {};
    std::string name;
    for (const char c : host) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
                        c == ':' || c == '[' || c == ']';
        if (c >= 'A' && c <= 'Z')
            name += static_cast<char>(c - 'A' + 'a');
        else if (ok)
            name += c;
        else
            return {};
    }
    return name;
}

void SaveTrustedCertificate(const std::string& dir,
                            const std::string& host,
                            const std::string& pem) {
    const std::string name = CertificateHostName(host);
    if (name.empty())
        throw Exception("'" + host + "' is not a host name a certificate can be kept for");
    if (!LooksLikePem(pem))
        throw Exception("the certificate of " + name + " is not in PEM form");
    const std::string folder = CreateWebDataDir(dir) + kCertificatesFolder;
    CreateFolderPath(folder);
    MakePrivateFolder(WithoutTrailingSlashes(folder));
    const std::string path = folder + name + kPemSuffix;
    ReplacePrivateFile(path, pem, "the certificate file " + path);
}

void ReplacePrivateFile(const std::string& path,
                        const std::string& bytes,
                        const std::string& what) {
    std::string temp = path + ".tmp-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);  // 0600
    if (fd < 0)
        throw Exception(what + " cannot be written: " + std::strerror(errno));
    bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    // rename replaces a link put at path, never what it points to.
    if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        throw Exception(what + " cannot be written: " + std::strerror(error));
    }
}

std::vector<TTrustedCertificate> LoadTrustedCertificates(const std::string& dir) {
    std::vector<TTrustedCertificate> result;
    const std::string folder = WithoutTrailingSlashes(dir) + "/" + kCertificatesFolder;
    DIR* listing = ::opendir(folder.c_str());
    if (!listing)
        return result;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string file = entry->d_name;
        if (file.size() <= 4 || file.compare(file.size() - 4, 4, kPemSuffix) != 0)
            continue;
        const std::string host = file.substr(0, file.size() - 4);
        if (CertificateHostName(host) != host)
            continue;
        struct stat info {};
        const std::string path = folder + file;
        if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_size > 256 * 1024)
            continue;
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        if (in && LooksLikePem(text.str()))
            result.push_back({host, text.str()});
    }
    ::closedir(listing);
    return result;
}

TWebDataRemoval SurveyWebData(const std::string& dir) {
    TWebDataRemoval survey = Walk(dir, false);
    if (survey.Existed) {
        const TKeptPasswordsFile record = LoadKeptPasswords(dir);
        survey.Passwords = KeptPasswordHosts(record.Items);
        survey.RecordError = record.Error;
    }
    return survey;
}

TWebDataRemoval RemoveWebData(const std::string& dir) {
    return Walk(dir, true);
}

std::string DescribeRemoval(const std::string& dir, const TWebDataRemoval& removal, bool done) {
    if (!removal.Existed)
        return "There is no kept web session (" + dir + " does not exist); nothing to remove.";
    std::string text = std::string(done ? "Removed" : "This removes") + " the kept web session " +
                       dir + " (" + std::to_string(removal.Files) + " files: cookies, site data" +
                       " and cache)";
    if (!removal.Trusted.empty())
        text += " and the certificates trusted for " + Listed(removal.Trusted);
    const bool passwords = !removal.Passwords.empty() && (!done || removal.KeyringError.empty());
    if (passwords)
        text += (removal.Trusted.empty() ? " and " : ", and ") +
                std::string("the passwords kept in the keyring for ") + Listed(removal.Passwords);
    text += ".";
    if (done && !removal.PasswordsGone.empty())
        text += "\nThe keyring no longer held the passwords for " + Listed(removal.PasswordsGone) +
                ".";
    if (done && !removal.KeyringError.empty()) {
        text += std::string(removal.KeyringReached ? "\nThe keyring refused: "
                                                   : "\nThe keyring could not be reached: ") +
                removal.KeyringError + ".";
        if (!removal.Passwords.empty())
            text += "\nThe passwords kept for " + Listed(removal.Passwords) +
                    " are still in it (items labelled \"WebKitGTK password\"); remove them with "
                    "the desktop's password manager.";
    }
    if (!removal.RecordError.empty())
        text += "\nThe record of the passwords kept in the keyring was not read: " +
                removal.RecordError + ".";
    if (done && !removal.Error.empty())
        text += "\nSome of it could not be removed: " + removal.Error;
    return text;
}

}  // namespace lum::gtk
