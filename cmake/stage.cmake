# The runnable folder: the program with everything it loads or launches beside it, laid out as an
# installation lays it out. Built by default; scripts/demo and the end-to-end tests run from it.
#
#   stage/quorvanta.exe, flutter_windows.dll, the plugin libraries, openconnect.exe, xray.exe
#   stage/data/flutter_assets/, data/icudtl.dat, data/app.so
#
# The data files are placeholders: the stand-in engine needs only the assets folder to exist.

set(QUORVANTA_STAGE_DIRECTORY ${CMAKE_BINARY_DIR}/stage CACHE INTERNAL "")

get_property(stage_plugins GLOBAL PROPERTY QUORVANTA_STAND_IN_PLUGINS)
set(staged_targets quorvanta flutter_windows ${stage_plugins} openconnect xray)
set(staged_files)
foreach(target IN LISTS staged_targets)
  list(APPEND staged_files $<TARGET_FILE:${target}>)
endforeach()

# Written only when their text changes, so that a rebuild copies nothing new.
set(stage_placeholders ${CMAKE_BINARY_DIR}/stage_placeholders)
foreach(placeholder icudtl.dat app.so)
  file(CONFIGURE OUTPUT ${stage_placeholders}/${placeholder}
       CONTENT "Placeholder for the UI engine's ${placeholder}; the stand-in engine does not read it.\n")
endforeach()

set(stage_data ${QUORVANTA_STAGE_DIRECTORY}/data)
add_custom_target(stage ALL
  COMMAND ${CMAKE_COMMAND} -E make_directory ${stage_data}/flutter_assets
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${staged_files} ${QUORVANTA_STAGE_DIRECTORY}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${stage_placeholders}/icudtl.dat
          ${stage_placeholders}/app.so ${stage_data}
  COMMENT "Staging the runnable folder in ${QUORVANTA_STAGE_DIRECTORY}"
  VERBATIM)
add_dependencies(stage ${staged_targets})
