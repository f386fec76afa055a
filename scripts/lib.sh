# Shared by the project's scripts: which Debian packages each needs, and installing
# only what is missing.

BUILD_PACKAGES="cmake ninja-build g++ pkg-config qt6-base-dev qt6-qpa-plugins fonts-dejavu-core libcli11-dev nlohmann-json3-dev"
# The window through the accessibility bus: Xvfb, a session bus, AT-SPI and pyatspi.
TEST_PACKAGES="libgtest-dev libgmock-dev libbenchmark-dev iproute2 procps nftables xvfb dbus-daemon at-spi2-core python3-pyatspi"
DEMO_PACKAGES="xvfb xauth x11-apps imagemagick"
# Install layout, man pages, the Debian package in a throwaway root, the Wireshark dissector.
PACKAGE_TEST_PACKAGES="dpkg-dev fakeroot file gzip groff-base man-db appstream desktop-file-utils debootstrap tshark tcpdump python3"
FUZZ_PACKAGES="clang libclang-rt-14-dev"
# The Ansible collection's checks: Debian's ansible-core (it brings python3-yaml).
ANSIBLE_PACKAGES="ansible-core python3-yaml"
# The Windows build: the mingw-w64 cross compiler, GoogleTest's sources, wine, the MSI tools.
WINDOWS_PACKAGES="cmake ninja-build g++-mingw-w64-x86-64-posix googletest wine wine64 msitools wixl iproute2 util-linux xvfb imagemagick x11-utils"

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
