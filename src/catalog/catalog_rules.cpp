#include "catalog/catalog_rules.hpp"

#include <algorithm>

#include "catalog/number_text.hpp"
#include "install_state/path_helpers.hpp"
#include "install_state/version_rules.hpp"
#include "support/text_case.hpp"

namespace {
std::string WithoutPoints(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '.'), text.end());
  return text;
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }
}  // namespace

std::string FileNameFromUrl(const std::string& sText) {
  const std::string trimmed = TrimSpaces(sText);
  const std::string slashed = ReplaceChars(trimmed, "\\", "/");
  if (slashed.size() < 2) return trimmed;
  // The final character never counts as the separator, so "a/b/" gives "b/".
  const std::size_t p = slashed.rfind('/', slashed.size() - 2);
  return p == std::string::npos ? trimmed : slashed.substr(p + 1);
}

bool CheckUrl(std::string& sUrl) {
  sUrl = LCase(TrimSpaces(sUrl));
  return sUrl.starts_with("http://") && FileNameFromUrl(sUrl).find('.') != std::string::npos;
}

bool CheckCrcText(std::string& sCrc) {
  sCrc = UCase(TrimSpaces(sCrc));
  if (sCrc.size() == 8 && std::all_of(sCrc.begin(), sCrc.end(), IsHexDigit)) return true;
  sCrc.clear();
  return false;
}

bool IsNewerVersion(const std::string& installedVersion, std::string& sVersion) {
  sVersion = GetValidVersion(sVersion);
  const auto offered = ParseInt32(WithoutPoints(sVersion));
  const auto installed = ParseInt32(WithoutPoints(installedVersion));
  return offered && installed && *offered > *installed;
}
