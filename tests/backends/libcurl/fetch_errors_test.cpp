// The wording of failed fetches that no loopback server can bring about
// (the read service's fault table meets the others for real).
#include "backends/libcurl/fetch_errors.hpp"

#include <gtest/gtest.h>
#include <openssl/x509_vfy.h>

#include <cerrno>

TEST(FetchErrors, EachFailureHasItsNumberAndWords) {
  // clang-format off
  const std::pair<FetchEnd, std::string> rows[] = {
      {{.result = CURLE_COULDNT_CONNECT, .osError = EHOSTUNREACH}, "12029 The server could not be reached: No route to host."},
      {{.result = CURLE_COULDNT_CONNECT, .detail = "Failed to connect"}, "12029 The server could not be reached: Failed to connect."},
      {{.result = CURLE_OPERATION_TIMEDOUT}, "12002 The server could not be reached within 60 seconds."},
      {{.result = CURLE_COULDNT_RESOLVE_PROXY}, "12007 The proxy server's name could not be resolved."},
      {{.result = CURLE_RECV_ERROR, .osError = ECONNRESET}, "12030 The connection to the server failed: Connection reset by peer."},
      {{.result = CURLE_UNSUPPORTED_PROTOCOL}, "12152 The server's answer could not be understood."},
      {{.result = CURLE_PEER_FAILED_VERIFICATION, .host = "h", .verifyResult = X509_V_ERR_CERT_REVOKED, .detail = "revoked"},
       "12169 The server's certificate could not be verified: revoked (h)."},
      {{.result = CURLE_OUT_OF_MEMORY}, "12030 The download failed: Out of memory."},
      {{.result = CURLE_SSL_CONNECT_ERROR, .detail = "handshake"}, "12030 The download failed: handshake."}};
  // clang-format on
  const TransferRules rules(TransferSettings{}, "k", 0, "/tmp");
  for (const auto& [end, words] : rows) {
    const FetchFailure f = DescribeFetchError(end, rules);
    EXPECT_EQ(std::to_string(f.number) + " " + f.description, words) << end.result;
  }
  EXPECT_EQ(StatusText(410, "Gone"), "The handle is invalid.");
  EXPECT_EQ(StatusText(502, ""), "The server answered 502 instead of the file.");
}
