// The publishing tool's command line: what it accepts, how it stores it,
// and one clear line for each kind of bad input.
#include "publish_options.hpp"

#include <gtest/gtest.h>

#include "publish_error.hpp"

namespace {
std::vector<std::string> Args(std::initializer_list<std::string> extra) {
  std::vector<std::string> a{"--package",  "/x/Larkspire-3.03-Setup.MSI",
                             "--base-url", "http://Updates.Example:8080/Dl/",
                             "--out",      "/srv/tree"};
  a.insert(a.end(), extra);
  return a;
}

// The message of the BadInput error that parsing raises, or "" when none.
std::string Rejection(const std::vector<std::string>& args) {
  try {
    ParsePublishOptions(args);
  } catch (const PublishError& e) {
    EXPECT_EQ(e.ExitStatus(), 2);
    EXPECT_EQ(std::string(e.what()).find('\n'), std::string::npos);
    return e.what();
  }
  return "";
}

TEST(PublishOptions, AGoodCommandLine) {
  const auto o = ParsePublishOptions(Args({"--component", "quillon=2.02.0000,exename=Quillon.EXE", "--component",
                                           "Larkspire=3.03.0000", "--component", "qvmclock=1.01.0000,enabled=0"}));
  EXPECT_FALSE(o.help);
  EXPECT_EQ(o.package, "/x/Larkspire-3.03-Setup.MSI");
  EXPECT_EQ(o.packageName, "larkspire-3.03-setup.msi");
  EXPECT_EQ(o.hostPort, "updates.example:8080");
  EXPECT_EQ(o.urlPath, "dl/");
  EXPECT_EQ(o.outDir, "/srv/tree");
  EXPECT_EQ(o.PackageUrl(), "http://updates.example:8080/dl/larkspire-3.03-setup.msi");
  EXPECT_FALSE(o.disableSetup);
  // in the catalog's order, whatever the command line's
  ASSERT_EQ(o.components.size(), 3u);
  EXPECT_EQ(o.components[0].row, 1);
  EXPECT_EQ(o.components[0].version, "3.03.0000");
  EXPECT_EQ(o.components[1].row, 3);
  EXPECT_EQ(o.components[1].exename, "Quillon.EXE");
  EXPECT_TRUE(o.components[1].enabled);
  EXPECT_EQ(o.components[2].row, 6);
  EXPECT_FALSE(o.components[2].enabled);
}

TEST(PublishOptions, BaseUrlForms) {
  struct Case {
    const char* url;
    const char* hostPort;
    const char* path;
  };
  const Case cases[] = {
      {"http://h/", "h", ""},
      {"http://h", "h", ""},
      {"HTTP://127.0.0.1:8731/downloads", "127.0.0.1:8731", "downloads/"},
      {"http://h/a/b.c/d_e~f-g/", "h", "a/b.c/d_e~f-g/"},
  };
  for (const auto& c : cases) {
    const auto o = ParsePublishOptions({"--package", "p.msi", "--base-url", c.url, "--out", "d"});
    EXPECT_EQ(o.hostPort, c.hostPort) << c.url;
    EXPECT_EQ(o.urlPath, c.path) << c.url;
  }
  // the value may follow an "="
  const auto o = ParsePublishOptions({"--package=p.msi", "--base-url=http://h/x/", "--out=d", "--disable-setup"});
  EXPECT_EQ(o.PackageUrl(), "http://h/x/p.msi");
  EXPECT_TRUE(o.disableSetup);
}

TEST(PublishOptions, HelpNeedsNothingElse) {
  EXPECT_TRUE(ParsePublishOptions({"--help"}).help);
  EXPECT_TRUE(ParsePublishOptions({"--out", "d", "-h"}).help);
  const std::string usage = PublishUsage();
  for (const char* option :
       {"--package", "--base-url", "--out", "--component", "exename=", "enabled=", "--disable-setup", "--help"})
    EXPECT_NE(usage.find(option), std::string::npos) << option;
}

TEST(PublishOptions, BadInputIsOneClearLine) {
  struct Case {
    std::vector<std::string> args;
    const char* says;
  };
  const Case cases[] = {
      // the base url
      {{"--package", "p.msi", "--base-url", "https://h/", "--out", "d"}, "http://"},
      {{"--package", "p.msi", "--base-url", "ftp://h/", "--out", "d"}, "http://"},
      {{"--package", "p.msi", "--base-url", "http:///x/", "--out", "d"}, "host"},
      {{"--package", "p.msi", "--base-url", "http://h:0/", "--out", "d"}, "port"},
      {{"--package", "p.msi", "--base-url", "http://h:x/", "--out", "d"}, "port"},
      {{"--package", "p.msi", "--base-url", "http://h/../x/", "--out", "d"}, "path"},
      {{"--package", "p.msi", "--base-url", "http://h//x/", "--out", "d"}, "path"},
      {{"--package", "p.msi", "--base-url", "http://h/a b/", "--out", "d"}, "path"},
      {{"--package", "p.msi", "--base-url", "http://h/a%20b/", "--out", "d"}, "path"},
      // the package's name
      {{"--package", "/x/setup", "--base-url", "http://h/", "--out", "d"}, "\".\""},
      {{"--package", "/x/set up.msi", "--base-url", "http://h/", "--out", "d"}, "file name"},
      {{"--package", "/x/..", "--base-url", "http://h/", "--out", "d"}, "file name"},
      // components
      {Args({"--component", "larkspire=3.3.0"}), "M.NN.BBBB"},
      {Args({"--component", "larkspire=3.03.000a"}), "M.NN.BBBB"},
      {Args({"--component", "larkspire=.03.0000"}), "M.NN.BBBB"},
      {Args({"--component", "larkspire= 3.03.0000"}), "M.NN.BBBB"},
      {Args({"--component", "larkspire"}), "NAME=VERSION"},
      {Args({"--component", "larkspire=3000.00.0000"}), "too large"},
      {Args({"--component", "setup=3.03.0000"}), "unknown component"},
      {Args({"--component", "browser=3.03.0000"}), "unknown component"},
      {Args({"--component", "quillon=2.02.0000,enabled=2"}), "enabled=0|1"},
      {Args({"--component", "quillon=2.02.0000,size=2"}), "exename=NAME"},
      {Args({"--component", "quillon=2.02.0000,exename= q.exe"}), "blanks"},
      {Args({"--component", "quillon=2.02.0000,exename=\"q.exe\""}), "quotes"},
      {Args({"--component", "quillon=2.02.0000,exename=\xE2\x82\xAC\xE2\x80\xA0\xE4\xB8\xAD.exe"}), "Windows-1252"},
      {Args({"--component", "quillon=2.02.0000,exename=" + std::string(255, 'q')}), "254"},
      {Args({"--component", "quillon=2.02.0000", "--component", "QUILLON=2.03.0000"}), "twice"},
      // the command line itself
      {{"--base-url", "http://h/", "--out", "d"}, "--package"},
      {{"--package", "p.msi", "--out", "d"}, "--base-url"},
      {{"--package", "p.msi", "--base-url", "http://h/"}, "--out"},
      {{"--package", "p.msi", "--base-url", "http://h/", "--out"}, "needs a value"},
      {Args({"extra"}), "unknown argument"},
      {Args({"--disable-setup=1"}), "unknown argument"},
      {{"--package", "p.msi", "--base-url", "http://h/" + std::string(250, 'a') + "/", "--out", "d"}, "254"},
  };
  for (const auto& c : cases) {
    const std::string message = Rejection(c.args);
    EXPECT_NE(message.find(c.says), std::string::npos) << "said: \"" << message << "\", wanted " << c.says;
  }
  // letters of the code page are fine in an exename
  EXPECT_EQ(Rejection(Args({"--component", "quillon=2.02.0000,exename=Caf\xC3\xA9.exe"})), "");
}
}  // namespace
