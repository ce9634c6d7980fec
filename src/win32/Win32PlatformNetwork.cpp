// The network question of the core: the system's network list manager (netprofm), loaded only when a
// profile waits for the network.
#include "Win32Platform.h"

#include "UniqueHandle.h"
#include "Win32.h"

#include <netlistmgr.h>

namespace launchwick::win32 {

namespace {

constexpr GUID networkListManagerClass = {
    0xDCB00C01, 0x570F, 0x4A9B, {0x8D, 0x69, 0x19, 0x9F, 0xDB, 0xA5, 0x72, 0x3B}};
constexpr GUID networkListManagerInterface = {
    0xDCB00000, 0x570F, 0x4A9B, {0x8D, 0x69, 0x19, 0x9F, 0xDB, 0xA5, 0x72, 0x3B}};

} // namespace

std::uint32_t Win32Platform::NetworkConnectivity() {
    // Made anew for every question: a list manager answers as of the moment it was made.
    UniqueCom<INetworkListManager> manager;
    CheckResult(::CoCreateInstance(networkListManagerClass, nullptr, CLSCTX_ALL, networkListManagerInterface,
                                   manager.OutObject()));
    NLM_CONNECTIVITY connectivity = NLM_CONNECTIVITY_DISCONNECTED;
    CheckResult(manager->GetConnectivity(&connectivity));
    return static_cast<std::uint32_t>(connectivity);
}

} // namespace launchwick::win32
