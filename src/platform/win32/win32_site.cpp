#include "platform/win32/win32_site.h"

#include <algorithm>
#include <new>
#include <utility>

#include "platform/win32/wide.h"

namespace quorvel::win32 {

namespace {

// The answer is kept in memory whole; a site's answers to the program are far smaller.
constexpr std::size_t kLongestAnswer = 32u << 20;

// Closes a WinHTTP handle at the end of its scope.
class Handle {
public:
    explicit Handle(HINTERNET handle) : handle_(handle) {}
    ~Handle() {
        if (handle_) WinHttpCloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HINTERNET get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    HINTERNET handle_;
};

// The reason, in words, for a WinHTTP failure talking to `host`.
std::string reasonFor(DWORD code, const std::string& host) {
    switch (code) {
        case ERROR_WINHTTP_NAME_NOT_RESOLVED: return "no network: the name " + host + " is not known";
        case ERROR_WINHTTP_CANNOT_CONNECT: return "no network: " + host + " does not take the connection";
        case ERROR_WINHTTP_TIMEOUT: return noAnswerInTime().failure;
        case ERROR_WINHTTP_CONNECTION_ERROR: return "the connection to " + host + " was broken off";
        case ERROR_WINHTTP_INVALID_SERVER_RESPONSE: return host + " gave an answer that is not HTTP";
        case ERROR_WINHTTP_INVALID_URL:
        case ERROR_WINHTTP_UNRECOGNIZED_SCHEME: return "the address is not a web address";
        case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
            return "the site's certificate is not trusted: it has expired or is not yet valid";
        case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
            return "the site's certificate is not trusted: it is made out to another name than " + host;
        case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
            return "the site's certificate is not trusted: whether it was revoked cannot be checked";
        case ERROR_WINHTTP_SECURE_CERT_REVOKED: return "the site's certificate is not trusted: it was revoked";
        case ERROR_WINHTTP_SECURE_FAILURE:
        case ERROR_WINHTTP_SECURE_INVALID_CA:
        case ERROR_WINHTTP_SECURE_INVALID_CERT:
        case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE: return "the site's certificate is not trusted";
        // Wine reports a certificate it does not trust so.
        case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
            return "no secure connection could be made with " + host +
                   ": the site's certificate is not trusted, or the site and the system share no protocol";
        default: return "no connection to " + host + " (error " + std::to_string(code) + ")";
    }
}

int remainingMs(SiteClock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SiteClock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, ui::Platform::kSiteTimeoutSeconds * 1000LL));
}

// Gives each step of the request what is left of the post's time, so that the steps
// together end by the deadline. False when nothing is left.
bool limitTo(HINTERNET request, SiteClock::time_point deadline) {
    const int left = remainingMs(deadline);
    if (left == 0) return false;
    WinHttpSetTimeouts(request, left, left, left, left);
    // The wait for the answer's headers has a time-out of its own, which Wine does not
    // take from the one above.
    DWORD wait = static_cast<DWORD>(left);
    WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &wait, sizeof wait);
    return true;
}

}  // namespace

ui::SiteReply noAnswerInTime() {
    return {0, "", "no answer within " + std::to_string(ui::Platform::kSiteTimeoutSeconds) + " s"};
}

SiteSession::SiteSession() {
    // The system's automatic proxy where it has it (Windows 8.1 and later), else the
    // proxy set for WinHTTP.
    session_ = WinHttpOpen(L"Quorvel", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                           WINHTTP_NO_PROXY_BYPASS, 0);
    if (!session_)
        session_ = WinHttpOpen(L"Quorvel", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                               WINHTTP_NO_PROXY_BYPASS, 0);
    if (!session_) {
        failure_ = "the system's web client cannot be used (error " + std::to_string(GetLastError()) + ")";
        return;
    }
    // TLS 1.2 and 1.3 where the system knows them; older systems keep their own choice.
    DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
    if (!WinHttpSetOption(session_, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols)) {
        protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
        WinHttpSetOption(session_, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols);
    }
}

SiteSession::~SiteSession() {
    if (session_) WinHttpCloseHandle(session_);
}

