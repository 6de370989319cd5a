#pragma once
// The walk shared by the fault tests: every call of a clean run is failed in every way it can.

#include "TestPlatform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrine::testing {

// Calls check(k, call, fault) for every way the call numbered k (1-based) of a clean run can
// fail, with the call and the fault named in any failure it reports.
template <class Check> void walkEveryFailure(const std::vector<std::string>& calls, Check check) {
    for (int k = 1; k <= static_cast<int>(calls.size()); ++k) {
        const std::string& call = calls[static_cast<std::size_t>(k) - 1];
        ASSERT_TRUE(faultsOfCalls().count(call)) << "no failure kinds for " << call;
        for (Fault fault : faultsOfCalls().at(call)) {
            SCOPED_TRACE("call " + std::to_string(k) + " (" + call + "), " + faultName(fault));
            check(k, call, fault);
        }
    }
}

} // namespace kestrine::testing
