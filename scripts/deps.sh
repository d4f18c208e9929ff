# Installs with apt-get what building and testing need, when it is missing.
# Sourced by scripts/run, scripts/test and scripts/bench.
jig_install_deps() {
  local wanted=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev
                qt6-translations-l10n libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev "$@")
  local missing=()
  for package in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
