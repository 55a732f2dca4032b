# The version is kept in one place, src/res/resource.h, where the version
# resource reads it too.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/../src/res/resource.h hourlink_version_lines
  REGEX "^#define HOURLINK_VERSION_")
string(REGEX MATCH "HOURLINK_VERSION_TEXT \"([0-9]+\\.[0-9]+\\.[0-9]+)\"" _ "${hourlink_version_lines}")
set(hourlink_version ${CMAKE_MATCH_1})
foreach(part MAJOR MINOR PATCH)
  string(REGEX MATCH "HOURLINK_VERSION_${part} ([0-9]+)" _ "${hourlink_version_lines}")
  list(APPEND hourlink_version_numbers ${CMAKE_MATCH_1})
endforeach()
list(JOIN hourlink_version_numbers "." hourlink_version_joined)
if(NOT hourlink_version OR NOT hourlink_version STREQUAL hourlink_version_joined)
  message(FATAL_ERROR "src/res/resource.h: HOURLINK_VERSION_TEXT \"${hourlink_version}\" "
    "does not match its MAJOR, MINOR and PATCH (${hourlink_version_joined})")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/../src/res/resource.h)
