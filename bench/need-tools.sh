# Sourced by the benchmarks: installs from Debian the tools they measure
# against or make their sources with, when missing.
#   need_tools COMMAND:PACKAGE...
need_tools() {
    local need=() tool
    for tool in "$@"; do
        command -v "${tool%%:*}" >/dev/null 2>&1 || need+=("${tool##*:}")
    done
    [ ${#need[@]} -gt 0 ] || return 0
    echo "Installing for the benchmark: ${need[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${need[@]}"
}
