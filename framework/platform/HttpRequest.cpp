#include "framework/platform/HttpRequest.h"

#include <curl/curl.h>

#include <linux/tcp.h>
#include <netinet/in.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <mutex>

#include "framework/platform/WideText.h"
#include "toolbox/Events.h"

namespace {

// libcurl reads pieces of at most this size; the response grows by the piece plus this much
// so that a response of about a megabyte costs one allocation.
constexpr size_t kGrowthStep = 1024000;

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// A URL libcurl may be given: plain printable ASCII, accepted by libcurl's URL parser, with
// the scheme http or https.
bool AcceptableUrl(const std::string& url) {
  if (url.empty()) return false;
  for (unsigned char c : url)
    if (c <= 0x20 || c >= 0x7F) return false;
  CURLU* parsed = curl_url();
  if (!parsed) return false;
  bool ok = false;
  if (curl_url_set(parsed, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK) {
    char* scheme = nullptr;
    if (curl_url_get(parsed, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK && scheme) {
      ok = std::strcmp(scheme, "http") == 0 || std::strcmp(scheme, "https") == 0;
      curl_free(scheme);
    }
  }
  curl_url_cleanup(parsed);
  return ok;
}

// A header line may not carry a line break (it would add headers of its own) and its name
// may not hold a colon.
bool AcceptableHeader(const std::string& name, const std::string& value) {
  if (name.empty() || name.find_first_of(":\r\n") != std::string::npos) return false;
  for (unsigned char c : name)
    if (c <= 0x20 || c >= 0x7F) return false;
  return value.find_first_of("\r\n") == std::string::npos && value.find('\0') == std::string::npos;
}

// Whether the server was reached: the TCP connection made and, for HTTPS, the TLS
// handshake (with the server's certificate verified) completed as well.
bool ConnectionMade(CURL* easy, CURLcode result, bool secure) {
  if (result == CURLE_OK) return true;
  curl_off_t connected = 0;
  const CURLINFO info = secure ? CURLINFO_APPCONNECT_TIME_T : CURLINFO_CONNECT_TIME_T;
  return curl_easy_getinfo(easy, info, &connected) == CURLE_OK && connected > 0;
}

}  // namespace

// What one transfer owns besides its easy handle. It sends its own copy of the body, so
// the request's body may change or go while a POST runs on the event loop.
struct HttpRequest::Transfer {
  curl_slist* headers = nullptr;
  std::vector<uint8_t> body;
  // On the event loop: the sockets libcurl asked to be watched.
  std::map<curl_socket_t, toolbox::EventLoopDescriptorRef> sockets;
  ~Transfer() {
    for (const auto& [socket, watch] : sockets) toolbox::RemoveEventLoopDescriptor(watch);
    curl_slist_free_all(headers);
  }
};

HttpRequest::HttpRequest(const wchar_t* url, uint32_t method) : method_(method) { SetUrl(url); }

HttpRequest::~HttpRequest() {
  Cancel();
  Clear();
}

void HttpRequest::SetUrl(const wchar_t* url) { url_ = url ? ToNativeString(url) : std::string(); }

void HttpRequest::AddHeader(const std::string& name, const std::string& value) {
  headers_.emplace_back(name, value);
}

void HttpRequest::SetBody(const void* bytes, size_t count) {
  const auto* b = static_cast<const uint8_t*>(bytes);
  body_.assign(b, b + (b ? count : 0));
}

void HttpRequest::SetTimeouts(long connectMs, long transferMs) {
  connectTimeoutMs_ = connectMs;
  transferTimeoutMs_ = transferMs;
}

const uint8_t* HttpRequest::ResponseData() const {
  return reinterpret_cast<const uint8_t*>(response_.c_str());
}

bool HttpRequest::AppendResponse(const void* bytes, size_t count) {
  if (count == 0) return true;
  const size_t size = response_.size();
  if (count > kMaxResponseSize - size) return false;
  if (size + count > response_.capacity())
    response_.reserve(std::min(size + count + kGrowthStep, kMaxResponseSize));
  response_.append(static_cast<const char*>(bytes), count);
  return true;
}

void HttpRequest::SetResponse(const void* bytes, size_t count) {
  std::string().swap(response_);
  if (!bytes) return;
  response_.reserve(count + kGrowthStep);
  response_.assign(static_cast<const char*>(bytes), count);
}

void HttpRequest::Clear() {
  headers_.clear();
  std::string().swap(response_);
  std::vector<uint8_t>().swap(body_);
}

size_t HttpRequest::OnData(char* bytes, size_t size, size_t count, void* self) {
  auto* request = static_cast<HttpRequest*>(self);
  const size_t n = size * count;
  if (!request->AppendResponse(bytes, n)) {
    request->overflow_ = true;
    return 0;  // ends the transfer
  }
  return n;
}

size_t HttpRequest::OnHeader(char* bytes, size_t size, size_t count, void* self) {
  const size_t n = size * count;
  auto* request = static_cast<HttpRequest*>(self);
  // A status line opens a block of headers (an interim answer's or the final one's), the
  // empty line closes it. The fields of a chunked answer's trailer come after its body
  // began, and libcurl passes on no empty line after them: they open nothing.
  if (n >= 5 && std::memcmp(bytes, "HTTP/", 5) == 0)
    request->headersOpen_ = true;
  else if ((n == 2 && bytes[0] == '\r' && bytes[1] == '\n') || (n == 1 && bytes[0] == '\n'))
    request->headersOpen_ = false;
  return n;
}

// libcurl passes on no byte of an answer before its status line is whole; the connection
// itself tells whether the server sent any (over TLS the handshake counts too, so only a
// connection without it is asked). It counts the segments that carried data: its byte
// count also counts the server's closing FIN as one, which a reset may follow, so a server
// that closed without a word would look like one that sent a byte.
int HttpRequest::OnCloseSocket(void* self, int socket) {
  auto* request = static_cast<HttpRequest*>(self);
  tcp_info info{};
  socklen_t length = sizeof info;
  if (!request->secure_ && getsockopt(socket, IPPROTO_TCP, TCP_INFO, &info, &length) == 0 &&
      length >= offsetof(tcp_info, tcpi_data_segs_in) + sizeof info.tcpi_data_segs_in &&
      info.tcpi_data_segs_in > 0)
    request->answerBegan_ = true;
  return close(socket);
}

void* HttpRequest::PrepareTransfer(Transfer& transfer) {
  GlobalInit();
  if (!AcceptableUrl(url_)) return nullptr;
  CURL* easy = curl_easy_init();
  if (!easy) return nullptr;
  curl_easy_setopt(easy, CURLOPT_URL, url_.c_str());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, connectTimeoutMs_);
  curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, transferTimeoutMs_);
  curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxResponseSize));
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &HttpRequest::OnData);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &HttpRequest::OnHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(easy, CURLOPT_CLOSESOCKETFUNCTION, &HttpRequest::OnCloseSocket);
  curl_easy_setopt(easy, CURLOPT_CLOSESOCKETDATA, this);
  secure_ = strncasecmp(url_.c_str(), "https:", 6) == 0;
  answerBegan_ = false;
  if (method_ == kHttpMethodPost) {
    bool hasContentType = false;
    for (const auto& [name, value] : headers_) {
      if (!AcceptableHeader(name, value)) {
        curl_easy_cleanup(easy);
        return nullptr;
      }
      if (strcasecmp(name.c_str(), "Content-Type") == 0) hasContentType = true;
      // "Name;" is libcurl's way of sending a header with an empty value.
      const std::string line = value.empty() ? name + ";" : name + ": " + value;
      transfer.headers = curl_slist_append(transfer.headers, line.c_str());
    }
    // Only the caller's headers go out: no form content type, and no wait for a
    // "100 Continue" that servers of HTTP/1.0 never send.
    if (!hasContentType) transfer.headers = curl_slist_append(transfer.headers, "Content-Type:");
    transfer.headers = curl_slist_append(transfer.headers, "Expect:");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, transfer.headers);
    transfer.body = body_;
    curl_easy_setopt(easy, CURLOPT_POST, 1L);
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(transfer.body.size()));
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS,
                     transfer.body.empty() ? "" : reinterpret_cast<const char*>(transfer.body.data()));
  }
  return easy;
}

