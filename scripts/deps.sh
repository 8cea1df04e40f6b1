# Sourced by the scripts: installs the Debian packages a step needs when any is missing.
# Usage: ensure_packages build|test|run|bench|fuzz ...

packages_for() {
  case "$1" in
    build) echo cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev libssl-dev ccache ;;
    run) echo qt6-qpa-plugins qt6-image-formats-plugins fonts-noto-cjk xvfb xauth ;;
    test) echo vsftpd python3-pyftpdlib python3-openssl lftp curl clang libclang-rt-14-dev tinyproxy microsocks xvfb xauth fonts-noto-cjk qt6-qpa-plugins qt6-image-formats-plugins openssl ;;
    bench) echo vsftpd python3-pyftpdlib python3-openssl lftp curl linkchecker qt6-image-formats-plugins ;;
    fuzz) echo clang libclang-rt-14-dev ;;
  esac
}

ensure_packages() {
  local wanted=() missing=()
  for step in "$@"; do
    # shellcheck disable=SC2207
    wanted+=($(packages_for "$step"))
  done
  for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  # Debian's vsftpd starts a system instance we do not want; tests run their own.
  if printf '%s\n' "${missing[@]}" | grep -qx vsftpd; then
    $sudo service vsftpd stop >/dev/null 2>&1 || true
  fi
}

# Usage: configure_and_build DIR [CMAKE_ARGS...] [-- TARGET...]; without targets, everything.
configure_and_build() {
  local dir="$1"; shift
  local args=() targets=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do args+=("$1"); shift; done
  [ $# -gt 0 ] && shift && targets=("$@")
  local launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S "$ROOT" -B "$dir" -G Ninja "${launcher[@]}" "${args[@]}" >/dev/null
  if [ ${#targets[@]} -gt 0 ]; then
    cmake --build "$dir" -j"$(nproc)" --target "${targets[@]}"
  else
    cmake --build "$dir" -j"$(nproc)"
  fi
}
