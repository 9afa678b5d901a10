// libcurl, driven through a multi handle so that Cancel can wake a post in
// flight at once instead of waiting out its time limit.
#include <curl/curl.h>
#include <openssl/ssl.h>

#include <atomic>

#include "alerts/post.h"
#include "version.h"

struct HttpPost::Handles {
    CURL *easy = nullptr;
    CURLM *multi = nullptr;
    curl_slist *headers = nullptr;
    std::atomic<bool> cancelled{false};
};

namespace {

size_t Discard(char *, size_t size, size_t count, void *) { return size * count; }

// Trust what the system's OpenSSL trusts (SSL_CERT_FILE and SSL_CERT_DIR
// where they are set), on top of the bundle libcurl was built with.
CURLcode UseSystemTrust(CURL *, void *ctx, void *)
{
    SSL_CTX_set_default_verify_paths(static_cast<SSL_CTX *>(ctx));
    return CURLE_OK;
}

}  // namespace

bool PostStartup() { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }

void PostCleanup() { curl_global_cleanup(); }

bool HttpPost::Open(const char *url)
{
    Close();
    handles_ = new Handles;
    Handles *h = handles_;
    h->easy = curl_easy_init();
    h->multi = curl_multi_init();
    h->headers = curl_slist_append(nullptr, "Content-Type: application/json");
    if (!h->easy || !h->multi || !h->headers) {
        Close();
        return false;
    }
    // Each option that the post cannot do without must take.
    bool set = curl_easy_setopt(h->easy, CURLOPT_URL, url) == CURLE_OK &&
               curl_easy_setopt(h->easy, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
               curl_easy_setopt(h->easy, CURLOPT_HTTPHEADER, h->headers) == CURLE_OK &&
               curl_easy_setopt(h->easy, CURLOPT_WRITEFUNCTION, Discard) == CURLE_OK &&
               curl_easy_setopt(h->easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    if (!set) {
        Close();
        return false;
    }
    curl_easy_setopt(h->easy, CURLOPT_USERAGENT, VELLARY_VERSION_TEXT);
    curl_easy_setopt(h->easy, CURLOPT_SSL_CTX_FUNCTION, UseSystemTrust);
    return true;
}

int HttpPost::Send(const char *body, size_t size, unsigned timeoutMs, long *status)
{
    *status = 0;
    Handles *h = handles_;
    if (!h)
        return POST_FAILED;
    if (h->cancelled)
        return POST_CANCELLED;
    curl_easy_setopt(h->easy, CURLOPT_POSTFIELDS, body);
    curl_easy_setopt(h->easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(size));
    // The whole try, connection included, ends at timeoutMs.
    curl_easy_setopt(h->easy, CURLOPT_TIMEOUT_MS, static_cast<long>(timeoutMs));
    curl_easy_setopt(h->easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeoutMs));
    if (curl_multi_add_handle(h->multi, h->easy) != CURLM_OK)
        return POST_FAILED;
    int running = 1;
    bool cancelled = false;
    while (running) {
        if (curl_multi_perform(h->multi, &running) != CURLM_OK)
            break;
        if (!running)
            break;
        if ((cancelled = h->cancelled.load()))
            break;
        // libcurl's own time limit ends the transfer; the poll only paces the loop.
        curl_multi_poll(h->multi, nullptr, 0, 1000, nullptr);
    }
    CURLcode result = CURLE_FAILED_INIT;
    int left;
    while (CURLMsg *msg = curl_multi_info_read(h->multi, &left))
        if (msg->msg == CURLMSG_DONE && msg->easy_handle == h->easy)
            result = msg->data.result;
    curl_multi_remove_handle(h->multi, h->easy);
    if (cancelled)
        return POST_CANCELLED;
    if (result != CURLE_OK)
        return POST_FAILED;
    curl_easy_getinfo(h->easy, CURLINFO_RESPONSE_CODE, status);
    return *status >= 200 && *status <= 299 ? POST_SENT : POST_REFUSED;
}

void HttpPost::Cancel()
{
    if (!handles_)
        return;
    handles_->cancelled = true;
    curl_multi_wakeup(handles_->multi);
}

void HttpPost::Close()
{
    Handles *h = handles_;
    if (!h)
        return;
    if (h->multi)
        curl_multi_cleanup(h->multi);
    if (h->easy)
        curl_easy_cleanup(h->easy);
    curl_slist_free_all(h->headers);
    delete h;
    handles_ = nullptr;
}