ui::SiteReply postJsonNow(const SiteSession& session, const std::string& url, const std::string& token,
                          const std::string& body, SiteClock::time_point deadline) {
    ui::SiteReply reply;
    if (!session.handle()) {
        reply.failure = session.failure();
        return reply;
    }
    const std::wstring wideUrl = toWide(url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(wideUrl.c_str(), static_cast<DWORD>(wideUrl.size()), 0, &parts) ||
        (parts.nScheme != INTERNET_SCHEME_HTTPS && parts.nScheme != INTERNET_SCHEME_HTTP) || parts.dwHostNameLength == 0) {
        reply.failure = "the address is not a web address";
        return reply;
    }
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    const std::string hostName = toUtf8(host);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (path.empty()) path = L"/";

    const auto failed = [&](DWORD code) {
        reply.status = 0;
        reply.body.clear();
        reply.failure = remainingMs(deadline) == 0 ? noAnswerInTime().failure : reasonFor(code, hostName);
        return reply;
    };
    const Handle connection(WinHttpConnect(session.handle(), host.c_str(), parts.nPort, 0));
    if (!connection) return failed(GetLastError());
    const Handle request(WinHttpOpenRequest(connection.get(), L"POST", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                            WINHTTP_DEFAULT_ACCEPT_TYPES,
                                            parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
    if (!request) return failed(GetLastError());
    // A redirect is not followed: it would carry the token to another address.
    DWORD feature = WINHTTP_DISABLE_REDIRECTS;
    if (!WinHttpSetOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &feature, sizeof feature))
        return failed(GetLastError());

    std::wstring headers = L"Content-Type: application/json\r\nAccept: application/json\r\n";
    if (!token.empty()) headers += L"Authorization: Bearer " + toWide(token) + L"\r\n";
    if (!limitTo(request.get(), deadline)) return failed(ERROR_WINHTTP_TIMEOUT);
    if (!WinHttpSendRequest(request.get(), headers.c_str(), static_cast<DWORD>(headers.size()),
                            const_cast<char*>(body.data()), static_cast<DWORD>(body.size()),
                            static_cast<DWORD>(body.size()), 0))
        return failed(GetLastError());
    if (!limitTo(request.get(), deadline)) return failed(ERROR_WINHTTP_TIMEOUT);
    if (!WinHttpReceiveResponse(request.get(), nullptr)) return failed(GetLastError());

    DWORD status = 0;
    DWORD size = sizeof status;
    if (!WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
        return failed(GetLastError());
    for (;;) {
        if (!limitTo(request.get(), deadline)) return failed(ERROR_WINHTTP_TIMEOUT);
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request.get(), &available)) return failed(GetLastError());
        if (available == 0) break;
        if (reply.body.size() + available > kLongestAnswer) {
            reply = {};
            reply.failure = hostName + " gave an answer too long to be read";
            return reply;
        }
        const std::size_t at = reply.body.size();
        reply.body.resize(at + available);
        DWORD read = 0;
        if (!WinHttpReadData(request.get(), reply.body.data() + at, available, &read)) return failed(GetLastError());
        reply.body.resize(at + read);
    }
    reply.status = static_cast<int>(status);
    return reply;
}

SitePoster::SitePoster() : thread_([this] { run(); }) {}

SitePoster::~SitePoster() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    wake_.notify_all();
    thread_.join();
}

void SitePoster::post(std::string url, std::string token, std::string body, SiteClock::time_point deadline,
                      Answer answer) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back({std::move(url), std::move(token), std::move(body), deadline, std::move(answer)});
    }
    wake_.notify_one();
}

void SitePoster::run() {
    // The session is opened here, not on the UI thread: finding the proxy may take a while.
    const SiteSession session;
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (stopping_) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        ui::SiteReply reply;
        try {
            reply = postJsonNow(session, job.url, job.token, job.body, job.deadline);
        } catch (const std::bad_alloc&) {
            reply = {0, "", "the system has no memory left for the site's answer"};
        }
        job.answer(std::move(reply));
    }
}

}  // namespace quorvel::win32
