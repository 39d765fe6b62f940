// The HTTP client against a python3 server on 127.0.0.1, started on a free port per test
// suite and stopped at its end.
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <netinet/in.h>
#include <unistd.h>

#include <curl/curl.h>
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>

#include "support/TestSupport.h"
#include "framework/platform/HttpRequest.h"
#include "toolbox/Events.h"

// The certificate that this program's HTTPS requests trust instead of the system's ones,
// where a test sets one: the program's own curl_easy_init stands in for libcurl's.
static std::string g_trustedCertificate;

CURL* curl_easy_init(void) {
  static const auto real = reinterpret_cast<CURL* (*)()>(dlsym(RTLD_NEXT, "curl_easy_init"));
  CURL* easy = real ? real() : nullptr;
  if (easy && !g_trustedCertificate.empty()) curl_easy_setopt(easy, CURLOPT_CAINFO, g_trustedCertificate.c_str());
  return easy;
}

namespace {

// Paths: /bytes/N (N bytes at once), /echo (a POST's headers and body sent back), /half
// (headers promise 1000 bytes, 500 come, then the connection closes; for a POST 10 of
// 100,000), /chunks-cut (a chunked answer without its last chunk), /moved (302), /missing
// (404 page), /silent (accepts, never answers), /endless (no length, more than the cap),
// /slow (answers after half a second), /head-cut (breaks off inside its headers), /status-cut
// (breaks off inside its status line), /status-stall (stops inside its status line),
// /trailer (a whole chunked answer with a trailer field), /empty-close (reads the request and
// closes without a word).
const char* const kServer = R"PY(
import http.server, socketserver, sys, time
class H(http.server.BaseHTTPRequestHandler):
    def log_message(self, *a): pass
    def send(self, code, body, headers=()):
        self.send_response(code)
        for k, v in headers: self.send_header(k, v)
        self.send_header('Content-Length', str(len(body)))
        self.end_headers()
        self.wfile.write(body)
    def pattern(self, n):
        return bytes((i * 7 + i // 251) & 0xFF for i in range(n))
    def head_cut(self):
        self.wfile.write(b'HTTP/1.1 200 OK\r\nContent-Len'); self.wfile.flush()
        self.close_connection = True
    def raw(self, p):
        if p == '/head-cut': self.head_cut()
        elif p == '/status-cut': self.wfile.write(b'HTTP/1.1 2')
        elif p == '/status-stall': self.wfile.write(b'HTTP/1.1 2'); self.wfile.flush(); time.sleep(20)
        elif p == '/trailer':
            self.wfile.write(b'HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nTrailer: X-Check\r\n\r\n'
                             b'5\r\nhello\r\n0\r\nX-Check: 1\r\n\r\n')
        elif p != '/empty-close': return False
        self.close_connection = True
        return True
    def do_GET(self):
        p = self.path
        if self.raw(p):
            pass
        elif p.startswith('/bytes/'):
            self.send(200, self.pattern(int(p[7:])))
        elif p == '/half':
            self.send_response(200); self.send_header('Content-Length', '1000'); self.end_headers()
            self.wfile.write(self.pattern(500)); self.wfile.flush()
            self.close_connection = True
        elif p == '/chunks-cut':
            self.protocol_version = 'HTTP/1.1'
            self.send_response(200); self.send_header('Transfer-Encoding', 'chunked'); self.end_headers()
            self.wfile.write(b'5\r\nhello\r\n'); self.wfile.flush()
            self.close_connection = True
        elif p == '/moved':
            self.send(302, b'gone elsewhere', [('Location', '/bytes/10')])
        elif p == '/missing':
            self.send(404, b'<html>not here</html>')
        elif p == '/silent':
            time.sleep(20)
        elif p == '/endless':
            self.send_response(200); self.end_headers()
            chunk = b'x' * (1 << 20)
            try:
                for i in range(80): self.wfile.write(chunk)
            except Exception: pass
            self.close_connection = True
    def do_POST(self):
        body = self.rfile.read(int(self.headers.get('Content-Length', '0')))
        if self.path == '/slow': time.sleep(0.5)
        if self.path == '/silent': time.sleep(20)
        if self.raw(self.path): return
        if self.path == '/half':
            self.send_response(200); self.send_header('Content-Length', '100000'); self.end_headers()
            self.wfile.write(b'0123456789'); self.wfile.flush()
            self.close_connection = True
            return
        head = ''.join('%s: %s\n' % (k, v) for k, v in self.headers.items())
        self.send(200, head.encode('latin-1') + b'\n' + body)
class S(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
s = S(('127.0.0.1', 0), H)
if len(sys.argv) > 2:
    import ssl
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(sys.argv[1], sys.argv[2])
    s.socket = context.wrap_socket(s.socket, server_side=True)
print(s.server_address[1], flush=True)
s.serve_forever()
)PY";

std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return s;
}

class HttpServer {
 public:
  // With a certificate and key (PEM files), the server speaks HTTPS.
  explicit HttpServer(const std::string& cert = "", const std::string& key = "") {
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);  // a test that crashes leaves no server behind
      dup2(out[1], 1);
      close(out[0]);
      close(out[1]);
      if (cert.empty())
        execlp("python3", "python3", "-c", kServer, static_cast<char*>(nullptr));
      else
        execlp("python3", "python3", "-c", kServer, cert.c_str(), key.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    FILE* f = fdopen(out[0], "r");
    if (f && fscanf(f, "%d", &port_) != 1) port_ = 0;
    if (f) fclose(f);
  }
  ~HttpServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  int Port() const { return port_; }
  std::wstring Url(const std::string& path, const char* scheme = "http") const {
    const std::string u = std::string(scheme) + "://127.0.0.1:" + std::to_string(port_) + path;
    return std::wstring(u.begin(), u.end());
  }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

std::string Response(const HttpRequest& r) {
  return std::string(reinterpret_cast<const char*>(r.ResponseData()), r.ResponseSize());
}

// A self-signed certificate for 127.0.0.1 and its key, cert.pem and key.pem in `dir`; false
// where openssl cannot make them.
bool MakeCertificate(const std::filesystem::path& dir) {
  int status = -1;
  testsupport::Run("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 "
                   "-subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout '" +
                       (dir / "key.pem").string() + "' -out '" + (dir / "cert.pem").string() + "' 2>/dev/null",
                   &status);
  return status == 0;
}

// A port that nothing listens on: bound, then closed.
int ClosedPort() {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  close(s);
  return ntohs(a.sin_port);
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

class HttpClientTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (testsupport::HavePython()) server_ = new HttpServer;
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    if (!server_ || server_->Port() == 0) GTEST_SKIP() << "python3 cannot serve HTTP here";
  }
  static HttpServer* server_;
};
HttpServer* HttpClientTest::server_ = nullptr;

TEST_F(HttpClientTest, GetResultsAndResponses) {
  struct Case {
    std::string path;
    bool result;
    std::string response;
  } cases[] = {
      {"/bytes/2097152", true, Pattern(2097152)},
      {"/bytes/0", true, ""},
      {"/half", false, Pattern(500)},         // broken off: a failure, with the bytes so far
      {"/chunks-cut", false, "hello"},
      {"/head-cut", false, ""},
      {"/status-cut", false, ""},
      {"/empty-close", true, ""},             // connected: no answer is no failure
      {"/trailer", true, "hello"},
      {"/moved", true, "gone elsewhere"},     // no redirect is followed
      {"/missing", true, "<html>not here</html>"},
      {"/endless", false, ""},                // passes the size cap
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    HttpRequest r(server_->Url(c.path).c_str(), kHttpMethodGet);
    EXPECT_EQ(r.Run(true), c.result);
    EXPECT_EQ(Response(r), c.response);
    EXPECT_EQ(r.ResponseData()[r.ResponseSize()], 0);
  }
}

TEST_F(HttpClientTest, RefusedRequestsSendNothingAndFail) {
  const std::wstring closed = L"http://127.0.0.1:" + std::to_wstring(ClosedPort()) + L"/";
  const std::wstring urls[] = {closed, L"ftp://127.0.0.1/x", L"file:///etc/passwd",
                               server_->Url("/bytes/5") + L"\u00e9", L"http://", L""};
  for (const std::wstring& url : urls) {
    HttpRequest r(url.c_str(), kHttpMethodGet);
    r.SetResponse("old", 3);
    EXPECT_FALSE(r.Run(true));
    EXPECT_EQ(r.ResponseSize(), 0u);
  }
  HttpRequest asyncGet(server_->Url("/bytes/5").c_str(), kHttpMethodGet);
  EXPECT_FALSE(asyncGet.Run(false));
  EXPECT_FALSE(asyncGet.Pending());
  HttpRequest other(server_->Url("/bytes/5").c_str(), 2);
  EXPECT_FALSE(other.Run(true));
}

// HTTPS verifies the server's certificate: a server that nobody vouches for gets no
// request, and the GET fails as one that never connected.
TEST(HttpsClientTest, UntrustedCertificateFailsTheRequest) {
  if (!testsupport::HavePython() || !testsupport::HaveTool("openssl"))
    GTEST_SKIP() << "python3 or openssl is not installed";
  testsupport::ScratchDir dir;
  ASSERT_TRUE(MakeCertificate(dir.path()));
  HttpServer server((dir / "cert.pem").string(), (dir / "key.pem").string());
  ASSERT_NE(server.Port(), 0);
  HttpRequest r(server.Url("/bytes/5", "https").c_str(), kHttpMethodGet);
  EXPECT_FALSE(r.Run(true));
  EXPECT_EQ(r.ResponseSize(), 0u);
}

// Connected, then nothing: a success with nothing received; an answer that stopped inside
// its status line is a failure, over HTTPS too (a server whose certificate this test trusts).
TEST_F(HttpClientTest, SilentServerEndsAtTheTimeLimit) {
  testsupport::ScratchDir dir;
  std::unique_ptr<HttpServer> secure;
  if (MakeCertificate(dir.path())) {
    secure = std::make_unique<HttpServer>((dir / "cert.pem").string(), (dir / "key.pem").string());
    g_trustedCertificate = (dir / "cert.pem").string();
  }
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"http", "/silent", true}, {"http", "/status-stall", false}, {"https", "/status-stall", false}};
  bool skipped = false;
  for (const auto& [scheme, path, result] : cases) {
    SCOPED_TRACE(std::string(scheme) + " " + path);
    const HttpServer* server = std::string(scheme) == "https" ? secure.get() : server_;
    if (!server || server->Port() == 0) {
      skipped = true;
      continue;
    }
    HttpRequest r(server->Url(path, scheme).c_str(), kHttpMethodGet);
    r.SetTimeouts(2000, 2000);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(r.Run(true), result);
    // Well under the default 30 s transfer limit: the request's own limit ended it.
    EXPECT_LT(Seconds(start), 20.0);
    EXPECT_EQ(r.ResponseSize(), 0u);
  }
  g_trustedCertificate.clear();
  if (skipped) GTEST_SKIP() << "no HTTPS server: openssl cannot make a certificate here";
}

