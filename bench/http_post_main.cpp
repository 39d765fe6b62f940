// Times a POST of a large body to a local python3 server, waiting for its answer and on the
// event loop, to compare the two rates. Usage: http_post [MiB] (default 100).
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "framework/platform/HttpRequest.h"
#include "toolbox/Events.h"

namespace {

// Reads the whole body in large pieces and answers with its length.
const char* const kServer = R"PY(
import http.server, socketserver
class H(http.server.BaseHTTPRequestHandler):
    def log_message(self, *a): pass
    def do_POST(self):
        left = int(self.headers.get('Content-Length', '0'))
        while left > 0:
            got = self.rfile.read(min(left, 1 << 20))
            if not got: break
            left -= len(got)
        body = str(int(self.headers.get('Content-Length', '0')) - left).encode()
        self.send_response(200)
        self.send_header('Content-Length', str(len(body)))
        self.end_headers()
        self.wfile.write(body)
class S(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
s = S(('127.0.0.1', 0), H)
print(s.server_address[1], flush=True)
s.serve_forever()
)PY";

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100;
  int out[2];
  if (pipe(out) != 0) return 1;
  const pid_t server = fork();
  if (server == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    dup2(out[1], 1);
    execlp("python3", "python3", "-c", kServer, static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  FILE* f = fdopen(out[0], "r");
  int port = 0;
  if (!f || std::fscanf(f, "%d", &port) != 1) return 1;
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/sink";
  const std::wstring wideUrl(url.begin(), url.end());
  const std::string body(mib << 20, 'b');
  for (bool synchronous : {true, false}) {
    HttpRequest r(wideUrl.c_str(), kHttpMethodPost);
    r.SetTimeouts(10000, 120000);
    r.SetBody(body.data(), body.size());
    const auto start = std::chrono::steady_clock::now();
    if (!r.Run(synchronous))
      while (r.Pending()) toolbox::ReceiveNextEvent(0.05, nullptr);
    const double seconds = Since(start);
    std::printf("%s POST of %zu MiB: %.2f s (%.0f MB/s), %s, answer \"%.*s\"\n",
                synchronous ? "synchronous" : "event-loop ", mib, seconds, body.size() / seconds / 1e6,
                r.Succeeded() ? "succeeded" : "failed", static_cast<int>(r.ResponseSize()),
                reinterpret_cast<const char*>(r.ResponseData()));
  }
  kill(server, SIGTERM);
  waitpid(server, nullptr, 0);
  return 0;
}
