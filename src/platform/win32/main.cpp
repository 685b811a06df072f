// The Windows program: the Win32 backend under the application object.
#include <windows.h>
#include <objbase.h>

#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_platform.h"
#include "remote/options.h"
#include "remote/server.h"

namespace {

// The command line's arguments after the program's name, as UTF-8: as the C runtime of a
// wide-character program split them (the shell's splitter would load the shell at start).
std::vector<std::string> arguments() {
    std::vector<std::string> result;
    for (int i = 1; __wargv && i < __argc; ++i) result.push_back(quorvel::win32::toUtf8(__wargv[i]));
    return result;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    quorvel::win32::Win32Platform platform(instance);
    try {
        quorvel::app::App app(platform, quorvel::day::Release::QUORVEL_RELEASE);
        // A remote control that was asked for and cannot listen fails like an unreadable
        // file, before any window: the message names the address and the reason, and the
        // program ends, rather than running without the control the operator counts on.
        std::unique_ptr<quorvel::remote::Server> remote;
        app.runtime().dispatch([&] {
            if (const auto endpoint = quorvel::remote::parseOptions(arguments()))
                remote = std::make_unique<quorvel::remote::Server>(app, *endpoint);
        });
        app.start();
        platform.run();
        return app.runtime().exitCode();
    } catch (const std::exception& error) {
        platform.fatal(error.what());
    } catch (...) {
        platform.fatal("Unexpected failure");
    }
}