TEST_F(HttpClientTest, PostSendsHeadersAndBodyExactly) {
  std::string body = "a=1&b=\xc3\xa9";
  body.push_back('\0');
  body += Pattern(3000);
  HttpRequest r(server_->Url("/echo").c_str(), kHttpMethodPost);
  r.AddHeader("X-Brivane-Check", "value with  two spaces");
  r.AddHeader("Content-Type", "text/xml");
  r.SetBody(body.data(), body.size());
  ASSERT_TRUE(r.Run(true));
  const std::string echoed = Response(r);
  const size_t split = echoed.find("\n\n");
  ASSERT_NE(split, std::string::npos);
  const std::string head = echoed.substr(0, split + 1);
  EXPECT_NE(head.find("X-Brivane-Check: value with  two spaces\n"), std::string::npos) << head;
  EXPECT_NE(head.find("Content-Type: text/xml\n"), std::string::npos) << head;
  EXPECT_EQ(head.find("Expect"), std::string::npos) << head;
  EXPECT_EQ(echoed.substr(split + 2), body);

  HttpRequest injected(server_->Url("/echo").c_str(), kHttpMethodPost);
  injected.AddHeader("X-A", "1\r\nX-Injected: 2");
  EXPECT_FALSE(injected.Run(true));
}

// The answer arrives, and no timer the transfer set stays installed once it has ended (the
// loop's handles are numbered in order, so those made meanwhile lie between two of its own).
TEST_F(HttpClientTest, PostOnTheEventLoopDeliversTheAnswer) {
  const auto handle = [] {
    toolbox::EventLoopTimerRef ref;
    toolbox::InstallEventLoopTimer(1000, 0, [](toolbox::EventLoopTimerRef) {}, &ref);
    toolbox::RemoveEventLoopTimer(ref);
    return ref.id;
  };
  const auto before = handle();
  HttpRequest r(server_->Url("/slow").c_str(), kHttpMethodPost);
  r.SetBody("ping", 4);
  EXPECT_FALSE(r.Run(false));
  EXPECT_TRUE(r.Pending());
  const auto start = std::chrono::steady_clock::now();
  while (r.Pending() && Seconds(start) < 20) toolbox::ReceiveNextEvent(0.05, nullptr);
  EXPECT_FALSE(r.Pending());
  const std::string echoed = Response(r);
  EXPECT_EQ(echoed.substr(echoed.size() - 5), "\nping");
  int left = 0;
  for (auto id = before + 1, after = handle(); id < after; ++id)
    left += toolbox::RemoveEventLoopTimer(toolbox::EventLoopTimerRef{id}) == toolbox::kNoErr;
  EXPECT_EQ(left, 0) << "timers left installed";
}

