// WinHTTP, synchronous, on the sender's thread. The session takes the
// system's proxy settings; an https receiver's certificate is checked against
// the system's store, as WinHTTP does unless told otherwise, which nothing here
// does.
#include <windows.h>
#include <winhttp.h>

#include <cstring>
#include <mutex>

#include "alerts/post.h"
#include "config/settings.h"
#include "config/utf8.h"
#include "version.h"

struct HttpPost::Handles {
    HINTERNET session = nullptr;
    HINTERNET connection = nullptr;
    wchar_t path[SETTINGS_VALUE_CHARS] = {};  // with the query, as sent
    bool secure = false;
    std::mutex lock;  // the request handle against Cancel from another thread
    HINTERNET request = nullptr;
    bool cancelled = false;
};

namespace {

const wchar_t *const kAgent = L"" VELLARY_VERSION_TEXT;

// The answer's body is not used; reading some of it lets the connection be
// kept for the next post, and a receiver that sends without end is not waited for.
const DWORD kBodyReadMax = 64 * 1024;

void DrainBody(HINTERNET request)
{
    char buf[4096];
    DWORD total = 0, got = 0;
    while (total < kBodyReadMax && WinHttpReadData(request, buf, sizeof buf, &got) && got > 0)
        total += got;
}

}  // namespace

bool PostStartup() { return true; }

void PostCleanup() {}

bool HttpPost::Open(const char *url)
{
    Close();
    handles_ = new Handles;
    Handles *h = handles_;
    wchar_t wide[SETTINGS_VALUE_CHARS];
    WidenText(url, strlen(url), wide, SETTINGS_VALUE_CHARS, SETTINGS_VALUE_CHARS);
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    wchar_t host[SETTINGS_HOST_CHARS];
    if (!WinHttpCrackUrl(wide, 0, 0, &parts) || parts.dwHostNameLength == 0 ||
        parts.dwHostNameLength >= SETTINGS_HOST_CHARS ||
        (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)) {
        Close();
        return false;
    }
    wmemcpy(host, parts.lpszHostName, parts.dwHostNameLength);
    host[parts.dwHostNameLength] = L'\0';
    // The path and the query follow each other in the URL; a fragment is not sent.
    const wchar_t *path = parts.dwUrlPathLength ? parts.lpszUrlPath : parts.lpszExtraInfo;
    size_t pathLen = path ? wcscspn(path, L"#") : 0;
    if (pathLen == 0 || path[0] != L'/') {
        h->path[0] = L'/';
        wmemcpy(h->path + 1, path ? path : L"", pathLen);
        h->path[pathLen + 1] = L'\0';
    } else {
        wmemcpy(h->path, path, pathLen);
        h->path[pathLen] = L'\0';
    }
    h->secure = parts.nScheme == INTERNET_SCHEME_HTTPS;

    h->session =
        WinHttpOpen(kAgent, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (!h->session)  // before Windows 8.1: the proxy set for WinHTTP
        h->session =
            WinHttpOpen(kAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (h->session)
        h->connection = WinHttpConnect(h->session, host, parts.nPort, 0);
    if (!h->connection) {
        Close();
        return false;
    }
    return true;
}

int HttpPost::Send(const char *body, size_t size, unsigned timeoutMs, long *status)
{
    *status = 0;
    Handles *h = handles_;
    if (!h)
        return POST_FAILED;
    HINTERNET request;
    {
        std::lock_guard<std::mutex> guard(h->lock);
        if (h->cancelled)
            return POST_CANCELLED;
        h->request = WinHttpOpenRequest(h->connection, L"POST", h->path, nullptr, WINHTTP_NO_REFERER,
                                        WINHTTP_DEFAULT_ACCEPT_TYPES, h->secure ? WINHTTP_FLAG_SECURE : 0);
        request = h->request;
    }
    if (!request)
        return POST_FAILED;
    int ms = static_cast<int>(timeoutMs);
    DWORD receiveMs = timeoutMs;
    DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
    // WinHttpSetTimeouts alone has been seen to leave a silent receiver waited
    // for far longer (Wine); the response time-out ends that wait.
    bool ok = WinHttpSetTimeouts(request, ms, ms, ms, ms) &&
              WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &receiveMs, sizeof receiveMs) &&
              WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof noRedirects);
    ok = ok &&
         WinHttpSendRequest(request, L"Content-Type: application/json\r\n", static_cast<DWORD>(-1L),
                            const_cast<char *>(body), static_cast<DWORD>(size), static_cast<DWORD>(size), 0) &&
         WinHttpReceiveResponse(request, nullptr);
    DWORD code = 0, codeSize = sizeof code;
    ok = ok && WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                   WINHTTP_HEADER_NAME_BY_INDEX, &code, &codeSize, WINHTTP_NO_HEADER_INDEX);
    if (ok)
        DrainBody(request);
    bool cancelled;
    {
        std::lock_guard<std::mutex> guard(h->lock);
        cancelled = h->cancelled;
        if (h->request)  // else Cancel closed it
            WinHttpCloseHandle(h->request);
        h->request = nullptr;
    }
    if (cancelled)
        return POST_CANCELLED;
    if (!ok)
        return POST_FAILED;
    *status = static_cast<long>(code);
    return code >= 200 && code <= 299 ? POST_SENT : POST_REFUSED;
}

void HttpPost::Cancel()
{
    Handles *h = handles_;
    if (!h)
        return;
    std::lock_guard<std::mutex> guard(h->lock);
    h->cancelled = true;
    // Closing the request is how a synchronous call in flight is ended.
    if (h->request)
        WinHttpCloseHandle(h->request);
    h->request = nullptr;
}

void HttpPost::Close()
{
    Handles *h = handles_;
    if (!h)
        return;
    if (h->connection)
        WinHttpCloseHandle(h->connection);
    if (h->session)
        WinHttpCloseHandle(h->session);
    delete h;
    handles_ = nullptr;
}
