#include "win32/browser/NavigateFailure.h"

#include <cstdio>

namespace lum::win32 {

namespace {

using enum TPageFailureKind;

// WinINet errors as the control may pass them, plain or as an HRESULT.
constexpr std::uint32_t kInternetBase = 12000;
constexpr std::uint32_t kFacilityWin32 = 0x80070000;

struct TCode {
    std::uint32_t Code;
    TPageFailureKind Kind;
};

constexpr TCode kCodes[] = {
    {0x800C0005, pfNameNotFound},          // INET_E_RESOURCE_NOT_FOUND
    {0x800C0004, pfRefused},               // INET_E_CANNOT_CONNECT
    {0x800C000B, pfNoAnswer},              // INET_E_CONNECTION_TIMEOUT
    {0x800C0019, pfCertificate},           // INET_E_INVALID_CERTIFICATE
    {0x800C000E, pfCertificate},           // INET_E_SECURITY_PROBLEM (the secure channel failed)
    {0x800C0008, pfOther},                 // INET_E_DOWNLOAD_FAILURE
    {kInternetBase + 2, pfNoAnswer},       // ERROR_INTERNET_TIMEOUT
    {kInternetBase + 7, pfNameNotFound},   // ERROR_INTERNET_NAME_NOT_RESOLVED
    {kInternetBase + 29, pfRefused},       // ERROR_INTERNET_CANNOT_CONNECT
    {kInternetBase + 37, pfCertificate},   // ERROR_INTERNET_SEC_CERT_DATE_INVALID
    {kInternetBase + 38, pfCertificate},   // ERROR_INTERNET_SEC_CERT_CN_INVALID
    {kInternetBase + 44, pfCertificate},   // ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED
    {kInternetBase + 45, pfCertificate},   // ERROR_INTERNET_INVALID_CA
    {kInternetBase + 55, pfCertificate},   // ERROR_INTERNET_SEC_CERT_ERRORS
    {kInternetBase + 56, pfCertificate},   // ERROR_INTERNET_SEC_CERT_NO_REV
    {kInternetBase + 57, pfCertificate},   // ERROR_INTERNET_SEC_CERT_REV_FAILED
    {kInternetBase + 169, pfCertificate},  // ERROR_INTERNET_SEC_INVALID_CERT
    {kInternetBase + 170, pfCertificate},  // ERROR_INTERNET_SEC_CERT_REVOKED
};

// CERT_E_* (0x800B01xx) and the certificate errors of the secure channel
// (SEC_E_UNTRUSTED_ROOT, SEC_E_CERT_EXPIRED, SEC_E_WRONG_PRINCIPAL, ...).
bool IsCertificateCode(std::uint32_t code) {
    return (code & 0xFFFFFF00) == 0x800B0100 || code == 0x80090325 || code == 0x80090328 ||
           code == 0x80090322 || code == 0x80090327 || code == 0x80090349;
}

}  // namespace

TPageFailure NavigateFailure(std::int32_t statusCode) {
    const auto code = static_cast<std::uint32_t>(statusCode);
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(code));
    TPageFailure failure{pfOther, 0, hex};
    if (statusCode >= 400 && statusCode <= 599) {
        // The status says it all: the card shows "HTTP 404" alone.
        return TPageFailure{pfHttpStatus, statusCode, {}};
    }
    // A WinINet error wrapped as an HRESULT reads as the plain error.
    const std::uint32_t plain =
        (code & 0xFFFF0000) == kFacilityWin32 && (code & 0xFFFF) >= kInternetBase ? (code & 0xFFFF)
                                                                                  : code;
    if (IsCertificateCode(plain)) {
        failure.Kind = pfCertificate;
        return failure;
    }
    for (const TCode& known : kCodes) {
        if (known.Code == plain) {
            failure.Kind = known.Kind;
            break;
        }
    }
    return failure;
}

}  // namespace lum::win32
