#include "Platform.h"

namespace launchwick {

void Platform::Trace(const std::string& line) {
    WriteTrace(line);
    if (traceListener_ != nullptr) {
        traceListener_->Traced(line);
    }
}

} // namespace launchwick
