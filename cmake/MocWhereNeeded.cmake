# Qt's meta-object compiler only for the targets that have something for it.
#
# AUTOMOC is on for every target, and gives each one a translation unit of
# its own (mocs_compilation.cpp) even where no class needs moc: an empty
# file, but one that loads the precompiled headers, about a second each in
# two builds for some sixty targets. A target none of whose files (nor the
# header beside each source, which AUTOMOC reads too) names a Qt macro moc
# acts on, nor includes moc's output, does without it. A target whose
# files are generated is left as it is: they cannot be read yet.

function(stillwise_moc_where_needed)
  stillwise_build_targets("${PROJECT_SOURCE_DIR}" targets)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    get_target_property(automoc ${target} AUTOMOC)
    if(NOT automoc OR NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
      continue()
    endif()
    get_target_property(sources ${target} SOURCES)
    get_target_property(dir ${target} SOURCE_DIR)
    set(needed FALSE)
    foreach(source IN LISTS sources)
      if(source MATCHES "^\\$<")
        set(needed TRUE) # not known before generation
        break()
      endif()
      cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY "${dir}" OUTPUT_VARIABLE path)
      if(NOT EXISTS "${path}")
        set(needed TRUE)
        break()
      endif()
      set(files "${path}")
      if(path MATCHES "\\.cpp$")
        string(REGEX REPLACE "\\.cpp$" ".h" header "${path}")
        if(EXISTS "${header}")
          list(APPEND files "${header}")
        endif()
      endif()
      foreach(file IN LISTS files)
        file(STRINGS "${file}" hits REGEX "Q_OBJECT|Q_GADGET|Q_NAMESPACE|Q_PLUGIN_METADATA|#include [\"<][^\">]*(\\.moc|moc_)")
        if(hits)
          set(needed TRUE)
          break()
        endif()
      endforeach()
      if(needed)
        break()
      endif()
    endforeach()
    if(NOT needed)
      set_target_properties(${target} PROPERTIES AUTOMOC OFF)
    endif()
  endforeach()
endfunction()
