// Posts through the program's own WinHTTP client (platform/win32/win32_site.cpp, on its
// worker thread) for the end-to-end tests: sitetool URL TOKEN BODY prints
// "status=N ms=N failure=[...] body=[...]".
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>

#include "platform/win32/wide.h"
#include "platform/win32/win32_site.h"

int wmain(int argc, wchar_t** argv) {
    using namespace quorvel;
    if (argc != 4) return 2;
    std::mutex mutex;
    std::condition_variable answered;
    std::optional<ui::SiteReply> reply;
    const auto start = win32::SiteClock::now();
    {
        win32::SitePoster poster;
        poster.post(win32::toUtf8(argv[1]), win32::toUtf8(argv[2]), win32::toUtf8(argv[3]),
                    start + std::chrono::seconds(ui::Platform::kSiteTimeoutSeconds), [&](ui::SiteReply r) {
                        const std::lock_guard<std::mutex> lock(mutex);
                        reply = std::move(r);
                        answered.notify_all();
                    });
        std::unique_lock<std::mutex> lock(mutex);
        answered.wait(lock, [&] { return reply.has_value(); });
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(win32::SiteClock::now() - start).count();
    std::printf("status=%d ms=%lld failure=[%s] body=[%s]\n", reply->status, static_cast<long long>(ms),
                reply->failure.c_str(), reply->body.c_str());
    return 0;
}