// Whether a transfer that libcurl ended with `result` succeeded; the response is emptied
// where nothing of it may be kept.
bool HttpRequest::Judge(void* handle, int code) {
  CURL* easy = static_cast<CURL*>(handle);
  const auto result = static_cast<CURLcode>(code);
  if (overflow_ || result == CURLE_FILESIZE_EXCEEDED) {
    SetResponse(nullptr, 0);
    return false;
  }
  // An answer that broke off inside its headers never said what it is.
  if (headersOpen_) return false;
  // An answer that began (a status line came) but did not end as it declared (short of its
  // Content-Length, a chunked body without its last chunk, broken off or out of time) is a
  // failure; the bytes that came stay in the response.
  long status = 0;
  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
  if (status > 0 && result != CURLE_OK) return false;
  // A GET succeeds once connected, with whatever arrived; a POST when any answer arrived.
  if (method_ == kHttpMethodGet) {
    // An answer that broke off or ran out of time before its status line was whole began
    // all the same. Over TLS, where the connection's count is not to be had, the transfer's
    // start tells where the time ran out: libcurl marks it at its first read, but a read
    // that finds the connection closed marks it too.
    curl_off_t started = 0;
    if (status == 0 && result != CURLE_OK &&
        (answerBegan_ || (result != CURLE_GOT_NOTHING &&
                          curl_easy_getinfo(easy, CURLINFO_STARTTRANSFER_TIME_T, &started) == CURLE_OK &&
                          started > 0)))
      return false;
    const bool connected = ConnectionMade(easy, result, secure_);
    if (!connected) SetResponse(nullptr, 0);
    return connected;
  }
  return !response_.empty();
}

