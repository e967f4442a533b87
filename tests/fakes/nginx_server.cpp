#include "nginx_server.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace {
// Binds port (0: any free one) on loopback, or connects to it; the port, or 0.
int OnLoopback(int port, bool connectTo) {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  socklen_t len = sizeof a;
  const bool ok = connectTo ? connect(s, reinterpret_cast<sockaddr*>(&a), len) == 0
                            : bind(s, reinterpret_cast<sockaddr*>(&a), len) == 0 &&
                                  getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0;
  close(s);
  return ok ? ntohs(a.sin_port) : 0;
}
}  // namespace

NginxServer::NginxServer(const std::string& root, int port, const NginxOptions& options) : root_(root) {
  char tmpl[] = "/tmp/larkspire-nginx-XXXXXX";
  if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
  prefix_ = tmpl;
  Start(port, options);
}

void NginxServer::Serve(const NginxOptions& options) {
  Stop();
  Start(port_, options);
}

void NginxServer::Start(int port, const NginxOptions& options) {
  const std::string& root = root_;
  // Another program may take the free port before nginx does: try again.
  for (int attempt = 0; attempt < 5 && pid_ < 0; ++attempt) {
    if (!(port_ = port ? port : OnLoopback(0, false))) throw std::runtime_error("no free port");
    // One process, which dies with the test program. As root, workers would
    // drop to an account that cannot read the test's private folders.
    std::ofstream(prefix_ + "/nginx.conf")
        << (geteuid() == 0 ? "user root;\n" : "") << "master_process off; daemon off; pid " << prefix_
        << "/nginx.pid; error_log " << prefix_ << "/error.log warn;\nevents { worker_connections 64; }\n"
        << "http { access_log off; client_body_temp_path " << prefix_ << "/body; proxy_temp_path " << prefix_
        << "/proxy; fastcgi_temp_path " << prefix_ << "/fcgi; uwsgi_temp_path " << prefix_ << "/uwsgi; scgi_temp_path "
        << prefix_ << "/scgi; default_type application/octet-stream;\n"
        << "  server { listen 127.0.0.1:" << port_ << (options.key.empty() ? "" : " ssl") << "; root " << root << ";"
        << (options.key.empty()
                ? ""
                : " ssl_certificate " + options.certificate + "; ssl_certificate_key " + options.key + ";")
        << " location / { "
        << (options.redirect.empty() ? "if (-f $document_root/.slow) { set $limit_rate 256k; }"
                                     : "return 301 " + options.redirect + "$request_uri;")
        << " } } }\n";
    const pid_t child = fork();
    if (child == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlives the test program
      const int devnull = open("/dev/null", O_RDWR);
      for (int fd : {0, 1, 2}) dup2(devnull, fd);
      execl("/usr/sbin/nginx", "nginx", "-e", (prefix_ + "/error.log").c_str(), "-p", prefix_.c_str(), "-c",
            (prefix_ + "/nginx.conf").c_str(), nullptr);
      _exit(127);
    }
    bool died = false;  // the port was taken, or the configuration is bad
    for (int i = 0; i < 300 && pid_ < 0 && !died; ++i) {
      if (OnLoopback(port_, true)) pid_ = child;
      died = pid_ < 0 && waitpid(child, nullptr, WNOHANG) == child;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (pid_ < 0 && !died) {
      kill(child, SIGKILL);
      waitpid(child, nullptr, 0);
    }
  }
  if (pid_ < 0) throw std::runtime_error("nginx did not start; see " + prefix_ + "/error.log");
}

void NginxServer::Stop() {
  if (pid_ > 0) kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);  // keep-alive connections must not hold it up
  pid_ = -1;
}

NginxServer::~NginxServer() {
  Stop();
  std::error_code ec;
  std::filesystem::remove_all(prefix_, ec);
}
