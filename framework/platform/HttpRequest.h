#pragma once
// A small HTTP client that fetches a resource into memory: a GET, a POST that waits for its
// answer, and a POST that runs on the event loop while the program goes on. It stands on
// libcurl, speaks HTTP and HTTPS only, follows no redirect and does not judge the status
// code: whatever the server sends is the response, an error page or a 3xx answer included.
//
// Every transfer has time limits (to connect, and for the whole transfer) and the response
// has a size cap, so a slow or hostile server can neither hang the program nor fill its
// memory.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

inline constexpr uint32_t kHttpMethodGet = 0;
inline constexpr uint32_t kHttpMethodPost = 1;

class HttpRequest {
 public:
  // A response that grows past this many bytes ends its transfer, which then fails.
  static constexpr size_t kMaxResponseSize = 64u << 20;
  static constexpr long kDefaultConnectTimeoutMs = 10000;
  static constexpr long kDefaultTransferTimeoutMs = 30000;

  HttpRequest(const wchar_t* url, uint32_t method);
  // Cancels a transfer still running on the event loop before anything else goes.
  ~HttpRequest();
  HttpRequest(const HttpRequest&) = delete;
  HttpRequest& operator=(const HttpRequest&) = delete;

  // Stores the URL as UTF-8; a null pointer clears it. A URL that is not plain ASCII fails
  // the request when it runs.
  void SetUrl(const wchar_t* url);
  const std::string& Url() const { return url_; }

  // Header pairs and the body a POST sends. A POST already running on the event loop goes
  // on with the ones it started with.
  void AddHeader(const std::string& name, const std::string& value);
  void SetBody(const void* bytes, size_t count);

  // Synchronous: the GET (method 0) or the POST (method 1); any other method is false.
  //   GET: true when a connection to the server was made, also when no answer then came
  //   (the server closed or reset the connection without a byte, or sent nothing before the
  //   time limit); false with an empty response when no connection was made.
  //   POST: true when at least one byte of answer arrived.
  // Both are false when an answer began but did not come whole (broken off inside its
  // headers, short of its declared length, a chunked answer without its last chunk, broken
  // off or out of time): the bytes that came stay in the response for a caller that wants
  // them. Both are false, with an empty response, when the URL is refused (not ASCII, not
  // HTTP or HTTPS, malformed) or the response passes the size cap.
  // Not synchronous: method 1 starts the POST on the event loop and returns false at once;
  // any other method returns false and sends nothing. Succeeded tells the outcome once the
  // POST has ended.
  // A request runs one transfer at a time: Run cancels a POST of this request still running
  // on the event loop before it starts anything.
  bool Run(bool synchronous);

  // The outcome of the last transfer, as a synchronous Run reports it; false while a POST
  // on the event loop is pending.
  bool Succeeded() const { return succeeded_; }

  // The response bytes (followed by one zero byte that the size does not count, so that a
  // caller reading them as text stops there) and their count.
  const uint8_t* ResponseData() const;
  size_t ResponseSize() const { return response_.size(); }

  // Appends to the response; false, changing nothing, when the result would pass the cap.
  bool AppendResponse(const void* bytes, size_t count);
  // Replaces the response with a copy of the bytes; null empties it.
  void SetResponse(const void* bytes, size_t count);
  // Drops the header pairs, the response and the body. A POST running on the event loop
  // goes on (it sends its own copy of the body) and its answer starts a new response.
  void Clear();

  // True while a POST started on the event loop has not ended.
  bool Pending() const { return easy_ != nullptr; }

  // Time limits in milliseconds (tests use short ones).
  void SetTimeouts(long connectMs, long transferMs);

 private:
  struct Transfer;
  static size_t OnData(char* bytes, size_t size, size_t count, void* self);
  static size_t OnHeader(char* bytes, size_t size, size_t count, void* self);
  static int OnCloseSocket(void* self, int socket);
  // Makes the libcurl handle for the method; null when the URL or a header is refused.
  void* PrepareTransfer(Transfer& transfer);
  bool StartPost();
  // libcurl's socket and timer callbacks, and what the event loop runs for them.
  static int OnSocket(void* easy, int socket, int what, void* self, void* socketData);
  static int OnTimer(void* multi, long timeoutMs, void* self);
  void Drive(int socket, int ready);
  bool Judge(void* easy, int result);
  void Cancel();

  std::string url_;
  std::string response_;
  std::vector<uint8_t> body_;
  uint32_t method_ = kHttpMethodGet;
  std::vector<std::pair<std::string, std::string>> headers_;
  long connectTimeoutMs_ = kDefaultConnectTimeoutMs;
  long transferTimeoutMs_ = kDefaultTransferTimeoutMs;
  bool overflow_ = false;
  bool headersOpen_ = false;  // a status line came, and not yet the empty line after it
  bool answerBegan_ = false;  // the server sent a byte on the connection (plain HTTP)
  bool secure_ = false;
  bool succeeded_ = false;

  // The transfer running on the event loop.
  void* multi_ = nullptr;
  void* easy_ = nullptr;
  Transfer* transfer_ = nullptr;
  uint64_t timer_ = 0;
};
