# CLI11 for a cross build: header-only, so the host's headers serve, but only its own
# folder may be on the include path; the host's /usr/include would shadow the target's.
include(${CMAKE_CURRENT_LIST_DIR}/header-only.cmake)
telvane_header_only_package(CLI11::CLI11 CLI)
