// The one call of the platform that the core itself carries out: a trace line goes to the debugger, then to
// whoever listens (the log file). Out of line, as it is called from a hundred places.
#include "Platform.h"

namespace launchwick {

void PlatformSystem::Trace(const std::string& line) {
    WriteTrace(line);
    if (traceListener_ != nullptr) {
        traceListener_->Traced(line);
    }
}

} // namespace launchwick
