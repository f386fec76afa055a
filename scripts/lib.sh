# Shared by the project's scripts: which Debian packages each needs, and installing
# only what is missing.

BUILD_PACKAGES="cmake ninja-build g++ pkg-config qt6-base-dev qt6-qpa-plugins fonts-dejavu-core libcli11-dev nlohmann-json3-dev"
TEST_PACKAGES="libgtest-dev libgmock-dev libbenchmark-dev iproute2 procps"
DEMO_PACKAGES="xvfb xauth x11-apps imagemagick"
# Install layout, man pages, the Debian package in a throwaway root, the Wireshark dissector.
PACKAGE_TEST_PACKAGES="dpkg-dev fakeroot file gzip groff-base man-db appstream desktop-file-utils debootstrap tshark tcpdump python3"
FUZZ_PACKAGES="clang libclang-rt-14-dev"

ensure_packages() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
