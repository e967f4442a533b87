# Installs the Debian packages the project needs, quietly and only when
# something is missing. Sourced by scripts/test and scripts/demo.
LARKSPIRE_PACKAGES=(
  g++ cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  clang libclang-rt-14-dev
  nginx-light xvfb xauth dbus dbus-x11 imagemagick fonts-dejavu-core fonts-liberation2 desktop-file-utils
  g++-mingw-w64-x86-64-posix wine64 wine googletest
)

larkspire_install_deps() {
  local missing=()
  for p in "${LARKSPIRE_PACKAGES[@]}" "$@"; do
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