bool HttpRequest::Run(bool synchronous) {
  // One transfer at a time: a POST still running on the event loop is cancelled, so that
  // its answer never mixes with the new one.
  Cancel();
  succeeded_ = false;
  if (!synchronous) return method_ == kHttpMethodPost ? StartPost() : false;
  if (method_ != kHttpMethodGet && method_ != kHttpMethodPost) return false;
  SetResponse(nullptr, 0);
  Transfer transfer;
  CURL* easy = static_cast<CURL*>(PrepareTransfer(transfer));
  if (!easy) return false;
  overflow_ = false;
  headersOpen_ = false;
  const CURLcode result = curl_easy_perform(easy);
  succeeded_ = Judge(easy, result);
  curl_easy_cleanup(easy);
  return succeeded_;
}

// A POST on the event loop runs on libcurl's socket interface: the loop's own wait watches
// the transfer's sockets and its next time limit, so the transfer moves as soon as the
// network lets it, and a turn of the loop never waits for it.
bool HttpRequest::StartPost() {
  SetResponse(nullptr, 0);
  overflow_ = false;
  headersOpen_ = false;
  auto* transfer = new Transfer;
  CURL* easy = static_cast<CURL*>(PrepareTransfer(*transfer));
  CURLM* multi = easy ? curl_multi_init() : nullptr;
  if (multi) {
    curl_multi_setopt(multi, CURLMOPT_SOCKETFUNCTION, &HttpRequest::OnSocket);
    curl_multi_setopt(multi, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(multi, CURLMOPT_TIMERFUNCTION, &HttpRequest::OnTimer);
    curl_multi_setopt(multi, CURLMOPT_TIMERDATA, this);
  }
  multi_ = multi;
  easy_ = easy;
  transfer_ = transfer;
  if (!multi || curl_multi_add_handle(multi, easy) != CURLM_OK) {
    Cancel();
    return false;
  }
  Drive(CURL_SOCKET_TIMEOUT, 0);
  return false;
}

int HttpRequest::OnSocket(void*, curl_socket_t socket, int what, void* self, void*) {
  auto* request = static_cast<HttpRequest*>(self);
  if (!request->transfer_) return 0;
  auto& sockets = request->transfer_->sockets;
  auto it = sockets.find(socket);
  if (what == CURL_POLL_REMOVE) {
    if (it != sockets.end()) {
      toolbox::RemoveEventLoopDescriptor(it->second);
      sockets.erase(it);
    }
    return 0;
  }
  const unsigned events = ((what & CURL_POLL_IN) ? toolbox::kDescriptorReadable : 0) |
                          ((what & CURL_POLL_OUT) ? toolbox::kDescriptorWritable : 0);
  if (it != sockets.end()) {
    toolbox::SetEventLoopDescriptorEvents(it->second, events);
    return 0;
  }
  toolbox::EventLoopDescriptorRef watch;
  if (toolbox::InstallEventLoopDescriptor(
          socket, events,
          [request](int fd, unsigned ready) {
            request->Drive(fd, ((ready & toolbox::kDescriptorReadable) ? CURL_CSELECT_IN : 0) |
                                   ((ready & toolbox::kDescriptorWritable) ? CURL_CSELECT_OUT : 0));
          },
          &watch) != toolbox::kNoErr)
    return -1;
  sockets[socket] = watch;
  return 0;
}

int HttpRequest::OnTimer(void*, long timeoutMs, void* self) {
  auto* request = static_cast<HttpRequest*>(self);
  if (request->timer_) {
    toolbox::RemoveEventLoopTimer(toolbox::EventLoopTimerRef{request->timer_});
    request->timer_ = 0;
  }
  if (timeoutMs < 0 || !request->multi_) return 0;
  toolbox::EventLoopTimerRef timer;
  toolbox::InstallEventLoopTimer(
      static_cast<double>(timeoutMs) / 1000, 0,
      [request](toolbox::EventLoopTimerRef self) {
        // A timer that has fired stays installed until it is removed.
        toolbox::RemoveEventLoopTimer(self);
        request->timer_ = 0;
        request->Drive(CURL_SOCKET_TIMEOUT, 0);
      },
      &timer);
  request->timer_ = timer.id;
  return 0;
}

// Lets libcurl act on a socket that is ready (or on its time limit), and judges the
// transfer once it has ended.
void HttpRequest::Drive(int socket, int ready) {
  if (!multi_) return;
  CURLM* multi = static_cast<CURLM*>(multi_);
  int running = 0;
  curl_multi_socket_action(multi, socket, ready, &running);
  if (running > 0) return;
  CURLcode result = CURLE_RECV_ERROR;
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(multi, &left))
    if (message->msg == CURLMSG_DONE && message->easy_handle == easy_) result = message->data.result;
  succeeded_ = Judge(easy_, result);
  Cancel();
}

// Takes a running transfer off libcurl and the event loop; afterwards nothing refers to
// this request any more.
void HttpRequest::Cancel() {
  if (multi_) {
    if (easy_) curl_multi_remove_handle(static_cast<CURLM*>(multi_), static_cast<CURL*>(easy_));
    curl_multi_cleanup(static_cast<CURLM*>(multi_));
  }
  if (easy_) curl_easy_cleanup(static_cast<CURL*>(easy_));
  // The time limit goes last: libcurl may set a new one while it lets the transfer go.
  if (timer_) {
    toolbox::RemoveEventLoopTimer(toolbox::EventLoopTimerRef{timer_});
    timer_ = 0;
  }
  delete transfer_;
  multi_ = nullptr;
  easy_ = nullptr;
  transfer_ = nullptr;
}
