// The registry contract's registry under Wine: the real advapi32, on throw-away keys.
#include "../contract/registry_contract.h"
#include "platform/win32_registry.h"

namespace {

class RealContract : public ContractRegistry {
public:
    platform::IRegistry& Registry() override { return registry_; }
    std::optional<int> OpenHandles() override { return std::nullopt; }
    void Remove(const std::string& path) override { RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str()); }

private:
    platform::Win32Registry registry_;
};

}  // namespace

std::unique_ptr<ContractRegistry> MakeContractRegistry() { return std::make_unique<RealContract>(); }
