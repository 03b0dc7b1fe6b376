// IRegistry over the wide registry functions of Windows: UTF-8 names and
// texts converted at the edge, keys opened with full access. Failures are
// results (0 or false), as the interface says; nothing throws.
#pragma once

#include "platform/Registry.h"

namespace lum::win32 {

class TWin32Registry : public IRegistry {
  public:
    TKey CurrentUser() override;
    TKey CreateKey(TKey parent, const std::string& path) override;
    TKey OpenKey(TKey parent, const std::string& path) override;
    void CloseKey(TKey key) override;
    bool QueryValue(TKey key, const std::string& name, TRegValue& value) override;
    bool SetStringValue(TKey key, const std::string& name, const std::string& text) override;
    std::uint32_t ValueCount(TKey key) override;
    bool ValueName(TKey key, std::uint32_t index, std::string& name) override;
    std::uint32_t SubkeyCount(TKey key) override;
    bool SubkeyName(TKey key, std::uint32_t index, std::string& name) override;
    bool DeleteKey(TKey parent, const std::string& name) override;
};

}  // namespace lum::win32
