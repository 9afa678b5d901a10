// HTTP POST, the one thing the webhook sender needs from the platform:
// WinHTTP on Windows (the system's proxy settings and certificate store),
// libcurl elsewhere. Certificates are always checked; nothing turns that off.
#pragma once

#include <cstddef>

// The platform's start-up and clean-up for posting, once per sender, on the
// thread that starts and ends it: libcurl's global state; nothing on Windows.
bool PostStartup();
void PostCleanup();

enum PostResult {
    POST_SENT,       // the receiver answered with a 2xx status
    POST_REFUSED,    // it answered with another status
    POST_FAILED,     // no answer: no connection, a time-out, a certificate that does not check out
    POST_CANCELLED,  // Cancel ended it
};

// Posts to one URL, reusing its connection where the receiver keeps it open.
// Closed when it goes out of scope.
class HttpPost {
public:
    HttpPost() = default;
    ~HttpPost() { Close(); }
    HttpPost(const HttpPost &) = delete;
    HttpPost &operator=(const HttpPost &) = delete;

    // Prepares posts to url (http or https): false when the platform cannot.
    bool Open(const char *url);
    // Posts size bytes of JSON and reads the answer, within timeoutMs for the
    // connection and for the answer alike. Returns a PostResult; *status is
    // the HTTP status, or 0 when there was no answer.
    int Send(const char *body, size_t size, unsigned timeoutMs, long *status);
    // From any thread: ends a Send in flight as soon as the platform lets it
    // (libcurl at once; WinHTTP when the request it closes lets its call
    // return, which under Wine is at the time limit), and every later Send
    // returns POST_CANCELLED. Not at the same time as Close.
    void Cancel();
    void Close();

private:
    struct Handles;  // the platform's, in post_<platform>.cpp
    Handles *handles_ = nullptr;
};