// The body may change or go while a POST runs on the event loop: the transfer sends the
// body it started with, and the answer is whole.
TEST_F(HttpClientTest, PostOnTheEventLoopSendsTheBodyItStartedWith) {
  const std::string body = Pattern(3 << 20);
  const std::string larger(4 << 20, 'z');
  struct Case {
    const char* name;
    void (*change)(HttpRequest&, const std::string&);
  } cases[] = {
      {"Clear", [](HttpRequest& r, const std::string&) { r.Clear(); }},
      {"SetBody larger", [](HttpRequest& r, const std::string& b) { r.SetBody(b.data(), b.size()); }},
      {"SetBody empty", [](HttpRequest& r, const std::string&) { r.SetBody(nullptr, 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HttpRequest r(server_->Url("/echo").c_str(), kHttpMethodPost);
    r.SetBody(body.data(), body.size());
    EXPECT_FALSE(r.Run(false));
    ASSERT_TRUE(r.Pending());
    c.change(r, larger);
    const auto start = std::chrono::steady_clock::now();
    while (r.Pending() && Seconds(start) < 20) toolbox::ReceiveNextEvent(0.05, nullptr);
    EXPECT_FALSE(r.Pending());
    const std::string echoed = Response(r);
    const size_t split = echoed.find("\n\n");
    ASSERT_NE(split, std::string::npos);
    EXPECT_TRUE(echoed.substr(split + 2) == body) << echoed.size();
  }
}

// An answer cut short of what it declared fails, waiting or on the event loop, and keeps
// what came; a whole one, trailer and all, succeeds.
TEST_F(HttpClientTest, PostWhoseAnswerBreaksOffFails) {
  struct Case {
    const char* path;
    bool result;
    const char* kept;
  } cases[] = {{"/half", false, "0123456789"},
               {"/head-cut", false, ""},
               {"/status-cut", false, ""},
               {"/trailer", true, "hello"}};
  for (const auto& [path, result, kept] : cases) {
    for (bool synchronous : {true, false}) {
      SCOPED_TRACE(std::string(path) + (synchronous ? " waiting" : " on the event loop"));
      HttpRequest r(server_->Url(path).c_str(), kHttpMethodPost);
      r.SetBody("ping", 4);
      EXPECT_EQ(r.Run(synchronous), result && synchronous);
      const auto start = std::chrono::steady_clock::now();
      while (r.Pending() && Seconds(start) < 20) toolbox::ReceiveNextEvent(0.05, nullptr);
      EXPECT_FALSE(r.Pending());
      EXPECT_EQ(r.Succeeded(), result);
      EXPECT_EQ(Response(r), kept);
    }
  }
}

// A large POST on the event loop moves at the network's pace: it ends well within its
// time limit, whole. (Moved one step each turn of the loop, it took over three seconds.)
TEST_F(HttpClientTest, LargePostOnTheEventLoopEndsWithinItsTimeLimit) {
  const std::string body = Pattern(20 << 20);
  HttpRequest r(server_->Url("/echo").c_str(), kHttpMethodPost);
  r.SetTimeouts(HttpRequest::kDefaultConnectTimeoutMs, 2000);
  r.SetBody(body.data(), body.size());
  EXPECT_FALSE(r.Run(false));
  while (r.Pending()) toolbox::ReceiveNextEvent(0.05, nullptr);  // the request's limit ends it
  EXPECT_TRUE(r.Succeeded());
  const std::string echoed = Response(r);
  const size_t split = echoed.find("\n\n");
  ASSERT_NE(split, std::string::npos);
  EXPECT_TRUE(echoed.substr(split + 2) == body) << echoed.size();
}

// While a POST waits for its answer, a turn of the event loop with no time to wait never
// waits for the network: the thread gives up the processor of its own accord in none of 200
// turns (a turn that slept in a poll would, every time), however busy the machine is.
TEST_F(HttpClientTest, ATurnOfTheLoopWithNoTimeNeverWaitsForAPost) {
  HttpRequest r(server_->Url("/silent").c_str(), kHttpMethodPost);
  r.SetBody("ping", 4);
  EXPECT_FALSE(r.Run(false));
  toolbox::ReceiveNextEvent(0, nullptr);
  rusage before{}, after{};
  getrusage(RUSAGE_THREAD, &before);
  for (int i = 0; i < 200; ++i) toolbox::ReceiveNextEvent(0, nullptr);
  getrusage(RUSAGE_THREAD, &after);
  EXPECT_LT(after.ru_nvcsw - before.ru_nvcsw, 20) << "turns that waited";
  EXPECT_TRUE(r.Pending());
}

// A request runs one transfer at a time: Run while a POST of it is pending on the event
// loop cancels that POST, and only the new answer is the response.
TEST_F(HttpClientTest, RunCancelsThePendingPostOfTheSameRequest) {
  HttpRequest r(server_->Url("/slow").c_str(), kHttpMethodPost);
  r.SetBody("ping", 4);
  EXPECT_FALSE(r.Run(false));
  ASSERT_TRUE(r.Pending());
  ASSERT_TRUE(r.Run(true));
  EXPECT_FALSE(r.Pending());
  const std::string answer = Response(r);
  EXPECT_EQ(answer.find("\nping"), answer.size() - 5) << answer;
  const auto start = std::chrono::steady_clock::now();
  while (Seconds(start) < 1.0) toolbox::ReceiveNextEvent(0.05, nullptr);
  EXPECT_EQ(Response(r), answer);
}

TEST_F(HttpClientTest, DestroyingAPendingPostCancelsIt) {
  {
    HttpRequest r(server_->Url("/slow").c_str(), kHttpMethodPost);
    r.SetBody("ping", 4);
    r.Run(false);
  }
  // The answer arrives after half a second; the loop keeps running without the request.
  const auto start = std::chrono::steady_clock::now();
  while (Seconds(start) < 1.0) toolbox::ReceiveNextEvent(0.05, nullptr);
  EXPECT_GE(Seconds(start), 1.0);
}

}  // namespace
