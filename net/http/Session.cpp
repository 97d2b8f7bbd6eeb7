#include "net/http/Session.h"

#include <curl/curl.h>
#include <windows.h>

#include <cstring>
#include <mutex>
#include <thread>

#include "net/http/ServerCertificate.h"
#include "platform/StartupTrace.h"
#include "platform/Text.h"
#include "platform/UniqueHandle.h"

namespace http {

bool CaseInsensitiveLess::operator()(const std::string& a, const std::string& b) const {
    return _stricmp(a.c_str(), b.c_str()) < 0;
}

namespace {

void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] {
        curl_global_init(CURL_GLOBAL_ALL);
        TraceStartup("libcurl initialised");
    });
}

CURL* Handle(void* p) { return static_cast<CURL*>(p); }

std::string Trim(std::string_view s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string_view::npos) return {};
    size_t e = s.find_last_not_of(" \t\r\n");
    return std::string(s.substr(b, e - b + 1));
}

// Reads a file part through a wide path: curl's own file reader would take
// the name through the ANSI code page and lose Chinese names.
struct FilePartReader {
    UniqueHandle file;

    static size_t Read(char* buffer, size_t size, size_t items, void* arg) {
        auto* self = static_cast<FilePartReader*>(arg);
        DWORD got = 0;
        if (!ReadFile(self->file.Get(), buffer, (DWORD)(size * items), &got, nullptr)) return CURL_READFUNC_ABORT;
        return got;
    }
    static int Seek(void* arg, curl_off_t offset, int origin) {
        auto* self = static_cast<FilePartReader*>(arg);
        LARGE_INTEGER li;
        li.QuadPart = offset;
        DWORD method = origin == SEEK_SET ? FILE_BEGIN : origin == SEEK_CUR ? FILE_CURRENT : FILE_END;
        return SetFilePointerEx(self->file.Get(), li, nullptr, method) ? CURL_SEEKFUNC_OK : CURL_SEEKFUNC_FAIL;
    }
};

bool IsHttpsUrl(const std::string& url) { return _strnicmp(url.c_str(), "https:", 6) == 0; }

// Transport security that no caller may loosen: certificates checked, a
// redirect only as safe as the address asked for, and no endless chains.
void SetSecurity(CURL* curl, const std::string& url) {
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, Session::kMaxRedirects);
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, IsHttpsUrl(url) ? "https" : "http,https");
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    // A revocation server out of reach must not take the service down with it.
    curl_easy_setopt(curl, CURLOPT_SSL_OPTIONS, (long)CURLSSLOPT_REVOKE_BEST_EFFORT);
}

