# Installs Debian packages quietly, and only those that are missing.
# Sourced by scripts/demo, which installs the demo's list, and by
# scripts/test, which installs both lists.

# What the demo builds and runs: the wizard, the publishing tool (both use
# OpenSSL 3 for the maker's signatures) and the demo's driver (which shares
# the end-to-end tests' code, so configuring it needs GoogleTest, and the
# test folders' configuration zlib), nginx to serve the update, and a virtual
# display with a session bus for screenshots. The build takes Unicode's case
# folding from unicode-data, and checks the maker's key with the openssl
# command.
LARKSPIRE_DEMO_PACKAGES=(
  g++ cmake ninja-build pkg-config unicode-data openssl
  qt6-base-dev qt6-base-dev-tools libgl-dev libcurl4-openssl-dev libssl-dev libgtest-dev zlib1g-dev
  nginx-light xvfb xauth dbus dbus-x11 fonts-dejavu-core fonts-liberation2
)

# What the Windows program needs to be built and run here: the mingw-w64
# compiler and Wine, and the locales' sources, from which the roads make the
# language of a user whose Windows code page is not Windows-1252.
LARKSPIRE_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix wine64 wine locales)

# What only the tests need on top: GoogleMock, the benchmarks (Google
# Benchmark, ISA-L's CRC for comparison), fuzzing with clang, ImageMagick
# for looking at pictures, the checks of the desktop entry, the AppStream
# metainfo, the Debian package (with lintian) and the manual pages, and the Windows build
# under Wine.
LARKSPIRE_TEST_PACKAGES=(
  libgmock-dev libbenchmark-dev libisal-dev
  clang libclang-rt-14-dev
  imagemagick desktop-file-utils appstream dpkg-dev file groff-base lintian systemd libxml2-utils
  "${LARKSPIRE_WINDOWS_PACKAGES[@]}" googletest
)

# larkspire_install_deps PACKAGE...
larkspire_install_deps() {
  local missing=()
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}
