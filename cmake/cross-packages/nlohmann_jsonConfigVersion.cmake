include(/usr/share/cmake/nlohmann_json/nlohmann_jsonConfigVersion.cmake OPTIONAL RESULT_VARIABLE found)
if(NOT found)
    set(PACKAGE_VERSION_UNSUITABLE TRUE)
endif()
