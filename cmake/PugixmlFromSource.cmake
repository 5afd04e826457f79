# A Windows build finds no pugixml package: it compiles Debian's source of
# the same version (scripts/fetch-pugixml-source.sh) into a static library,
# under the name the package would have given it.
set(TALVEX_PUGIXML_SOURCE "" CACHE PATH "pugixml's source folder (holding src/pugixml.cpp)")
if(NOT EXISTS "${TALVEX_PUGIXML_SOURCE}/src/pugixml.cpp")
  message(FATAL_ERROR "TALVEX_PUGIXML_SOURCE must name pugixml's source folder: run scripts/fetch-pugixml-source.sh")
endif()
if(NOT TARGET pugixml::pugixml)
  add_library(talvex_pugixml STATIC "${TALVEX_PUGIXML_SOURCE}/src/pugixml.cpp")
  target_include_directories(talvex_pugixml SYSTEM PUBLIC "${TALVEX_PUGIXML_SOURCE}/src")
  add_library(pugixml::pugixml ALIAS talvex_pugixml)
endif()
