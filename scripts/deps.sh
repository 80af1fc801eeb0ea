# Sourced by scripts/run and scripts/test: installs the Debian packages that are missing.
QZ_PACKAGES="cmake ninja-build g++ qt6-base-dev qt6-serialport-dev qt6-image-formats-plugins libgl1-mesa-dev clang-format xvfb x11-xkb-utils xdotool"
qz_install_missing() {
  local missing=()
  for p in $QZ_PACKAGES "$@"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -q && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
}
# qz_build [target...]: configures and builds everything, or only the targets named.
qz_build() {
  local dir="${QZ_BUILD_DIR:-build}"
  cmake -S . -B "$dir" -G Ninja ${QZ_CMAKE_ARGS:-} >/dev/null && cmake --build "$dir" ${1:+--target "$@"}
}