// A file part's name as the service sees it: its path after the last "/" or "\".
std::string LastSegment(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

// State that curl's C callbacks reach through their user pointer.
struct Session::Transfer {
    Session* session;
    Response* response;
    std::vector<std::unique_ptr<FilePartReader>> readers{};
    bool tooLarge = false;
    std::string untrusted{};  // why the server's certificate was refused

    // Between the handshake and the request: nothing is sent to a server
    // whose certificate fails the check.
    static int OnConnected(void* arg, char*, char*, int, int) {
        auto* t = static_cast<Transfer*>(arg);
        try {
            t->untrusted = CheckServerCertificate(t->session->curl_);
            return t->untrusted.empty() ? CURL_PREREQFUNC_OK : CURL_PREREQFUNC_ABORT;
        } catch (...) {
            t->untrusted = "cannot check the server's certificate";
            return CURL_PREREQFUNC_ABORT;
        }
    }

    static size_t OnHeader(char* data, size_t size, size_t items, void* arg) {
        auto* t = static_cast<Transfer*>(arg);
        size_t n = size * items;
        try {
            std::string_view line(data, n);
            Response& r = *t->response;
            if (line.rfind("HTTP/", 0) == 0) {  // a new response (after a redirect or 100-continue)
                r.raw_header.clear();
                r.header.clear();
                r.status_line = Trim(line);
                size_t sp1 = r.status_line.find(' ');
                size_t sp2 = sp1 == std::string::npos ? sp1 : r.status_line.find(' ', sp1 + 1);
                r.reason = sp2 == std::string::npos ? std::string() : r.status_line.substr(sp2 + 1);
            } else if (size_t colon = line.find(':'); colon != std::string_view::npos) {
                r.header[Trim(line.substr(0, colon))] = Trim(line.substr(colon + 1));
            }
            r.raw_header.append(line);
            return n;
        } catch (...) {
            return 0;
        }
    }

    static size_t OnWrite(char* data, size_t size, size_t items, void* arg) {
        auto* t = static_cast<Transfer*>(arg);
        size_t n = size * items;
        try {
            if (t->session->write_) return t->session->write_(std::string_view(data, n)) ? n : 0;
            const std::uint64_t cap = t->session->maxBodyBytes_;
            if (cap && t->response->text.size() + n > cap) {
                t->tooLarge = true;
                return 0;
            }
            t->response->text.append(data, n);
            return n;
        } catch (...) {
            return 0;
        }
    }

    static int OnProgress(void* arg, curl_off_t dlTotal, curl_off_t dlNow, curl_off_t ulTotal, curl_off_t ulNow) {
        auto* t = static_cast<Transfer*>(arg);
        try {
            return t->session->progress_(dlTotal, dlNow, ulTotal, ulNow) ? 0 : 1;
        } catch (...) {
            return 1;
        }
    }
};

Session::Session() {
    GlobalInit();
    curl_ = curl_easy_init();
}

Session::~Session() { curl_easy_cleanup(Handle(curl_)); }

std::string Session::FullUrl() const {
    if (parameters_.Empty()) return url_;
    std::string query;
    for (const Parameter& p : parameters_.Items()) {
        char* key = curl_easy_escape(Handle(curl_), p.key.data(), (int)p.key.size());
        char* value = curl_easy_escape(Handle(curl_), p.value.data(), (int)p.value.size());
        if (!query.empty()) query += '&';
        query += key ? key : "";
        query += '=';
        query += value ? value : "";
        curl_free(key);
        curl_free(value);
    }
    return url_ + (url_.find('?') == std::string::npos ? '?' : '&') + query;
}

Response Session::Get() { return Perform(Method::Get); }
Response Session::Post() { return Perform(Method::Post); }
Response Session::Delete() { return Perform(Method::Delete); }

Response Session::Perform(Method method) {
    Response response;
    CURL* curl = Handle(curl_);
    if (!curl) {
        response.error = {ErrorCode::InternalError, "curl_easy_init failed"};
        return response;
    }
    curl_easy_reset(curl);
    Transfer transfer{this, &response};
    char errorBuffer[CURL_ERROR_SIZE] = {};
    std::string fullUrl = FullUrl();

    curl_easy_setopt(curl, CURLOPT_URL, fullUrl.c_str());
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    SetSecurity(curl, fullUrl);
    curl_easy_setopt(curl, CURLOPT_PREREQFUNCTION, &Transfer::OnConnected);
    curl_easy_setopt(curl, CURLOPT_PREREQDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &Transfer::OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Transfer::OnWrite);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    if (progress_) {
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &Transfer::OnProgress);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
    }
    if (bufferSize_ > 0) curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, bufferSize_);
    if (timeoutMs_ > 0) curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, timeoutMs_);
    if (connectTimeoutMs_ > 0) curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, connectTimeoutMs_);
    if (stallSeconds_ > 0) {
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, floorBytesPerSecond_ > 0 ? floorBytesPerSecond_ : 1L);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, stallSeconds_);
    }

    curl_mime* mime = nullptr;
    if (method == Method::Delete) {
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, "DELETE");
    } else if (method == Method::Post) {
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        if (multipart_.parts.empty()) {
            curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, (curl_off_t)body_.size());
            curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body_.c_str());
        } else {
            mime = curl_mime_init(curl);
            for (const Part& part : multipart_.parts) {
                curl_mimepart* mp = curl_mime_addpart(mime);
                curl_mime_name(mp, part.name.c_str());
                if (!part.isFile) {
                    curl_mime_data(mp, part.value.data(), part.value.size());
                    continue;
                }
                auto reader = std::make_unique<FilePartReader>();
                reader->file.Reset(CreateFileW(Utf8ToWide(part.value).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
                LARGE_INTEGER size{};
                if (!reader->file || !GetFileSizeEx(reader->file.Get(), &size)) {
                    curl_mime_free(mime);
                    response.error = {ErrorCode::InternalError, "cannot read " + part.value};
                    return response;
                }
                curl_mime_data_cb(mp, size.QuadPart, &FilePartReader::Read, &FilePartReader::Seek, nullptr, reader.get());
                curl_mime_filename(mp, LastSegment(part.value).c_str());
                curl_mime_type(mp, "application/octet-stream");
                transfer.readers.push_back(std::move(reader));
            }
            curl_easy_setopt(curl, CURLOPT_MIMEPOST, mime);
        }
    } else {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    }

    CURLcode code = curl_easy_perform(curl);

    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    response.status_code = status;
    char* effective = nullptr;
    curl_easy_getinfo(curl, CURLINFO_EFFECTIVE_URL, &effective);
    response.url = effective ? effective : fullUrl;
    curl_easy_getinfo(curl, CURLINFO_TOTAL_TIME, &response.elapsed);
    curl_off_t up = 0, down = 0;
    curl_easy_getinfo(curl, CURLINFO_SIZE_UPLOAD_T, &up);
    curl_easy_getinfo(curl, CURLINFO_SIZE_DOWNLOAD_T, &down);
    response.uploaded_bytes = (std::uint64_t)up;
    response.downloaded_bytes = (std::uint64_t)down;
    curl_easy_getinfo(curl, CURLINFO_REDIRECT_COUNT, &response.redirect_count);
    response.error = ErrorFromCurl(code, errorBuffer);
    // Our own refusals arrive as curl aborts; the user sees them as what they are.
    if (!transfer.untrusted.empty()) response.error = {ErrorCode::SslRemoteCertificateError, transfer.untrusted};
    if (transfer.tooLarge)
        response.error = {ErrorCode::NetworkReceiveError,
                          "the answer is larger than " + std::to_string(maxBodyBytes_) + " bytes"};

    // The options point into locals of this call; drop them before returning.
    curl_easy_reset(curl);
    if (mime) curl_mime_free(mime);
    return response;
}

std::shared_future<Response> LaunchAsync(std::function<Response()> work) {
    std::packaged_task<Response()> task([work = std::move(work)]() {
        try {
            return work();
        } catch (const std::exception& e) {
            Response r;
            r.error = {ErrorCode::UnknownError, e.what()};
            return r;
        } catch (...) {
            Response r;
            r.error = {ErrorCode::UnknownError, "unknown failure"};
            return r;
        }
    });
    std::shared_future<Response> result = task.get_future().share();
    std::thread(std::move(task)).detach();
    return result;
}

}  // namespace http
