#pragma once

#include <QString>
#include <algorithm>
#include <chrono>
#include <thread>

#include "core/Waiting.h"
#include "data/DatabaseError.h"

namespace data {

/// Runs `work` (an all-or-nothing write such as a posting) and, while another holds the books
/// (BusyError), runs it again for as long as the thread's wait observer keeps waiting for
/// `what`. A wait given up throws DatabaseError(core::waitGivenUpText(what)).
template <class F>
auto retryWhileBusy(const QString& what, F&& work) -> decltype(work()) {
    using namespace std::chrono;
    const auto start = steady_clock::now();
    for (int attempt = 0;; ++attempt) {
        try {
            return work();
        } catch (const BusyError& busy) {
            if (busy.givenUp()) throw BusyError(core::waitGivenUpText(what), what, true);
        }
        std::this_thread::sleep_for(milliseconds(std::min(10 << std::min(attempt, 4), 100)));
        if (!core::keepWaiting(what, duration_cast<milliseconds>(steady_clock::now() - start)))
            throw BusyError(core::waitGivenUpText(what), what, true);
    }
}

}  // namespace data
