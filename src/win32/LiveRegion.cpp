// The status line for screen readers: the property service, asked for only when a client can use it.
#include "LiveRegion.h"

#include "UniqueHandle.h"

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

constexpr UINT_PTR labelSubclass = 1;

// Makes a control a polite live region for UI Automation, through the accessibility property service
// (COM, on a thread that has joined an apartment). Returns what the service answered.
HRESULT MakeLiveRegion(HWND control) noexcept {
    UniqueCom<IAccPropServices> services;
    HRESULT result = ::CoCreateInstance(accPropServicesClass, nullptr, CLSCTX_INPROC_SERVER,
                                        accPropServicesInterface, services.OutObject());
    if (SUCCEEDED(result) && services) {
        VARIANT polite{};
        polite.vt = VT_I4;
        polite.lVal = livePolite;
        result = services->SetHwndProp(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                       liveSettingProperty, polite);
    }
    return result;
}

} // namespace

void LiveRegion::Attach(HWND label) noexcept {
    label_ = label;
    // Without the subclass a client that asks the label first gets it without its live setting; it is still
    // read, only not spoken by itself.
    ::SetWindowSubclass(label_, &LiveRegion::LabelProc, labelSubclass, reinterpret_cast<DWORD_PTR>(this));
}

void LiveRegion::MakeIfScreenReader() noexcept {
    BOOL running = FALSE;
    if (::SystemParametersInfoA(SPI_GETSCREENREADER, 0, &running, 0) && running) {
        ClientAsks();
    }
}

void LiveRegion::ClientAsks() noexcept {
    if (label_ == nullptr || serviceRequests_ != 0) {
        return;
    }
    ++serviceRequests_;
    // Where the service is missing or refuses, the label is still read, only not spoken by itself.
    serviceAnswer_ = MakeLiveRegion(label_);
}

LRESULT CALLBACK LiveRegion::LabelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR self) noexcept {
    if (message == WM_GETOBJECT) {
        reinterpret_cast<LiveRegion*>(self)->ClientAsks();
    } else if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(window, &LiveRegion::LabelProc, id);
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
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
