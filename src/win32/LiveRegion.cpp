// The status line's accessibility: the property service that makes it a live region, and its announcements.
#include "LiveRegion.h"

#include <utility>

namespace launchwick::win32 {

namespace {

// UI Automation's LiveSetting property, its value Polite, and the accessibility property service, named
// here rather than taken from a library so that the program imports nothing more.
constexpr GUID liveSettingProperty = {
    0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
constexpr LONG livePolite = 1;
constexpr CLSID accPropServicesClass = {
    0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
constexpr IID accPropServicesInterface = {
    0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
constexpr DWORD liveRegionChanged = 0x8019; // EVENT_OBJECT_LIVEREGIONCHANGED, Windows 8 and later

} // namespace

HRESULT MakeLiveRegion(HWND control) noexcept {
    IAccPropServices* services = nullptr;
    HRESULT result = ::CoCreateInstance(accPropServicesClass, nullptr, CLSCTX_INPROC_SERVER,
                                        accPropServicesInterface, reinterpret_cast<void**>(&services));
    if (SUCCEEDED(result) && services != nullptr) {
        VARIANT polite{};
        polite.vt = VT_I4;
        polite.lVal = livePolite;
        result = services->SetHwndProp(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                       liveSettingProperty, polite);
        services->Release();
    }
    return result;
}

void LiveRegion::Attach(HWND label) noexcept {
    label_ = label;
    // Where the service is missing or refuses, the label is still read, only not spoken by itself. Made
    // here, before the window shows and the timers run: on a loaded machine starting the service can take
    // a second or more, which must not shift a tick.
    MakeLiveRegion(label_);
}

void LiveRegion::Announce(bool shown) noexcept {
    if (!shown) {
        announcePending_ = true;
        return;
    }
    ::NotifyWinEvent(liveRegionChanged, label_, OBJID_CLIENT, CHILDID_SELF);
}

void LiveRegion::WindowShown(bool shown) noexcept {
    if (std::exchange(announcePending_, false)) {
        Announce(shown);
    }
}

} // namespace launchwick::win32
