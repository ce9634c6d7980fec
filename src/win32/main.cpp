// Entry point: builds the core on the Win32 platform, creates the hidden splash window, runs the
// load handler, shows the window and runs the message loop until the program ends itself.
#include "SplashWindow.h"
#include "Win32Platform.h"

#include "Setup.h"
#include "Shell_Library.h"
#include "frmMain.h"
#include "modMain.h"
#include "resources/resource.h"

#include <objbase.h>

#include <exception>

namespace {

using launchwick::frmMain;
using launchwick::Timer;
using namespace launchwick::win32;

// The window's events, handed to the form's handlers.
class FormEvents final : public SplashEvents {
public:
    explicit FormEvents(frmMain& form) noexcept : form_(form) {}
    void KeyPress(std::int16_t keyAscii) override { form_.Form_KeyPress(keyAscii); }
    void CancelClicked() override { form_.btnCancel_Click(); }
    void TimerElapsed(Timer timer) override { form_.OnTimer(timer); }

private:
    frmMain& form_;
};

UniqueIcon LoadAppIcon(HINSTANCE instance, int widthMetric, int heightMetric) noexcept {
    return UniqueIcon(static_cast<HICON>(::LoadImageA(instance, MAKEINTRESOURCEA(IDI_LAUNCHWICK), IMAGE_ICON,
                                                      ::GetSystemMetrics(widthMetric),
                                                      ::GetSystemMetrics(heightMetric), 0)));
}

// Shell extensions that ShellExecuteW may load expect a single-threaded apartment.
class ComApartment {
public:
    ComApartment() noexcept
        : initialized_(
              SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (initialized_) {
            ::CoUninitialize();
        }
    }

private:
    bool initialized_;
};

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    // First of all, before anything can load a DLL by its bare name from the program's folder.
    RestrictDllSearch();
    const ComApartment apartment;
    // With an argument it does that one job and ends: no window, no settings file, nothing started.
    const launchwick::Arguments arguments =
        launchwick::ParseArguments(commandLine != nullptr ? commandLine : "");
    if (arguments.job != launchwick::Job::Run) {
        Win32Platform platform;
        return launchwick::RunJob(platform, arguments);
    }
    // Loads the version 6 controls the manifest asks for, so the buttons are themed.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);

    // The icons outlive the window class that shows them.
    const UniqueIcon bigIcon = LoadAppIcon(instance, SM_CXICON, SM_CYICON);
    const UniqueIcon smallIcon = LoadAppIcon(instance, SM_CXSMICON, SM_CYSMICON);
    try {
        SplashWindow splash(instance, bigIcon.get(), smallIcon.get());
        Win32Platform platform(splash);
        launchwick::modMain settings(platform);
        launchwick::Shell_Library shell(platform);
        frmMain form(platform, settings, shell);
        FormEvents events(form);
        splash.SetEvents(&events);

        // Its message boxes come before the window is seen.
        form.Form_Load();
        if (!splash.Ended()) {
            splash.Show();
        }
        const int exitCode = splash.RunMessageLoop();
        splash.SetEvents(nullptr);
        return exitCode;
    } catch (const std::exception&) {
        return 1; // the window could not be created
    }
}
