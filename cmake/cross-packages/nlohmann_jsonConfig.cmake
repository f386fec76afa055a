# nlohmann/json for a cross build; see CLI11Config.cmake.
include(${CMAKE_CURRENT_LIST_DIR}/header-only.cmake)
telvane_header_only_package(nlohmann_json::nlohmann_json nlohmann)
