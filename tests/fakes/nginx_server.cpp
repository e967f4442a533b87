#include "nginx_server.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

int FreeLoopbackPort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = 0;
  socklen_t len = sizeof a;
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    close(s);
    throw std::runtime_error("no free port");
  }
  close(s);
  return ntohs(a.sin_port);
}

std::string NginxServer::Binary() {
  for (const char* p : {"/usr/sbin/nginx", "/usr/bin/nginx"})
    if (access(p, X_OK) == 0) return p;
  return "";
}

namespace {
bool Accepts(int port) {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  const bool ok = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  close(s);
  return ok;
}
}  // namespace

NginxServer::NginxServer(const std::string& root, int port) {
  const std::string nginx = Binary();
  if (nginx.empty()) throw std::runtime_error("nginx is not installed");
  char tmpl[] = "/tmp/larkspire-nginx-XXXXXX";
  if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
  prefix_ = tmpl;
  std::filesystem::create_directories(prefix_ + "/logs");
  for (int attempt = 0; attempt < 5 && pid_ < 0; ++attempt) {
    port_ = port ? port : FreeLoopbackPort();
    std::ofstream conf(prefix_ + "/nginx.conf");
    // As root, workers would drop to an account that cannot read the test's private folders.
    if (geteuid() == 0) conf << "user root;\n";
    // One process, which dies with the test program; a marker file slows
    // every answer down, for tests that stop a transfer half-way.
    std::string text = R"(master_process off;
daemon off;
error_log @P/logs/error.log warn;
pid @P/nginx.pid;
events { worker_connections 64; }
http {
  access_log off;
  client_body_temp_path @P/body;
  proxy_temp_path @P/proxy;
  fastcgi_temp_path @P/fastcgi;
  uwsgi_temp_path @P/uwsgi;
  scgi_temp_path @P/scgi;
  default_type application/octet-stream;
  sendfile on;
  server {
    listen 127.0.0.1:@PORT;
    root @ROOT;
    location / { if (-f $document_root/.slow) { set $limit_rate 256k; } }
  }
}
)";
    const auto put = [&text](const std::string& key, const std::string& value) {
      for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + value.size()))
        text.replace(at, key.size(), value);
    };
    put("@PORT", std::to_string(port_));
    put("@ROOT", root);
    put("@P", prefix_);
    conf << text;
    conf.close();
    const pid_t child = fork();
    if (child == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlives the test program
      setpgid(0, 0);                     // its workers go with it in Stop
      if (const int devnull = open("/dev/null", O_RDWR); devnull >= 0) {
        dup2(devnull, 0);
        dup2(devnull, 1);
        dup2(devnull, 2);
      }
      const std::string log = prefix_ + "/logs/error.log";
      execl(nginx.c_str(), nginx.c_str(), "-e", log.c_str(), "-p", prefix_.c_str(), "-c",
            (prefix_ + "/nginx.conf").c_str(), nullptr);
      _exit(127);
    }
    for (int i = 0; i < 200; ++i) {
      if (Accepts(port_)) {
        pid_ = child;
        group_ = child;
        break;
      }
      int status = 0;
      if (waitpid(child, &status, WNOHANG) == child) break;  // it died: port taken or bad config
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (pid_ < 0) {
      kill(child, SIGKILL);
      waitpid(child, nullptr, 0);
      if (port) break;
    }
  }
  if (pid_ < 0) throw std::runtime_error("nginx did not start; see " + prefix_ + "/logs/error.log");
}

void NginxServer::Stop() {
  if (pid_ > 0) {
    // A fast stop: open keep-alive connections must not hold it up.
    kill(pid_, SIGTERM);
    bool reaped = false;
    for (int i = 0; i < 300 && !reaped; ++i) {
      reaped = waitpid(pid_, nullptr, WNOHANG) == pid_;
      if (!reaped) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!reaped) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    kill(-group_, SIGKILL);  // any worker left behind
    pid_ = -1;
  }
}

NginxServer::~NginxServer() {
  Stop();
  std::error_code ec;
  std::filesystem::remove_all(prefix_, ec);
}
