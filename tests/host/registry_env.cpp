// The registry contract's registry on the host: the in-memory model.
#include "../contract/registry_contract.h"
#include "platform/memory_registry.h"

namespace {

class MemoryContract : public ContractRegistry {
public:
    platform::IRegistry& Registry() override { return registry_; }
    std::optional<int> OpenHandles() override { return registry_.OpenHandles(); }
    void Remove(const std::string&) override {}  // each test starts with an empty registry

private:
    platform::MemoryRegistry registry_;
};

}  // namespace

std::unique_ptr<ContractRegistry> MakeContractRegistry() { return std::make_unique<MemoryContract>(); }
