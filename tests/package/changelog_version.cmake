# cmake -DVERSION=x.y.z -DCHANGELOG=debian/changelog -P changelog_version.cmake
file(STRINGS "${CHANGELOG}" first LIMIT_COUNT 1)
if(NOT first MATCHES "^zirbelwerk \\(([^)]+)\\) ")
    message(FATAL_ERROR "${CHANGELOG}: no version in its first line: ${first}")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
    message(FATAL_ERROR "${CHANGELOG} is at ${CMAKE_MATCH_1}, the project at ${VERSION}: "
        "add a changelog entry for ${VERSION}")
endif()
message(STATUS "debian/changelog and the project are both at ${VERSION}")
