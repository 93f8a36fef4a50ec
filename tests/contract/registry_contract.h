// The registry contract: the same cases run against the in-memory registry (host) and the
// real advapi32 (under Wine), which proves the model faithful for what the program does.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/registry.h"

class ContractRegistry {
public:
    virtual ~ContractRegistry() = default;
    virtual platform::IRegistry& Registry() = 0;
    // Keys the registry holds open now, where the platform can tell.
    virtual std::optional<int> OpenHandles() = 0;
    // Removes a throw-away key with everything below it.
    virtual void Remove(const std::string& path) = 0;
};

// Each build provides its registry.
std::unique_ptr<ContractRegistry> MakeContractRegistry();
