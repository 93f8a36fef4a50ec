// One ordered record of the calls the program makes into the in-memory platform, shared by
// the in-memory services so a test can check the order across all of them.
#pragma once

#include <string>
#include <vector>

namespace platform {

class CallLog {
public:
    void Add(std::string entry) { entries_.push_back(std::move(entry)); }
    const std::vector<std::string>& Entries() const { return entries_; }
    void Clear() { entries_.clear(); }

private:
    std::vector<std::string> entries_;
};

}  // namespace platform
