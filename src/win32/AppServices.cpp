#include "win32/AppServices.h"

namespace lum::win32 {

TAppServices::TAppServices()
    : Display{Windows, Host, Registry, Files, Clock, Locale, nullptr, nullptr} {}

}  // namespace lum::win32
