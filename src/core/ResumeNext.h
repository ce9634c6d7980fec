// "A statement that fails is skipped and the next one runs": the one way the program carries on after
// a failure. A statement is a callable; whatever it throws is dropped here. A statement that fails must
// leave every variable it would have set as it was, so statements compute first and assign last.
#pragma once

#include <utility>

namespace launchwick {

template <class Statement> void ResumeNext(Statement&& statement) noexcept {
    try {
        std::forward<Statement>(statement)();
    } catch (...) {
        // Ignored on purpose: the caller goes on with its next statement.
    }
}

} // namespace launchwick
