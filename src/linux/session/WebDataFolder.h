// Folder src/linux/session (lum_linux_session, in the three Linux programs):
// the kept web session: its folder, kept passwords, the keyring, the --sign-in
// and --sign-out commands. It includes src/linux/capture (the lock) and what
// that includes.
//
// The folder of the kept web session that the sign-in window and the capture
// share: ${XDG_DATA_HOME:-~/.local/share}/lumenary/web (0700), its trusted
// certificates (certificates/<host>.pem, 0600) and its removal. No GTK and no
// WebKit here. Folder failures throw lum::Exception; reads are results.
#pragma once

#include <string>
#include <vector>

namespace lum::gtk {

// "<base>/lumenary/web/" with base = xdgDataHome when it is an absolute path,
// else home + "/.local/share" (home as the cache folder finds it). Ends in "/".
std::string WebDataDirPath(const char* xdgDataHome, const char* home);

// Makes dir (a WebDataDirPath) and its missing parents, leaves the web folder
// and its "lumenary" parent at 0700 (tightening a looser mode) and returns
// dir. Throws when it cannot, or when the folder is a link or not the user's.
std::string CreateWebDataDir(const std::string& dir);

// WebDataDirPath of the environment.
std::string DefaultWebDataDir();

// WebKit shows its page processes the folder of g_get_user_cache_dir(),
// writable: the user's cache, with Lumenary's own page files and everything
// else the user keeps there. The engine programs call this first thing,
// before anything of GLib has asked for that folder: XDG_CACHE_HOME then
// names "engine-cache" in the web data folder (made 0700, kept from run to
// run, gone with a sign-out), so the page processes see no cache of the
// user's. When the folder cannot be made the variable names it all the same:
// WebKit shows a page process no folder that is not there.
void UsePrivateEngineCache();

// Replaces path with bytes in one step, as a file only the user can read
// (0600): a temporary file beside it, flushed to disk and renamed over it (a
// link put at path is replaced, never written through). Throws "<what>
// cannot be written: <reason>" and leaves no temporary file behind.
void ReplacePrivateFile(const std::string& path, const std::string& bytes, const std::string& what);

// A host name that may name a certificate file: 1 to 253 characters of
// letters, digits, '.', '-', ':', '[' and ']', not starting with '.'.
// Lower-cased on the way; empty when the text is no such name.
std::string CertificateHostName(const std::string& host);

struct TTrustedCertificate {
    std::string Host;  // as in the file name, lower case
    std::string Pem;   // the certificate, PEM
};

// Writes dir/certificates/<host>.pem (0600, folder 0700) replacing an
// earlier one for that host. Throws on a bad host name or a write failure.
void SaveTrustedCertificate(const std::string& dir,
                            const std::string& host,
                            const std::string& pem);

// Every readable dir/certificates/<host>.pem whose name is a host name and
// whose text looks like a PEM certificate; others are skipped.
std::vector<TTrustedCertificate> LoadTrustedCertificates(const std::string& dir);

// What a removal found and removed.
struct TWebDataRemoval {
    bool Existed = false;              // the folder was there
    int Files = 0;                     // files and links removed (certificates included)
    std::vector<std::string> Trusted;  // hosts whose certificates were removed
    std::string Error;                 // empty when everything went
    // The passwords the sign-in window let the desktop keyring keep (see
    // KeptPasswords.h): hosts whose passwords are recorded (a survey) or went
    // from the keyring (a sign-out), those the keyring no longer held, and why
    // the keyring could not be asked (then Passwords names those left).
    std::vector<std::string> Passwords;
    std::vector<std::string> PasswordsGone;
    std::string KeyringError;
    bool KeyringReached = false;  // with KeyringError: it answered, then refused
    std::string RecordError;  // why the record of kept passwords was refused
};

// What RemoveWebData would remove, without removing anything; Passwords are
// the hosts of the record of kept passwords.
TWebDataRemoval SurveyWebData(const std::string& dir);

// Removes dir and everything below it (links are removed, never followed).
TWebDataRemoval RemoveWebData(const std::string& dir);

// One or two lines for the user: what a removal of dir removed (or would).
std::string DescribeRemoval(const std::string& dir, const TWebDataRemoval& removal, bool done);

}  // namespace lum::gtk
