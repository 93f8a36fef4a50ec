// Host test fixture: the in-memory platform and the headless forms back end, all recording
// into one call log; ending the program throws ProgramEnded.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/forms.h"
#include "platform/headless_backend.h"
#include "platform/memory_registry.h"
#include "platform/memory_services.h"
#include "platform/numbers.h"
#include "settings/settings.h"

class HostTest : public ::testing::Test {
protected:
    HostTest() {
        platform::SetRegistry(&registry);
        platform::SetWindowServices(&window);
        platform::SetApp(&app);
        platform::SetScreen(&screen);
        platform::SetEndHandler([] { throw platform::ProgramEnded{}; });
        forms::SetBackend(&backend);
        num::SetSeparators({".", ","});
        settings::Current() = {};
    }
    ~HostTest() override {
        forms::DiscardLoadedForm();
        forms::SetBackend(nullptr);
        platform::SetEndHandler(nullptr);
    }

    // Runs what may end the program; true when it did.
    template <class F>
    static bool Ends(F&& f) {
        try {
            f();
        } catch (const platform::ProgramEnded&) {
            return true;
        }
        return false;
    }

    // The log entries that start with one of the prefixes, in order.
    std::vector<std::string> Calls(std::initializer_list<std::string> prefixes) const {
        std::vector<std::string> out;
        for (const auto& entry : log.Entries())
            for (const auto& prefix : prefixes)
                if (entry.rfind(prefix, 0) == 0) {
                    out.push_back(entry);
                    break;
                }
        return out;
    }

    static constexpr const char* kKey = "Software\\Velumbra";

    platform::CallLog log;
    platform::MemoryRegistry registry{&log};
    platform::MemoryWindowServices window{log};
    platform::MemoryApplication app{log};
    platform::MemoryScreen screen{log};
    forms::HeadlessBackend backend{log};
};
