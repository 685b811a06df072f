// The Windows program: the Win32 backend under the application object.
#include <windows.h>
#include <objbase.h>

#include <exception>

#include "app/app.h"
#include "platform/win32/win32_platform.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    quorvel::win32::Win32Platform platform(instance);
    try {
        quorvel::app::App app(platform, quorvel::app::Release::QUORVEL_RELEASE);
        app.start();
        platform.run();
        return app.runtime().exitCode();
    } catch (const std::exception& error) {
        platform.fatal(error.what());
    } catch (...) {
        platform.fatal("Unexpected failure");
    }
}
