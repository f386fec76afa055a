include(/usr/share/cmake/CLI11/CLI11ConfigVersion.cmake OPTIONAL RESULT_VARIABLE found)
if(NOT found)
    set(PACKAGE_VERSION_UNSUITABLE TRUE)
endif()
