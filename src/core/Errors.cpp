#include "Errors.h"

namespace launchwick {

void FailStatement(const char* text) {
    throw StatementError(text);
}

} // namespace launchwick
