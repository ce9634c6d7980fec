// The one call of the platform that the core itself carries out: a trace line goes to the debugger, then to
// whoever listens (the log file). Out of line, as it is called from a hundred places.
#include "Platform.h"

#include "Texts.h"

namespace launchwick {

void PlatformSystem::Trace(std::string_view line) noexcept {
    ResumeNext([&] { WriteLine(line); });
}

void PlatformSystem::WriteLine(std::string_view line) {
    WriteTrace(line);
    if (traceListener_ != nullptr) {
        traceListener_->Traced(line);
    }
}

void Platform::ShowConfigurationBox(const std::string& text, const std::string& title) {
    if (configurationBoxes_) {
        ShowMessageBox(text, title);
    } else {
        Trace(texts::BoxTrace(title, text)); // nobody may be there to click it: the sequence goes on
    }
}

} // namespace launchwick
