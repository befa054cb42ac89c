# Precompiled headers shared by every target that uses Qt.
#
# A translation unit that uses Qt parses a few hundred thousand lines of Qt
# and standard headers before a line of its own; for most of ours that is
# half the compile time or more. Here those headers are compiled once per
# build tree, in two sets: one for the libraries and programs, one that adds
# GoogleTest for the tests. Every target that uses Qt loads its set instead
# of parsing the headers again.
#
# A precompiled header only serves a translation unit compiled with the same
# code generation flags (position-independent code, sanitizers): the
# compilers refuse it otherwise, clang with an error, gcc by parsing the
# headers after all. Qt's usage requirements give every target that uses it
# the same flags; targets without Qt are left alone. CMake passes gcc
# -Winvalid-pch, so that it says when it cannot use a set, and with -Werror
# that fails the build rather than silently costing the time again.

set(STILLWISE_PCH_HEADERS
  <algorithm>
  <array>
  <atomic>
  <chrono>
  <cmath>
  <cstdint>
  <cstring>
  <functional>
  <map>
  <memory>
  <mutex>
  <optional>
  <string>
  <thread>
  <utility>
  <vector>
  <QApplication>
  <QCheckBox>
  <QComboBox>
  <QCoreApplication>
  <QDialog>
  <QDir>
  <QElapsedTimer>
  <QFile>
  <QFileInfo>
  <QImage>
  <QLabel>
  <QObject>
  <QPainter>
  <QPointer>
  <QPushButton>
  <QScrollArea>
  <QSettings>
  <QString>
  <QStringList>
  <QTimer>
  <QWidget>)

# What linking `lib` brings to a compile: whether Qt's flags (Qt itself, or
# one of our libraries whose interface carries Qt on), and whether flags of
# another package (pkg-config's -D_REENTRANT for PipeWire, say), which the
# sets were not built with. A private dependency of a static library
# ($<LINK_ONLY:...>) links but does not compile along.
function(_stillwise_compile_flags_of lib qt_out foreign_out)
  set(qt FALSE)
  set(foreign FALSE)
  if(lib MATCHES "^Qt6::")
    set(qt TRUE)
  elseif(lib MATCHES "::" AND NOT TARGET "${lib}" AND NOT lib MATCHES "^GTest::")
    # Imported in a folder and not seen from here (pkg-config's targets are
    # imported GLOBAL for this): nothing is known of its flags.
    set(foreign TRUE)
  elseif(TARGET "${lib}" AND NOT lib MATCHES "^GTest::")
    get_target_property(imported "${lib}" IMPORTED)
    if(imported)
      get_target_property(options "${lib}" INTERFACE_COMPILE_OPTIONS)
      get_target_property(definitions "${lib}" INTERFACE_COMPILE_DEFINITIONS)
      if(options OR definitions)
        set(foreign TRUE)
      endif()
    endif()
    get_target_property(interface "${lib}" INTERFACE_LINK_LIBRARIES)
    _stillwise_compile_flags_of_all("${interface}" interface_qt interface_foreign)
    if(interface_qt)
      set(qt TRUE)
    endif()
    if(interface_foreign)
      set(foreign TRUE)
    endif()
  endif()
  set(${qt_out} ${qt} PARENT_SCOPE)
  set(${foreign_out} ${foreign} PARENT_SCOPE)
endfunction()

# The same for a list of libraries, together. Generator expressions among
# them are link-only ($<LINK_ONLY:...>, Qt's resource objects); should one
# carry flags after all, the compilers refuse the set and the build fails,
# as said above.
function(_stillwise_compile_flags_of_all libs qt_out foreign_out)
  set(qt FALSE)
  set(foreign FALSE)
  foreach(lib IN LISTS libs)
    if(NOT lib OR lib MATCHES "^\\$<")
      continue()
    endif()
    _stillwise_compile_flags_of("${lib}" lib_qt lib_foreign)
    if(lib_qt)
      set(qt TRUE)
    endif()
    if(lib_foreign)
      set(foreign TRUE)
    endif()
  endforeach()
  set(${qt_out} ${qt} PARENT_SCOPE)
  set(${foreign_out} ${foreign} PARENT_SCOPE)
endfunction()

function(stillwise_precompile_headers)
  stillwise_build_targets("${PROJECT_SOURCE_DIR}" targets)

  # gcc takes a set only where every macro it was built with is defined
  # alike, so a set gets just what every Qt target defines (Qt6::Core's
  # QT_CORE_LIB and QT_NO_DEBUG) and finds the GUI headers by path.
  set(gui_includes $<TARGET_PROPERTY:Qt6::Gui,INTERFACE_INCLUDE_DIRECTORIES>
                   $<TARGET_PROPERTY:Qt6::Widgets,INTERFACE_INCLUDE_DIRECTORIES>)
  add_library(stillwise_pch STATIC "${PROJECT_SOURCE_DIR}/cmake/pch.cpp")
  target_link_libraries(stillwise_pch PRIVATE Qt6::Core)
  target_include_directories(stillwise_pch SYSTEM PRIVATE ${gui_includes})
  target_precompile_headers(stillwise_pch PRIVATE ${STILLWISE_PCH_HEADERS})
  set(sets stillwise_pch)
  # The tests' own find_package is local to their folder.
  if(STILLWISE_BUILD_TESTS)
    find_package(GTest QUIET)
  endif()
  if(TARGET GTest::gtest)
    add_library(stillwise_test_pch STATIC "${PROJECT_SOURCE_DIR}/cmake/pch.cpp")
    target_link_libraries(stillwise_test_pch PRIVATE Qt6::Core GTest::gtest)
    target_include_directories(stillwise_test_pch SYSTEM PRIVATE ${gui_includes})
    target_precompile_headers(stillwise_test_pch PRIVATE ${STILLWISE_PCH_HEADERS} <gtest/gtest.h>)
    target_compile_options(stillwise_test_pch PRIVATE ${STILLWISE_TEST_OPTIMIZATION})
    list(APPEND sets stillwise_test_pch)
  endif()
  foreach(set IN LISTS sets)
    set_target_properties(${set} PROPERTIES AUTOMOC OFF AUTORCC OFF)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
      # clang stores the headers' times in the set and refuses it when a
      # header is newer; a set from the compiler cache in a fresh clone
      # always would be.
      target_compile_options(${set} PRIVATE -Xclang -fno-pch-timestamp)
    endif()
  endforeach()

  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
      continue()
    endif()
    get_target_property(libs ${target} LINK_LIBRARIES)
    _stillwise_compile_flags_of_all("${libs}" qt foreign)
    if(NOT qt OR foreign)
      continue()
    endif()
    list(FILTER libs INCLUDE REGEX "^GTest::")
    if(libs AND TARGET stillwise_test_pch)
      target_precompile_headers(${target} REUSE_FROM stillwise_test_pch)
    else()
      target_precompile_headers(${target} REUSE_FROM stillwise_pch)
    endif()
  endforeach()
endfunction()
