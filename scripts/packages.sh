# Sourced by the test scripts: which Debian packages are missing, and
# installing them (as root).

missing_packages() {  # packages...: prints those not installed, one a line
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || printf '%s\n' "$p"
  done
}

install_packages() {  # packages...
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "$@" >/dev/null
}
