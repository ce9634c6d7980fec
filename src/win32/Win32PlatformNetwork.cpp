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

void CheckNetwork(HRESULT result) {
    if (FAILED(result)) {
        // The Win32 code inside an HRESULT of that kind, else the HRESULT itself: the system's texts are for
        // both.
        throw SystemError(HRESULT_FACILITY(result) == FACILITY_WIN32
                              ? static_cast<std::uint32_t>(HRESULT_CODE(result))
                              : static_cast<std::uint32_t>(result));
    }
}

} // namespace

std::uint32_t Win32Platform::NetworkConnectivity() {
    // Made anew for every question: a list manager answers as of the moment it was made.
    INetworkListManager* created = nullptr;
    CheckNetwork(::CoCreateInstance(networkListManagerClass, nullptr, CLSCTX_ALL, networkListManagerInterface,
                                    reinterpret_cast<void**>(&created)));
    const UniqueCom<INetworkListManager> manager(created);
    NLM_CONNECTIVITY connectivity = NLM_CONNECTIVITY_DISCONNECTED;
    CheckNetwork(manager.get()->GetConnectivity(&connectivity));
    return static_cast<std::uint32_t>(connectivity);
}

} // namespace launchwick::win32
